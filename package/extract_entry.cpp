// The installer window's extraction of one slot (the steps are in
// package/slot_extraction.cpp).
#include "app/fInstall.h"
#include "app/strings.h"
#include "package/slot_extraction.h"

namespace ssi {

namespace {
SlotFolders foldersOf(const TInstallerForm& form) {
    return {form.dirs.systemDir, form.dirs.scratchDir, form.installDir, form.header.name()};
}
}  // namespace

std::string TInstallerForm::destinationFor(const PackageEntry& entry) const {
    return slotDestination(entry, foldersOf(*this));
}

Result TInstallerForm::extractEntry(File& package, int slotIndex, bool showProgress) {
    if (slotIndex < 0 || slotIndex >= kSlotCount) {
        if (showProgress) showStatus(os_.loadString(kStrWritingSaverFiles));
        return rc::kCorruptPackage;
    }
    ExtractionProgress progress{[this](const std::string& text) { showStatus(text); },
                                [this] { stepProgress(); }};
    return extractSlot(os_, package, header.entries[slotIndex], foldersOf(*this),
                       showProgress ? &progress : nullptr);
}

}  // namespace ssi
