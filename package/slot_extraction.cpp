// Extraction of one package slot to its destination file, and the header
// read, shared by the installer window and the fuzz target.
//
// extractSlot, in order:
//   1. with progress: the status "Writing screen saver files...";
//   2. an empty name gives -531, reported with an empty path;
//   3. checks before anything is allocated, deleted or written: a name that
//      is not a plain file name (rc::kCorruptPackage), a kind without
//      destination (rc::kNoDestination), stored bytes that are not inside the
//      package (-30, also for a stored size below 1 byte);
//   4. seek to firstByte; with progress: one progress step;
//   5. an older system-folder file is kept aside when the caller asks
//      (SlotFolders::keepAside; held open: as busy below); then remove an older file: a ".dll" (exactly) with one forced delete, any
//      other with 1,000 attempts; a busy file (-32) is kept and the slot counts
//      as done (0), a busy screen saver gives -38;
//   6. compressed: the stored bytes into a block (-7 without memory), the
//      library bound to the scratch folder (-35), -30 for a short read,
//      expansion (capped at expandedSize + 1 bytes), then -16 when no file
//      came out and -13 when its size is not expandedSize; stored: copied in
//      64 KiB chunks, -30 when fewer bytes arrive;
//   7. reports: an I/O error at once, with the destination; other failures
//      only for a ".dll" destination (the others went through the retried
//      delete and leave the report to the caller); -32 and -38 never.
#include "package/slot_extraction.h"

#include <memory>
#include <vector>

#include "core/buffer.h"
#include "core/strings.h"
#include "package/package_layout.h"
#include "package/codec_library.h"
#include "platform/file_utils.h"
#include "core/trace.h"

