// Reading the package: the header and the extraction of one slot, over any
// open file, so that the installer, the tools and the fuzz target run the
// same code.
#pragma once

#include <functional>
#include <string>

#include "core/result_codes.h"
#include "package/package_format.h"
#include "platform/os.h"
#include "platform/reporter.h"

namespace ssi {

// The folders a slot can go to; each ends with a backslash.
struct SlotFolders {
    std::string systemDir;
    std::string scratchDir;
    std::string installDir;  // system directory + saver name + " dir\"
    std::string saverName;   // checked before the install directory is used
    // Keeps aside an existing system-folder file that a slot of kind 2 or 3
    // replaces, so that a failed installation can put it back (empty: the
    // file is replaced without a copy).
    std::function<Result(const std::string& path)> keepAside = nullptr;
};

// The destination path of a slot by its targetKind, "" when there is none:
// kinds 0, 8, 9 and out of range, a name that is not a plain file name, or
// an install-directory kind while the saver name is not a plain name.
std::string slotDestination(const PackageEntry& entry, const SlotFolders& folders);

// Extracts one slot from the open package to its destination (see
// slot_extraction.cpp for the steps), with the status line and progress
// steps of the reporter when showProgress is set.
Result extractSlot(Os& os, File& package, const PackageEntry& entry, const SlotFolders& folders,
                   Reporter& reporter, bool showProgress);

// Reads the header at the package offset of the open installer copy `path`:
// a short read gives -31 after the error box, an I/O error its code after the
// box; a header that cannot be valid gives rc::kCorruptPackage without a box.
Result readPackageHeader(File& file, const std::string& path, PackageHeader& out, Reporter& reporter);

}  // namespace ssi
