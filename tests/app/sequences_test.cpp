// The whole installer over the test double: each ending of the
// initialisation, each state of an installation, cancelling and closing,
// the quiet modes and the exit code. The user's moves come when the message
// loop waits (onIdle) or while a step pauses (onProcessMessages).
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "app/installer_window.h"
#include "app/preparing_window.h"
#include "app/run_installer.h"
#include "core/names.h"
#include "core/trace.h"
#include "platform/fake/fake_os.h"
#include "platform/messages.h"
#include "tests/package/package_fixture.h"
#include "tests/ssd/ssd_test_util.h"
#include "tests/support/fake_player.h"
#include "tests/support/swf_movies.h"
#include "tests/app/installer_rig.h"

using namespace ssi;
using namespace ssi::test;

namespace {

struct Sequences : ::testing::Test, Installer {};

// ---- interactive installations -------------------------------------------------

TEST_F(Sequences, InteractiveSuccessInstallsEverythingAndEndsCleanly) {
    input.showLicense = true;
    struct Seen {
        bool installEnabled, cancelVisible, doneVisible;
        std::string status;
    };
    std::vector<Seen> during;
    moves.push_back([&] {
        os.onProcessMessages = [&] {
            TInstallerForm& f = form();
            if (f.installing && f.labCopying.visible())
                during.push_back(
                    {f.installBtn.enabled(), f.cancelBtn.visible(), f.doneBtn.visible(), f.labCopying.text()});
        };
        form().installBtn.click();
    });
    run();
    EXPECT_EQ(exitCode, 0);
    ASSERT_FALSE(during.empty());
    EXPECT_FALSE(during.front().installEnabled);
    EXPECT_TRUE(during.front().cancelVisible);
    EXPECT_FALSE(during.front().doneVisible);
    EXPECT_EQ(during.front().status, "Installing Screen Saver...");
    EXPECT_EQ(during.back().status, "Screen Saver Installation and Setup Complete.");
    EXPECT_TRUE(during.back().doneVisible);

    EXPECT_EQ(os.readFile(kSaver), source(input, slot::kSaver));
    EXPECT_EQ(os.readFile(kInstallDir + "saver1.dll"), source(input, slot::kEngine1));
    EXPECT_EQ(os.readFile(kInstallDir + "media\\stars.txt"), "stars");
    EXPECT_EQ(os.readFile(kInstallDir + "License.txt"), source(input, slot::kLicense));
    EXPECT_EQ(os.readFile(kInstallDir + "ReadMe.txt"), source(input, slot::kReadMe));
    EXPECT_EQ(os.readFile(kInstallDir + "saver.dat").size(), 1240u);
    std::string shortSaver;
    ASSERT_EQ(os.files().shortPathName(kSaver, shortSaver), 0);
    EXPECT_EQ(activeSaver(), shortSaver);
    EXPECT_TRUE(os.screenSaveActive);
    EXPECT_EQ(os.stringValue(Hive::LocalMachine, kUninstall, "UninstallString"), kSaver + " /u");
    ASSERT_EQ(os.shellRequests.size(), 1u) << "the read-me is opened";
    EXPECT_EQ(os.shellRequests[0].file, kInstallDir + "ReadMe.txt");
    // The question, answered Yes: the control panel by its full path.
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"The installation of the screen saver was successful.\r\n\r\n"
                                                   "Would you like to open the screen saver control panel?"});
    ASSERT_EQ(os.processes.size(), 1u);
    EXPECT_EQ(os.processes[0].program, kSystem + "rundll32.exe");
    EXPECT_EQ(os.processes[0].directory, kSystem) << "started in the system folder, not the download folder";
    EXPECT_EQ(os.shellRequests[0].directory, kInstallDir);
    EXPECT_EQ(os.minimized, 1);
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1")) << "no scratch folder is left";
    EXPECT_EQ(os.currentCursor, 1u);
}

