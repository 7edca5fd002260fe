// The file utilities over the test double: deletion with and without retries,
// tree deletion, forced copies, unique scratch folders, version numbers.
#include <gtest/gtest.h>

#include "platform/fake/fake_os.h"
#include "saver/KVR_FileUtils.h"

using namespace ssi;

namespace {

struct FileUtils : ::testing::Test {
    FakeOs os;
    bool exists(const std::string& p) { return os.fileAttributes(p) != attr::kInvalid; }
};

TEST_F(FileUtils, ForcedDeleteClearsReadOnlyAndReportsBusyFiles) {
    EXPECT_EQ(deleteFileForced(os, "C:\\TEMP\\absent.txt"), 0);

    os.writeFile("C:\\TEMP\\ro.txt", "x");
    os.setFileAttributes("C:\\TEMP\\ro.txt", attr::kReadOnly | attr::kHidden);
    EXPECT_EQ(deleteFileForced(os, "C:\\TEMP\\ro.txt"), 0);
    EXPECT_FALSE(exists("C:\\TEMP\\ro.txt"));

    os.writeFile("C:\\TEMP\\busy.txt", "x");
    os.lock("C:\\TEMP\\busy.txt");
    EXPECT_EQ(deleteFileForced(os, "C:\\TEMP\\busy.txt"), rc::kFileBusy);
    EXPECT_TRUE(exists("C:\\TEMP\\busy.txt"));
}

TEST_F(FileUtils, RetriedDeleteTellsALockedScreenSaverApart) {
    os.writeFile("C:\\TEMP\\keep.scr", "x");
    EXPECT_EQ(deleteFileRetry(os, "C:\\TEMP\\keep.scr", 0), rc::kNotRemoved);
    EXPECT_TRUE(exists("C:\\TEMP\\keep.scr"));

    int deletes = 0;
    os.inject = [&](const std::string& op, const std::string&) {
        if (op == "deleteFile") ++deletes;
        return 0;
    };
    os.writeFile("C:\\TEMP\\Night Sky.SCR", "x");
    os.lock("C:\\TEMP\\Night Sky.SCR");
    EXPECT_EQ(deleteFileRetry(os, "C:\\TEMP\\Night Sky.SCR", 1000), rc::kSaverNotReplaced);
    EXPECT_EQ(deletes, 2000) << "every attempt deletes, clears the attributes and deletes again";

    os.writeFile("C:\\TEMP\\saver1.dll", "x");
    os.lock("C:\\TEMP\\saver1.dll");
    EXPECT_EQ(deleteFileRetry(os, "C:\\TEMP\\saver1.dll", 3), rc::kFileBusy);

    // A file that gives way on a later attempt is deleted with 0.
    os.writeFile("C:\\TEMP\\late.scr", "x");
    int refusals = 3;
    os.inject = [&](const std::string& op, const std::string&) {
        return op == "deleteFile" && refusals-- > 0 ? oserr::kSharingViolation : 0;
    };
    EXPECT_EQ(deleteFileRetry(os, "C:\\TEMP\\late.scr", 100), 0);
    EXPECT_FALSE(exists("C:\\TEMP\\late.scr"));
    EXPECT_EQ(deleteFileRetry(os, "C:\\TEMP\\late.scr", 100), 0);
}

TEST_F(FileUtils, UniqueTempDirSkipsTakenNamesAndFallsBackWithoutTemp) {
    os.makeDirs("C:\\TEMP\\QDX1");
    os.makeDirs("C:\\TEMP\\QDX2");
    std::string dir;
    ASSERT_EQ(makeUniqueTempDir(os, "QDX", dir), 0);
    EXPECT_EQ(dir, "C:\\TEMP\\QDX3\\");
    EXPECT_TRUE(exists("C:\\TEMP\\QDX3"));

    os.writeFile("C:\\TEMP\\FlashPanel1", "a file, not a folder");
    ASSERT_EQ(makeUniqueTempDir(os, "FlashPanel", dir), 0);
    EXPECT_EQ(dir, "C:\\TEMP\\FlashPanel2\\");

    os.env["TEMP"] = "C:\\TEMP\\";  // a trailing backslash is not doubled
    ASSERT_EQ(makeUniqueTempDir(os, "QDX", dir), 0);
    EXPECT_EQ(dir, "C:\\TEMP\\QDX4\\");

    os.env.erase("TEMP");
    os.tempDir = "C:\\SYSTEMP\\";
    os.makeDirs("C:\\SYSTEMP");
    ASSERT_EQ(makeUniqueTempDir(os, "QDX", dir), 0);
    EXPECT_EQ(dir, "C:\\SYSTEMP\\QDX1\\");

    os.inject = [](const std::string& op, const std::string&) {
        return op == "createDirectory" ? oserr::kAccessDenied : 0;
    };
    EXPECT_EQ(makeUniqueTempDir(os, "QDX", dir), oserr::kAccessDenied);
    EXPECT_EQ(dir, "C:\\SYSTEMP\\QDX");
}

TEST_F(FileUtils, DirectoriesComeFromTheEnvironmentOrTheSystem) {
    InstallerDirs dirs;
    ASSERT_EQ(initInstallerPaths(os, dirs), 0);
    EXPECT_EQ(dirs.windowsDir, "C:\\WINDOWS\\");
    EXPECT_EQ(dirs.systemDir, "C:\\WINDOWS\\SYSTEM\\");
    EXPECT_EQ(dirs.scratchDir, "C:\\TEMP\\QDX1\\");

    os.env["WINDIR"] = "";
    os.windowsDir = "D:\\WINNT";
    EXPECT_EQ(getWindowsDir(os), "D:\\WINNT\\");
    os.systemDir = "C:\\WINDOWS\\SYSTEM32\\";
    EXPECT_EQ(getSystemDir(os), "C:\\WINDOWS\\SYSTEM32\\");
}

TEST_F(FileUtils, DirTreeDeletionStopsAtTheFirstBusyFile) {
    EXPECT_EQ(deleteDirTree(os, ""), rc::kNotRemoved);
    EXPECT_EQ(deleteDirTree(os, "C:\\TEMP\\nothing\\"), 0);

    os.writeFile("C:\\TEMP\\t\\a.txt", "a");
    os.writeFile("C:\\TEMP\\t\\sub\\deeper\\b.txt", "b");
    os.setFileAttributes("C:\\TEMP\\t\\a.txt", attr::kReadOnly);
    os.setFileAttributes("C:\\TEMP\\t\\sub", attr::kReadOnly | attr::kDirectory);
    EXPECT_EQ(deleteDirTree(os, "C:\\TEMP\\t\\"), 0);
    EXPECT_FALSE(exists("C:\\TEMP\\t"));

    os.writeFile("C:\\TEMP\\d\\locked.dat", "x");
    os.lock("C:\\TEMP\\d\\locked.dat");
    EXPECT_EQ(deleteDirTree(os, "C:\\TEMP\\d\\"), rc::kFileBusy);
    EXPECT_TRUE(exists("C:\\TEMP\\d\\locked.dat"));

    // A busy file one level down: the walk goes on, the parent cannot be removed.
    os.writeFile("C:\\TEMP\\e\\sub\\locked.dat", "x");
    os.writeFile("C:\\TEMP\\e\\other.txt", "x");
    os.lock("C:\\TEMP\\e\\sub\\locked.dat");
    EXPECT_EQ(deleteDirTree(os, "C:\\TEMP\\e\\"), rc::kNotRemoved);
    EXPECT_FALSE(exists("C:\\TEMP\\e\\other.txt"));
    EXPECT_TRUE(exists("C:\\TEMP\\e\\sub\\locked.dat"));
}

TEST_F(FileUtils, ForcedCopyOverwritesAReadOnlyTarget) {
    os.writeFile("C:\\TEMP\\new.txt", "new");
    os.writeFile("C:\\TEMP\\old.txt", "old");
    os.setFileAttributes("C:\\TEMP\\old.txt", attr::kReadOnly);
    os.setFileAttributes("C:\\TEMP\\new.txt", attr::kReadOnly);
    ASSERT_TRUE(copyFileForced(os, "C:\\TEMP\\new.txt", "C:\\TEMP\\old.txt", false));
    EXPECT_EQ(os.readFile("C:\\TEMP\\old.txt"), "new");

    EXPECT_FALSE(copyFileForced(os, "C:\\TEMP\\missing.txt", "C:\\TEMP\\old.txt", false));
    EXPECT_EQ(os.lastError(), uint32_t(oserr::kFileNotFound));
    EXPECT_EQ(os.readFile("C:\\TEMP\\old.txt"), "new");
}

TEST_F(FileUtils, DirPathCreatesEveryMissingParentAndEndsAtAMissingRoot) {
    createDirPath(os, "C:\\WINDOWS\\SYSTEM\\Night Sky dir\\media\\clips\\");
    EXPECT_TRUE(directoryExists(os, "C:\\WINDOWS\\SYSTEM\\Night Sky dir\\media\\clips"));
    createDirPath(os, "C:\\WINDOWS\\SYSTEM\\Night Sky dir\\media\\clips\\");  // already there

    std::vector<std::string> created;
    os.inject = [&](const std::string& op, const std::string& path) {
        if (op == "createDirectory") created.push_back(path);
        return op == "createDirectory" && path.rfind("Q:", 0) == 0 ? oserr::kPathNotFound : 0;
    };
    createDirPath(os, "Q:\\a\\b\\");
    EXPECT_FALSE(created.empty());
    EXPECT_LT(created.size(), 10u) << "the recursion ends at the missing drive";
    EXPECT_FALSE(directoryExists(os, "Q:\\a\\b"));
}

TEST_F(FileUtils, FileVersionGivesMajorAndReleaseOrLeavesTheOutputs) {
    os.writeFile("C:\\WINDOWS\\SYSTEM\\Macromed\\Flash\\player.ocx", "x");
    os.versions["C:\\WINDOWS\\SYSTEM\\Macromed\\Flash\\player.ocx"] = {(7u << 16) | 0u, (19u << 16) | 0u};
    int major = 0, release = 0;
    getFileVersion(os, "C:\\WINDOWS\\SYSTEM\\Macromed\\Flash\\player.ocx", major, release);
    EXPECT_EQ(major, 7);
    EXPECT_EQ(release, 19);

    os.writeFile("C:\\TEMP\\plain.txt", "x");
    major = -1, release = -2;
    getFileVersion(os, "C:\\TEMP\\plain.txt", major, release);
    EXPECT_EQ(major, -1);
    EXPECT_EQ(release, -2);
}

TEST(PathText, NamesExtensionsAndFolders) {
    EXPECT_EQ(extractFileName("C:\\Downloads\\NightSkySetup.exe"), "NightSkySetup.exe");
    EXPECT_EQ(extractFilePath("C:\\a\\b.txt"), "C:\\a\\");
    EXPECT_EQ(changeFileExt("impborl.dat", ".dll"), "impborl.dll");
    EXPECT_EQ(changeFileExt("installer.prev.jpeg", ".jpg"), "installer.prev.jpg");
    EXPECT_EQ(changeFileExt("player", ".dll"), "player.dll");
    EXPECT_EQ(extractFileExt("Night Sky.SCR"), ".SCR");
    EXPECT_EQ(extractFileExt("dir.d\\file"), "");
    EXPECT_EQ(withTrailingBackslash("C:\\X"), "C:\\X\\");
    EXPECT_EQ(withTrailingBackslash("C:\\X\\"), "C:\\X\\");
}

}  // namespace
