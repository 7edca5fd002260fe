// The installer's extraction of one slot (the steps are in slot_extraction.cpp).
#include "core/strings.h"
#include "package/installer_package.h"

#include "package/package_layout.h"

namespace ssi {

Result extractEntry(Os& os, File& packageFile, const InstallerPackage& package, int slotIndex, Reporter& reporter,
                    bool showProgress) {
    if (slotIndex < slot::kFirst || slotIndex > slot::kLast) {
        if (showProgress) reporter.showStatus(os.system().loadString(kStrWritingSaverFiles));
        return rc::kCorruptPackage;
    }
    if (slotIndex == slot::kDataFile && dataFileReadInPlace(package))
        return checkSlotInPlace(os, packageFile, package.entry(slotIndex), package.folders(), reporter, showProgress);
    return extractSlot(os, packageFile, package.entry(slotIndex), package.folders(), reporter, showProgress);
}

bool dataFileReadInPlace(const InstallerPackage& package) {
    const PackageEntry& entry = package.entry(slot::kDataFile);
    return !entry.compressed && !entry.name().empty() && !package.dataFilePath.empty() &&
           slotDestination(entry, package.folders()) == package.dataFilePath;
}

Result openDataFileSource(Os& os, const InstallerPackage& package, std::unique_ptr<File>& out) {
    out.reset();
    if (!dataFileReadInPlace(package)) return os.files().openFile(package.dataFilePath, FileAccess::Read, out);
    std::unique_ptr<File> copy;
    if (Result e = os.files().openFile(package.installerCopyPath, FileAccess::Read, copy)) return e;
    const PackageEntry& entry = package.entry(slot::kDataFile);
    int64_t size = 0;
    if (Result e = copy->size(size)) return e;
    if (!slotBytesInFile(entry, size)) return rc::kShortRead;
    out = std::make_unique<FileWindow>(std::move(copy), entry.firstByte, entry.storedSize());
    return out->seek(0);
}

}  // namespace ssi
