// The fault sweep: a whole installation over the test double, run once for
// every file, registry, profile and shell call it makes, the k-th call
// failing with the error Windows gives for that call. Interactive (answers
// scripted) and quiet, with and without an older copy of the same screen
// saver in place. After each run:
//   1. nothing of the old saver is lost: it is in place as it was (its file,
//      its data folder, system.ini's line, its whole uninstall entry), or the
//      new installation is complete, or the copy that could not go back is
//      still kept under its kept name and the user was told;
//   2. the result is not 0 when the installation is not complete and active;
//   3. no scratch folder is left (but when the failed call was its own
//      deletion);
//   4. the run ends (the double throws FakeOsStuck where it would hang).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "core/trace.h"
#include "saver/replaced_saver.h"
#include "saver/uninstall_entry.h"
#include "tests/app/installer_rig.h"

using namespace ssi;
using namespace ssi::test;

namespace {

// The calls the sweep fails: files, registry, profile files, shell.
bool swept(Op op) {
    switch (op) {
        case Op::WindowsVersion: case Op::SetScreenSaveActive: case Op::LoadLibrary:
        case Op::ComInitialize: case Op::ComCreate: case Op::ComCall: case Op::ComGet: case Op::ComPut:
        case Op::Realize: case Op::LoadPicture: case Op::StartTimer:
        case Op::CreateControl: case Op::DoVerb: case Op::FocusControl:
            return false;
        default:
            return true;
    }
}

// What Windows answers when each call fails.
[[nodiscard]] Result windowsError(Op op, const std::string&) {
    switch (op) {
        case Op::CopyFile: case Op::Write: case Op::Close: return oserr::kDiskFull;
        case Op::OpenFile: case Op::RemoveDirectory: case Op::MoveFile: return oserr::kSharingViolation;
        case Op::Read: return 23;  // ERROR_CRC
        case Op::Seek: return oserr::kInvalidParameter;
        case Op::Size: return oserr::kInvalidHandle;
        case Op::FileVersion: return oserr::kResourceTypeNotFound;
        case Op::ShellExecute: return oserr::kNoAssociation;
        case Op::StartProcess: case Op::FindWindow: return oserr::kFileNotFound;
        case Op::ClickButton: return oserr::kInvalidWindowHandle;
        default: return oserr::kAccessDenied;
    }
}

bool sameKey(const KeySnapshot& a, const KeySnapshot& b) {
    if (a.values.size() != b.values.size() || a.subKeys.size() != b.subKeys.size()) return false;
    for (const auto& v : a.values) {
        auto it = b.values.find(v.first);
        if (it == b.values.end() || it->second.type != v.second.type || it->second.data != v.second.data)
            return false;
    }
    for (const auto& k : a.subKeys) {
        auto it = b.subKeys.find(k.first);
        if (it == b.subKeys.end() || !sameKey(k.second, it->second)) return false;
    }
    return true;
}

// The settings as a test reads them, bypassing the sweep's failures.
struct Settings {
    bool hasLine = false;
    std::string line;
    bool hasMachine = false, hasUser = false;
    KeySnapshot machine, user;
};
Settings readSettings(FakeOs& os) {
    Settings s;
    s.hasLine = os.profile().readString("system.ini", "boot", "SCRNSAVE.EXE", s.line) == 0 && !s.line.empty();
    s.hasMachine = readKeySnapshot(os, Hive::LocalMachine, kUninstall, s.machine) == 0;
    s.hasUser = readKeySnapshot(os, Hive::CurrentUser, kUninstall, s.user) == 0;
    return s;
}
bool sameSettings(const Settings& a, const Settings& b) {
    return a.hasLine == b.hasLine && (!a.hasLine || a.line == b.line) && a.hasMachine == b.hasMachine &&
           (!a.hasMachine || sameKey(a.machine, b.machine)) && a.hasUser == b.hasUser &&
           (!a.hasUser || sameKey(a.user, b.user));
}

// Whether the trace named a kept copy since the run began.
bool& keptNamed() {
    static bool named = false;
    return named;
}
void watchTrace(const LogLine& line) {
    if (line.name.find(".kept") != std::string::npos && line.name.find("could not") != std::string::npos)
        keptNamed() = true;
}
bool keptLogged() { return keptNamed(); }

struct Scenario {
    const char* name;
    bool quiet;
    bool oldSaver;
};

struct Tally {
    int runs = 0, losses = 0, invariants = 0;
    std::vector<std::string> faults;
    void fail(const std::string& what) {
        ++losses;
        if (faults.size() < 20) faults.push_back(what);
    }
};

struct SweepRun : Installer {
    explicit SweepRun(const Scenario& s, const std::vector<uint8_t>& image) : Installer(FakeStorage::Memory) {
        builtImage = image;
        if (s.quiet) os.parameters = {"/q"};
        if (s.oldSaver) {
            oldSaverInstalled();
            os.setRegValue(Hive::LocalMachine, kUninstall, "NoModify", RegValue{regtype::kDword, {1, 0, 0, 0}});
            os.setRegString(Hive::LocalMachine, kUninstall + "\\Extra", "Note", "the user's");
            os.writeFile(kSystem + "Night Sky dir\\deep\\more.txt", "more data");
        }
        os.answers = {BoxAnswer::Ok};  // overwrite: yes; every later box its first button
        if (!s.quiet) {
            moves.push_back(clickInstall());
            moves.push_back([this] { form().cancelBtn.click(); });  // after a failure, the window closes
        }
    }
};

// One run with call `k` failing (0: none); returns the number of calls made.
uint64_t sweepOnce(const Scenario& s, const std::vector<uint8_t>& image, uint64_t k, Tally& tally,
                   const std::string& newSaver) {
    SweepRun t(s, image);
    keptNamed() = false;
    const LogSink savedSink = logSink();
    logSink() = watchTrace;
    const Settings before = readSettings(t.os);
    t.os.counted = swept;
    t.os.failWith = windowsError;
    t.os.failCall = k;
    bool ended = true;
    try {
        t.run();
    } catch (const FakeOsStuck&) {
        ended = false;
    }
    logSink() = savedSink;
    const uint64_t calls = t.os.calls;
    t.os.failCall = 0;
    t.os.counted = nullptr;
    ++tally.runs;
    const std::string where = std::string(s.name) + ", call " + std::to_string(k) +
                              (t.os.hasFailed ? " (" + t.os.failed.subject + ")" : std::string());
    auto check = [&](bool held, const std::string& what) {
        ++tally.invariants;
        if (!held) tally.fail(where + ": " + what);
    };
    check(ended, "the run ends");
    if (!ended) return calls;

    const Result result = s.quiet ? t.exitCode : t.installResult;
    const Settings after = readSettings(t.os);
    const bool complete = t.os.readFile(kSaver) == newSaver && t.os.exists(kInstallDir + "saver.dat") &&
                          t.os.readFile(kInstallDir + "media\\stars.txt") == "stars";
    std::string shortSaver;
    const bool active = complete && t.os.files().shortPathName(kSaver, shortSaver) == 0 && after.line == shortSaver;
    const bool oldInPlace = t.os.readFile(kSaver) == "the old saver" &&
                            t.os.readFile(kInstallDir + "old.txt") == "its data" &&
                            t.os.readFile(kInstallDir + "deep\\more.txt") == "more data";
    const bool nothingNew = !t.os.exists(kSaver) && !t.os.exists(kInstallDir + "saver.dat");
    const bool keptOld = t.os.readFile(kSaver + ".kept") == "the old saver" ||
                         t.os.readFile(kSystem + "Night Sky dir.kept\\old.txt") == "its data";
    const bool told = s.quiet ? result != 0 && keptLogged()
                              : t.stranded && std::any_of(t.os.boxes.begin(), t.os.boxes.end(),
                                                          [](const RecordedBox& b) {
                                                              return b.text.find(".kept") != std::string::npos;
                                                          });
    const bool errorBox = std::any_of(t.os.boxes.begin(), t.os.boxes.end(),
                                      [](const RecordedBox& b) { return b.kind == BoxKind::Error; });

    // 1. Nothing lost.
    if (s.oldSaver) {
        check(complete || oldInPlace || (keptOld && told), "the old saver is in place, replaced, or kept and reported");
        if (oldInPlace && !complete)
            check(sameSettings(before, after) || result != 0, "its settings are back, or the result says not");
    } else {
        check(complete || nothingNew || result != 0, "a partial installation is reported");
        if (nothingNew) check(sameSettings(before, after) || result != 0, "no setting is left behind silently");
    }
    // 2. A failure is never reported as success.
    if (!(complete && active)) check(result != 0 || (!s.quiet && errorBox), "the result is not 0");
    // 3. No scratch folder, unless its own deletion was the failed call.
    const bool scratchCall = t.os.hasFailed && lowerCase(t.os.failed.subject).find("c:\\temp\\qdx") == 0;
    check(!t.os.exists("C:\\TEMP\\QDX1") || scratchCall, "no scratch folder is left");
    return calls;
}

TEST(FaultSweep, EveryFailedCallLeavesNothingLost) {
    const Scenario scenarios[] = {
        {"interactive, old saver", false, true},
        {"interactive, fresh", false, false},
        {"quiet, old saver", true, true},
        {"quiet, fresh", true, false},
    };
    Tally tally;
    for (const Scenario& s : scenarios) {
        Installer proto(FakeStorage::Memory);
        proto.input.offerDisplayPanel = false;  // no look-ups for the control panel's window
        const std::vector<uint8_t> image = buildImage(proto.input);
        const std::string newSaver = source(proto.input, slot::kSaver);
        // The run without a failure counts the calls; each run then fails the
        // next one until a run makes fewer calls than the one that should fail.
        const uint64_t total = sweepOnce(s, image, 0, tally, newSaver);
        ASSERT_GT(total, 50u) << s.name;
        for (uint64_t k = 1;; ++k)
            if (sweepOnce(s, image, k, tally, newSaver) < k) break;
    }
    std::printf("fault sweep: %d runs, %d losses (%d invariants checked)\n", tally.runs, tally.losses,
                tally.invariants);
    for (const std::string& f : tally.faults) ADD_FAILURE() << f;
    EXPECT_EQ(tally.losses, 0);
}

}  // namespace