TEST_F(Sequences, ALockedScreenSaverFailsWith38AndTheOldOneIsBack) {
    oldSaverInstalled();
    os.lock(kSaver);
    moves.push_back([&] { form().installBtn.click(); });
    bool stillOpen = false;
    std::string status;
    moves.push_back([&] {
        TInstallerForm& f = form();
        stillOpen = !os.isTerminated;
        status = f.labCopying.text();
        EXPECT_FALSE(f.installBtn.enabled()) << "after a failure Install stays disabled";
        EXPECT_TRUE(f.cancelBtn.visible());
        EXPECT_FALSE(f.doneBtn.visible());
        f.cancelBtn.click();  // the only way left: close
    });
    os.answers = {BoxAnswer::Ok};  // overwrite: yes
    run();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(status, "Installation Aborted: Screen saver cannot be replaced.");
    ASSERT_EQ(os.boxes.size(), 2u);
    EXPECT_EQ(os.boxes[0].text, "Night Sky screen saver already exists. Overwrite?");
    EXPECT_EQ(os.boxes[1].kind, BoxKind::Error);
    EXPECT_EQ(os.boxes[1].text.rfind("Installation Error: Screen saver cannot be replaced.", 0), 0u);
    EXPECT_EQ(exitCode, 0);
    // Nothing of the new one, everything of the old one.
    EXPECT_EQ(os.readFile(kSaver), "the old saver");
    EXPECT_EQ(os.readFile(kInstallDir + "old.txt"), "its data");
    EXPECT_FALSE(os.exists(kInstallDir + "saver1.dll"));
    EXPECT_EQ(activeSaver(), "C:\\WINDOWS\\SYSTEM\\NIGHTS~1.SCR");
    EXPECT_EQ(os.stringValue(Hive::LocalMachine, kUninstall, "DisplayName"), "Night Sky Screen Saver");
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1"));
}

TEST_F(Sequences, ALaterFailurePutsTheOldSaverAndItsSystemIniLineBack) {
    oldSaverInstalled();
    // The settings file cannot be written: the installation fails after the
    // new screen saver file is in place.
    os.failOn(Op::OpenFile, kInstallDir + "setwnd.scf", oserr::kAccessDenied);
    moves.push_back([&] { form().installBtn.click(); });
    std::string status;
    moves.push_back([&] {
        status = form().labCopying.text();
        form().cancelBtn.click();
    });
    run();
    EXPECT_EQ(status, "Installation Aborted: Insufficient user account privileges.");
    EXPECT_EQ(os.readFile(kSaver), "the old saver");
    EXPECT_EQ(os.readFile(kInstallDir + "old.txt"), "its data");
    EXPECT_FALSE(os.exists(kInstallDir + "saver1.dll"));
    EXPECT_EQ(activeSaver(), "C:\\WINDOWS\\SYSTEM\\NIGHTS~1.SCR");
    EXPECT_TRUE(os.hasKey(Hive::LocalMachine, kUninstall));
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1")) << "nothing of the kept copies is left";
}

TEST_F(Sequences, KeptCopiesThatCannotGoBackStayBesideTheirPlace) {
    oldSaverInstalled();
    input.slots[slot::kDataFile]->compress = true;  // written out to the scratch folder, then read
    bool failed = false;
    os.inject = [&](Op op, const std::string& subject) -> Result {
        if (op == Op::OpenFile && lowerCase(subject) == lowerCase(kScratch + "Night Sky.ssd")) {
            failed = true;
            return oserr::kAccessDenied;
        }
        // After the failure the old screen saver can neither be renamed nor written back.
        return failed && ((op == Op::CopyFile && lowerCase(subject) == lowerCase(kSaver)) ||
                          (op == Op::MoveFile && lowerCase(subject) == lowerCase(kSaver + ".kept")))
                   ? oserr::kAccessDenied
                   : 0;
    };
    moves.push_back([&] { form().installBtn.click(); });
    moves.push_back([&] { form().cancelBtn.click(); });
    run();
    EXPECT_FALSE(os.exists(kSaver) && os.readFile(kSaver) == "the old saver");
    EXPECT_EQ(os.readFile(kSaver + ".kept"), "the old saver") << "the only copy is kept";
    EXPECT_FALSE(os.exists(kScratch)) << "it lives beside its place, not in the scratch folder";
}

