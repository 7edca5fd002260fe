// Reading the package: the header and the extraction of one slot. These are
// the installer window's operations (TInstallerForm::loadPackageHeader,
// destinationFor, extractEntry) without the window, so that tools and the
// fuzz target run exactly the installer's code.
#pragma once

#include <functional>
#include <string>

#include "app/result_codes.h"
#include "package/dataStructures_shared.h"
#include "platform/os.h"

namespace ssi {

// The folders a slot can go to; each ends with a backslash.
struct SlotFolders {
    std::string systemDir;
    std::string scratchDir;
    std::string installDir;  // system directory + saver name + " dir\"
    std::string saverName;   // checked before the install directory is used
};

// What extraction shows when progress is on.
struct ExtractionProgress {
    std::function<void(const std::string&)> showStatus;
    std::function<void()> stepProgress;
};

// The destination path of a slot by its targetKind, "" when there is none:
// kinds 0, 8, 9 and out of range, a name that is not a plain file name, or
// an install-directory kind while the saver name is not a plain name.
std::string slotDestination(const PackageEntry& entry, const SlotFolders& folders);

// Extracts one slot from the open package to its destination (see
// package/extract_entry.cpp for the steps). progress: nullptr for none.
Result extractSlot(Os& os, File& package, const PackageEntry& entry, const SlotFolders& folders,
                   const ExtractionProgress* progress);

// Reads the header at the package offset of the open installer copy `path`:
// a short read gives -31 after the error box, an I/O error its code after the
// box; a header that cannot be valid gives rc::kCorruptPackage without a box.
Result readPackageHeader(Os& os, File& file, const std::string& path, PackageHeader& out);

}  // namespace ssi
