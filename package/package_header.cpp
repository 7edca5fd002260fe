// The installer copy, the package header and the paths derived from it.
#include "core/trace.h"
#include "core/strings.h"
#include "package/installer_package.h"

namespace ssi {

namespace {
constexpr int kCopyDeleteAttempts = 100;
}  // namespace

void preparePaths(Os& os, InstallerPackage& package) {
    package.exePath = os.system().modulePath();
    package.installerCopyPath = package.dirs.scratchDir + kInstallerCopyName;
}

Result copyInstaller(Os& os, const InstallerPackage& package, Reporter& reporter) {
    Result result = deleteFileRetry(os, package.installerCopyPath, kCopyDeleteAttempts);
    if (result == rc::kOk) result = copyFileForced(os, package.exePath, package.installerCopyPath, false);
    if (result != rc::kOk) reporter.showInstallError(rc::kCopyInstallerFailed, package.installerCopyPath);
    return result;
}

Result loadPackageHeader(Os& os, InstallerPackage& package, Reporter& reporter) {
    std::unique_ptr<File> file;
    if (Result error = os.files().openFile(package.installerCopyPath, FileAccess::Read, file)) {
        reporter.showInstallError(error, package.installerCopyPath);
        return error;
    }
    // Short, unreadable or untrustworthy: nothing is extracted.
    if (Result error = readPackageHeader(*file, package.installerCopyPath, package.header, reporter))
        return error;
    // The decompression library, from the same open file.
    return extractEntry(os, *file, package, slot::kLibrary, reporter, false);
}

void deriveInstallPaths(Os& os, InstallerPackage& package) {
    package.saverName = package.header.name();
    package.installDir = package.dirs.systemDir + package.saverName + os.system().loadString(kStrInstallDirSuffix);
    package.dataFilePath = package.dirs.scratchDir + package.entry(slot::kDataFile).name();
}

}  // namespace ssi
