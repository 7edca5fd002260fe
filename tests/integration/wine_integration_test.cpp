// The Windows integration on the real system under Wine. integration.sh runs
// a copy of this program once per Windows version (Wine's per-program
// version setting), with --windows=NAME saying which version that copy must
// see, and --bin=FOLDER naming the win32 tree's bin folder (stand-ins):
// - PerVersion.*: identification, the player-8 refusal on NT 4.0, and the
//   uninstall entry with its command's form, in the real registry;
// - the rest, in the run of the latest version: the HKCU fallback, system.ini,
//   replacing a saver on real files, the stand-in player and its installer,
//   and the stand-in Display Properties dialog.
//
// `--hold FILE READY RELEASE` makes the program the helper process that keeps
// a file open (wintest::HeldFile).
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <algorithm>
#include <cstring>

#include "flash/player_detection.h"
#include "platform/win32/win32_os.h"
#include "saver/uninstall_entry.h"
#include "saver/windows_version.h"
#include "saver/saver_activation.h"
#include "tests/wine/wine_test_support.h"

namespace ssi {
namespace {

std::string gWindows;  // --windows=
std::string gBin;      // --bin=, with a trailing backslash

using wintest::exeDir;
using wintest::readFile;
using wintest::writeFile;

const char* const kSaver = "Night Sky";

std::string shortPath(const std::string& path) {
    char out[MAX_PATH + 1] = {};
    const DWORD n = ::GetShortPathNameA(path.c_str(), out, MAX_PATH);
    return n && n <= MAX_PATH ? out : "";
}

// A string value read with the registry functions themselves ("" when absent).
std::string regString(HKEY root, const std::string& path, const char* name) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return "";
    win32::RegKey key(raw);
    char data[1024] = {};
    DWORD size = sizeof data - 1, type = 0;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return "";
    return data;
}

bool regKeyExists(HKEY root, const std::string& path) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
    win32::RegKey key(raw);
    return true;
}

void regSetString(HKEY root, const std::string& path, const char* name, const std::string& value) {
    HKEY raw = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr), 0);
    win32::RegKey key(raw);
    ASSERT_EQ(::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               DWORD(value.size() + 1)),
              0);
}

bool fileThere(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Polls every 100 ms for up to `ms`.
template <typename Condition>
[[nodiscard]] bool waitFor(Condition done, int ms) {
    for (int waited = 0; waited < ms; waited += 100) {
        if (done()) return true;
        ::Sleep(100);
    }
    return done();
}

std::string envValue(const char* name) {
    char value[MAX_PATH + 1] = {};
    const DWORD n = ::GetEnvironmentVariableA(name, value, MAX_PATH);
    return n && n <= MAX_PATH ? value : "";
}

bool underWine() {
    return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// A fresh file that the stand-ins started from now on write their working
// folder into (STANDIN_FOLDER_LOG, inherited by what this process starts).
std::string startedFolderLog() {
    const std::string path = exeDir() + "started-folders.log";
    ::DeleteFileA(path.c_str());
    ::SetEnvironmentVariableA("STANDIN_FOLDER_LOG", path.c_str());
    return path;
}

// The entries of a folder's DACL as "SID TYPE MASK FLAGS" (type 0: access
// allowed; flags 3: inherited by files and folders), sorted, or the error
// that prevented reading them.
std::vector<std::string> daclEntries(const std::string& folder) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD got = ::GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                              nullptr, nullptr, &dacl, nullptr, &descriptor);
    if (got != ERROR_SUCCESS) return {"GetNamedSecurityInfo " + std::to_string(got)};
    std::vector<std::string> out;
    if (!dacl) out.push_back("no DACL (everyone has full access)");
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
        std::string name = "?";
        char line[64];
        if (ace->AceType == ACCESS_ALLOWED_ACE_TYPE || ace->AceType == ACCESS_DENIED_ACE_TYPE) {
            auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
            char* text = nullptr;
            if (::ConvertSidToStringSidA(&allowed->SidStart, &text)) {
                name = text;
                ::LocalFree(text);
            }
            std::snprintf(line, sizeof line, " %u %08lx %u", unsigned(ace->AceType),
                          static_cast<unsigned long>(allowed->Mask), unsigned(ace->AceFlags));
        } else {
            std::snprintf(line, sizeof line, " %u", unsigned(ace->AceType));
        }
        out.push_back(name + line);
    }
    ::LocalFree(descriptor);
    std::sort(out.begin(), out.end());
    return out;
}

