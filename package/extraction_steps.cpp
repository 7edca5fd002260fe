// The fixed roles of the package slots: each extraction step of the
// initialisation and the installation extracts one fixed slot (or a fixed run)
// through extractEntry.
#include "app/fInstall.h"
#include "app/messages.h"
#include "saver/logFile.h"

namespace ssi {

namespace {

constexpr int kFlashInstallerSlot = 2;
constexpr int kPreviewSlot = 3;
constexpr int kLicenseSlot = 4;
constexpr int kReadMeSlot = 5;
constexpr int kSaverSlot = 6;
constexpr int kLastSlot = 10;
constexpr uint8_t kBmpMode = 1;
constexpr uint8_t kJpegMode = 8;

}  // namespace

// Opens its own stream on the installer copy and extracts one slot without progress.
static Result extractSingleSlot(TInstallerForm& form, int slot) {
    if (form.header.entries[slot].name().empty()) return rc::kEmptySlotName;
    Result error = 0;
    std::unique_ptr<File> file = form.os().openFile(form.installerCopyPath, FileAccess::Read, error);
    if (!file) {
        if (error == 0) error = oserr::kFileNotFound;
        showInstallError(form.os(), error, form.dirs.scratchDir);
        return error;
    }
    return form.extractEntry(*file, slot, false);
}

Result TInstallerForm::extractReadMe() {
    return extractSingleSlot(*this, kReadMeSlot);
}

Result TInstallerForm::extractFlashInstaller() {
    logMessage("FlashActiveX:" + header.entries[kFlashInstallerSlot].name());
    return extractSingleSlot(*this, kFlashInstallerSlot);
}

Result TInstallerForm::extractLicense() {
    return extractSingleSlot(*this, kLicenseSlot);
}

Result TInstallerForm::extractPreview() {
    PackageEntry& preview = header.entries[kPreviewSlot];
    if (preview.name().empty()) return rc::kEmptySlotName;
    // The picture is renamed in the header itself, so every later use (the
    // extraction, loading the picture) sees the extension its mode implies.
    if (header.installerMode == kBmpMode)
        preview.setName(changeFileExt(preview.name(), ".BMP"));
    else if (header.installerMode == kJpegMode)
        preview.setName(changeFileExt(preview.name(), ".jpg"));
    return extractSingleSlot(*this, kPreviewSlot);
}

Result TInstallerForm::extractInstallEntries(const std::string& path) {
    const int first = readMeIncluded ? kReadMeSlot : kSaverSlot;
    Result error = 0;
    std::unique_ptr<File> file = os_.openFile(path, FileAccess::Read, error);
    if (!file) {
        if (error == 0) error = oserr::kFileNotFound;
        showInstallError(os_, error, path);
        return error;
    }
    Result result = rc::kOk;
    for (int slot = first; slot <= kLastSlot && result == rc::kOk && !cancelRequested; ++slot)
        result = extractEntry(*file, slot, true);
    return result;
}

}  // namespace ssi
