// Three sources, one for each stage of reading the package: package_header.cpp
// (the installer copy, its header, the derived paths), extract_entry.cpp (one
// slot by number) and extraction_steps.cpp (the fixed roles of the slots).
// The installer's package as the process holds it, and the steps that read
// it: the installer copy and its header, the paths formed from the header,
// the extraction of one slot and the fixed slot roles. The installer window
// calls these steps; they show status, progress and failures through the
// Reporter they are given.
#pragma once

#include <functional>

#include <string>

#include "core/result_codes.h"
#include "core/roles.h"
#include "package/package_format.h"
#include "package/slot_extraction.h"
#include "platform/os.h"
#include "platform/reporter.h"
#include "platform/file_utils.h"

namespace ssi {

// Filled during the initialisation and only read afterwards (but for the
// preview's name, which extractPreview gives the extension its mode implies).
struct InstallerPackage {
    InstallerDirs dirs;             // Windows, system and scratch directories
    std::string exePath;            // the running executable
    std::string installerCopyPath;  // scratch directory + "temp.dat"
    PackageHeader header{};
    std::string saverName;          // the header's name
    std::string installDir;         // system directory + saverName + " dir\"
    std::string dataFilePath;       // scratch directory + slot 8's name

    // Set by the installation: keeps aside a system file a slot replaces.
    std::function<Result(const std::string& path)> keepReplacedFile;

    // The folders a slot can go to.
    SlotFolders folders() const {
        return {dirs.systemDir, dirs.scratchDir, installDir, header.name(), keepReplacedFile};
    }
    const PackageEntry& entry(int slot) const { return header.entries[slot]; }
};

// ---- the installer copy and the header ----------------------------------------
// Records the running executable and forms the installer copy's path.
void preparePaths(Os& os, InstallerPackage& package);
// Copies the running executable to the installer copy; a failure shows the
// -523 box and returns the underlying code.
[[nodiscard]] Result copyInstaller(Os& os, const InstallerPackage& package, Reporter& reporter);
// Reads the header from the installer copy and extracts the decompression
// library (slot 1) from the same open file.
[[nodiscard]] Result loadPackageHeader(Os& os, InstallerPackage& package, Reporter& reporter);
// Forms the install directory, the saver's name and the data file's path.
void deriveInstallPaths(Os& os, InstallerPackage& package);

// ---- slots ------------------------------------------------------------------------
// Whether the data file (slot 8) is read where it lies in the installer copy
// rather than written to the data file path first: it is stored, not
// compressed, and the data file path is where it would be written.
bool dataFileReadInPlace(const InstallerPackage& package);
// Opens the data file for reading: a window on the installer copy when it is
// read in place, else the file at the data file path. 0 or the OS error
// (rc::kShortRead when the installer copy is shorter than the slot).
[[nodiscard]] Result openDataFileSource(Os& os, const InstallerPackage& package, std::unique_ptr<File>& out);
// Extracts one slot from the open installer copy (see slot_extraction.h); a
// data file read in place is only checked (checkSlotInPlace).
[[nodiscard]] Result extractEntry(Os& os, File& packageFile, const InstallerPackage& package, int slot, Reporter& reporter,
                    bool showProgress);
// The single-slot steps: each opens its own stream on the installer copy;
// -531 without a box when the slot is unused.
[[nodiscard]] Result extractReadMe(Os& os, const InstallerPackage& package, Reporter& reporter);
[[nodiscard]] Result extractFlashInstaller(Os& os, const InstallerPackage& package, Reporter& reporter);
[[nodiscard]] Result extractLicense(Os& os, const InstallerPackage& package, Reporter& reporter);
// Gives the preview the extension its mode implies (".BMP", ".jpg") in the
// header itself, then extracts it.
[[nodiscard]] Result extractPreview(Os& os, InstallerPackage& package, Reporter& reporter);
// The installation's run: slot 5 (when the read-me is included) or 6 up to
// 10, with progress, stopping at the first failure or when the reporter says
// the user asked to cancel.
[[nodiscard]] Result extractInstallEntries(Os& os, const InstallerPackage& package, const std::string& path,
                             bool readMeIncluded, Reporter& reporter);

}  // namespace ssi