// The preparation moves the old copy aside, fails to make the data folder,
// and cannot put the old copy back either: the kept copy is then the only
// one, and neither the end of the installation nor closing may delete it.
TEST_F(Sequences, CopiesAFailedPreparationCannotPutBackStayKept) {
    oldSaverInstalled();
    os.inject = [&](Op op, const std::string& subject) -> Result {
        const std::string s = lowerCase(subject);
        if (op == Op::CreateDirectory && s == lowerCase(kInstallDir)) return oserr::kAccessDenied;
        if (op == Op::MoveFile && s == lowerCase(kSaver + ".kept")) return oserr::kAccessDenied;
        return op == Op::CopyFile && s == lowerCase(kSaver) ? oserr::kAccessDenied : 0;
    };
    moves.push_back(clickInstall());
    moves.push_back([&] { form().cancelBtn.click(); });
    run();
    EXPECT_FALSE(os.exists(kSaver));
    EXPECT_EQ(os.readFile(kSaver + ".kept"), "the old saver") << "the only copy is kept";
    EXPECT_TRUE(stranded);
    EXPECT_EQ(os.readFile(kInstallDir + "old.txt"), "its data") << "the data folder went back";
    EXPECT_FALSE(os.exists(kScratch)) << "it lives beside its place, not in the scratch folder";
}

TEST_F(Sequences, ADeclinedOverwriteChangesNothingAndLeavesTheWindowReady) {
    oldSaverInstalled();
    os.answers = {BoxAnswer::Cancel};
    moves.push_back([&] { form().installBtn.click(); });
    moves.push_back([&] {
        TInstallerForm& f = form();
        EXPECT_FALSE(os.isTerminated);
        EXPECT_TRUE(f.installBtn.enabled());
        EXPECT_TRUE(f.cancelBtn.enabled());
        EXPECT_TRUE(f.labCopying.visible());
        EXPECT_EQ(f.labCopying.text(), "");
        EXPECT_EQ(f.progressBar.position(), 0);
        os.userClose(f);
    });
    run();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(os.readFile(kSaver), "the old saver");
    EXPECT_EQ(os.readFile(kInstallDir + "old.txt"), "its data");
    EXPECT_EQ(activeSaver(), "C:\\WINDOWS\\SYSTEM\\NIGHTS~1.SCR");
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1"));
}

TEST_F(Sequences, CancelDuringTheExtractionStopsCleansUpAndCloses) {
    oldSaverInstalled();
    os.answers = {BoxAnswer::Ok};
    bool clicked = false;
    std::string statusAfterCancel;
    moves.push_back([&] {
        os.onProcessMessages = [&] {
            TInstallerForm& f = form();
            // The first progress step: slot 6 has been written.
            if (!clicked && f.progressBar.position() == 1) {
                clicked = true;
                os.post([&] {
                    form().cancelBtn.click();
                    statusAfterCancel = form().labCopying.text();
                });
            }
        };
        form().installBtn.click();
    });
    run();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(statusAfterCancel, "Installation Aborted. Cleaning up files...");
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(os.isTerminated) << "a cancellation that left the result at 0 closes the installer";
    EXPECT_FALSE(os.exists(kInstallDir + "saver2.dll")) << "the remaining slots are not extracted";
    EXPECT_EQ(os.readFile(kSaver), "the old saver") << "the new file is removed and the old one is back";
    EXPECT_EQ(os.readFile(kInstallDir + "old.txt"), "its data");
    EXPECT_EQ(os.boxes.size(), 1u) << "only the overwrite question";
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1"));
}

TEST_F(Sequences, InstallClickedTwiceRunsOnceAndTheCloseBoxWaits) {
    int closeRefused = 0;
    moves.push_back([&] {
        os.onProcessMessages = [&] {
            TInstallerForm& f = form();
            if (!f.installing) return;
            f.installBtnClick();  // a second click reaching the handler
            const bool wasVisible = f.visible();
            os.userClose(f);
            if (f.visible() == wasVisible && !os.isTerminated) ++closeRefused;
        };
        form().installBtn.click();
    });
    run();
    EXPECT_GT(closeRefused, 0);
    EXPECT_EQ(os.shellRequests.size(), 1u) << "one installation opened the read-me once";
    EXPECT_EQ(exitCode, 0);
}

