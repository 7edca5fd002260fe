// The installer copy, the package header and the paths derived from it.
#include "app/fInstall.h"
#include "app/messages.h"
#include "app/strings.h"
#include "package/slot_extraction.h"
#include "saver/logFile.h"

namespace ssi {

namespace {
constexpr const char* kInstallerCopyName = "temp.dat";
constexpr int kCopyDeleteAttempts = 100;
constexpr Result kGeneralFailure = 31;  // ERROR_GEN_FAILURE: a failed call that left no error
}  // namespace

void TInstallerForm::preparePaths() {
    exePath = os_.modulePath();
    installerCopyPath = dirs.scratchDir + kInstallerCopyName;
}

Result TInstallerForm::copyInstaller() {
    Result result = deleteFileRetry(os_, installerCopyPath, kCopyDeleteAttempts);
    if (result == rc::kOk && !copyFileForced(os_, exePath, installerCopyPath, false)) {
        result = Result(os_.lastError());
        if (result == rc::kOk) result = kGeneralFailure;
    }
    if (result != rc::kOk) showInstallError(os_, rc::kCopyInstallerFailed, installerCopyPath);
    return result;
}

Result TInstallerForm::loadPackageHeader() {
    Result error = 0;
    std::unique_ptr<File> file = os_.openFile(installerCopyPath, FileAccess::Read, error);
    if (!file) {
        if (error == 0) error = kGeneralFailure;
        showInstallError(os_, error, installerCopyPath);
        return error;
    }
    // Short, unreadable or untrustworthy: nothing is extracted.
    if ((error = readPackageHeader(os_, *file, installerCopyPath, header)) != 0) return error;

    // The decompression library, from the same open file.
    return extractEntry(*file, 1, false);
}

void TInstallerForm::deriveInstallPaths() {
    saverName = header.name();
    installDir = dirs.systemDir + saverName + os_.loadString(kStrInstallDirSuffix);
    dataFilePath = dirs.scratchDir + header.entries[8].name();
}

}  // namespace ssi
