// Replacing an installed screen saver (kept aside, put back or discarded),
// activation through system.ini, the documents, the clean-up and the Display
// control panel, over the test double.
#include <gtest/gtest.h>

#include "platform/fake/fake_os.h"
#include "saver/uninstall_entry.h"
#include "saver/saver_activation.h"

using namespace ssi;

namespace {

const std::string kQuestion = " screen saver already exists. Overwrite?";

struct Activation : ::testing::Test {
    FakeOs os;
    InstallerDirs dirs{"C:\\WINDOWS\\", "C:\\WINDOWS\\SYSTEM\\", "C:\\TEMP\\QDX1\\"};
    ReplacedSaver replaced;
    BoxReporter reporter{os};  // the overwrite question goes through it to the double's boxes
    const std::string sysScr = dirs.systemDir + "Night Sky.scr", sysDir = dirs.systemDir + "Night Sky dir\\";
    const std::string winScr = dirs.windowsDir + "Night Sky.scr", winDir = dirs.windowsDir + "Night Sky dir\\";
    const std::string entry = std::string(kUninstallKey) + "Night Sky";

    void SetUp() override { os.makeDirs(dirs.scratchDir); }
    void oldSaverIn(const std::string& dir) {
        os.writeFile(dir + "Night Sky.scr", "old saver in " + dir);
        os.writeFile(dir + "Night Sky dir\\saver.dat", "old data in " + dir);
        os.writeFile(dir + "Night Sky dir\\images\\a.jpg", "old image in " + dir);
    }
    bool oldSaverStillIn(const std::string& dir) {
        return os.readFile(dir + "Night Sky.scr") == "old saver in " + dir &&
               os.readFile(dir + "Night Sky dir\\saver.dat") == "old data in " + dir &&
               os.readFile(dir + "Night Sky dir\\images\\a.jpg") == "old image in " + dir;
    }
    [[nodiscard]] Result prepare(bool ask) {
        return prepareSaverTarget(os, dirs, "Night Sky", ask, kQuestion, replaced, reporter);
    }
    std::string activeSaver() {
        std::string v;
        return os.profile().readString("system.ini", "boot", "SCRNSAVE.EXE", v) == 0 ? v : "<none>";
    }
};

TEST_F(Activation, TheQuestionComesOnlyWhenACopyExistsAndCancelChangesNothing) {
    struct Case {
        bool sysFile, winFile, winFolder, ask, asked;
    } cases[] = {{false, false, false, true, false}, {true, false, false, true, true},
                 {false, true, false, true, true},   {false, false, true, true, true},
                 {true, true, false, true, true},    {true, true, false, false, false}};
    for (const Case& c : cases) {
        FakeOs fresh;
        fresh.makeDirs(dirs.scratchDir);
        if (c.sysFile) fresh.writeFile(sysScr, "old");
        if (c.winFile) fresh.writeFile(winScr, "old");
        if (c.winFolder) fresh.makeDirs(winDir);
        const std::string w = std::to_string(c.sysFile) + std::to_string(c.winFile) + std::to_string(c.winFolder);
        fresh.answers = {BoxAnswer::Cancel};
        ReplacedSaver r;
        BoxReporter freshReporter(fresh);
        const Result result =
            prepareSaverTarget(fresh, dirs, "Night Sky", c.ask, kQuestion, r, freshReporter);
        ASSERT_EQ(fresh.boxes.size(), c.asked ? 1u : 0u) << w;
        if (c.asked) {
            EXPECT_EQ(fresh.boxes[0].kind, BoxKind::Confirm);
            EXPECT_EQ(fresh.boxes[0].buttons, BoxButtons::OkCancel);
            EXPECT_EQ(fresh.boxes[0].text, "Night Sky screen saver already exists. Overwrite?");
            EXPECT_EQ(result, rc::kUserDeclined);
            EXPECT_FALSE(fresh.exists(sysDir)) << "no data folder after Cancel";
        } else {
            EXPECT_EQ(result, 0) << w;
            EXPECT_TRUE(fresh.exists(sysDir));
        }
    }

    // Cancel leaves both copies, folders included, and keeps nothing.
    oldSaverIn(dirs.systemDir);
    oldSaverIn(dirs.windowsDir);
    os.answers = {BoxAnswer::Cancel};
    EXPECT_EQ(prepare(true), rc::kUserDeclined);
    EXPECT_TRUE(oldSaverStillIn(dirs.systemDir));
    EXPECT_TRUE(oldSaverStillIn(dirs.windowsDir));
    EXPECT_TRUE(replaced.empty());
    EXPECT_FALSE(os.exists(keptPathOf(sysScr)));
}

TEST_F(Activation, AFailedInstallationPutsTheOldSaverBack) {
    oldSaverIn(dirs.systemDir);
    oldSaverIn(dirs.windowsDir);
    ASSERT_EQ(
        os.profile().writeString("system.ini", "boot", "SCRNSAVE.EXE", "C:\\WINDOWS\\SYSTEM\\NIGHTS~1.SCR"),
        0);
    os.setRegString(Hive::LocalMachine, entry, "DisplayName", "Night Sky (old)");
    os.setRegString(Hive::LocalMachine, entry, "UninstallString", "old /u");
    os.answers = {BoxAnswer::Ok};

    ASSERT_EQ(prepare(true), 0);
    ASSERT_EQ(replaced.items().size(), 4u);
    EXPECT_FALSE(os.exists(winScr));
    EXPECT_FALSE(os.exists(winDir));
    EXPECT_FALSE(os.exists(sysScr));
    EXPECT_TRUE(os.exists(sysDir)) << "a fresh, empty data folder";
    EXPECT_FALSE(os.exists(sysDir + "saver.dat"));
    EXPECT_EQ(os.readFile(dirs.systemDir + "Night Sky dir.kept\\images\\a.jpg"), "old image in " + dirs.systemDir)
        << "kept beside itself, renamed";
    EXPECT_EQ(os.readFile(winScr + ".kept"), "old saver in " + dirs.windowsDir);

    // The new one is installed and activated, then a later step fails.
    os.writeFile(sysScr, "new saver");
    os.writeFile(sysDir + "new.dat", "new");
    ASSERT_EQ(activateScreenSaver(os, dirs.systemDir, "Night Sky.scr"), 0);
    cleanUpInstalledFiles(os, sysDir, dirs.systemDir, "Night Sky.scr", "Night Sky");
    EXPECT_FALSE(os.hasKey(Hive::LocalMachine, entry));

    EXPECT_EQ(replaced.restore(os), 0);
    EXPECT_TRUE(oldSaverStillIn(dirs.systemDir));
    EXPECT_TRUE(oldSaverStillIn(dirs.windowsDir));
    EXPECT_FALSE(os.exists(sysDir + "new.dat"));
    EXPECT_EQ(activeSaver(), "C:\\WINDOWS\\SYSTEM\\NIGHTS~1.SCR");
    EXPECT_EQ(os.stringValue(Hive::LocalMachine, entry, "DisplayName"), "Night Sky (old)");
    EXPECT_EQ(os.stringValue(Hive::LocalMachine, entry, "UninstallString"), "old /u");
    for (const std::string& kept : {keptPathOf(sysScr), keptPathOf(sysDir), keptPathOf(winScr), keptPathOf(winDir)})
        EXPECT_FALSE(os.exists(kept)) << kept;
    EXPECT_TRUE(replaced.empty());
}

TEST_F(Activation, ASuccessfulInstallationDiscardsTheKeptCopies) {
    oldSaverIn(dirs.windowsDir);  // a copy only in the Windows folder
    ASSERT_EQ(os.profile().writeString("system.ini", "boot", "SCRNSAVE.EXE", "C:\\WINDOWS\\OTHER.SCR"), 0);
    ASSERT_EQ(prepare(false), 0);
    EXPECT_TRUE(os.boxes.empty()) << "quiet: replaced without asking";
    EXPECT_FALSE(os.exists(winScr));
    os.writeFile(sysScr, "new saver");
    ASSERT_EQ(activateScreenSaver(os, dirs.systemDir, "Night Sky.scr"), 0);
    EXPECT_EQ(replaced.discard(os), 0);
    EXPECT_FALSE(os.exists(keptPathOf(winScr)));
    EXPECT_FALSE(os.exists(winScr));
    EXPECT_EQ(os.readFile(sysScr), "new saver");
    EXPECT_EQ(activeSaver(), "C:\\WINDOWS\\SYSTEM\\NIGHTS~1.SCR");

    // A data folder alone is kept and put back too; a SCRNSAVE.EXE that was
    // not there comes back empty (no screen saver).
    FakeOs other;
    other.makeDirs(dirs.scratchDir);
    other.writeFile(sysDir + "saver.dat", "old data");
    ReplacedSaver r;
    BoxReporter otherReporter(other);
    ASSERT_EQ(prepareSaverTarget(other, dirs, "Night Sky", false, "", r, otherReporter), 0);
    ASSERT_EQ(r.items().size(), 1u);
    EXPECT_TRUE(r.items()[0].folder);
    other.writeFile(sysScr, "new");
    ASSERT_EQ(activateScreenSaver(other, dirs.systemDir, "Night Sky.scr"), 0);
    EXPECT_EQ(r.restore(other), 0);
    EXPECT_EQ(other.readFile(sysDir + "saver.dat"), "old data");
    std::string v = "?";
    EXPECT_EQ(other.profile().readString("system.ini", "boot", "SCRNSAVE.EXE", v), 0);
    EXPECT_EQ(v, "");
}

TEST_F(Activation, ALockedOldSaverStaysAndTheExtractionMeetsIt) {
    oldSaverIn(dirs.systemDir);
    os.lock(sysScr);
    ASSERT_EQ(prepare(false), 0);
    ASSERT_EQ(replaced.items().size(), 2u);
    EXPECT_TRUE(replaced.items()[0].stayed);
    EXPECT_FALSE(replaced.items()[1].stayed);
    // The extraction's replacement of the file reports it.
    EXPECT_EQ(deleteFileRetry(os, sysScr, 1000), rc::kSaverNotReplaced);
    cleanUpInstalledFiles(os, sysDir, dirs.systemDir, "Night Sky.scr", "Night Sky");
    EXPECT_EQ(replaced.restore(os), 0) << "the locked file is the old one, still in its place";
    EXPECT_TRUE(oldSaverStillIn(dirs.systemDir));
    EXPECT_FALSE(os.exists(keptPathOf(sysScr)));
}

TEST_F(Activation, ACopyThatCannotBeKeptStopsWithEverythingInPlace) {
    oldSaverIn(dirs.systemDir);
    oldSaverIn(dirs.windowsDir);
    os.inject = [&](Op op, const std::string& subject) -> Result {
        // The system folder's data folder can be neither renamed nor copied.
        return (op == Op::MoveFile && subject == sysDir.substr(0, sysDir.size() - 1)) ||
                       (op == Op::CopyFile && subject.find("a.jpg") != std::string::npos &&
                        subject.find(".kept") != std::string::npos)
                   ? oserr::kDiskFull
                   : 0;
    };
    EXPECT_EQ(prepare(false), oserr::kDiskFull);
    EXPECT_TRUE(oldSaverStillIn(dirs.systemDir));
    EXPECT_TRUE(oldSaverStillIn(dirs.windowsDir));
    EXPECT_FALSE(os.exists(keptPathOf(sysDir)));
    EXPECT_FALSE(os.exists(keptPathOf(sysScr)));
    EXPECT_TRUE(replaced.empty());

    // The data folder cannot be made: the system's error, the old copy back in place.
    FakeOs other;
    other.makeDirs(dirs.scratchDir);
    other.writeFile(sysScr, "old");
    other.failOn(Op::CreateDirectory, "C:\\WINDOWS\\SYSTEM\\Night Sky dir\\", oserr::kAccessDenied);
    ReplacedSaver r;
    BoxReporter otherReporter(other);
    EXPECT_EQ(prepareSaverTarget(other, dirs, "Night Sky", false, "", r, otherReporter),
              oserr::kAccessDenied);
    EXPECT_EQ(other.readFile(sysScr), "old");
    EXPECT_TRUE(r.empty());
    EXPECT_FALSE(other.exists(keptPathOf(sysScr)));
    // An existing folder, or 183 from the system, counts as made.
    other.makeDirs(sysDir);
    EXPECT_EQ(createSaverDataDir(other, dirs.systemDir, "Night Sky"), 0);
    FakeOs raced;
    raced.failOn(Op::CreateDirectory, "", oserr::kAlreadyExists);
    EXPECT_EQ(createSaverDataDir(raced, dirs.systemDir, "Night Sky"), 0);
}

TEST_F(Activation, ActivationWritesTheShortPathOrNothing) {
    os.writeFile(sysScr, "saver");
    EXPECT_EQ(activateScreenSaver(os, dirs.systemDir, "Night Sky.scr"), 0);
    EXPECT_EQ(activeSaver(), "C:\\WINDOWS\\SYSTEM\\NIGHTS~1.SCR");
    EXPECT_TRUE(os.screenSaveActive);

    // A missing file, a path without short form, a system.ini that cannot be written.
    struct Case {
        const char* file;
        Op fails;
        Result result;
    } cases[] = {{"Missing.scr", Op::StartTimer, rc::kFileMissing},
                 {"Night Sky.scr", Op::ShortPathName, rc::kFileMissing},
                 {"Night Sky.scr", Op::ProfileWrite, rc::kProfileNotWritten}};
    for (const Case& c : cases) {
        FakeOs fresh;
        fresh.writeFile(sysScr, "saver");
        fresh.failOn(c.fails, "", oserr::kAccessDenied);
        EXPECT_EQ(activateScreenSaver(fresh, dirs.systemDir, c.file), c.result) << c.file;
        EXPECT_FALSE(fresh.exists("C:\\WINDOWS\\system.ini"));
        EXPECT_EQ(fresh.screenSaveActiveCalls, 0);
    }
    // A refused switch is not the step's failure.
    FakeOs refused;
    refused.writeFile(sysScr, "saver");
    refused.failOn(Op::SetScreenSaveActive, "", oserr::kAccessDenied);
    EXPECT_EQ(activateScreenSaver(refused, dirs.systemDir, "Night Sky.scr"), 0);
}

TEST_F(Activation, DocumentsFollowTheirPrecedence) {
    struct Case {
        bool license, readMe;        // licenseShown, readMeIncluded
        Result licenseIs, readMeIs;  // -1: present and copyable, -16: missing, else the copy's failure
        Result result;
    } cases[] = {
        {false, false, -16, -16, 0},
        {true, false, -1, -16, 0},
        {true, false, -16, -1, rc::kFileMissing},
        {true, true, -16, -1, rc::kFileMissing},  // reported though the read-me was copied
        {true, true, -1, -16, rc::kFileMissing},
        {true, true, 5, 32, 32},  // the read-me's failure outranks the licence's
        {true, true, 5, -1, 5},
        {false, true, -16, -1, 0},  // quiet: the licence is neither shown nor copied
    };
    for (const Case& c : cases) {
        FakeOs fresh;
        const DocumentFiles docs{dirs.scratchDir, sysDir, "License.txt", "ReadMe.txt"};
        fresh.makeDirs(sysDir);
        if (c.licenseIs != rc::kFileMissing) fresh.writeFile(dirs.scratchDir + "License.txt", "licence");
        if (c.readMeIs != rc::kFileMissing) fresh.writeFile(dirs.scratchDir + "ReadMe.txt", "read me");
        fresh.inject = [&](Op op, const std::string& to) -> Result {
            if (op != Op::CopyFile) return 0;
            const Result r = to == sysDir + "License.txt" ? c.licenseIs : c.readMeIs;
            return r > 0 ? r : 0;
        };
        EXPECT_EQ(copyDocumentFiles(fresh, docs, c.license, c.readMe), c.result)
            << c.license << c.readMe << " " << c.licenseIs << " " << c.readMeIs;
        EXPECT_EQ(fresh.exists(sysDir + "License.txt"), c.license && c.licenseIs == -1);
    }
}

TEST_F(Activation, ReadMeCleanUpAndClosingTheDialog) {
    openReadMe(os, false, sysDir, "ReadMe.txt");
    EXPECT_TRUE(os.shellRequests.empty());
    openReadMe(os, true, sysDir, "ReadMe.txt");
    ASSERT_EQ(os.shellRequests.size(), 1u);
    const ShellRequest& r = os.shellRequests[0];
    EXPECT_EQ(r.owner, 0u);
    EXPECT_EQ(r.verb + "|" + r.file + "|" + r.parameters + "|" + r.directory,
              "|C:\\WINDOWS\\SYSTEM\\Night Sky dir\\ReadMe.txt||C:\\WINDOWS\\SYSTEM\\Night Sky dir\\")
        << "opened in the install folder, not the installer's working folder";
    EXPECT_EQ(r.show, showcmd::kShowNormal);

    os.writeFile(sysScr, "new");
    os.writeFile(sysDir + "saver.dat", "data");
    os.setRegString(Hive::LocalMachine, entry, "DisplayName", "x");
    os.setRegString(Hive::LocalMachine, entry, "UninstallString", "x");
    cleanUpInstalledFiles(os, sysDir, dirs.systemDir, "Night Sky.scr", "Night Sky");
    EXPECT_FALSE(os.exists(sysScr));
    EXPECT_FALSE(os.exists(sysDir));
    EXPECT_FALSE(os.hasKey(Hive::LocalMachine, entry));

    closeDisplayProperties(os);
    EXPECT_EQ(os.findWindowCalls, 2) << "the table's title, then the fixed one";
    EXPECT_TRUE(os.clicks.empty());
    // Cancelled, then waited for until it has gone (the third look), or a few seconds at most.
    os.windows["Display Properties"] = 77;
    os.onSleep = [&](uint32_t) {
        if (os.sleptMs == 200) os.windows.erase("Display Properties");
    };
    closeDisplayProperties(os);
    ASSERT_EQ(os.clicks.size(), 1u);
    EXPECT_EQ(os.clicks[0], (std::pair<WindowHandle, int>{77, 2}));
    EXPECT_EQ(os.sleptMs, 200u) << "until it went";
    os.onSleep = nullptr;
    os.sleptMs = 0;
    os.windows["Display Properties"] = 77;
    closeDisplayProperties(os);
    EXPECT_EQ(os.sleptMs, 5000u) << "a dialog that never goes is waited for no longer";
    EXPECT_EQ(os.clicks.size(), 1u + 1u + 4u) << "clicked again each second it stayed (a lost click)";
}

TEST_F(Activation, TheDisplayPanelStartsBySystemPathUnderTheHourglass) {
    openDisplayControlPanel(os, false, dirs.systemDir);
    EXPECT_TRUE(os.processes.empty());
    EXPECT_EQ(os.findWindowCalls, 0);

    const uintptr_t before = os.currentCursor;
    bool hourglassWhileLooking = true;
    os.onFindWindow = [&](const std::string& title) {
        hourglassWhileLooking &= os.currentCursor == os.ui().hourglassCursor() && title == "Display Properties";
    };
    // 95, 98 and ME keep it in the Windows folder: with none in the system folder, that one.
    openDisplayControlPanel(os, true, dirs.systemDir);
    ASSERT_EQ(os.processes.size(), 1u);
    EXPECT_EQ(os.processes[0].program, "C:\\WINDOWS\\rundll32.exe");
    os.processes.clear();
    os.findWindowCalls = 0;
    os.writeFile(dirs.systemDir + "rundll32.exe", "MZ");
    openDisplayControlPanel(os, true, dirs.systemDir);
    ASSERT_EQ(os.processes.size(), 1u);
    EXPECT_EQ(os.processes[0].program, "C:\\WINDOWS\\SYSTEM\\rundll32.exe");
    EXPECT_EQ(os.processes[0].arguments, "shell32.dll,Control_RunDLL desk.cpl,,1");
    EXPECT_EQ(os.processes[0].show, showcmd::kShowNormal);
    EXPECT_FALSE(os.processes[0].wait);
    EXPECT_EQ(os.findWindowCalls, 1000) << "the window never came";
    EXPECT_TRUE(hourglassWhileLooking);
    EXPECT_EQ(os.currentCursor, before);

    os.findWindowCalls = 0;
    os.onFindWindow = [&](const std::string&) {
        if (os.findWindowCalls == 5) os.windows["Display Properties"] = 9;
    };
    openDisplayControlPanel(os, true, dirs.systemDir);
    EXPECT_EQ(os.findWindowCalls, 5);
}

}  // namespace