// ---- per Windows version ---------------------------------------------------------

struct Expected {
    const char* windows;
    const char* flag;
    int code;
};
constexpr Expected kExpected[] = {{"win95", "95", 0},  {"win98", "98", 2},     {"winme", "ME", 3},
                                  {"nt40", "NT", 4},   {"win2k", "2000", 5},   {"winxp", "XP", 6},
                                  {"win7", "", -1}};

TEST(PerVersion, IdentificationAndThePlayer8Refusal) {
    const Expected* expected = nullptr;
    for (const Expected& e : kExpected)
        if (gWindows == e.windows) expected = &e;
    ASSERT_NE(expected, nullptr) << "--windows=" << gWindows;
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(::GetVersionExA(&info));
    std::printf("GetVersionExA: platform %lu, %lu.%lu, build %lu, csd '%s'\n", info.dwPlatformId,
                info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.szCSDVersion);

    win32::Win32Os os;
    EXPECT_EQ(describe(identifyWindowsVersion(os)), expected->flag);
    EXPECT_EQ(getWindowsVersionCode(os), expected->code);
    EXPECT_EQ(verifyFlashAXInstallerCanRunOnThisMachine(os, 8), gWindows == "nt40" ? rc::kNotCompatibleWithNT : 0);
    EXPECT_EQ(verifyFlashAXInstallerCanRunOnThisMachine(os, 7), 0);
}

// Wine's token is an administrator's, elevated: on NT versions the scratch
// folder admits Administrators and SYSTEM alone, with full control that
// everything inside inherits; on 95, 98 and ME it is an ordinary folder and
// nothing fails. What is written into it stays ours to write and delete.
// Wine 8.0 keeps no access control list on a file: it turns the list into
// the Unix mode and shows that back as entries for the owner and SYSTEM,
// and for everyone (S-1-1-0) only where the mode admits the world. So under
// Wine the check is that the world is not admitted, where an ordinary folder
// beside it is; on Windows the list is exactly Administrators and SYSTEM.
TEST(PerVersion, TheScratchFolderIsTheAdministratorsAlone) {
    const bool family9x = gWindows == "win95" || gWindows == "win98" || gWindows == "winme";
    win32::Win32Os os;
    bool elevated = false;
    EXPECT_EQ(os.system().elevation(elevated), family9x ? oserr::kCallNotImplemented : 0);
    EXPECT_EQ(elevated, !family9x);
    InstallerDirs dirs;
    ASSERT_EQ(initInstallerPaths(os, dirs), 0);
    std::string self = dirs.scratchDir;
    self.pop_back();
    if (!family9x) {
        auto admitsTheWorld = [](const std::vector<std::string>& list) {
            for (const std::string& e : list)
                // everyone, users, anyone signed in
                for (const char* sid : {"S-1-1-0 ", "S-1-5-32-545 ", "S-1-5-11 "})
                    if (e.rfind(sid, 0) == 0 && e.find(" 0 ") != std::string::npos) return true;
            return false;
        };
        const std::vector<std::string> entries = daclEntries(self);
        std::string listed;
        for (const std::string& e : entries) listed += e + "; ";
        std::printf("scratch folder's DACL: %s\n", listed.c_str());
        EXPECT_FALSE(admitsTheWorld(entries)) << listed;
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries[0], "S-1-5-18 0 001f01ff 3") << "SYSTEM, full control, inherited";
        if (!underWine()) {
            EXPECT_EQ(entries, (std::vector<std::string>{"S-1-5-18 0 001f01ff 3", "S-1-5-32-544 0 001f01ff 3"}));
        }
        const std::string ordinary = self + "-ordinary";
        ASSERT_TRUE(::CreateDirectoryA(ordinary.c_str(), nullptr));
        EXPECT_TRUE(admitsTheWorld(daclEntries(ordinary))) << "the check can tell";
        ::RemoveDirectoryA(ordinary.c_str());
    }
    writeFile(dirs.scratchDir + "temp.dat", "staged");
    EXPECT_EQ(readFile(dirs.scratchDir + "temp.dat"), "staged");
    EXPECT_EQ(deleteDirTree(os, dirs.scratchDir), 0);
    EXPECT_EQ(::GetFileAttributesA(self.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(PerVersion, UninstallEntryInTheRealRegistry) {
    win32::Win32Os os;
    const std::string sys = getSystemDir(os);
    const std::string file = sys + kSaver + ".scr";
    const std::string key = std::string(kUninstallKey) + kSaver;
    writeFile(file, "saver");
    const std::string shortName = shortPath(file);
    std::printf("system folder %s, short name of the saver %s\n", sys.c_str(), shortName.c_str());
    ASSERT_FALSE(shortName.empty());

    ASSERT_EQ(writeUninstallEntry(os, sys, kSaver), 0);
    const bool family9x = gWindows == "win95" || gWindows == "win98" || gWindows == "winme";
    const std::string command = regString(HKEY_LOCAL_MACHINE, key, "UninstallString");
    std::printf("UninstallString: %s\n", command.c_str());
    EXPECT_EQ(command, (family9x ? shortName : file) + " /u");
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, key, "DisplayName"), "Night Sky Screen Saver");
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, key));

    EXPECT_EQ(deleteUninstallEntry(os, kSaver), 0);
    EXPECT_FALSE(regKeyExists(HKEY_LOCAL_MACHINE, key));
    ::DeleteFileA(file.c_str());
}

