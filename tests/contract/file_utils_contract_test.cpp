// The saver's file utilities over the seam: forced and retried deletion of
// files that are read-only or held by another process, scratch folders, tree
// deletion, forced copies, folder paths, version numbers and block reads.
#include "platform/file_utils.h"
#include "tests/contract/contract_support.h"

namespace ssi::contract {
namespace {

using ContractFileUtils = Contract;

TEST_F(ContractFileUtils, ForcedDeleteClearsReadOnlyAndReportsBusyFiles) {
    EXPECT_EQ(deleteFileForced(os, dir + "absent.txt"), rc::kOk) << "nothing to delete is fine";
    ASSERT_EQ(writeText(os, dir + "ro.txt", "x"), 0);
    ASSERT_EQ(fs.setAttributes(dir + "ro.txt", attr::kReadOnly | attr::kHidden), 0);
    EXPECT_EQ(deleteFileForced(os, dir + "ro.txt"), rc::kOk);
    EXPECT_FALSE(exists(os, dir + "ro.txt"));

    ASSERT_EQ(writeText(os, dir + "busy.txt", "x"), 0);
    {
        auto holder = env().holdOpen(dir + "busy.txt");
        ASSERT_TRUE(holder->held());
        EXPECT_EQ(deleteFileForced(os, dir + "busy.txt"), rc::kFileBusy);
        EXPECT_TRUE(exists(os, dir + "busy.txt"));
    }
    EXPECT_EQ(deleteFileForced(os, dir + "busy.txt"), rc::kOk);
}

TEST_F(ContractFileUtils, RetriedDeleteTellsABusyScreenSaverApart) {
    const std::string saver = dir + "Night Sky.SCR", library = dir + "saver1.dll";
    ASSERT_EQ(writeText(os, saver, "saver"), 0);
    ASSERT_EQ(writeText(os, library, "library"), 0);
    EXPECT_EQ(deleteFileRetry(os, saver, 0), rc::kNotRemoved) << "no attempt, no deletion";
    EXPECT_TRUE(exists(os, saver));
    {
        auto holdSaver = env().holdOpen(saver), holdLibrary = env().holdOpen(library);
        ASSERT_TRUE(holdSaver->held());
        ASSERT_TRUE(holdLibrary->held());
        EXPECT_EQ(deleteFileRetry(os, saver, 3), rc::kSaverNotReplaced);
        EXPECT_EQ(deleteFileRetry(os, library, 2), rc::kFileBusy);
        EXPECT_TRUE(exists(os, saver));
        EXPECT_TRUE(exists(os, library));
    }
    EXPECT_EQ(deleteFileRetry(os, saver, 1), rc::kOk);
    EXPECT_EQ(deleteFileRetry(os, library, 1), rc::kOk);
    EXPECT_EQ(deleteFileRetry(os, library, 1), rc::kOk) << "already gone";
    EXPECT_FALSE(exists(os, saver));
}

// A variable of the environment changed for one scope and put back afterwards.
class Variable {
public:
    Variable(Os& os, std::string name, const std::string& value)
        : name_(std::move(name)), saved_(os.system().environment(name_)) {
        env().setEnvironment(name_, value);
    }
    ~Variable() { env().setEnvironment(name_, saved_); }
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;

private:
    std::string name_, saved_;
};

TEST_F(ContractFileUtils, ScratchFoldersSkipTakenNames) {
    ASSERT_EQ(fs.createDirectory(dir + "QDX1"), 0);
    ASSERT_EQ(writeText(os, dir + "QDX2", "a file takes the name too"), 0);
    std::string out;
    {
        Variable temp(os, "TEMP", dir.substr(0, dir.size() - 1));
        ASSERT_EQ(makeUniqueTempDir(os, "QDX", out), rc::kOk);
        EXPECT_EQ(out, dir + "QDX3\\");
        EXPECT_TRUE(directoryExists(os, dir + "QDX3"));
    }
    {
        Variable temp(os, "TEMP", dir);  // a trailing backslash is not doubled
        ASSERT_EQ(makeUniqueTempDir(os, "QDX", out), rc::kOk);
        EXPECT_EQ(out, dir + "QDX4\\");
    }
    {
        Variable temp(os, "TEMP", dir + "absent");
        EXPECT_EQ(makeUniqueTempDir(os, "QDX", out), oserr::kPathNotFound);
        EXPECT_EQ(out, "") << "nothing handed out on failure";
    }
    {
        Variable temp(os, "TEMP", "");  // without TEMP: the system's temporary folder
        ASSERT_EQ(makeUniqueTempDir(os, "SsiContract", out), rc::kOk);
        EXPECT_EQ(out.compare(0, os.system().tempDirectory().size(), os.system().tempDirectory()), 0) << out;
        EXPECT_TRUE(directoryExists(os, out));
        EXPECT_EQ(fs.removeDirectory(out.substr(0, out.size() - 1)), 0);
    }
}

TEST_F(ContractFileUtils, InstallerPathsComeFromTheEnvironmentAndTheSystem) {
    InstallerDirs dirs;
    Variable temp(os, "TEMP", dir);
    ASSERT_EQ(initInstallerPaths(os, dirs), rc::kOk);
    const std::string windir = os.system().environment("WINDIR");
    EXPECT_EQ(dirs.windowsDir,
              withTrailingBackslash(windir.empty() ? os.system().windowsDirectory() : windir));
    EXPECT_EQ(dirs.systemDir, withTrailingBackslash(os.system().systemDirectory()));
    EXPECT_EQ(dirs.scratchDir, dir + "QDX1\\");
    EXPECT_TRUE(directoryExists(os, dirs.scratchDir));
    Variable windows(os, "WINDIR", "");
    EXPECT_EQ(getWindowsDir(os), withTrailingBackslash(os.system().windowsDirectory())) << "without WINDIR";
}

TEST_F(ContractFileUtils, TreeDeletionTakesReadOnlyFilesAndFolders) {
    const std::string top = dir + "tree\\";
    ASSERT_EQ(createDirPath(os, top + "sub\\deeper\\"), 0);
    ASSERT_EQ(writeText(os, top + "a.txt", "a"), 0);
    ASSERT_EQ(writeText(os, top + "sub\\deeper\\b.txt", "b"), 0);
    ASSERT_EQ(fs.setAttributes(top + "a.txt", attr::kReadOnly), 0);
    ASSERT_EQ(fs.setAttributes(top + "sub\\deeper\\b.txt", attr::kReadOnly | attr::kHidden | attr::kSystem),
              0);
    ASSERT_EQ(fs.setAttributes(top + "sub", attr::kReadOnly | attr::kDirectory), 0);
    EXPECT_EQ(deleteDirTree(os, top), rc::kOk);
    EXPECT_FALSE(exists(os, top));
    EXPECT_TRUE(directoryExists(os, dir)) << "only what was asked for went";

    EXPECT_EQ(deleteDirTree(os, dir + "absent\\"), rc::kOk) << "already gone";
    EXPECT_EQ(deleteDirTree(os, ""), rc::kNotRemoved);
    ASSERT_EQ(fs.createDirectory(dir + "QDX1"), 0);
    EXPECT_EQ(deleteDirTree(os, dir + "QDX1"), rc::kNotRemoved) << "a folder is named with its backslash";
    EXPECT_TRUE(exists(os, dir + "QDX1"));
}

TEST_F(ContractFileUtils, TreeDeletionStopsAtFilesInUse) {
    const std::string direct = dir + "direct\\", nested = dir + "nested\\";
    ASSERT_EQ(createDirPath(os, direct), 0);
    ASSERT_EQ(createDirPath(os, nested + "inner\\"), 0);
    ASSERT_EQ(writeText(os, direct + "busy.dat", "b"), 0);
    ASSERT_EQ(writeText(os, direct + "free.dat", "f"), 0);
    ASSERT_EQ(writeText(os, nested + "inner\\busy.dat", "b"), 0);
    ASSERT_EQ(writeText(os, nested + "free.dat", "f"), 0);
    {
        auto a = env().holdOpen(direct + "busy.dat"), b = env().holdOpen(nested + "inner\\busy.dat");
        ASSERT_TRUE(a->held());
        ASSERT_TRUE(b->held());
        EXPECT_EQ(deleteDirTree(os, direct), rc::kFileBusy);
        EXPECT_TRUE(exists(os, direct + "busy.dat"));
        // One level down the walk goes on; the folder above cannot go.
        EXPECT_EQ(deleteDirTree(os, nested), rc::kNotRemoved);
        EXPECT_TRUE(exists(os, nested + "inner\\busy.dat"));
        EXPECT_FALSE(exists(os, nested + "free.dat"));
    }
    EXPECT_EQ(deleteDirTree(os, direct), rc::kOk);
    EXPECT_EQ(deleteDirTree(os, nested), rc::kOk);
    EXPECT_FALSE(exists(os, direct));
    EXPECT_FALSE(exists(os, nested));
}

TEST_F(ContractFileUtils, ForcedCopyReplacesAReadOnlyTarget) {
    ASSERT_EQ(writeText(os, dir + "new.txt", "new content"), 0);
    ASSERT_EQ(writeText(os, dir + "old.txt", "old"), 0);
    ASSERT_EQ(fs.setAttributes(dir + "old.txt", attr::kReadOnly), 0);
    ASSERT_EQ(fs.setAttributes(dir + "new.txt", attr::kReadOnly), 0);
    EXPECT_EQ(copyFileForced(os, dir + "new.txt", dir + "old.txt", false), rc::kOk);
    EXPECT_EQ(readText(os, dir + "old.txt"), "new content");
    EXPECT_EQ(copyFileForced(os, dir + "new.txt", dir + "old.txt", true), oserr::kFileExists);
    EXPECT_EQ(copyFileForced(os, dir + "absent.txt", dir + "other.txt", false), oserr::kFileNotFound);
    EXPECT_FALSE(exists(os, dir + "other.txt"));
}

TEST_F(ContractFileUtils, FolderPathsAreMadeWithEveryParent) {
    const std::string deep = dir + "Night Sky dir\\media\\clips\\";
    EXPECT_EQ(createDirPath(os, deep), 0);
    EXPECT_TRUE(directoryExists(os, deep));
    EXPECT_EQ(createDirPath(os, deep), 0) << "already there";
    EXPECT_TRUE(directoryExists(os, deep));
    EXPECT_EQ(createDirPath(os, dir + "absent\\" + "x"),
              0);  // without a trailing backslash: the last name is a folder too
    EXPECT_TRUE(directoryExists(os, dir + "absent\\x"));
}

TEST_F(ContractFileUtils, VersionNumbersComeFromTheResourceOrStayAsTheyWere) {
    int major = -5, release = -5;
    EXPECT_EQ(getFileVersion(os, env().versionedLibrary(), major, release), 0);
    EXPECT_EQ(major, 7);
    EXPECT_EQ(release, 19);
    ASSERT_EQ(writeText(os, dir + "plain.ocx", "no version resource"), 0);
    major = -5;
    release = -5;
    EXPECT_NE(getFileVersion(os, dir + "plain.ocx", major, release), 0);
    EXPECT_EQ(major, -5);
    EXPECT_EQ(release, -5);
}

TEST_F(ContractFileUtils, BlockReadsStopAtTheEndAndWritesGoWhole) {
    const std::string path = dir + "blocks.bin";
    std::string data(70000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 13);
    {
        std::unique_ptr<File> file;
        ASSERT_EQ(fs.openFile(path, FileAccess::Create, file), 0);
        ASSERT_EQ(writeExact(*file, data.data(), uint32_t(data.size())), rc::kOk);
    }
    std::unique_ptr<File> file;
    ASSERT_EQ(fs.openFile(path, FileAccess::ReadDenyWrite, file), 0);
    std::string back(data.size(), '\0');
    ASSERT_EQ(readExact(*file, back.data(), uint32_t(back.size())), rc::kOk);
    EXPECT_EQ(back, data);
    ASSERT_EQ(file->seek(69990), 0);
    char tail[32];
    uint32_t got = 0;
    EXPECT_EQ(readUpTo(*file, tail, sizeof tail, got), rc::kOk);
    EXPECT_EQ(got, 10u);
    ASSERT_EQ(file->seek(69990), 0);
    EXPECT_EQ(readExact(*file, tail, sizeof tail), rc::kShortRead);
}

}  // namespace
}  // namespace ssi::contract