TEST_F(Sequences, CancelBeforeInstallClosesAtOnce) {
    moves.push_back([&] { form().cancelBtn.click(); });
    run();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(os.boxes.empty());
    EXPECT_FALSE(installed());
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1"));
}

TEST_F(Sequences, WithoutTheControlPanelOfferTheInstallerClosesWithoutAQuestion) {
    input.offerDisplayPanel = false;
    moves.push_back([&] { form().installBtn.click(); });
    run();
    EXPECT_TRUE(installed());
    EXPECT_TRUE(os.boxes.empty());
    EXPECT_TRUE(os.processes.empty());
}

// ---- quiet installations ------------------------------------------------------------

TEST_F(Sequences, QuietByTheCommandLineInAnyCaseAndOtherParametersIgnored) {
    struct Case {
        std::vector<std::string> parameters;
        bool quiet;
    } cases[] = {{{"/Q"}, true}, {{"/q"}, true}, {{"-q", "/quiet", "q", "/Q"}, true}, {{"-q"}, false},
                 {{"/quiet"}, false}, {{"q"}, false}, {{}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameters.empty() ? std::string("(none)") : c.parameters.front());
        Installer t;
        t.os.parameters = c.parameters;
        bool onScreen = false;
        t.os.onProcessMessages = [&] {
            for (Form* f : t.os.realized)
                if (f->visible() && f->left() > -3000 + 1000) onScreen = true;
        };
        bool shown = false;
        t.moves.push_back([&] {
            shown = true;
            t.os.userClose(t.form());
        });
        t.run();
        EXPECT_EQ(shown, !c.quiet);
        EXPECT_EQ(t.installed(), c.quiet);
        EXPECT_EQ(onScreen, !c.quiet) << "a quiet installation never puts a window on the screen";
    }
}

TEST_F(Sequences, AQuietInstallationThatFailsShowsNoBoxAndEndsWithItsCode) {
    os.writeFile(kSaver, "the old saver");
    os.lock(kSaver);
    os.parameters = {"/q"};
    run();
    EXPECT_EQ(exitCode, rc::kSaverNotReplaced);
    EXPECT_TRUE(os.boxes.empty()) << "no question, no failure box";
    EXPECT_EQ(os.readFile(kSaver), "the old saver");
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1"));
    EXPECT_EQ(os.appTitle, "Preparing installation...");
}

TEST_F(Sequences, AQuietInstallationWithoutRoomForTheDataItemsEndsWith545) {
    for (const bool oldSaver : {false, true}) {
        SCOPED_TRACE(oldSaver ? "over an older saver" : "fresh");
        Installer t;
        if (oldSaver) t.oldSaverInstalled();
        t.os.freeBytes = 9;  // the two items need 10 bytes
        t.os.parameters = {"/q"};
        t.run();
        EXPECT_EQ(t.exitCode, rc::kNotEnoughDiskSpace);
        EXPECT_FALSE(t.os.exists(kInstallDir + "intro.swf") || t.os.exists(kInstallDir + "media\\stars.txt"));
        EXPECT_FALSE(t.os.exists(kInstallDir + "saver.dat"));
        EXPECT_EQ(t.os.readFile(kSaver), oldSaver ? "the old saver" : "");
        EXPECT_FALSE(t.os.exists("C:\\TEMP\\QDX1"));
    }
}

TEST_F(Sequences, HeaderModeFourOpensTheControlPanelOnlyWithoutTheSwitch) {
    input.installerMode = mode::kQuiet;
    input.slots[slot::kPreview].reset();
    run();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(installed());
    EXPECT_TRUE(os.boxes.empty()) << "no question";
    ASSERT_EQ(os.processes.size(), 1u);
    EXPECT_EQ(os.processes[0].program, kSystem + "rundll32.exe");
    EXPECT_EQ(os.processes[0].arguments, "shell32.dll,Control_RunDLL desk.cpl,,1");

    Installer t;
    t.input = input;
    t.os.parameters = {"/Q"};
    t.run();
    EXPECT_TRUE(t.installed());
    EXPECT_TRUE(t.os.processes.empty()) << "never with the switch";
}

