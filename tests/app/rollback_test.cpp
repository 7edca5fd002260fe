// Nothing of the user's is lost: the older screen saver, its data folder, its
// system.ini line, its whole uninstall entry and the system files a slot
// replaces come back after a failure, before anything waits on the user; a
// copy that cannot come back stays kept beside its place and is reported;
// a kept copy left by a killed run is put back by the next one.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/trace.h"
#include "saver/replaced_saver.h"
#include "saver/uninstall_entry.h"
#include "tests/app/installer_rig.h"

using namespace ssi;
using namespace ssi::test;

namespace {

const std::string kKeptSaver = kSaver + ".kept";
const std::string kKeptDir = kSystem + "Night Sky dir.kept\\";

std::vector<std::string>& logLines() {
    static std::vector<std::string> lines;
    return lines;
}
void keepLine(const LogLine& line) { logLines().push_back(line.name + " " + line.detail); }

// A run whose trace is kept.
struct RollbackRig : Installer {
    LogSink saved = logSink();
    RollbackRig() {
        logLines().clear();
        logSink() = keepLine;
    }
    ~RollbackRig() { logSink() = saved; }
    // The data file's items cannot be read (it is read in place, from the
    // installer's copy in the scratch folder, once the room for its items is
    // known): the installation fails after the new screen saver file is in
    // place.
    bool failed = false;
    void failAfterTheSaverIsInPlace(std::function<Result(Op, const std::string&)> afterwards = nullptr) {
        os.inject = [this, afterwards](Op op, const std::string& subject) -> Result {
            if (op == Op::FreeSpace) failed = true;
            if (failed && op == Op::Read && lowerCase(subject).rfind(lowerCase(kScratch), 0) == 0)
                return oserr::kAccessDenied;
            return failed && afterwards ? afterwards(op, subject) : 0;
        };
    }
    void clickInstallThenClose() {
        moves.push_back(clickInstall());
        moves.push_back([&] { form().cancelBtn.click(); });
    }
    bool logged(const std::string& part) const {
        return std::any_of(logLines().begin(), logLines().end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
    const RecordedBox* keptBox() const {
        for (const RecordedBox& b : os.boxes)
            if (b.text.find("could not be put back") != std::string::npos) return &b;
        return nullptr;
    }
};

struct Rollback : ::testing::Test, RollbackRig {};

// Each way a kept copy can fail to go back: the copy stays beside its place,
// the user is told its path, and the scratch folder goes.
TEST_F(Rollback, ACopyThatCannotGoBackIsKeptAndReported) {
    struct Case {
        const char* what;
        std::function<void(RollbackRig&)> arrange;
        std::string kept;      // what stays kept
        std::string content;   // a file the kept copy holds
        std::string keptFile;  // its path
    } cases[] = {
        {"the file cannot be renamed nor copied back after a later failure",
         [](RollbackRig& t) {
             t.failAfterTheSaverIsInPlace([](Op op, const std::string& s) -> Result {
                 return (op == Op::MoveFile && lowerCase(s) == lowerCase(kKeptSaver)) ||
                                (op == Op::CopyFile && lowerCase(s) == lowerCase(kSaver))
                            ? oserr::kAccessDenied
                            : 0;
             });
         },
         kKeptSaver, "the old saver", kKeptSaver},
        {"the preparation fails and its put-back fails",
         [](RollbackRig& t) {
             t.os.inject = [](Op op, const std::string& s) -> Result {
                 if (op == Op::CreateDirectory && lowerCase(s) == lowerCase(kInstallDir)) return oserr::kAccessDenied;
                 return (op == Op::MoveFile && lowerCase(s) == lowerCase(kKeptSaver)) ||
                                (op == Op::CopyFile && lowerCase(s) == lowerCase(kSaver))
                            ? oserr::kAccessDenied
                            : 0;
             };
         },
         kKeptSaver, "the old saver", kKeptSaver},
        {"a data folder that stayed in place cannot be copied back",
         [](RollbackRig& t) {
             // The folder cannot be renamed (a program works in it): it
             // stays and is copied beside itself.
             t.failAfterTheSaverIsInPlace([](Op op, const std::string& s) -> Result {
                 return op == Op::CopyFile && lowerCase(s) == lowerCase(kInstallDir + "old.txt") ? oserr::kDiskFull
                                                                                                 : 0;
             });
             t.os.failOn(Op::MoveFile, kInstallDir.substr(0, kInstallDir.size() - 1), oserr::kAccessDenied);
         },
         kKeptDir, "its data", kKeptDir + "old.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RollbackRig t;
        t.oldSaverInstalled();
        c.arrange(t);
        t.os.answers = {BoxAnswer::Ok};
        t.clickInstallThenClose();
        t.run();
        EXPECT_EQ(t.os.readFile(c.keptFile), c.content) << "the only copy is kept, never deleted";
        const RecordedBox* box = t.keptBox();
        ASSERT_TRUE(box) << "the user is told";
        EXPECT_EQ(box->kind, BoxKind::Error);
        EXPECT_NE(box->text.find(c.kept), std::string::npos) << box->text;
        EXPECT_TRUE(t.logged(c.kept));
        EXPECT_TRUE(t.stranded);
        EXPECT_NE(t.installResult, 0);
        EXPECT_FALSE(t.os.exists(kScratch)) << "the kept copies live beside their places, not in the scratch folder";
    }
}

// A quiet package, and one started with "/q", which also leaves the
// administrator's log (<Windows folder>\<installer's name>.log) naming the kept copy.
TEST(RollbackQuiet, StrandedCopiesAreLoggedAndTheExitCodeIsNotZero) {
    for (const bool byCommandLine : {false, true}) {
        SCOPED_TRACE(byCommandLine ? "/q" : "header mode 4");
        RollbackRig t;
        t.input.installerMode = mode::kQuiet;
        if (byCommandLine) t.os.parameters = {"/q"};
        t.input.slots[slot::kPreview].reset();
        t.oldSaverInstalled();
        t.failAfterTheSaverIsInPlace([](Op op, const std::string& s) -> Result {
            return (op == Op::MoveFile && lowerCase(s) == lowerCase(kKeptSaver)) ||
                           (op == Op::CopyFile && lowerCase(s) == lowerCase(kSaver))
                       ? oserr::kAccessDenied
                       : 0;
        });
        t.run();
        t.os.inject = nullptr;
        EXPECT_NE(t.exitCode, 0);
        EXPECT_FALSE(t.keptBox()) << "quiet: no box about the kept copy";
        EXPECT_TRUE(t.logged(kKeptSaver));
        EXPECT_EQ(t.os.readFile(kKeptSaver), "the old saver");
        EXPECT_TRUE(t.os.processes.empty()) << "no Display control panel after a failed installation";
        const std::string log = t.os.exists("C:\\WINDOWS\\NightSkySetup.log") ? t.os.readFile("C:\\WINDOWS\\NightSkySetup.log") : "";
        EXPECT_EQ(log.find(kKeptSaver) != std::string::npos, byCommandLine) << log;
    }
}

TEST_F(Rollback, TheOldSaverIsBackBeforeTheFailureBoxAndItsWholeEntryToo) {
    oldSaverInstalled();
    // An entry with more than the two values the installer writes.
    RegValue dword{regtype::kDword, {1, 0, 0, 0}};
    RegValue expand{regtype::kExpandString, {'%', 'W', '%', 0}};
    os.setRegValue(Hive::LocalMachine, kUninstall, "NoModify", dword);
    os.setRegValue(Hive::LocalMachine, kUninstall, "DisplayIcon", expand);
    os.setRegString(Hive::LocalMachine, kUninstall + "\\Extra", "Note", "kept");
    os.setRegString(Hive::CurrentUser, kUninstall, "UninstallString", "old /u");
    KeySnapshot before, userBefore;
    ASSERT_EQ(readKeySnapshot(os, Hive::LocalMachine, kUninstall, before), 0);
    ASSERT_EQ(readKeySnapshot(os, Hive::CurrentUser, kUninstall, userBefore), 0);
    failAfterTheSaverIsInPlace();
    bool backAtTheBox = false;
    os.onBox = [&](const RecordedBox& box) {
        if (box.kind == BoxKind::Error)
            backAtTheBox = os.readFile(kSaver) == "the old saver" && os.readFile(kInstallDir + "old.txt") == "its data";
    };
    os.answers = {BoxAnswer::Ok};
    clickInstallThenClose();
    run();
    EXPECT_TRUE(backAtTheBox) << "no user waits while neither saver is in place";
    KeySnapshot after, userAfter;
    ASSERT_EQ(readKeySnapshot(os, Hive::LocalMachine, kUninstall, after), 0);
    ASSERT_EQ(readKeySnapshot(os, Hive::CurrentUser, kUninstall, userAfter), 0);
    EXPECT_EQ(after.values.size(), 3u);
    for (const auto& v : before.values) {
        ASSERT_TRUE(after.values.count(v.first)) << v.first;
        EXPECT_EQ(after.values[v.first].type, v.second.type) << v.first;
        EXPECT_EQ(after.values[v.first].data, v.second.data) << v.first;
    }
    ASSERT_EQ(after.subKeys.size(), 1u);
    EXPECT_EQ(os.stringValue(Hive::LocalMachine, kUninstall + "\\Extra", "Note"), "kept");
    EXPECT_EQ(userAfter.values.size(), userBefore.values.size());
    EXPECT_FALSE(os.exists(kKeptSaver));
    EXPECT_FALSE(os.exists(kKeptDir));
}

// The settings: each one that cannot be put back makes restore report it.
TEST(RollbackSettings, RestoreReportsSettingsThatDidNotComeBack) {
    struct Case {
        const char* what;
        Op op;
        Result code;
    } cases[] = {
        {"system.ini", Op::ProfileWrite, oserr::kAccessDenied},
        {"the uninstall entry's key", Op::RegCreateKey, oserr::kAccessDenied},
        {"one of its values", Op::RegSetValue, oserr::kAccessDenied},
    };
    const std::string entry = std::string(kUninstallKey) + "Night Sky";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeOs os;
        ASSERT_EQ(os.profile().writeString("system.ini", "boot", "SCRNSAVE.EXE", "OLD.SCR"), 0);
        os.setRegString(Hive::LocalMachine, entry, "DisplayName", "old");
        ReplacedSaver r;
        ASSERT_EQ(r.rememberSettings(os, "Night Sky"), 0);
        ASSERT_EQ(os.profile().writeString("system.ini", "boot", "SCRNSAVE.EXE", "NEW.SCR"), 0);
        os.setRegString(Hive::LocalMachine, entry, "DisplayName", "new");
        os.failOn(c.op, "", c.code);
        EXPECT_EQ(r.restore(os), c.code);
    }
    // A setting that cannot be read is refused before anything is changed.
    FakeOs os;
    os.failOn(Op::ProfileRead, "", oserr::kAccessDenied);
    ReplacedSaver r;
    EXPECT_EQ(r.rememberSettings(os, "Night Sky"), oserr::kAccessDenied);
}

TEST_F(Rollback, ASystemFileASlotReplacesIsKeptAndPutBack) {
    // A slot of kind 3 writes "saver1.dll" into the system folder over an older one.
    input.slots[9] = slotOf("saver1.dll", kind::kSystemLibrary, true, "new engine");
    os.writeFile(kSystem + "saver1.dll", "the system's own engine");
    // A late step fails: the read-me cannot be copied.
    os.failOn(Op::CopyFile, kInstallDir + "ReadMe.txt", oserr::kDiskFull);
    clickInstallThenClose();
    run();
    EXPECT_EQ(os.readFile(kSystem + "saver1.dll"), "the system's own engine");
    EXPECT_FALSE(os.exists(kSystem + "saver1.dll.kept"));

    // After a successful installation the new file stays and no copy is left.
    Installer ok;
    ok.input.slots[9] = slotOf("saver1.dll", kind::kSystemLibrary, true, "new engine");
    ok.os.writeFile(kSystem + "saver1.dll", "the system's own engine");
    ok.moves.push_back([&] { ok.form().installBtn.click(); });
    ok.run();
    EXPECT_EQ(ok.os.readFile(kSystem + "saver1.dll"), "new engine");
    EXPECT_FALSE(ok.os.exists(kSystem + "saver1.dll.kept"));
}

TEST_F(Rollback, ALaterFailureOutranksTheActivationFailure) {
    input.installerMode = mode::kQuiet;
    input.slots[slot::kPreview].reset();
    // The activation cannot write system.ini, and the read-me cannot be copied.
    os.failOn(Op::ProfileWrite, "", oserr::kAccessDenied);
    os.failOn(Op::CopyFile, kInstallDir + "ReadMe.txt", oserr::kDiskFull);
    os.parameters = {"/q"};
    run();
    EXPECT_EQ(exitCode, oserr::kDiskFull) << "the failure that caused the clean-up";
    EXPECT_FALSE(os.exists(kSaver));

    // The activation alone: its failure is the result, the files stay.
    Installer only;
    only.input = input;
    only.os.parameters = {"/q"};
    only.os.failOn(Op::ProfileWrite, "", oserr::kAccessDenied);
    only.run();
    EXPECT_EQ(only.exitCode, rc::kProfileNotWritten);
    EXPECT_TRUE(only.installed());
}

// A run killed while the old saver was aside leaves it under its kept name:
// the next run puts it back (or removes a copy equal to what is in place),
// and says so in the log.
TEST_F(Rollback, TheNextRunPutsBackWhatAKilledRunLeftAside) {
    struct Case {
        const char* what;
        bool originalThere;
        std::string original;  // what stands in the place
    } cases[] = {
        {"nothing in its place", false, ""},
        {"a partly written new file in its place", true, "half a new sav"},
        {"an equal copy in its place", true, "the old saver"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeOs os;
        logLines().clear();
        const LogSink saved = logSink();
        logSink() = keepLine;
        os.writeFile(kKeptSaver, "the old saver");
        os.writeFile(kKeptDir + "old.txt", "its data");
        if (c.originalThere) os.writeFile(kSaver, c.original);
        EXPECT_EQ(recoverKeptSavers(os, kSystem, "Night Sky"), 0);
        logSink() = saved;
        EXPECT_EQ(os.readFile(kSaver), "the old saver");
        EXPECT_EQ(os.readFile(kInstallDir + "old.txt"), "its data");
        EXPECT_FALSE(os.exists(kKeptSaver));
        EXPECT_FALSE(os.exists(kKeptDir));
        EXPECT_TRUE(std::any_of(logLines().begin(), logLines().end(), [](const std::string& l) {
            return l.find("left by an earlier run") != std::string::npos;
        }));
    }
}


// What an earlier run left beside a file or folder, one row each: a kept copy
// goes back unless it equals what stands there; a let-go copy is removed and
// never put back. The files are compared a block at a time: a large one that
// differs only in its last byte is not taken for equal.
TEST(RollbackLeftovers, AreRecoveredOrRemovedPerRow) {
    const std::string big(200 * 1024, 'm');
    const std::string bigChanged = big.substr(0, big.size() - 1) + "n";
    const std::string dll = kSystem + "saver1.dll";
    struct Case {
        const char* what;
        std::string original;         // the path
        const char* kept;             // the kept copy's content, or none
        const char* gone;             // the let-go copy's content, or none
        const char* standing;         // what stands in the place, or none
        std::string expected;         // what stands there afterwards
        bool viaKeepFile = false;     // met by the next run's keepFile (a slot's system file)
    } cases[] = {
        {"a let-go copy beside the new saver", kSaver, nullptr, "the old saver", "the new saver", "the new saver"},
        {"a let-go copy and nothing else", kSaver, nullptr, "the old saver", nullptr, ""},
        {"a kept copy and a let-go one", kSaver, "the old saver", "an older one", "half a new", "the old saver"},
        {"a system file kept aside, nothing in its place", dll, "the system's engine", nullptr, nullptr,
         "the system's engine", true},
        {"a system file kept aside, the new one in place", dll, "the system's engine", nullptr, "new engine",
         "the system's engine", true},
        {"a large file equal but for its last byte", kSaver, "B", nullptr, "b", "B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeOs os;
        const auto content = [&](const char* text) { return std::string(text) == "B" ? big : std::string(text); };
        const std::string standing = c.standing && std::string(c.standing) == "b" ? bigChanged : "";
        if (c.kept) os.writeFile(keptPathOf(c.original), content(c.kept));
        if (c.gone) os.writeFile(gonePathOf(c.original), content(c.gone));
        if (c.standing) os.writeFile(c.original, standing.empty() ? content(c.standing) : standing);
        if (c.viaKeepFile) {
            ReplacedSaver replaced;
            EXPECT_EQ(replaced.keepFile(os, c.original), 0);
            // What came back is kept aside again for this run, by rename.
            EXPECT_EQ(os.readFile(keptPathOf(c.original)), c.expected);
            EXPECT_EQ(replaced.restore(os), 0);
        } else {
            EXPECT_EQ(recoverKeptCopy(os, c.original), 0);
        }
        const std::string expected = c.expected == "B" ? big : c.expected;
        EXPECT_EQ(os.exists(c.original) ? os.readFile(c.original) : "", expected);
        EXPECT_FALSE(os.exists(keptPathOf(c.original)));
        EXPECT_FALSE(os.exists(gonePathOf(c.original)));
    }
}

// A kept copy that cannot be deleted after a successful installation is let
// go under its let-go name: the next run removes it and leaves the new saver.
TEST_F(Rollback, ACopyThatCannotBeDeletedAfterSuccessIsNeverPutBack) {
    oldSaverInstalled();
    os.failOn(Op::DeleteFile, gonePathOf(kSaver), oserr::kSharingViolation);
    os.answers = {BoxAnswer::Ok};
    moves.push_back([&] { form().installBtn.click(); });
    run();
    const std::string installed = os.readFile(kSaver);
    EXPECT_NE(installed, "the old saver");
    EXPECT_EQ(os.readFile(gonePathOf(kSaver)), "the old saver");
    EXPECT_FALSE(os.exists(kKeptSaver));
    os.inject = nullptr;
    EXPECT_EQ(recoverKeptSavers(os, kSystem, "Night Sky"), 0);
    EXPECT_EQ(os.readFile(kSaver), installed) << "the new saver stays";
    EXPECT_FALSE(os.exists(gonePathOf(kSaver)));
}

// Cancel pressed while a slot is written, and that slot's write then fails:
// the clean-up runs once, so the old saver it put back stays.
TEST_F(Rollback, ACancelMetByAFailingWriteLeavesTheOldSaverBack) {
    oldSaverInstalled();
    os.answers = {BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok};
    bool clicked = false;
    moves.push_back([&] {
        os.onProcessMessages = [&] {
            if (!clicked && form().progressBar.position() == 1) {
                clicked = true;
                os.post([&] { form().cancelBtn.click(); });
            }
        };
        form().installBtn.click();
    });
    moves.push_back([&] { form().cancelBtn.click(); });  // the failure leaves the window open
    os.inject = [&clicked](Op op, const std::string&) -> Result {
        return clicked && op == Op::Write ? oserr::kDiskFull : 0;
    };
    run();
    EXPECT_TRUE(clicked);
    os.inject = nullptr;
    EXPECT_EQ(os.readFile(kSaver), "the old saver");
    EXPECT_EQ(os.readFile(kInstallDir + "old.txt"), "its data");
    EXPECT_EQ(os.stringValue(Hive::LocalMachine, kUninstall, "DisplayName"), "Night Sky Screen Saver");
    EXPECT_FALSE(os.exists(kKeptSaver));
}

}  // namespace
