// The player control: whether it is installed and in which version, whether
// the installed one will do for the package, removing an old one before an
// update, and starting the player installer the package may carry.
#pragma once

#include <cstdint>
#include <string>

#include "core/result_codes.h"
#include "platform/os.h"

namespace ssi {

// The player control's class and where its registration names its file.
constexpr const char* kFlashClassId = "{D27CDB6E-AE6D-11CF-96B8-444553540000}";
constexpr const char* kFlashServerKey = "\\CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}\\InprocServer32";
// The control files an update replaces, below the system folder.
constexpr const char* kFlashControlFiles[2] = {"Macromed\\Flash\\Flash.ocx", "Macromed\\Flash\\swflash.ocx"};
constexpr const char* kFlashInstallerSwitch = "/Q";
// Attempts at asking the control, each after kFlashQueryWaitMs.
constexpr int kFlashQueryAttempts = 20;
constexpr uint32_t kFlashQueryWaitMs = 500;
constexpr int kFlashDeleteAttempts = 100;

// The installed player: major and revision (the third number of the control
// file's version, 0 when unknown).
struct InstalledFlashVersion {
    bool found = false;
    int32_t major = 0;
    int32_t revision = 0;
};

struct RequiredFlashVersion {
    int32_t major = 0;
    int32_t revision = 0;
};

// By the package header's flashVersionIndex; a package with another index is
// refused as corrupt when it is loaded.
constexpr RequiredFlashVersion kRequiredFlashVersions[2] = {{7, 19}, {8, 22}};
// The entry for an index: false (and `out` untouched) for an index without one.
[[nodiscard]] bool requiredFlashVersion(int flashVersionIndex, RequiredFlashVersion& out);

// The player's major version as the control itself reported it, for the
// whole process: the first answer is kept and every later query returns it
// without creating a control. The installer uses processFlashVersionCache();
// tests make their own.
class FlashVersionCache {
public:
    bool known() const { return major_ != -1; }
    int32_t major() const { return major_; }
    void store(int32_t major) { major_ = major; }

private:
    int32_t major_ = -1;
};
FlashVersionCache& processFlashVersionCache();

// The registered control file's path: 0, or kFlashNotInstallable when the key
// cannot be opened with full access or its default value is missing, empty,
// not a string or too long to be a path.
[[nodiscard]] Result getFlashControlPath(Os& os, std::string& path);

// Major and revision from the registered control file's version resource;
// both 0 when there is no such file or it has no version.
void getFlashPlugInVersionInfoFromFileProperties(Os& os, int32_t& major, int32_t& revision);

struct [[nodiscard]] FlashQuery {
    Result result = rc::kOk;  // 0, or kFlashNotInstallable
    bool found = false;
    int32_t major = -1;  // -1 when no attempt succeeded
};
// Asks the control for its version, up to `attempts` times, sleeping
// kFlashQueryWaitMs before every attempt; the cache answers when it can.
FlashQuery queryFlashControlVersion(Os& os, FlashVersionCache& cache, int attempts);

// The file's version first; when it gives no major, the control's answer
// (kFlashQueryAttempts attempts), the revision staying as the file gave it.
InstalledFlashVersion getInstalledFlashVersion(Os& os, FlashVersionCache& cache);

// Windows as the player's installers tell it apart: 0 Windows 95, 1 Windows 98,
// 2 Windows 98 SE (service-pack text "?A..."), 3 ME, 4 NT 4.0 and older,
// 5 Windows 2000, 6 XP, -1 anything else or when the system does not say.
int getWindowsVersionCode(Os& os);

// kNotCompatibleWithNT when the player the package needs (major 8 or later)
// cannot be installed on Windows NT 4.0 or older; otherwise 0.
[[nodiscard]] Result verifyFlashAXInstallerCanRunOnThisMachine(Os& os, int32_t requiredMajor);

// Deletes both old control files (each existing one with kFlashDeleteAttempts
// attempts); true when one of them could not be deleted.
[[nodiscard]] bool removeOldFlashControlFiles(Os& os, const std::string& systemDir);

// Starts scratchDir + installerFile hidden with "/Q", owned by `owner`, and
// returns at once: 0 started, kFlashInstallerMissing when the file is not
// there, kOutOfMemory when the shell ran out of resources, else the shell's
// error value (1..32).
[[nodiscard]] Result launchFlashInstaller(Os& os, const std::string& scratchDir,
                                          const std::string& installerFile, WindowHandle owner);

// Launches the installer and, when it started, waits for the new player the
// way detection does (its result is not used): the launch's result.
[[nodiscard]] Result runFlashInstaller(Os& os, FlashVersionCache& cache, const std::string& scratchDir,
                                       const std::string& installerFile, WindowHandle owner);

// What the package has to do about the player.
enum class FlashUpdateKind : uint8_t { none = 0, majorUpdate = 2, minorUpdate = 3, cleanInstall = 4 };

struct [[nodiscard]] FlashPolicy {
    Result result = rc::kOk;  // 0, or kFlashNotInstallable
    FlashUpdateKind kind = FlashUpdateKind::none;
    // The installed player's files are to be removed before the carried
    // installer runs (a major or minor update this package can make).
    bool removeOldFiles() const {
        return result == rc::kOk && (kind == FlashUpdateKind::majorUpdate || kind == FlashUpdateKind::minorUpdate);
    }
};

// Compares the installed player with the package's need:
// - installed, older major: majorUpdate; same major with a known revision
//   below the required one: minorUpdate; otherwise none (a newer major, or an
//   unknown revision 0, is new enough);
// - none installed: cleanInstall when the package carries an installer, else
//   none with kFlashNotInstallable (the user is told to get a player).
// An update that no carried installer can make is kFlashNotInstallable (the
// kind says which update it would have been): the installed player is then
// left alone, as removing its files would leave none at all.
FlashPolicy decideFlashUpdate(const InstalledFlashVersion& installed, const RequiredFlashVersion& required,
                              bool carriesFlashInstaller);

}  // namespace ssi