// ---- the latest version's run ----------------------------------------------------

// The real seam whose registry refuses to write HKLM, as it does for a user
// without administrative rights.
class MachineRefusingRegistry : public Registry {
public:
    explicit MachineRefusingRegistry(Registry& real) : real_(real) {}
    [[nodiscard]] Result openKey(Hive hive, const std::string& path, RegAccess access,
                                 std::unique_ptr<RegistryKey>& out) override {
        if (hive == Hive::LocalMachine && access == RegAccess::AllAccess) return oserr::kAccessDenied;
        return real_.openKey(hive, path, access, out);
    }
    [[nodiscard]] Result createKey(Hive hive, const std::string& path, RegAccess access,
                                   std::unique_ptr<RegistryKey>& out) override {
        if (hive == Hive::LocalMachine) return oserr::kAccessDenied;
        return real_.createKey(hive, path, access, out);
    }
    [[nodiscard]] Result deleteKey(Hive hive, const std::string& path) override {
        if (hive == Hive::LocalMachine) return oserr::kAccessDenied;
        return real_.deleteKey(hive, path);
    }

private:
    Registry& real_;
};

class MachineRefusingOs : public Os {
public:
    FileSystem& files() override { return real_.files(); }
    Registry& registry() override { return registry_; }
    Profile& profile() override { return real_.profile(); }
    System& system() override { return real_.system(); }
    Shell& shell() override { return real_.shell(); }
    Com& com() override { return real_.com(); }
    Ui& ui() override { return real_.ui(); }

private:
    win32::Win32Os real_;
    MachineRefusingRegistry registry_{real_.registry()};
};