// ---- endings of the initialisation ----------------------------------------------------

TEST_F(Sequences, InitialisationFailuresEndWithTheirBox) {
    struct Case {
        const char* what;
        std::function<void(Installer&)> arrange;
        Result code;
        BoxKind kind;
        std::string text;
    } cases[] = {
        {"no player and no carried installer",
         [](Installer& t) {
             removePlayer(t.os);
             t.input.carriesFlashInstaller = false;
             t.input.slots[slot::kFlashInstaller].reset();
         },
         rc::kFlashNotInstallable, BoxKind::Information,
         "This screen saver requires the latest Macromedia Flash Player for Internet Explorer.\r\n\r\n"
         "Please download the free player from http://www.macromedia.com/go/getflashplayer and retry this "
         "installation."},
        {"player 8 needed on NT 4.0, a suitable player installed",
         [](Installer& t) {
             t.os.version = WindowsVersion{2, 4, 0, 1381, "Service Pack 6a"};
             t.input.flashVersionIndex = 1;
             installPlayer(t.os, 8, 22);
         },
         rc::kNotCompatibleWithNT, BoxKind::Error, "This screen saver is not compatible with Windows NT."},
        {"mode 5 with no preview slot",
         [](Installer& t) {
             t.input.installerMode = mode::kQuiet;
             t.input.slots[slot::kPreview].reset();
             t.patch = [](PackageHeader& h) { h.installerMode = 5; };
         },
         rc::kEmptySlotName, BoxKind::Error, "Installer file is corrupted. Quillon Error: -531. "},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        Installer t;
        c.arrange(t);
        bool previewSeen = false;
        t.os.onBox = [&](const RecordedBox&) { previewSeen = t.os.exists(kScratch + "installer.jpg"); };
        t.run();
        EXPECT_EQ(t.exitCode, 0);
        ASSERT_FALSE(t.os.boxes.empty());
        EXPECT_EQ(t.os.boxes.back().kind, c.kind);
        EXPECT_EQ(t.os.boxes.back().text, c.text);
        EXPECT_FALSE(previewSeen) << "the preview is never extracted";
        EXPECT_EQ(t.os.shownForms, std::vector<std::string>{"preparingInstallWnd"}) << "the window is never shown";
        EXPECT_FALSE(t.os.exists("C:\\TEMP\\QDX1"));
        (void)c.code;
    }
}

std::vector<std::string>& traced() {
    static std::vector<std::string> lines;
    return lines;
}
void traceInto(const LogLine& line) {
    if (std::string(line.operation) == "message") traced().push_back(line.name);
}

