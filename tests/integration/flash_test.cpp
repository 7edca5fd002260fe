// Player detection over the test double (registry value, file version, the
// control's answer and its cache, the waits), the version policy, removing
// old control files, and starting the carried installer.
#include <gtest/gtest.h>

#include "flash/player_detection.h"
#include "platform/fake/fake_os.h"

using namespace ssi;

namespace {

const std::string kServerKey = "CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}\\InprocServer32";
const std::string kControl = "C:\\WINDOWS\\SYSTEM\\Macromed\\Flash\\Flash.ocx";

RegValue stringValue(uint32_t type, const std::string& text, bool terminated = true) {
    RegValue v{type, std::vector<uint8_t>(text.begin(), text.end())};
    if (terminated) v.data.push_back(0);
    return v;
}

// A player control class answering FlashVersion with `version`.
void addPlayer(FakeOs& os, int32_t version, std::vector<std::string>* journal = nullptr) {
    os.classes[kFlashClassId] = [version, journal] {
        auto control = std::make_unique<FakeDispatch>();
        control->journal = journal;
        control->methods["flashversion"] = [version](const std::vector<Variant>&, Variant& out) {
            out = Variant::ofInt(version);
            return Result(0);
        };
        return std::unique_ptr<DispatchObject>(std::move(control));
    };
}

TEST(FlashDetection, TheRegisteredPathIsCheckedBeforeUse) {
    struct Case {
        const char* what;
        RegValue value;
        const char* path;  // "" when not found
    } cases[] = {
        {"string", stringValue(regtype::kString, kControl), kControl.c_str()},
        {"no terminating zero", stringValue(regtype::kString, kControl, false), kControl.c_str()},
        {"expandable", stringValue(regtype::kExpandString, "%WINDIR%\\SYSTEM\\Flash.ocx"),
         "C:\\WINDOWS\\SYSTEM\\Flash.ocx"},
        {"unset variable", stringValue(regtype::kExpandString, "%NOPE%\\Flash.ocx"), "%NOPE%\\Flash.ocx"},
        {"empty", stringValue(regtype::kString, ""), ""},
        {"a number", RegValue{regtype::kDword, {7, 0, 0, 0}}, ""},
        {"binary", stringValue(regtype::kBinary, kControl), ""},
        {"too long for a path", stringValue(regtype::kString, "C:\\" + std::string(300, 'x')), ""},
    };
    for (const Case& c : cases) {
        FakeOs os;
        os.setRegValue(Hive::ClassesRoot, kServerKey, "", c.value);
        std::string path = "stale";
        EXPECT_EQ(getFlashControlPath(os, path), *c.path ? 0 : rc::kFlashNotInstallable) << c.what;
        EXPECT_EQ(path, c.path) << c.what;
    }
    FakeOs os;
    std::string path;
    EXPECT_EQ(getFlashControlPath(os, path), rc::kFlashNotInstallable) << "no key";
    os.setRegString(Hive::ClassesRoot, kServerKey, "", kControl);
    os.failOn(Op::RegOpenKey, kServerKey, oserr::kAccessDenied);
    EXPECT_EQ(getFlashControlPath(os, path), rc::kFlashNotInstallable) << "not openable with full access";
}

TEST(FlashDetection, FileVersionFirstThenTheControl) {
    FakeOs os;
    FlashVersionCache cache;
    std::vector<std::string> journal;
    addPlayer(os, 0x00070000, &journal);

    // 7.0.19.0 registered: the file decides, no control is made.
    os.setRegString(Hive::ClassesRoot, kServerKey, "", kControl);
    os.writeFile(kControl, "control");
    os.versions[kControl] = FileVersion{0x00070000, 0x00130000};
    InstalledFlashVersion v = getInstalledFlashVersion(os, cache);
    EXPECT_TRUE(v.found);
    EXPECT_EQ(v.major * 100 + v.revision, 719);
    EXPECT_EQ(os.objectsCreated, 0);
    EXPECT_EQ(os.sleptMs, 0u);

    // No version resource: the control answers the major, the revision is unknown.
    os.versions.clear();
    v = getInstalledFlashVersion(os, cache);
    EXPECT_TRUE(v.found);
    EXPECT_EQ(v.major * 100 + v.revision, 700);
    EXPECT_EQ(os.objectsCreated, 1);
    EXPECT_EQ(os.sleptMs, 500u) << "the wait comes before the first attempt too";

    // Later queries answer from the cache, even after the player changed.
    addPlayer(os, 0x00080000);
    const FlashQuery q = queryFlashControlVersion(os, cache, 20);
    EXPECT_TRUE(q.found);
    EXPECT_EQ(q.major, 7);
    EXPECT_EQ(os.objectsCreated, 1);
    EXPECT_EQ(os.sleptMs, 500u);
    EXPECT_EQ(journal, std::vector<std::string>{"call FlashVersion"});
}

TEST(FlashDetection, QueryAttemptsAndTheirWaits) {
    struct Case {
        int refusals;      // creations that fail before the control comes
        bool answers;      // its FlashVersion works
        int attempts;
        Result result;
        int major, created;
        uint64_t slept;
    } cases[] = {
        {1000, true, 20, rc::kFlashNotInstallable, -1, 0, 10000},  // never there: 10 s
        {2, true, 20, 0, 9, 1, 1500},
        {0, false, 20, rc::kFlashNotInstallable, -1, 1, 500},  // made but mute: no second control
        {5, true, 0, 0, -1, 0, 0},
    };
    for (const Case& c : cases) {
        FakeOs os;
        FlashVersionCache cache;
        addPlayer(os, 0x00090003);
        if (!c.answers)
            os.classes[kFlashClassId] = [] { return std::unique_ptr<DispatchObject>(new FakeDispatch); };
        int refusals = c.refusals;
        os.inject = [&](Op op, const std::string&) -> Result {
            return op == Op::ComCreate && refusals-- > 0 ? oserr::kModNotFound : 0;
        };
        const FlashQuery q = queryFlashControlVersion(os, cache, c.attempts);
        EXPECT_EQ(q.result, c.result) << c.refusals;
        EXPECT_EQ(q.found, c.major > 0);
        EXPECT_EQ(q.major, c.major);
        EXPECT_EQ(os.objectsCreated, c.created);
        EXPECT_EQ(os.sleptMs, c.slept);
    }
    // Nothing at all: not found after 20 attempts.
    FakeOs os;
    FlashVersionCache cache;
    EXPECT_FALSE(getInstalledFlashVersion(os, cache).found);
    EXPECT_EQ(os.sleptMs, 10000u);
}

TEST(FlashPolicy, InstalledAgainstRequired) {
    struct Case {
        InstalledFlashVersion installed;
        int index;
        bool carries;
        Result result;
        FlashUpdateKind kind;
    } cases[] = {
        {{true, 7, 14}, 0, true, 0, FlashUpdateKind::minorUpdate},
        {{true, 7, 18}, 0, true, 0, FlashUpdateKind::minorUpdate},
        {{true, 7, 19}, 0, true, 0, FlashUpdateKind::none},
        {{true, 7, 0}, 0, true, 0, FlashUpdateKind::none},  // revision unknown
        {{true, 6, 79}, 0, true, 0, FlashUpdateKind::majorUpdate},
        {{true, 6, 0}, 0, true, 0, FlashUpdateKind::majorUpdate},
        {{true, 8, 5}, 0, true, 0, FlashUpdateKind::none},
        {{true, 9, 0}, 1, true, 0, FlashUpdateKind::none},
        {{true, 7, 19}, 1, true, 0, FlashUpdateKind::majorUpdate},
        {{false, -1, 0}, 0, true, 0, FlashUpdateKind::cleanInstall},
        {{false, -1, 0}, 0, false, rc::kFlashNotInstallable, FlashUpdateKind::none},  // the user is told
        // An update nothing carried can make leaves the installed player alone.
        {{true, 6, 0}, 0, false, rc::kFlashNotInstallable, FlashUpdateKind::majorUpdate},
        {{true, 7, 14}, 0, false, rc::kFlashNotInstallable, FlashUpdateKind::minorUpdate},
        {{true, 8, 5}, 0, false, 0, FlashUpdateKind::none},
    };
    for (const Case& c : cases) {
        RequiredFlashVersion required;
        ASSERT_TRUE(requiredFlashVersion(c.index, required));
        const FlashPolicy p = decideFlashUpdate(c.installed, required, c.carries);
        const std::string row = std::to_string(c.installed.major) + " r" + std::to_string(c.installed.revision) +
                                " index " + std::to_string(c.index) + (c.carries ? " carried" : "");
        EXPECT_EQ(p.result, c.result) << row;
        EXPECT_EQ(p.kind, c.kind) << row;
        EXPECT_EQ(p.removeOldFiles(), c.result == 0 && (c.kind == FlashUpdateKind::majorUpdate ||
                                                         c.kind == FlashUpdateKind::minorUpdate))
            << row;
    }
    RequiredFlashVersion r{1, 1};
    EXPECT_FALSE(requiredFlashVersion(2, r));
    EXPECT_FALSE(requiredFlashVersion(-1, r));
    EXPECT_EQ(r.major, 1);
}

TEST(FlashInstaller, OldFilesAreAllTriedAndLockedOnesReported) {
    const std::string dir = "C:\\WINDOWS\\SYSTEM\\";
    const std::string flash = dir + kFlashControlFiles[0], swflash = dir + kFlashControlFiles[1];
    FakeOs os;
    EXPECT_FALSE(removeOldFlashControlFiles(os, dir)) << "nothing there";

    os.writeFile(swflash, "old");
    os.lock(swflash);
    int deletes = 0;
    os.inject = [&](Op op, const std::string&) -> Result { return op == Op::DeleteFile ? (++deletes, 0) : 0; };
    EXPECT_TRUE(removeOldFlashControlFiles(os, dir)) << "only swflash.ocx, locked";
    EXPECT_EQ(deletes, 200) << "100 attempts of two deletions each";

    os.unlock(swflash);
    os.writeFile(flash, "old");
    os.lock(flash);
    EXPECT_TRUE(removeOldFlashControlFiles(os, dir));
    EXPECT_FALSE(os.exists(swflash)) << "the second file is processed after the first failed";
    os.unlock(flash);
    EXPECT_FALSE(removeOldFlashControlFiles(os, dir));
    EXPECT_FALSE(os.exists(flash));
}

TEST(FlashInstaller, LaunchMapsTheShellsAnswer) {
    const std::string scratch = "C:\\TEMP\\QDX1\\";
    FakeOs os;
    EXPECT_EQ(launchFlashInstaller(os, scratch, "flashax7.exe", 42), rc::kFlashInstallerMissing);
    EXPECT_TRUE(os.shellRequests.empty());

    os.writeFile(scratch + "flashax7.exe", "installer");
    const std::pair<Result, Result> mapping[] = {{0, 0}, {14, rc::kOutOfMemory}, {2, 2}, {5, 5}, {31, 31}, {32, 32}};
    for (auto [answer, result] : mapping) {
        os.onShellExecute = [answer = answer](const ShellRequest&) { return answer; };
        EXPECT_EQ(launchFlashInstaller(os, scratch, "flashax7.exe", 42), result) << answer;
    }
    const ShellRequest& r = os.shellRequests.back();
    EXPECT_EQ(r.owner, 42u);
    EXPECT_EQ(r.verb + "|" + r.file + "|" + r.parameters + "|" + r.directory,
              "|C:\\TEMP\\QDX1\\flashax7.exe|/Q|C:\\TEMP\\QDX1\\")
        << "started in the scratch folder, not the installer's working folder";
    EXPECT_EQ(r.show, showcmd::kHide);
    EXPECT_EQ(os.broughtToFront, 6);

    // Run: a failed launch returns at once; a started one waits for the new player.
    FlashVersionCache cache;
    EXPECT_EQ(runFlashInstaller(os, cache, scratch, "flashax7.exe", 42), 32);
    EXPECT_EQ(os.sleptMs, 0u);
    os.onShellExecute = [&](const ShellRequest&) {
        os.onSleep = [&](uint32_t) {
            if (os.sleptMs == 1500) addPlayer(os, 0x00070000);  // registered while the third wait runs
        };
        return Result(0);
    };
    EXPECT_EQ(runFlashInstaller(os, cache, scratch, "flashax7.exe", 42), 0);
    EXPECT_EQ(os.sleptMs, 1500u);
    EXPECT_EQ(cache.major(), 7);
}

}  // namespace
