// The file utilities where only the test double can go: failures injected
// into single calls, answers of the system chosen by the test, and junctions,
// which the contract suite cannot make under Wine 8.0 (FSCTL_SET_REPARSE_POINT
// answers 50; CreateSymbolicLinkA claims success and makes nothing). The
// cases that real files can show run in the contract suite against both
// implementations of the seam.
#include <gtest/gtest.h>

#include "platform/fake/fake_os.h"
#include "platform/file_utils.h"

namespace ssi {
namespace {

struct FileUtilsFailures : ::testing::Test {
    FakeOs os;
};

TEST_F(FileUtilsFailures, EveryRetryDeletesClearsTheAttributesAndDeletesAgain) {
    os.writeFile("C:\\TEMP\\Night Sky.SCR", "x");
    os.lock("C:\\TEMP\\Night Sky.SCR");
    int deletes = 0, clears = 0;
    os.inject = [&](Op op, const std::string&) {
        if (op == Op::DeleteFile) ++deletes;
        if (op == Op::SetAttributes) ++clears;
        return 0;
    };
    EXPECT_EQ(deleteFileRetry(os, "C:\\TEMP\\Night Sky.SCR", 1000), rc::kSaverNotReplaced);
    EXPECT_EQ(deletes, 2000);
    EXPECT_EQ(clears, 1000);
}

TEST_F(FileUtilsFailures, AFileThatGivesWayOnALaterAttemptIsDeleted) {
    os.writeFile("C:\\TEMP\\late.scr", "x");
    int refusals = 3;
    os.inject = [&](Op op, const std::string&) {
        return op == Op::DeleteFile && refusals-- > 0 ? oserr::kSharingViolation : 0;
    };
    EXPECT_EQ(deleteFileRetry(os, "C:\\TEMP\\late.scr", 100), rc::kOk);
    EXPECT_FALSE(os.exists("C:\\TEMP\\late.scr"));
}

TEST_F(FileUtilsFailures, ScratchFolderRefusalsEndTheSearchWithNothingHandedOut) {
    struct Case {
        const char* what;
        Result refusal, expected;
        int attemptsAtMost;
    };
    // Any refusal but "already there" is the same for every name: the search
    // stops at once. "Already there" for every name ends after all 1,000.
    const Case cases[] = {
        {"access denied", oserr::kAccessDenied, oserr::kAccessDenied, 1},
        {"disk full", oserr::kDiskFull, oserr::kDiskFull, 1},
        {"every name taken", oserr::kAlreadyExists, oserr::kAlreadyExists, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int attempts = 0;
        os.inject = [&](Op op, const std::string&) {
            if (op != Op::CreateDirectory) return 0;
            ++attempts;
            return c.refusal;
        };
        std::string dir = "stale";
        EXPECT_EQ(makeUniqueTempDir(os, "QDX", dir), c.expected);
        EXPECT_EQ(dir, "");
        EXPECT_EQ(attempts, c.attemptsAtMost);
    }
}

TEST_F(FileUtilsFailures, TheScratchFolderIsPrivateExactlyForAnElevatedProcessOnNt) {
    struct Case {
        const char* what;
        uint32_t platform;
        bool elevated;
        Result elevationQuery, privateRefusal;  // injected
        bool privateFolder;
    };
    const Case cases[] = {
        {"XP, administrator", platformid::kNt, true, 0, 0, true},
        {"Vista, not elevated", platformid::kNt, false, 0, 0, false},
        {"98: no access control, never asked", platformid::kWindows, true, 0, 0, false},
        {"the elevation cannot be told", platformid::kNt, true, oserr::kAccessDenied, 0, false},
        {"no security functions: an ordinary folder", platformid::kNt, true, 0, oserr::kProcNotFound, false},
        {"no access control on NT's file system", platformid::kNt, true, 0, oserr::kNotSupported, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeOs fresh;
        fresh.version.platformId = c.platform;
        fresh.elevated = c.elevated;
        int elevationQueries = 0, creations = 0;
        fresh.inject = [&](Op op, const std::string&) -> Result {
            if (op == Op::Elevation) return ++elevationQueries, c.elevationQuery;
            // The first creation is the private one when it is asked for.
            if (op == Op::CreateDirectory && creations++ == 0) return c.privateRefusal;
            return 0;
        };
        std::string dir;
        ASSERT_EQ(makeUniqueTempDir(fresh, "QDX", dir), rc::kOk);
        EXPECT_EQ(dir, "C:\\TEMP\\QDX1\\");
        EXPECT_TRUE(directoryExists(fresh, dir));
        EXPECT_EQ(fresh.privateDirectories.count("c:\\temp\\qdx1"), c.privateFolder ? 1u : 0u);
        EXPECT_EQ(elevationQueries, c.platform == platformid::kNt ? 1 : 0);
    }
    // A refusal other than "cannot be done here" is the folder's refusal.
    FakeOs denied;
    denied.failOn(Op::CreateDirectory, "", oserr::kAccessDenied);
    std::string dir;
    EXPECT_EQ(makeUniqueTempDir(denied, "QDX", dir), oserr::kAccessDenied);
    EXPECT_TRUE(denied.privateDirectories.empty());
}

TEST_F(FileUtilsFailures, DirectoriesComeFromTheSystemWhenTheEnvironmentHasNone) {
    os.env["WINDIR"] = "";
    os.windowsDir = "D:\\WINNT";
    EXPECT_EQ(getWindowsDir(os), "D:\\WINNT\\");
    os.systemDir = "C:\\WINDOWS\\SYSTEM32\\";
    EXPECT_EQ(getSystemDir(os), "C:\\WINDOWS\\SYSTEM32\\");
    os.systemDir = "C:\\" + std::string(400, 'x');
    EXPECT_EQ(getSystemDir(os).size(), 301u) << "the 301-character buffer, and its backslash";
}

TEST_F(FileUtilsFailures, FolderPathRecursionEndsAtAMissingDrive) {
    std::vector<std::string> created;
    os.inject = [&](Op op, const std::string& path) {
        if (op == Op::CreateDirectory) created.push_back(path);
        return op == Op::CreateDirectory && path.rfind("Q:", 0) == 0 ? oserr::kPathNotFound : 0;
    };
    EXPECT_EQ(createDirPath(os, "Q:\\a\\b\\"), oserr::kPathNotFound);
    EXPECT_FALSE(created.empty());
    EXPECT_LT(created.size(), 10u);
    EXPECT_FALSE(directoryExists(os, "Q:\\a\\b"));
}

TEST_F(FileUtilsFailures, ForcedCopyReportsTheCopysRefusal) {
    os.writeFile("C:\\TEMP\\new.txt", "new");
    os.failOn(Op::CopyFile, "C:\\TEMP\\old.txt", oserr::kDiskFull);  // a copy is named by its target
    EXPECT_EQ(copyFileForced(os, "C:\\TEMP\\new.txt", "C:\\TEMP\\old.txt", false), oserr::kDiskFull);
}

// ---- junctions and links ---------------------------------------------------------

struct Junctions : ::testing::Test {
    FakeOs os;
    void SetUp() override {
        os.writeFile("C:\\Data\\keep.txt", "not ours");
        os.makeDirs("C:\\TEMP\\QDX1");
    }
};

TEST_F(Junctions, AreReparsePointsRemovedAsLinks) {
    os.makeLink("C:\\TEMP\\QDX1\\link", os.hostPath("C:\\Data"));
    uint32_t a = 0;
    ASSERT_EQ(os.files().attributes("C:\\TEMP\\QDX1\\link", a), 0);
    EXPECT_EQ(a & (attr::kReparsePoint | attr::kDirectory), attr::kReparsePoint | attr::kDirectory);
    EXPECT_EQ(os.readFile("C:\\TEMP\\QDX1\\link\\keep.txt"), "not ours");
    EXPECT_EQ(os.files().removeDirectory("C:\\TEMP\\QDX1\\link"), 0);
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1\\link"));
    EXPECT_EQ(os.readFile("C:\\Data\\keep.txt"), "not ours");
}

TEST_F(Junctions, TreeDeletionNeverFollowsThem) {
    os.writeFile("C:\\TEMP\\QDX1\\own.txt", "ours");
    os.makeLink("C:\\TEMP\\QDX1\\inside", os.hostPath("C:\\Data"));
    os.makeLink("C:\\TEMP\\QDX2", os.hostPath("C:\\Data"));
    EXPECT_EQ(deleteDirTree(os, "C:\\TEMP\\QDX1\\"), rc::kOk);
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1"));
    EXPECT_EQ(deleteDirTree(os, "C:\\TEMP\\QDX2\\"), rc::kOk) << "a folder that is itself a link";
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX2"));
    EXPECT_EQ(os.readFile("C:\\Data\\keep.txt"), "not ours");
}

// Another program renames a folder of the tree away and puts a link to
// C:\Data in its place, at one moment of the deletion: what the link points to
// is never touched. Once the folder is held, the rename is refused.
TEST_F(Junctions, ALinkSwappedInDuringTheDeletionIsRemovedAsALink) {
    struct Case {
        const char* moment;
        Op op;
        const char* subject;
        bool swapped, treeGone;
    };
    const Case cases[] = {
        {"before the tree is listed", Op::FindFiles, "C:\\TEMP\\QDX1\\*.*", true, true},
        {"at the first look at the folder", Op::Attributes, "C:\\TEMP\\QDX1\\sub", true, false},
        {"after that look, as it is opened", Op::OpenDirectory, "C:\\TEMP\\QDX1\\sub", true, false},
        {"while its entries are listed", Op::FindFiles, "C:\\TEMP\\QDX1\\sub\\*.*", false, true},
        {"as its file is deleted", Op::DeleteFile, "C:\\TEMP\\QDX1\\sub\\own.txt", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.moment);
        FakeOs fresh;
        fresh.writeFile("C:\\Data\\own.txt", "not ours");
        fresh.writeFile("C:\\TEMP\\QDX1\\sub\\own.txt", "ours");
        bool tried = false, swapped = false;
        fresh.inject = [&](Op op, const std::string& subject) -> Result {
            if (!tried && op == c.op && lowerCase(subject) == lowerCase(c.subject)) {
                tried = true;
                swapped = fresh.replaceWithLink("C:\\TEMP\\QDX1\\sub", fresh.hostPath("C:\\Data"));
            }
            return 0;
        };
        const Result result = deleteDirTree(fresh, "C:\\TEMP\\QDX1\\");
        EXPECT_TRUE(tried);
        EXPECT_EQ(swapped, c.swapped) << "a held folder cannot be renamed";
        EXPECT_EQ(fresh.readFile("C:\\Data\\own.txt"), "not ours");
        // A folder moved aside after the listing is not ours to find: it stays.
        EXPECT_EQ(result == rc::kOk && !fresh.exists("C:\\TEMP\\QDX1"), c.treeGone);
        if (c.swapped) {
            EXPECT_FALSE(fresh.exists("C:\\TEMP\\QDX1\\sub")) << "the link itself went";
        }
    }
}

TEST_F(Junctions, AHeldFolderCanBeNeitherRemovedNorRenamed) {
    std::unique_ptr<HeldDirectory> held;
    uint32_t a = 0;
    ASSERT_EQ(os.files().openDirectory("C:\\TEMP\\QDX1", a, held), 0);
    EXPECT_EQ(a & (attr::kDirectory | attr::kReparsePoint), attr::kDirectory);
    EXPECT_EQ(os.files().removeDirectory("C:\\TEMP\\QDX1"), oserr::kSharingViolation);
    EXPECT_FALSE(os.replaceWithLink("C:\\TEMP\\QDX1", os.hostPath("C:\\Data")));
    held.reset();
    EXPECT_EQ(os.files().removeDirectory("C:\\TEMP\\QDX1"), 0);
    os.makeLink("C:\\TEMP\\link", os.hostPath("C:\\Data"));
    ASSERT_EQ(os.files().openDirectory("C:\\TEMP\\link", a, held), 0) << "the link itself";
    EXPECT_EQ(a & (attr::kDirectory | attr::kReparsePoint), attr::kDirectory | attr::kReparsePoint);
    EXPECT_EQ(os.files().openDirectory("C:\\Data\\keep.txt", a, held), oserr::kNotADirectory);
}

// ---- names -----------------------------------------------------------------------

// Scratch folders that killed runs left behind go at the next start, one row
// per kind of entry beside them; a folder an installer still runs from (its
// copy held open), one without the copy, and what only looks like one stay.
TEST_F(Junctions, LeftScratchFoldersGoThoseInUseStay) {
    struct Row {
        const char* name;
        bool removed;
    };
    const Row rows[] = {{"QDX1", true}, {"QDX7", true}, {"QDX2", false}, {"QDX3", false},
                        {"QDXa", false}, {"QDX4", false}, {"QDX5", false}};
    os.writeFile("C:\\TEMP\\QDX1\\temp.dat", "a killed run's copy");
    os.writeFile("C:\\TEMP\\QDX1\\impborl.dll", "its library");
    os.writeFile("C:\\TEMP\\QDX7\\temp.dat", "another");
    os.writeFile("C:\\TEMP\\QDX2\\temp.dat", "a running installer's copy");
    os.makeDirs("C:\\TEMP\\QDX3");  // being filled by another installer
    os.writeFile("C:\\TEMP\\QDXa\\temp.dat", "not a scratch name");
    os.writeFile("C:\\TEMP\\QDX4", "a file");
    os.writeFile("C:\\Data\\temp.dat", "not ours");
    os.makeLink("C:\\TEMP\\QDX5", os.hostPath("C:\\Data"));
    std::unique_ptr<File> held;
    ASSERT_EQ(os.files().openFile("C:\\TEMP\\QDX2\\temp.dat", FileAccess::ReadDenyWrite, held), 0);
    EXPECT_EQ(removeLeftScratchFolders(os, "QDX"), 2);
    for (const Row& r : rows) EXPECT_EQ(os.exists(std::string("C:\\TEMP\\") + r.name), !r.removed) << r.name;
    EXPECT_EQ(os.readFile("C:\\TEMP\\QDX2\\temp.dat"), "a running installer's copy");
    EXPECT_EQ(os.readFile("C:\\Data\\temp.dat"), "not ours") << "a link is never followed";
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
}  // namespace ssi
