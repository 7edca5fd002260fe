// Which Windows is running, the names made from the screen saver's name, and
// the uninstall entry in the in-memory registry: where it is written, the
// command's form per Windows, and the rule by which it is removed again.
#include <gtest/gtest.h>

#include "flash/player_detection.h"
#include "platform/fake/fake_os.h"
#include "saver/uninstall_entry.h"
#include "saver/windows_version.h"
#include "saver/saver_names.h"

using namespace ssi;

namespace {

const std::string kSys = "C:\\WINDOWS\\SYSTEM\\";
const std::string kEntry = std::string(kUninstallKey) + "Night Sky";

TEST(WindowsVersion, EachReportGivesItsFlagAndCode) {
    struct Case {
        WindowsVersion v;
        const char* flag;
        int code;
        Result for8;  // verifyFlashAXInstallerCanRunOnThisMachine(8)
    } cases[] = {
        {{1, 4, 0, 950, ""}, "95", 0, 0},
        {{1, 4, 10, 2222, " A "}, "98", 2, 0},  // second character "A": Second Edition
        {{1, 4, 10, 1998, " B"}, "98", 1, 0},
        {{1, 4, 10, 1998, ""}, "98", 1, 0},
        {{1, 4, 10, 1998, "A"}, "98", 1, 0},  // "A" first is not the rule
        {{1, 4, 90, 3000, " "}, "ME", 3, 0},
        {{1, 4, 20, 0, ""}, "", -1, 0},  // another member of the family
        {{2, 3, 51, 1057, ""}, "NT", 4, rc::kNotCompatibleWithNT},
        {{2, 4, 0, 1381, "Service Pack 6a"}, "NT", 4, rc::kNotCompatibleWithNT},
        {{2, 5, 0, 2195, ""}, "2000", 5, 0},
        {{2, 5, 1, 2600, "Service Pack 2"}, "XP", 6, 0},
        {{2, 5, 2, 3790, ""}, "", -1, 0},
        {{2, 6, 1, 7601, "Service Pack 1"}, "", -1, 0},
        {{0, 3, 10, 0, ""}, "", -1, 0},  // Win32s: not recognised
    };
    for (const Case& c : cases) {
        FakeOs os;
        os.version = c.v;
        const std::string row = std::to_string(c.v.platformId) + "/" + std::to_string(c.v.major) + "." +
                                std::to_string(c.v.minor) + " '" + c.v.servicePack + "'";
        EXPECT_EQ(describe(identifyWindowsVersion(os)), c.flag) << row;
        EXPECT_EQ(getWindowsVersionCode(os), c.code) << row;
        EXPECT_EQ(verifyFlashAXInstallerCanRunOnThisMachine(os, 8), c.for8) << row;
        EXPECT_EQ(verifyFlashAXInstallerCanRunOnThisMachine(os, 9), c.for8) << row;
        EXPECT_EQ(verifyFlashAXInstallerCanRunOnThisMachine(os, 7), 0) << row;
    }
    FakeOs failed;
    failed.failOn(Op::WindowsVersion, "", oserr::kInvalidParameter);
    EXPECT_EQ(describe(identifyWindowsVersion(failed)), "");
    EXPECT_EQ(getWindowsVersionCode(failed), -1);
    EXPECT_EQ(verifyFlashAXInstallerCanRunOnThisMachine(failed, 8), 0);
}

TEST(SaverNames, DisplayNameAndCaption) {
    FakeOs os;
    struct Case {
        const char *name, *display, *caption;
    } cases[] = {
        {"Night Sky", "Night Sky Screen Saver", "Install Screen Saver: Night Sky"},
        {"Ocean Saver", "Ocean Saver", "Install: Ocean Saver"},
        {"OCEAN SAVER", "OCEAN SAVER", "Install: OCEAN SAVER"},
        {"Aquarium ScreenSaver", "Aquarium ScreenSaver", "Install: Aquarium ScreenSaver"},
        {"", " Screen Saver", "Install Screen Saver: "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(uninstallDisplayName(os, c.name), c.display);
        EXPECT_EQ(installerCaption(os, c.name), c.caption);
    }
}

TEST(UninstallEntry, CommandIsShortOnThe95FamilyAndLongElsewhere) {
    const WindowsVersion versions[] = {{1, 4, 0, 0, ""}, {1, 4, 10, 0, " A "}, {1, 4, 90, 0, " "},
                                       {2, 4, 0, 0, ""}, {2, 5, 1, 0, ""},     {2, 6, 1, 0, ""}};
    for (const WindowsVersion& v : versions) {
        FakeOs os;
        os.version = v;
        os.writeFile(kSys + "Night Sky.scr", "saver");
        ASSERT_EQ(writeUninstallEntry(os, kSys, "Night Sky"), 0);
        const bool family9x = v.platformId == platformid::kWindows;
        EXPECT_EQ(os.stringValue(Hive::LocalMachine, kEntry, "UninstallString"),
                  family9x ? "C:\\WINDOWS\\SYSTEM\\NIGHTS~1.SCR /u" : "C:\\WINDOWS\\SYSTEM\\Night Sky.scr /u");
        EXPECT_EQ(os.stringValue(Hive::LocalMachine, kEntry, "DisplayName"), "Night Sky Screen Saver");
    }
    // Without a short form (no file yet) the long form stays, on 98 too.
    FakeOs os;
    os.version = {1, 4, 10, 0, ""};
    EXPECT_EQ(uninstallCommand(os, kSys, "Night Sky"), "C:\\WINDOWS\\SYSTEM\\Night Sky.scr /u");
}

TEST(UninstallEntry, FallsBackToTheUserWhenTheMachineRefuses) {
    struct Case {
        Op op;
        std::string subject;  // in HKLM only: HKCU's key has the same path
        bool machineRefuses, userRefuses;
        Result result;
    } cases[] = {
        {Op::RegCreateKey, "", false, false, 0},
        {Op::RegCreateKey, "", true, false, 0},
        {Op::RegSetValue, "\\UninstallString", true, false, 0},
        {Op::RegCreateKey, "", true, true, rc::kUninstallNotWritten},
        {Op::RegSetValue, "\\DisplayName", true, true, rc::kUninstallNotWritten},
    };
    for (const Case& c : cases) {
        FakeOs os;
        int refusals = (c.machineRefuses ? 1 : 0) + (c.userRefuses ? 1 : 0);
        os.inject = [&](Op op, const std::string& subject) -> Result {
            const bool hit = op == c.op && (c.subject.empty() || subject == kEntry + c.subject);
            return hit && refusals-- > 0 ? oserr::kAccessDenied : 0;
        };
        EXPECT_EQ(writeUninstallEntry(os, kSys, "Night Sky"), c.result);
        EXPECT_EQ(os.stringValue(Hive::CurrentUser, kEntry, "DisplayName"),
                  c.machineRefuses && !c.userRefuses ? "Night Sky Screen Saver" : "");
        EXPECT_EQ(os.stringValue(Hive::LocalMachine, kEntry, "UninstallString").empty(), c.machineRefuses);
    }
}

TEST(UninstallEntry, DeletionVisitsTheUserOnlyAfterTheMachineFailed) {
    // Never registered: 0.
    FakeOs os;
    os.setRegString(Hive::LocalMachine, std::string(kUninstallKey) + "Other", "DisplayName", "Other");
    EXPECT_EQ(deleteUninstallEntry(os, "Night Sky"), 0);

    // Only under HKCU: the machine's absent entry counts as deleted, the user's stays.
    os.setRegString(Hive::CurrentUser, kEntry, "DisplayName", "Night Sky Screen Saver");
    os.setRegString(Hive::CurrentUser, kEntry, "UninstallString", "x /u");
    EXPECT_EQ(deleteUninstallEntry(os, "Night Sky"), 0);
    EXPECT_TRUE(os.hasKey(Hive::CurrentUser, kEntry));

    // Under HKLM: values and key go.
    ASSERT_EQ(writeUninstallEntry(os, kSys, "Night Sky"), 0);
    EXPECT_EQ(deleteUninstallEntry(os, "Night Sky"), 0);
    EXPECT_FALSE(os.hasKey(Hive::LocalMachine, kEntry));
    EXPECT_TRUE(os.hasKey(Hive::LocalMachine, std::string(kUninstallKey) + "Other"));

    // A machine entry that cannot be deleted: the user's hive is tried and its result stands,
    // whichever step of the deletion refuses.
    struct Refusal {
        Op op;
        int refusals;  // how many calls of that kind fail
        Result expected;
    } refusals[] = {
        {Op::RegDeleteKey, 1, 0},                              // the user's entry goes
        {Op::RegDeleteValue, 1, 0},                            // DisplayName stays in HKLM
        {Op::RegDeleteKey, 2, rc::kUninstallNotDeleted},       // both hives refuse
        {Op::RegDeleteValue, 2, rc::kUninstallNotDeleted},     // HKLM's name, HKCU's name
    };
    for (const Refusal& r : refusals) {
        FakeOs fresh;
        ASSERT_EQ(writeUninstallEntry(fresh, kSys, "Night Sky"), 0);
        fresh.setRegString(Hive::CurrentUser, kEntry, "DisplayName", "Night Sky Screen Saver");
        fresh.setRegString(Hive::CurrentUser, kEntry, "UninstallString", "x /u");
        int left = r.refusals;
        fresh.inject = [&](Op op, const std::string&) -> Result {
            return op == r.op && left-- > 0 ? oserr::kAccessDenied : 0;
        };
        EXPECT_EQ(deleteUninstallEntry(fresh, "Night Sky"), r.expected) << int(r.op) << " x" << r.refusals;
        EXPECT_TRUE(fresh.hasKey(Hive::LocalMachine, kEntry)) << "the machine's entry could not go";
        EXPECT_EQ(fresh.hasKey(Hive::CurrentUser, kEntry), r.expected != 0);
    }

    // A machine key without a display name is not the entry: the user's is visited.
    FakeOs bare;
    bare.setRegString(Hive::LocalMachine, kEntry, "UninstallString", "x /u");
    bare.setRegString(Hive::CurrentUser, kEntry, "DisplayName", "Night Sky Screen Saver");
    bare.setRegString(Hive::CurrentUser, kEntry, "UninstallString", "x /u");
    EXPECT_EQ(deleteUninstallEntry(bare, "Night Sky"), 0);
    EXPECT_FALSE(bare.hasKey(Hive::CurrentUser, kEntry));
}

TEST(UninstallEntry, ANameThatIsNoKeyOfItsOwnIsNeverWritten) {
    FakeOs os;
    os.setRegString(Hive::LocalMachine, std::string(kUninstallKey) + "Other", "DisplayName", "Other");
    for (const char* name : {"", "..\\Other", "Other\\Sub"}) {
        EXPECT_EQ(writeUninstallEntry(os, kSys, name), rc::kUninstallNotWritten) << name;
        EXPECT_EQ(deleteUninstallEntry(os, name), 0) << name;
    }
    EXPECT_FALSE(os.hasValue(Hive::LocalMachine, kUninstallKey, "DisplayName"));
    EXPECT_EQ(os.stringValue(Hive::LocalMachine, std::string(kUninstallKey) + "Other", "DisplayName"), "Other");
    EXPECT_FALSE(os.hasKey(Hive::LocalMachine, std::string(kUninstallKey) + "Other\\Sub"));
}

}  // namespace