// "/q" from the command line: nobody is there. Each initialisation failure
// ends at once, shows no box, and is the process's exit code; the trace
// names it. The same package without the switch, in header mode 4, keeps its
// box for the person who is there.
TEST_F(Sequences, UnattendedInitialisationFailuresEndAtOnceWithTheirCode) {
    struct Case {
        const char* what;
        std::function<void(Installer&)> arrange;
        Result code;
    } cases[] = {
        {"no player and no carried installer",
         [](Installer& t) {
             removePlayer(t.os);
             t.input.carriesFlashInstaller = false;
             t.input.slots[slot::kFlashInstaller].reset();
         },
         rc::kFlashNotInstallable},
        {"player 8 needed on NT 4.0",
         [](Installer& t) {
             t.os.version = WindowsVersion{2, 4, 0, 1381, "Service Pack 6a"};
             t.input.flashVersionIndex = 1;
             installPlayer(t.os, 8, 22);
         },
         rc::kNotCompatibleWithNT},
        {"a header that cannot be valid",
         [](Installer& t) { t.patch = [](PackageHeader& h) { h.flashVersionIndex = 2; }; },
         rc::kCorruptPackage},
        // The header check refuses this index when it reads the header; the
        // look-up of the player the package needs refuses it on its own.
        {"a player index that changes after the header is read",
         [](Installer& t) {
             t.os.inject = [&t](Op op, const std::string&) -> Result {
                 if (op != Op::RegOpenKey) return 0;
                 for (Form* f : t.os.realized)
                     if (f->name() == "InstallerForm")
                         static_cast<TInstallerForm*>(f)->package.header.flashVersionIndex = 2;
                 return 0;
             };
         },
         rc::kCorruptPackage},
        {"no scratch folder (before the header is read)",
         [](Installer& t) { t.os.failOn(Op::CreateDirectory, "", oserr::kAccessDenied); },
         oserr::kAccessDenied},
    };
    for (const char* how : {"/q", "/Q", "header mode 4"}) {
        for (Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", " + how);
            const bool byHeader = std::string(how) == "header mode 4";
            // Before a sound header is read, the package's mode is not known.
            if (byHeader && (c.code == oserr::kAccessDenied || c.code == rc::kCorruptPackage)) continue;
            Installer t;
            c.arrange(t);
            if (byHeader)
                t.input.installerMode = mode::kQuiet;
            else
                t.os.parameters = {how};
            traced().clear();
            logSink() = traceInto;
            t.run();  // a box left waiting, or a loop that never ends, throws
            logSink() = nullptr;
            EXPECT_EQ(t.exitCode, c.code);
            EXPECT_TRUE(t.os.isTerminated);
            EXPECT_EQ(t.os.shownForms, std::vector<std::string>{"preparingInstallWnd"});
            EXPECT_NE(std::find(traced().begin(), traced().end(), "install error: " + decimal(c.code)), traced().end());
            if (byHeader) {
                EXPECT_EQ(t.os.boxes.size(), 1u) << "a person is there";
            } else {
                EXPECT_TRUE(t.os.boxes.empty()) << t.os.boxes.front().text;
                EXPECT_TRUE(t.os.processes.empty()) << "no control panel either";
                // The administrator's log, in the Windows folder, names the failure.
                const std::string log = t.os.exists("C:\\WINDOWS\\NightSkySetup.log") ? t.os.readFile("C:\\WINDOWS\\NightSkySetup.log") : "";
                EXPECT_NE(log.find("install error: " + decimal(c.code) + "\r\n"), std::string::npos) << log;
                EXPECT_NE(log.find("exit code: " + decimal(c.code) + "\r\n"), std::string::npos) << log;
            }
            EXPECT_FALSE(t.os.exists("C:\\TEMP\\QDX1"));
        }
    }
}

// The boxes of the steps a quiet run goes through (the codec library's
// extraction, the data file's reader) go to the trace under "/q"; the failure is the exit code.
TEST_F(Sequences, UnattendedInstallationFailuresShowNoBox) {
    struct Case {
        const char* what;
        std::function<void(Installer&)> arrange;
    } cases[] = {
        {"a damaged data file",
         [](Installer& t) {
             t.input.slots[slot::kDataFile] = slotOf("Night Sky.ssd", kind::kScratchLibrary, false, "not a data file");
         }},
        {"the codec library cannot be written",
         [](Installer& t) { t.os.failOn(Op::Write, kScratch + "impborl.dll", oserr::kAccessDenied); }},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        Installer t;
        c.arrange(t);
        t.os.parameters = {"/q"};
        traced().clear();
        logSink() = traceInto;
        t.run();
        logSink() = nullptr;
        EXPECT_NE(t.exitCode, 0);
        EXPECT_TRUE(t.os.boxes.empty()) << t.os.boxes.front().text;
        EXPECT_TRUE(t.os.isTerminated);
        const bool boxTraced = std::any_of(traced().begin(), traced().end(), [](const std::string& line) {
            return line.rfind("not shown (unattended): ", 0) == 0;
        });
        EXPECT_TRUE(boxTraced) << "what the box would have said is in the trace";
    }
}