TEST(UninstallEntry, FallsBackToTheUserAndDeletionLeavesAUserOnlyEntry) {
    MachineRefusingOs refused;
    win32::Win32Os os;
    const std::string sys = getSystemDir(os);
    const std::string key = std::string(kUninstallKey) + kSaver;
    ASSERT_EQ(writeUninstallEntry(refused, sys, kSaver), 0);
    EXPECT_FALSE(regKeyExists(HKEY_LOCAL_MACHINE, key));
    EXPECT_EQ(regString(HKEY_CURRENT_USER, key, "DisplayName"), "Night Sky Screen Saver");
    EXPECT_EQ(regString(HKEY_CURRENT_USER, key, "UninstallString"), sys + kSaver + ".scr /u");

    EXPECT_EQ(deleteUninstallEntry(os, "Never Registered"), 0);
    EXPECT_EQ(deleteUninstallEntry(os, kSaver), 0) << "absent from HKLM counts as deleted";
    EXPECT_TRUE(regKeyExists(HKEY_CURRENT_USER, key)) << "HKCU is not visited";
    ::RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

TEST(SystemIni, ActivationWritesTheShortPathOrNothing) {
    win32::Win32Os os;
    const std::string sys = getSystemDir(os);
    const std::string ini = getWindowsDir(os) + "system.ini";
    const std::string before = readFile(ini);
    EXPECT_EQ(activateScreenSaver(os, sys, "Missing.scr"), rc::kFileMissing);
    EXPECT_EQ(readFile(ini), before) << "nothing written";

    writeFile(sys + "Night Sky.scr", "saver");
    ASSERT_EQ(activateScreenSaver(os, sys, "Night Sky.scr"), 0);
    char value[MAX_PATH + 1] = {};
    ::GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", value, MAX_PATH, "system.ini");
    std::printf("SCRNSAVE.EXE=%s\n", value);
    EXPECT_EQ(value, shortPath(sys + "Night Sky.scr"));
    EXPECT_NE(readFile(ini).find(std::string("SCRNSAVE.EXE=") + value), std::string::npos) << ini;
    BOOL active = FALSE;
    EXPECT_TRUE(::SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0));
    EXPECT_TRUE(active);
    ::DeleteFileA((sys + "Night Sky.scr").c_str());
}

TEST(Replacement, OldCopiesGoAsideComeBackAndALockedOneStays) {
    win32::Win32Os os;
    InstallerDirs dirs;
    ASSERT_EQ(initInstallerPaths(os, dirs), 0);
    const std::string scr = dirs.systemDir + "Night Sky.scr", data = dirs.systemDir + "Night Sky dir\\";
    const std::string winScr = dirs.windowsDir + "Night Sky.scr";
    auto installOld = [&] {
        writeFile(scr, "old saver");
        ::CreateDirectoryA(data.c_str(), nullptr);
        ::CreateDirectoryA((data + "sub").c_str(), nullptr);
        writeFile(data + "sub\\item.dat", "old item");
        writeFile(winScr, "old copy");
    };

    // Moved aside, a new installation fails, the old one comes back.
    installOld();
    BoxReporter reporter(os);  // asks nothing here: no question is put
    ReplacedSaver failed;
    ASSERT_EQ(prepareSaverTarget(os, dirs, kSaver, false, "", failed, reporter), 0);
    EXPECT_FALSE(fileThere(scr));
    EXPECT_FALSE(fileThere(winScr));
    EXPECT_FALSE(fileThere(data + "sub"));
    EXPECT_EQ(readFile(dirs.systemDir + "Night Sky dir.kept\\sub\\item.dat"), "old item") << "renamed beside itself";
    EXPECT_EQ(readFile(keptPathOf(scr)), "old saver");
    writeFile(scr, "new saver");
    cleanUpInstalledFiles(os, data, dirs.systemDir, "Night Sky.scr", kSaver);
    EXPECT_EQ(failed.restore(os), 0);
    EXPECT_EQ(readFile(scr), "old saver");
    EXPECT_EQ(readFile(data + "sub\\item.dat"), "old item");
    EXPECT_EQ(readFile(winScr), "old copy");
    EXPECT_FALSE(fileThere(keptPathOf(scr)));
    EXPECT_FALSE(fileThere(keptPathOf(winScr)));

    // Held open elsewhere: it stays, and the extraction's replacement reports -38.
    {
        wintest::HeldFile held(scr);
        ASSERT_TRUE(held.held());
        ReplacedSaver locked;
        ASSERT_EQ(prepareSaverTarget(os, dirs, kSaver, false, "", locked, reporter), 0);
        for (const ReplacedSaver::Item& item : locked.items())
            EXPECT_EQ(item.stayed, item.original == scr) << item.original;
        EXPECT_EQ(deleteFileRetry(os, scr, 1000), rc::kSaverNotReplaced);
        cleanUpInstalledFiles(os, data, dirs.systemDir, "Night Sky.scr", kSaver);
        EXPECT_EQ(locked.restore(os), 0);
    }
    EXPECT_EQ(readFile(scr), "old saver");
    EXPECT_EQ(readFile(winScr), "old copy");

    // A successful installation discards the kept copies.
    ReplacedSaver succeeded;
    ASSERT_EQ(prepareSaverTarget(os, dirs, kSaver, false, "", succeeded, reporter), 0);
    writeFile(scr, "new saver");
    EXPECT_EQ(succeeded.discard(os), 0);
    EXPECT_FALSE(fileThere(keptPathOf(scr)));
    EXPECT_EQ(readFile(scr), "new saver");
    EXPECT_FALSE(fileThere(winScr));
    cleanUpInstalledFiles(os, data, dirs.systemDir, "Night Sky.scr", kSaver);
    EXPECT_EQ(deleteDirTree(os, dirs.scratchDir), 0);
}

