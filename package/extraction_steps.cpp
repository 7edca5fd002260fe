// The fixed roles of the package slots: each extraction step of the
// initialisation and the installation extracts one fixed slot (or a fixed run)
// through extractEntry.
#include "core/trace.h"
#include "package/installer_package.h"

namespace ssi {

namespace {

// Opens its own stream on the installer copy and extracts one slot without progress.
[[nodiscard]] Result extractSingleSlot(Os& os, const InstallerPackage& package, int index, Reporter& reporter) {
    if (package.entry(index).name().empty()) return rc::kEmptySlotName;
    std::unique_ptr<File> file;
    if (Result error = os.files().openFile(package.installerCopyPath, FileAccess::Read, file)) {
        reporter.showInstallError(error, package.dirs.scratchDir);
        return error;
    }
    return extractEntry(os, *file, package, index, reporter, false);
}

}  // namespace

Result extractReadMe(Os& os, const InstallerPackage& package, Reporter& reporter) {
    return extractSingleSlot(os, package, slot::kReadMe, reporter);
}

Result extractFlashInstaller(Os& os, const InstallerPackage& package, Reporter& reporter) {
    logMessage("FlashActiveX:" + package.entry(slot::kFlashInstaller).name());
    return extractSingleSlot(os, package, slot::kFlashInstaller, reporter);
}

Result extractLicense(Os& os, const InstallerPackage& package, Reporter& reporter) {
    return extractSingleSlot(os, package, slot::kLicense, reporter);
}

Result extractPreview(Os& os, InstallerPackage& package, Reporter& reporter) {
    PackageEntry& preview = package.header.entries[slot::kPreview];
    if (preview.name().empty()) return rc::kEmptySlotName;
    // The picture is renamed in the header itself, so every later use (the
    // extraction, loading the picture) sees the extension its mode implies.
    if (package.header.installerMode == mode::kBmpPreview)
        preview.setName(changeFileExt(preview.name(), ".BMP"));
    else if (package.header.installerMode == mode::kJpegPreview)
        preview.setName(changeFileExt(preview.name(), ".jpg"));
    return extractSingleSlot(os, package, slot::kPreview, reporter);
}

Result extractInstallEntries(Os& os, const InstallerPackage& package, const std::string& path, bool readMeIncluded,
                             Reporter& reporter) {
    const int first = readMeIncluded ? slot::kReadMe : slot::kSaver;
    std::unique_ptr<File> file;
    if (Result error = os.files().openFile(path, FileAccess::Read, file)) {
        reporter.showInstallError(error, path);
        return error;
    }
    Result result = rc::kOk;
    for (int index = first; index <= slot::kLast && result == rc::kOk && !reporter.stopRequested(); ++index)
        result = extractEntry(os, *file, package, index, reporter, true);
    return result;
}

}  // namespace ssi
