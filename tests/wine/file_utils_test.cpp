// The file utilities on real files under Wine: read-only files, files held
// open by another process, unique scratch folders, tree deletion, versions.
//
// `wine_file_utils_test --hold FILE READY RELEASE` is the helper process: it
// opens FILE without FILE_SHARE_DELETE, sets event READY and waits for event
// RELEASE, so the tests see a file that is really in use elsewhere.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/win32_os.h"
#include "saver/KVR_FileUtils.h"
#include "tests/wine/wine_test_support.h"

namespace ssi {
namespace {

using wintest::exeDir;
using wintest::freshDir;
using wintest::HeldFile;
using wintest::readFile;
using wintest::writeFile;


bool exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(DeleteFiles, ReadOnlyFileIsDeletedAndAMissingOneIsFine) {
    win32::Win32Os os;
    const std::string dir = freshDir("readonly");
    writeFile(dir + "ro.txt", "x");
    ASSERT_TRUE(::SetFileAttributesA((dir + "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(deleteFileForced(os, dir + "ro.txt"), rc::kOk);
    EXPECT_FALSE(exists(dir + "ro.txt"));
    EXPECT_EQ(deleteFileForced(os, dir + "never-there.txt"), rc::kOk);
}

TEST(DeleteFiles, FileInUseByAnotherProcessGivesBusyCodesByKind) {
    win32::Win32Os os;
    const std::string dir = freshDir("held");
    const std::string saver = dir + "NIGHT.SCR", library = dir + "player.dll";
    writeFile(saver, "saver");
    writeFile(library, "library");
    {
        HeldFile holdSaver(saver), holdLibrary(library);
        ASSERT_TRUE(holdSaver.held());
        ASSERT_TRUE(holdLibrary.held());
        // The system's own answer first: a sharing violation.
        EXPECT_FALSE(::DeleteFileA(saver.c_str()));
        EXPECT_EQ(::GetLastError(), DWORD(ERROR_SHARING_VIOLATION));

        EXPECT_EQ(deleteFileForced(os, saver), rc::kFileBusy);
        EXPECT_EQ(deleteFileRetry(os, saver, 3), rc::kSaverNotReplaced);
        EXPECT_EQ(deleteFileRetry(os, library, 2), rc::kFileBusy);
        EXPECT_EQ(deleteFileRetry(os, saver, 0), rc::kNotRemoved);
        EXPECT_TRUE(exists(saver));
        EXPECT_TRUE(exists(library));
    }
    // Released: the same calls now succeed.
    EXPECT_EQ(deleteFileRetry(os, saver, 1), rc::kOk);
    EXPECT_EQ(deleteFileForced(os, library), rc::kOk);
    EXPECT_FALSE(exists(saver));
}

TEST(DeleteFiles, ZeroAttemptsLeaveTheFile) {
    win32::Win32Os os;
    const std::string path = freshDir("zero") + "a.scr";
    writeFile(path, "a");
    EXPECT_EQ(deleteFileRetry(os, path, 0), rc::kNotRemoved);
    EXPECT_TRUE(exists(path));
}

TEST(ScratchFolders, TakenNamesAreSkipped) {
    win32::Win32Os os;
    const std::string temp = freshDir("temp");
    ::CreateDirectoryA((temp + "QDX1").c_str(), nullptr);
    writeFile(temp + "QDX2", "a file takes the name too");
    const std::string saved = os.environment("TEMP");
    ::SetEnvironmentVariableA("TEMP", temp.substr(0, temp.size() - 1).c_str());
    std::string out;
    const Result result = makeUniqueTempDir(os, "QDX", out);
    ::SetEnvironmentVariableA("TEMP", saved.c_str());
    EXPECT_EQ(result, rc::kOk);
    EXPECT_EQ(out, temp + "QDX3\\");
    EXPECT_TRUE(::GetFileAttributesA((temp + "QDX3").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(DeleteTrees, LockedFilesStopTheDeletionWithTheirCodes) {
    win32::Win32Os os;
    const std::string top = freshDir("tree");
    const std::string direct = top + "direct\\", nested = top + "nested\\";
    ::CreateDirectoryA(direct.c_str(), nullptr);
    ::CreateDirectoryA(nested.c_str(), nullptr);
    ::CreateDirectoryA((nested + "inner").c_str(), nullptr);
    writeFile(direct + "busy.dat", "b");
    writeFile(direct + "free.dat", "f");
    writeFile(nested + "inner\\busy.dat", "b");
    writeFile(nested + "free.dat", "f");
    {
        HeldFile a(direct + "busy.dat"), b(nested + "inner\\busy.dat");
        ASSERT_TRUE(a.held());
        ASSERT_TRUE(b.held());
        EXPECT_EQ(deleteDirTree(os, direct), rc::kFileBusy);
        EXPECT_TRUE(exists(direct + "busy.dat"));
        EXPECT_EQ(deleteDirTree(os, nested), rc::kNotRemoved);
        EXPECT_TRUE(exists(nested + "inner\\busy.dat"));
    }
    EXPECT_EQ(deleteDirTree(os, direct), rc::kOk);
    EXPECT_EQ(deleteDirTree(os, nested), rc::kOk);
    EXPECT_FALSE(exists(direct));
    EXPECT_FALSE(exists(nested));
    EXPECT_EQ(deleteDirTree(os, top + "never-there\\"), rc::kOk);
    EXPECT_EQ(deleteDirTree(os, ""), rc::kNotRemoved);
    EXPECT_TRUE(exists(top));  // only what was asked for went
}

TEST(DeleteTrees, ReadOnlyFilesAndFoldersGoToo) {
    win32::Win32Os os;
    const std::string top = freshDir("rotree");
    const std::string dir = top + "d\\";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    ::CreateDirectoryA((dir + "sub").c_str(), nullptr);
    writeFile(dir + "sub\\ro.txt", "r");
    ::SetFileAttributesA((dir + "sub\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesA((dir + "sub").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(deleteDirTree(os, dir), rc::kOk);
    EXPECT_FALSE(exists(dir));
}

TEST(CopyFiles, ForcedCopyReplacesAReadOnlyTarget) {
    win32::Win32Os os;
    const std::string dir = freshDir("copy");
    writeFile(dir + "new.txt", "new content");
    writeFile(dir + "old.txt", "old");
    ::SetFileAttributesA((dir + "old.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(copyFileForced(os, dir + "new.txt", dir + "old.txt", false));
    EXPECT_EQ(readFile(dir + "old.txt"), "new content");
    EXPECT_FALSE(copyFileForced(os, dir + "new.txt", dir + "old.txt", true));
    EXPECT_FALSE(copyFileForced(os, dir + "missing.txt", dir + "other.txt", false));
    EXPECT_FALSE(exists(dir + "other.txt"));
}

TEST(Versions, MajorAndReleaseFromTheVersionResource) {
    win32::Win32Os os;
    int major = -5, release = -5;
    getFileVersion(os, exeDir() + "versioned.dll", major, release);
    EXPECT_EQ(major, 7);
    EXPECT_EQ(release, 19);
    const std::string plain = freshDir("plainversion") + "plain.ocx";
    writeFile(plain, "no version resource");
    major = -5;
    release = -5;
    getFileVersion(os, plain, major, release);
    EXPECT_EQ(major, -5);
    EXPECT_EQ(release, -5);
}

}  // namespace
}  // namespace ssi

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--hold") == 0) return ssi::wintest::holdFile(argv[2], argv[3], argv[4]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