// The stand-in player, registered at a file of our choosing.
void registerPlayer(const std::string& file) {
    const std::string key = std::string(kFlashServerKey).substr(1);
    regSetString(HKEY_CLASSES_ROOT, key, "", file);
    regSetString(HKEY_CLASSES_ROOT, key, "ThreadingModel", "Apartment");
}

int countLines(const std::string& log, const std::string& line) {
    int n = 0;
    for (size_t at = 0; (at = log.find(line + "\n", at)) != std::string::npos; at += line.size())
        if (at == 0 || log[at - 1] == '\n') ++n;
    return n;
}

TEST(Player, DetectionByFileVersionThenByTheControlWithItsCache) {
    const std::string log = envValue("PLAYER_STANDIN_LOG");
    ASSERT_FALSE(log.empty());
    win32::Win32Os os;
    std::string path;
    EXPECT_EQ(getFlashControlPath(os, path), rc::kFlashNotInstallable) << "nothing registered";
    FlashVersionCache none;
    const FlashQuery nothing = queryFlashControlVersion(os, none, 2);
    EXPECT_EQ(nothing.result, rc::kFlashNotInstallable);
    EXPECT_FALSE(nothing.found);
    EXPECT_EQ(nothing.major, -1);

    registerPlayer(gBin + "player7.ocx");
    FlashVersionCache cache;
    InstalledFlashVersion v = getInstalledFlashVersion(os, cache);
    EXPECT_TRUE(v.found);
    EXPECT_EQ(v.major * 100 + v.revision, 719);
    EXPECT_EQ(countLines(readFile(log), "create"), 0) << "the file's version was enough";

    registerPlayer(gBin + "player7-noversion.ocx");
    v = getInstalledFlashVersion(os, cache);
    EXPECT_TRUE(v.found);
    EXPECT_EQ(v.major * 100 + v.revision, 700);
    EXPECT_EQ(countLines(readFile(log), "create"), 1);
    EXPECT_EQ(countLines(readFile(log), "FlashVersion"), 1);
    const FlashQuery again = queryFlashControlVersion(os, cache, 20);
    EXPECT_TRUE(again.found);
    EXPECT_EQ(again.major, 7);
    EXPECT_EQ(countLines(readFile(log), "create"), 1) << "the cache answered";
}