namespace ssi {

namespace {

constexpr int kReplaceAttempts = 1000;
constexpr uint32_t kCopyChunk = 64 * 1024;

}  // namespace

std::string slotDestination(const PackageEntry& entry, const SlotFolders& folders) {
    const std::string name = entry.name();
    if (!isSafeFileName(name)) return std::string();
    if (kind::isInstallDir(entry.targetKind)) {
        // The install directory carries the saver's name: never form a path
        // from one that could leave the system directory, nor one that is not
        // known yet.
        const std::string& saver = folders.saverName;
        if (folders.installDir.empty() || (!saver.empty() && !isSafeFileName(saver))) return std::string();
        return folders.installDir + name;
    }
    switch (entry.targetKind) {
        case kind::kSystemDir:
            return folders.systemDir + name;
        case kind::kSystemLibrary:
            if (name == "flashax7.exe" || name == "install_flash_player_active_x.msi")
                return folders.scratchDir + name;
            return folders.systemDir + changeFileExt(name, ".dll");
        case kind::kScratchLibrary:
            if (name == kLibrarySlotName) return folders.scratchDir + changeFileExt(name, ".dll");
            return folders.scratchDir + name;
        case kind::kScratch:
            return folders.scratchDir + name;
        default:
            return std::string();  // 0, 8, 9 and anything else: no destination
    }
}

Result extractSlot(Os& os, File& package, const PackageEntry& slot, const SlotFolders& folders, Reporter& reporter,
                   bool showProgress) {
    if (showProgress) reporter.showStatus(os.system().loadString(kStrWritingSaverFiles));

    // The routine works on a copy: the header itself never changes here.
    const PackageEntry entry = slot;
    const std::string name = entry.name();
    if (name.empty()) {
        reporter.showInstallError(rc::kEmptySlotName, std::string());
        return rc::kEmptySlotName;
    }
    // Names and ranges are checked before anything is allocated, deleted or
    // written. No box: the caller reports the code (for an initialisation
    // step as a corrupted installer file).
    if (!isSafeFileName(name)) {
        logMessage("unsafe slot name refused: " + name);
        return rc::kCorruptPackage;
    }
    const std::string dest = slotDestination(entry, folders);
    if (dest.empty()) {
        logMessage("slot without destination: " + name);
        // A kind with a folder that formed no path had an unsafe saver name.
        return kindHasDestination(entry.targetKind) ? rc::kCorruptPackage : rc::kNoDestination;
    }

    // Destinations that are replaced with repeated attempts leave every
    // report but an I/O error to the caller.
    const bool isDll = extractFileExt(dest) == ".dll";
    auto report = [&](Result code) {
        if (code != rc::kOk && code != rc::kFileBusy && code != rc::kSaverNotReplaced && isDll)
            reporter.showInstallError(code, dest);
        return code;
    };
    auto ioError = [&](Result code) {
        reporter.showInstallError(code, dest);
        return code;
    };

    int64_t packageSize = 0;
    if (Result e = package.size(packageSize)) return ioError(e);
    if (!slotBytesInFile(entry, packageSize)) {
        logMessage("slot outside the package: " + name);
        return report(rc::kShortRead);
    }
    const uint32_t storedSize = uint32_t(entry.storedSize());

    if (Result e = package.seek(entry.firstByte)) return ioError(e);
    if (showProgress) reporter.stepProgress();

    // An older system file (kinds 2 and 3) is kept aside first; one that
    // cannot be (held open) stays as it is, as a busy file does below.
    const bool systemFile = entry.targetKind == kind::kSystemDir ||
                            (entry.targetKind == kind::kSystemLibrary &&
                             dest.compare(0, folders.systemDir.size(), folders.systemDir) == 0);
    if (folders.keepAside && systemFile) {
        if (Result kept = folders.keepAside(dest)) {
            logMessage("cannot keep aside: " + dest);
            if (kept == oserr::kSharingViolation)
                return extractFileExt(dest) == ".scr" ? rc::kSaverNotReplaced : rc::kOk;
            return report(kept);
        }
    }
    // Remove an older file at the destination.
    Result result = isDll ? deleteFileForced(os, dest) : deleteFileRetry(os, dest, kReplaceAttempts);
    if (result != rc::kOk) {
        logMessage("cannot replace: " + dest);
        // A busy file other than a screen saver stays as it is: nothing is
        // written and the installation carries on.
        return result == rc::kFileBusy ? rc::kOk : report(result);
    }

    if (entry.compressed) {
        ByteBuffer block;
        if (!block.allocate(storedSize)) return report(rc::kOutOfMemory);
        {
            TCompressor compressor(os, folders.scratchDir);
            if (!compressor.loaded) return report(rc::kLibraryNotLoaded);
            uint32_t got = 0;
            if (Result e = readUpTo(package, reinterpret_cast<char*>(block.data()), storedSize, got)) return ioError(e);
            if (got != storedSize) return report(rc::kShortRead);
            // Its own result is not consulted: the size check below decides.
            // The cap keeps a damaged stream from filling the disk.
            const int64_t limit = entry.expandedSize < 0 ? 0 : int64_t(entry.expandedSize) + 1;
            compressor.ExpandToFile(dest, block.data(), int32_t(storedSize), limit);
            compressor.Destroy();
        }
        std::vector<FindEntry> found;
        if (os.files().findFiles(dest, found) != rc::kOk || found.empty()) return report(rc::kExpandedFileMissing);
        if (entry.expandedSize < 0 || found.front().size != uint64_t(entry.expandedSize))
            return report(rc::kExpandedSizeWrong);
        return rc::kOk;
    }

    // Stored slot: copied stream to stream.
    std::unique_ptr<File> out;
    if (Result error = os.files().openFile(dest, FileAccess::Create, out)) return ioError(error);
    logMessage("file created: " + dest);
    ByteBuffer buffer;
    if (!buffer.allocate(kCopyChunk)) return report(rc::kOutOfMemory);
    uint32_t copied = 0;
    while (copied < storedSize) {
        const uint32_t want = storedSize - copied < kCopyChunk ? storedSize - copied : kCopyChunk;
        uint32_t got = 0;
        if (Result e = readUpTo(package, reinterpret_cast<char*>(buffer.data()), want, got)) return ioError(e);
        if (got == 0) break;
        uint32_t written = 0;
        while (written < got) {
            uint32_t put = 0;
            if (Result e = out->write(buffer.data() + written, got - written, put)) return ioError(e);
            if (put == 0) return ioError(oserr::kDiskFull);
            written += put;
        }
        copied += got;
        if (got < want) break;
    }
    logMessage("sizeExtracted: " + std::to_string(copied));
    if (Result e = out->close()) return ioError(e);
    if (copied != storedSize) return report(rc::kShortRead);
    return rc::kOk;
}

Result readPackageHeader(File& file, const std::string& path, PackageHeader& out, Reporter& reporter) {
    Result error = file.seek(kPackageOffset);
    if (error != 0) {
        reporter.showInstallError(error, path);
        return error;
    }
    uint8_t bytes[kPackageHeaderSize];
    uint32_t total = 0;
    if ((error = readUpTo(file, reinterpret_cast<char*>(bytes), uint32_t(kPackageHeaderSize), total)) != 0) {
        reporter.showInstallError(error, path);
        return error;
    }
    if (total < kPackageHeaderSize) {
        reporter.showInstallError(rc::kShortHeader, path);
        return rc::kShortHeader;
    }
    decodePackageHeader(bytes, out);

    // A header that cannot be valid is refused before anything is extracted:
    // no version table entry past index 1, and no name that could form a
    // path outside the folders the installer writes to. The initialisation's
    // failure box reports it as a corrupted installer file.
    if (Result bad = checkPackageHeader(out)) {
        logMessage("package header refused: " + std::to_string(bad));
        return bad;
    }
    return rc::kOk;
}

}  // namespace ssi
