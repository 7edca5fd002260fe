#include "flash/player_detection.h"

#include "core/trace.h"
#include "platform/file_utils.h"
#include "saver/windows_version.h"

namespace ssi {

namespace {

// The longest path a control file can have (MAX_PATH less its zero).
constexpr size_t kMaxPathLength = 259;

// A REG_EXPAND_SZ value's %NAME% references, from the environment; a
// reference to an unset variable stays as it is, as the system leaves it.
std::string expandReferences(Os& os, const std::string& text) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t open = text.find('%', at);
        const size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
        if (close == std::string::npos) break;
        const std::string value = os.system().environment(text.substr(open + 1, close - open - 1));
        out += text.substr(at, open - at);
        out += close == open + 1 || value.empty() ? text.substr(open, close - open + 1) : value;
        at = close + 1;
    }
    return out + text.substr(at);
}

// A string value's text up to its first zero byte (the registry does not
// promise one); false for another type.
[[nodiscard]] bool stringOf(const RegValue& value, std::string& out) {
    if (value.type != regtype::kString && value.type != regtype::kExpandString) return false;
    const std::vector<uint8_t>& d = value.data;
    size_t length = 0;
    while (length < d.size() && d[length] != 0) ++length;
    out.assign(d.begin(), d.begin() + std::ptrdiff_t(length));
    return true;
}

}  // namespace

bool requiredFlashVersion(int flashVersionIndex, RequiredFlashVersion& out) {
    if (flashVersionIndex < 0 || flashVersionIndex > 1) return false;
    out = kRequiredFlashVersions[flashVersionIndex];
    return true;
}

FlashVersionCache& processFlashVersionCache() {
    static FlashVersionCache cache;
    return cache;
}

Result getFlashControlPath(Os& os, std::string& path) {
    path.clear();
    std::unique_ptr<RegistryKey> key;
    if (os.registry().openKey(Hive::ClassesRoot, kFlashServerKey, RegAccess::AllAccess, key) != rc::kOk)
        return rc::kFlashNotInstallable;
    RegValue value;
    std::string text;
    if (key->queryValue("", value) != rc::kOk || !stringOf(value, text)) return rc::kFlashNotInstallable;
    if (value.type == regtype::kExpandString) text = expandReferences(os, text);
    if (text.empty() || text.size() > kMaxPathLength) return rc::kFlashNotInstallable;
    path = text;
    return rc::kOk;
}

void getFlashPlugInVersionInfoFromFileProperties(Os& os, int32_t& major, int32_t& revision) {
    major = 0;
    revision = 0;
    std::string path;
    if (getFlashControlPath(os, path) != rc::kOk || !fileExists(os, path)) return;
    int fileMajor = 0, fileRevision = 0;
    if (getFileVersion(os, path, fileMajor, fileRevision) != rc::kOk) return;  // both stay 0
    major = fileMajor;
    revision = fileRevision;
}

FlashQuery queryFlashControlVersion(Os& os, FlashVersionCache& cache, int attempts) {
    FlashQuery query;
    if (cache.known()) {
        query.found = true;
        query.major = cache.major();
        return query;
    }
    ignoreResult(os.com().initialize(), "a refusal shows as controls that cannot be created");
    std::unique_ptr<DispatchObject> control;
    for (int attempt = 0; attempt < attempts && !control; ++attempt) {
        os.system().sleep(kFlashQueryWaitMs);
        if (os.com().createObject(kFlashClassId, control) != rc::kOk) {
            query.result = rc::kFlashNotInstallable;
            continue;
        }
        Variant answer;
        if (control->call("FlashVersion", {}, answer) != rc::kOk || answer.type != Variant::Type::Int) {
            query.result = rc::kFlashNotInstallable;
            break;
        }
        cache.store(int32_t(uint32_t(answer.integer) >> 16));
        query.found = true;
        query.result = rc::kOk;
    }
    control.reset();
    query.major = cache.major();
    return query;
}

InstalledFlashVersion getInstalledFlashVersion(Os& os, FlashVersionCache& cache) {
    InstalledFlashVersion installed;
    getFlashPlugInVersionInfoFromFileProperties(os, installed.major, installed.revision);
    // The control's answer is read by its version alone: a query that failed
    // leaves it at 0, which is "no player" here as for a control that answered 0.
    if (installed.major <= 0) installed.major = queryFlashControlVersion(os, cache, kFlashQueryAttempts).major;
    installed.found = installed.major > 0;
    logMessage("Computer Flash Version: " + std::to_string(installed.major) + " r" +
               std::to_string(installed.revision));
    return installed;
}

int getWindowsVersionCode(Os& os) {
    return static_cast<int>(identifyWindowsRelease(os));
}

Result verifyFlashAXInstallerCanRunOnThisMachine(Os& os, int32_t requiredMajor) {
    const WindowsRelease release = identifyWindowsRelease(os);
    logMessage("version: " + std::to_string(static_cast<int>(release)));
    // The player's installers from version 8 on do not run on NT 4.0.
    return release == WindowsRelease::NT4 && requiredMajor >= 8 ? rc::kNotCompatibleWithNT : rc::kOk;
}

bool removeOldFlashControlFiles(Os& os, const std::string& systemDir) {
    bool failed = false;
    for (const char* file : kFlashControlFiles) {
        const std::string path = systemDir + file;
        if (fileExists(os, path) && deleteFileRetry(os, path, kFlashDeleteAttempts) != rc::kOk) failed = true;
    }
    return failed;
}

Result launchFlashInstaller(Os& os, const std::string& scratchDir, const std::string& installerFile,
                            WindowHandle owner) {
    const std::string path = scratchDir + installerFile;
    if (!fileExists(os, path)) return rc::kFlashInstallerMissing;
    // Its working folder is the scratch folder, never the installer's own
    // (the download folder), where older Windows would look for DLLs first.
    const Result started =
        os.shell().shellExecute(owner, "", path, kFlashInstallerSwitch, scratchDir, showcmd::kHide);
    os.ui().bringApplicationToFront();
    // The shell's answer 0 (out of memory or resources) arrives as 14.
    return started == oserr::kOutOfMemory ? rc::kOutOfMemory : started;
}

Result runFlashInstaller(Os& os, FlashVersionCache& cache, const std::string& scratchDir,
                         const std::string& installerFile, WindowHandle owner) {
    if (Result e = launchFlashInstaller(os, scratchDir, installerFile, owner)) return e;
    getInstalledFlashVersion(os, cache);  // its waits give the installer time
    return rc::kOk;
}

FlashPolicy decideFlashUpdate(const InstalledFlashVersion& installed, const RequiredFlashVersion& required,
                              bool carriesFlashInstaller) {
    FlashPolicy policy;
    if (installed.found) {
        if (required.major > installed.major)
            policy.kind = FlashUpdateKind::majorUpdate;
        else if (required.major == installed.major && installed.revision != 0 &&
                 required.revision > installed.revision)
            policy.kind = FlashUpdateKind::minorUpdate;
        else
            return policy;
    } else if (carriesFlashInstaller) {
        policy.kind = FlashUpdateKind::cleanInstall;
    } else {
        // No player and none carried: nothing to run; the user is told to get one.
        policy.result = rc::kFlashNotInstallable;
        return policy;
    }
    if (!carriesFlashInstaller) policy.result = rc::kFlashNotInstallable;
    return policy;
}

}  // namespace ssi
