// The installer's extraction of one slot (the steps are in slot_extraction.cpp).
#include "core/strings.h"
#include "package/installer_package.h"

namespace ssi {

Result extractEntry(Os& os, File& packageFile, const InstallerPackage& package, int slotIndex, Reporter& reporter,
                    bool showProgress) {
    if (slotIndex < slot::kFirst || slotIndex > slot::kLast) {
        if (showProgress) reporter.showStatus(os.system().loadString(kStrWritingSaverFiles));
        return rc::kCorruptPackage;
    }
    return extractSlot(os, packageFile, package.entry(slotIndex), package.folders(), reporter, showProgress);
}

}  // namespace ssi