TEST(Player, TheCarriedInstallerReplacesAnInstalled7) {
    const std::string log = envValue("PLAYER_STANDIN_LOG");
    win32::Win32Os os;
    InstallerDirs dirs;
    ASSERT_EQ(initInstallerPaths(os, dirs), 0);
    EXPECT_EQ(launchFlashInstaller(os, dirs.scratchDir, "flashax8.exe", 0), rc::kFlashInstallerMissing);

    // Player 7 installed where the real one lives.
    const std::string control = dirs.systemDir + kFlashControlFiles[0];
    ASSERT_EQ(createDirPath(os, extractFilePath(control)), 0);
    ASSERT_TRUE(::CopyFileA((gBin + "player7.ocx").c_str(), control.c_str(), FALSE));
    registerPlayer(control);
    FlashVersionCache cache;
    const InstalledFlashVersion installed = getInstalledFlashVersion(os, cache);
    RequiredFlashVersion required;
    ASSERT_TRUE(requiredFlashVersion(1, required));
    const FlashPolicy policy = decideFlashUpdate(installed, required, true);
    EXPECT_EQ(policy.kind, FlashUpdateKind::majorUpdate);
    ASSERT_TRUE(policy.removeOldFiles());
    EXPECT_FALSE(removeOldFlashControlFiles(os, dirs.systemDir));
    EXPECT_FALSE(fileThere(control));

    ASSERT_TRUE(::CopyFileA((gBin + "flashax8.exe").c_str(), (dirs.scratchDir + "flashax8.exe").c_str(), FALSE));
    const std::string folders = startedFolderLog();
    EXPECT_EQ(runFlashInstaller(os, cache, dirs.scratchDir, "flashax8.exe", 0), 0);
    EXPECT_TRUE(waitFor([&] { return countLines(readFile(log), "setup exit 0") == 1; }, 60000)) << readFile(log);
    EXPECT_NE(readFile(log).find("setup /Q\n"), std::string::npos);
    EXPECT_EQ(lowerCase(readFile(folders)),
              lowerCase("setup " + dirs.scratchDir.substr(0, dirs.scratchDir.size() - 1) + "\n"))
        << "started in the scratch folder";
    int32_t major = 0, revision = 0;
    getFlashPlugInVersionInfoFromFileProperties(os, major, revision);
    EXPECT_EQ(major * 100 + revision, 822);
    std::string path;
    EXPECT_EQ(getFlashControlPath(os, path), 0);
    EXPECT_EQ(lowerCase(path), lowerCase(control));
    EXPECT_EQ(cache.major(), 8) << "the wait after the launch asked the new control";
    EXPECT_EQ(deleteDirTree(os, dirs.scratchDir), 0);
}

TEST(DisplayPanel, OpenedFromTheSystemFolderAndClosedByCancel) {
    const std::string log = envValue("DISPLAY_STANDIN_LOG");
    ASSERT_FALSE(log.empty());
    const std::string mark = exeDir() + "planted-ran.txt";
    ASSERT_TRUE(fileThere(exeDir() + "rundll32.exe")) << "the planted program beside this one";
    win32::Win32Os os;
    const std::string folders = startedFolderLog();
    openDisplayControlPanel(os, true, getSystemDir(os));
    // Open as a user has it: on the screen (a dialog still being made is not
    // what the installer meets).
    EXPECT_TRUE(waitFor([] { return ::IsWindowVisible(::FindWindowA(nullptr, "Display Properties")) != FALSE; },
                        60000));
    ::Sleep(500);
    EXPECT_FALSE(fileThere(mark)) << "the planted rundll32.exe ran";

    closeDisplayProperties(os);
    EXPECT_EQ(::FindWindowA(nullptr, "Display Properties"), nullptr) << "it returns once the dialog has gone";
    EXPECT_TRUE(waitFor([&] { return readFile(log).find("cancelled") != std::string::npos; }, 10000))
        << readFile(log);
    EXPECT_EQ(readFile(log), "opened\nparams 1\ncancelled\n");
    const std::string system = getSystemDir(os);
    EXPECT_EQ(lowerCase(readFile(folders)),
              lowerCase("display " + system.substr(0, system.size() - 1) + "\n"))
        << "started in the system folder";

    // The planting is real: a search by bare name would have run it.
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    char commandLine[] = "rundll32.exe shell32.dll,Control_RunDLL desk.cpl,,1";
    ASSERT_TRUE(::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    win32::KernelHandle process(pi.hProcess), thread(pi.hThread);
    ::WaitForSingleObject(process.get(), 60000);
    EXPECT_TRUE(fileThere(mark)) << "a bare name finds the program beside this one first";
    ::DeleteFileA(mark.c_str());
}

}  // namespace
}  // namespace ssi

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--hold") == 0) return ssi::wintest::holdFile(argv[2], argv[3], argv[4]);
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--windows=", 0) == 0) ssi::gWindows = a.substr(10);
        if (a.rfind("--bin=", 0) == 0) ssi::gBin = ssi::withTrailingBackslash(a.substr(6));
    }
    return RUN_ALL_TESTS();
}
