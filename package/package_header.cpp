// The installer copy, the package header and the paths derived from it.
#include <cstring>

#include "app/fInstall.h"
#include "app/messages.h"
#include "app/strings.h"
#include "package/package_layout.h"
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
    if ((error = file->seek(kPackageOffset)) != 0) {
        showInstallError(os_, error, installerCopyPath);
        return error;
    }

    uint8_t bytes[kPackageHeaderSize];
    uint32_t total = 0;
    while (total < kPackageHeaderSize) {
        uint32_t got = 0;
        if ((error = file->read(bytes + total, uint32_t(kPackageHeaderSize) - total, got)) != 0) {
            showInstallError(os_, error, installerCopyPath);
            return error;
        }
        if (got == 0) break;
        total += got;
    }
    if (total < kPackageHeaderSize) {
        showInstallError(os_, rc::kShortHeader, installerCopyPath);
        return rc::kShortHeader;
    }
    decodePackageHeader(bytes, header);

    // A header that cannot be valid is refused before anything is extracted:
    // no version table entry past index 1, and no name that could form a
    // path outside the folders the installer writes to. The initialisation's
    // failure box reports it as a corrupted installer file.
    if (Result bad = checkPackageHeader(header)) {
        logMessage("package header refused: " + std::to_string(bad));
        return bad;
    }

    // The decompression library, from the same open file.
    return extractEntry(*file, 1, false);
}

void TInstallerForm::deriveInstallPaths() {
    saverName = header.name();
    installDir = dirs.systemDir + saverName + os_.loadString(kStrInstallDirSuffix);
    dataFilePath = dirs.scratchDir + header.entries[8].name();
}

}  // namespace ssi