// An installer window that cannot be made (or no application window at all)
// ends the program with the system's error, interactive or quiet, instead of
// a message loop with nothing to wait for; the preparing window is a
// courtesy the run goes on without. A pause timer that cannot start only
// shortens the pauses: the run ends.
TEST_F(Sequences, AWindowOrTimerThatCannotBeMadeEndsTheRun) {
    struct Case {
        const char* what;
        Op op;
        const char* subject;
        bool quiet;
        Result exitCode;
        bool installs;
    } cases[] = {
        {"no preparing window, Install pressed", Op::Realize, "preparingInstallWnd", false, rc::kOk, true},
        {"no preparing window, /q", Op::Realize, "preparingInstallWnd", true, rc::kOk, true},
        {"no installer window", Op::Realize, "InstallerForm", false, oserr::kInvalidWindowHandle, false},
        {"no installer window, /q", Op::Realize, "InstallerForm", true, oserr::kInvalidWindowHandle, false},
        {"no window at all", Op::Realize, "", false, oserr::kInvalidWindowHandle, false},
        {"no pause timer, Install pressed", Op::StartTimer, "", false, rc::kOk, true},
        {"no pause timer, /q", Op::StartTimer, "", true, rc::kOk, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Installer t;
        t.os.failOn(c.op, c.subject, oserr::kInvalidWindowHandle);
        if (c.quiet)
            t.os.parameters = {"/q"};
        else if (c.installs)
            t.moves.push_back([&] { t.form().installBtn.click(); });
        t.run();  // a loop that nothing could end throws instead of hanging
        EXPECT_EQ(t.exitCode, c.exitCode);
        EXPECT_EQ(t.installed(), c.installs);
        if (!c.installs) {
            // One box when a person is there; none under "/q".
            EXPECT_EQ(t.os.boxes.size(), c.quiet ? 0u : 1u);
            EXPECT_FALSE(t.os.exists("C:\\TEMP\\QDX1")) << "nothing was unpacked";
        }
    }
}

TEST_F(Sequences, AMovieThatCannotPlayInstallsWithoutTheWindow) {
    input.installerMode = mode::kMoviePreview;
    // A movie newer than any player the package knows.
    input.slots[slot::kPreview] = slotOf("installer.swf", kind::kScratch, false, movies::fws(9, "body"));
    std::vector<std::string> messages;
    os.onProcessMessages = [&] {
        for (Form* f : os.realized)
            if (f->name() == "preparingInstallWnd") {
                const std::string m = static_cast<TpreparingInstallWnd*>(f)->Label1.text();
                if (messages.empty() || messages.back() != m) messages.push_back(m);
            }
    };
    run();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(installed());
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "Installation Successful.");
    EXPECT_NE(std::find(messages.begin(), messages.end(), "Installing Screen Saver..."), messages.end());
    EXPECT_EQ(os.shownForms, std::vector<std::string>{"preparingInstallWnd"}) << "the installer window never shows";
    EXPECT_EQ(boxTexts().size(), 1u) << "the control-panel question only";
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1"));
}

TEST_F(Sequences, APlayerUpdateRunsTheCarriedInstaller) {
    struct Case {
        int major, revision;
        bool update;
    } cases[] = {{7, 14, true}, {7, 19, false}, {6, 79, true}, {8, 5, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + " r" + std::to_string(c.revision));
        Installer t;
        installPlayer(t.os, c.major, c.revision);
        t.moves.push_back([&] { t.os.userClose(t.form()); });
        // What another program could do to the carried installer as it starts.
        bool othersMayWriteIt = true;
        Result othersDelete = 0;
        t.os.onShellExecute = [&](const ShellRequest& r) {
            othersMayWriteIt = t.os.othersMayWrite(r.file);
            othersDelete = t.os.files().deleteFile(r.file);
            return t.os.exists(r.file) ? 0 : oserr::kFileNotFound;
        };
        t.run();
        const bool launched = !t.os.shellRequests.empty() && t.os.shellRequests[0].parameters == "/Q";
        EXPECT_EQ(launched, c.update);
        if (c.update) {
            EXPECT_FALSE(t.os.exists(kPlayerFile)) << "the old control file goes first";
            EXPECT_EQ(t.os.shellRequests[0].directory, "C:\\TEMP\\QDX1\\") << "started in the scratch folder";
            EXPECT_FALSE(othersMayWriteIt) << "the installer holds what it starts";
            EXPECT_EQ(othersDelete, oserr::kSharingViolation);
            EXPECT_FALSE(t.os.exists("C:\\TEMP\\QDX1")) << "let go, and the scratch folder went";
        }
    }
}

}  // namespace
