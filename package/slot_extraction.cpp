// Extraction of one package slot to its destination file, and the header
// read, shared by the installer window and the fuzz target.
//
// extractSlot, in order:
//   1. with progress: the status "Writing screen saver files...";
//   2. an empty name gives -531, reported with an empty path;
//   3. checks before anything is allocated, deleted or written: a name that
//      is not a plain file name (rc::kCorruptPackage), a kind without
//      destination (rc::kNoDestination), stored bytes that are not inside the
//      package (-30, also for a stored size below 1 byte); slotRefusal holds
//      these rules of the slot alone, which the package tool asks too;
//   4. seek to firstByte; with progress: one progress step;
//   5. an older system-folder file (kinds 2 and 3) is kept aside when the
//      caller asks (SlotFolders::keepAside; one held open counts as busy, as
//      below); then remove an older file: a ".dll" (exactly) with one
//      forced delete, any other with 1,000 attempts; a busy file (-32) is
//      kept and the slot counts as done (0), a busy screen saver gives -38;
//   6. compressed: the library bound to the scratch folder (-35), the
//      expansion fed from the package in blocks (capped at expandedSize + 1
//      bytes; a read error or a package that ends first gives its code, -30,
//      and removes what was written), then -16 when no file came out and -13
//      when its size is not expandedSize; stored: copied in blocks of 256 KiB
//      through one buffer, -30 when fewer bytes arrive;
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

Result slotRefusal(const PackageEntry& entry, int64_t packageSize) {
    const std::string name = entry.name();
    if (name.empty()) return rc::kEmptySlotName;
    if (!isSafeFileName(name)) return rc::kCorruptPackage;
    if (!kindHasDestination(entry.targetKind)) return rc::kNoDestination;
    if (packageSize != kUnknownFileSize && !slotBytesInFile(entry, packageSize)) return rc::kShortRead;
    return rc::kOk;
}

// ---- the steps shared with the package tool ---------------------------------------

[[nodiscard]] Result readSlotBlock(File& package, uint32_t storedSize, ByteBuffer& block) {
    if (!block.allocate(storedSize)) return rc::kOutOfMemory;
    uint32_t got = 0;
    if (Result e = readUpTo(package, reinterpret_cast<char*>(block.data()), storedSize, got)) return e;
    return got == storedSize ? rc::kOk : rc::kShortRead;
}

[[nodiscard]] Result copySlotBytes(File& package, File& out, uint32_t storedSize, uint32_t& copied) {
    uint64_t total = 0;
    const Result result = copyFileBytes(package, out, storedSize, total);
    copied = uint32_t(total);
    return result;
}

// ---- FileWindow ---------------------------------------------------------------------

FileWindow::FileWindow(std::unique_ptr<File> base, int64_t offset, int64_t length)
    : base_(std::move(base)), offset_(offset), length_(length < 0 ? 0 : length) {}

Result FileWindow::read(void* buffer, uint32_t size, uint32_t& got) {
    got = 0;
    if (!base_) return oserr::kInvalidHandle;
    if (!placed_) {
        if (Result e = base_->seek(offset_ + position_)) return e;
        placed_ = true;
    }
    const int64_t left = position_ < length_ ? length_ - position_ : 0;
    const uint32_t want = int64_t(size) < left ? size : uint32_t(left);
    if (want == 0) return rc::kOk;
    const Result result = base_->read(buffer, want, got);
    position_ += got;
    return result;
}

Result FileWindow::write(const void*, uint32_t, uint32_t& put) {
    put = 0;
    return oserr::kAccessDenied;
}

Result FileWindow::seek(int64_t position) {
    if (!base_) return oserr::kInvalidHandle;
    if (position < 0) return oserr::kNegativeSeek;
    if (Result e = base_->seek(offset_ + position)) return e;
    position_ = position;
    placed_ = true;
    return rc::kOk;
}

Result FileWindow::size(int64_t& out) {
    out = base_ ? length_ : 0;
    return base_ ? rc::kOk : oserr::kInvalidHandle;
}

Result FileWindow::close() {
    if (!base_) return oserr::kInvalidHandle;
    const Result result = base_->close();
    base_.reset();
    return result;
}

// ---- extractSlot, step by step ----------------------------------------------------

namespace {

// One slot on its way out, carried through the steps.
struct SlotJob {
    SlotJob(Os& o, File& p, const PackageEntry& e, const SlotFolders& f, Reporter& r, bool progress)
        : os(o), package(p), entry(e), folders(f), reporter(r), showProgress(progress), name(e.name()) {}

    Os& os;
    File& package;
    const PackageEntry entry;  // a copy: the header itself never changes here
    const SlotFolders& folders;
    Reporter& reporter;
    bool showProgress;
    std::string name;
    std::string dest;
    bool isDll = false;
    uint32_t storedSize = 0;

    // Step 7: destinations that are replaced with repeated attempts leave
    // every report but an I/O error to the caller.
    [[nodiscard]] Result report(Result code) const {
        if (code != rc::kOk && code != rc::kFileBusy && code != rc::kSaverNotReplaced && isDll)
            reporter.showInstallError(code, dest);
        return code;
    }
    [[nodiscard]] Result ioError(Result code) const {
        reporter.showInstallError(code, dest);
        return code;
    }
    // OS errors (positive) are reported at once, the installer's own as above.
    [[nodiscard]] Result fail(Result code) const { return code > 0 ? ioError(code) : report(code); }
};

// 1. With progress: the status line.
void announceWriting(const SlotJob& job) {
    if (job.showProgress) job.reporter.showStatus(job.os.system().loadString(kStrWritingSaverFiles));
}

// 2. An empty name is an unused slot.
[[nodiscard]] Result checkSlotName(const SlotJob& job) {
    if (!job.name.empty()) return rc::kOk;
    job.reporter.showInstallError(rc::kEmptySlotName, std::string());
    return rc::kEmptySlotName;
}

// 3. Name, destination and byte range, before anything is allocated, deleted
// or written. No box for the first two: the caller reports the code (for an
// initialisation step as a corrupted installer file).
[[nodiscard]] Result checkBeforeWriting(SlotJob& job) {
    // The rules of the slot alone first; its bytes once the package's size is known.
    const Result refusal = slotRefusal(job.entry, kUnknownFileSize);
    if (refusal == rc::kCorruptPackage) {
        logMessage("unsafe slot name refused: " + job.name);
        return refusal;
    }
    job.dest = slotDestination(job.entry, job.folders);
    if (job.dest.empty()) {
        logMessage("slot without destination: " + job.name);
        // A kind with a folder that formed no path had an unsafe saver name.
        return refusal == rc::kNoDestination ? refusal : rc::kCorruptPackage;
    }
    job.isDll = extractFileExt(job.dest) == ".dll";
    int64_t packageSize = 0;
    if (Result e = job.package.size(packageSize)) return job.ioError(e);
    if (slotRefusal(job.entry, packageSize) == rc::kShortRead) {
        logMessage("slot outside the package: " + job.name);
        return job.report(rc::kShortRead);
    }
    job.storedSize = uint32_t(job.entry.storedSize());
    return rc::kOk;
}

// 4. To the slot's first byte; with progress, one step.
[[nodiscard]] Result seekToSlot(const SlotJob& job) {
    if (Result e = job.package.seek(job.entry.firstByte)) return job.ioError(e);
    if (job.showProgress) job.reporter.stepProgress();
    return rc::kOk;
}

// 5. An older system file (kinds 2 and 3) is kept aside first, when the
// caller asks: rc::kFileBusy when one that cannot be (held open) stays as it
// is, as a busy file does below; a busy screen saver gives -38.
[[nodiscard]] Result keepOlderSystemFile(const SlotJob& job) {
    const bool systemFile = job.entry.targetKind == kind::kSystemDir ||
                            (job.entry.targetKind == kind::kSystemLibrary &&
                             job.dest.compare(0, job.folders.systemDir.size(), job.folders.systemDir) == 0);
    if (!job.folders.keepAside || !systemFile) return rc::kOk;
    const Result kept = job.folders.keepAside(job.dest);
    if (kept == rc::kOk) return rc::kOk;
    logMessage("cannot keep aside: " + job.dest);
    if (kept == oserr::kSharingViolation)
        return extractFileExt(job.dest) == ".scr" ? rc::kSaverNotReplaced : rc::kFileBusy;
    return job.report(kept);
}

// 5. Then removes an older file at the destination: rc::kFileBusy when a busy
// file other than a screen saver stays as it is (nothing is written and the
// installation carries on).
[[nodiscard]] Result removeOlderFile(const SlotJob& job) {
    const Result result =
        job.isDll ? deleteFileForced(job.os, job.dest) : deleteFileRetry(job.os, job.dest, kReplaceAttempts);
    if (result == rc::kOk) return rc::kOk;
    logMessage("cannot replace: " + job.dest);
    return result == rc::kFileBusy ? rc::kFileBusy : job.report(result);
}

// 6a. A compressed slot, expanded through the library into the destination.
[[nodiscard]] Result expandCompressedSlot(const SlotJob& job) {
    {
        TCompressor compressor(job.os, job.folders.scratchDir, job.reporter);
        if (!compressor.loaded) return job.report(rc::kLibraryNotLoaded);
        // The stored bytes are read from the package in blocks as the
        // expansion asks for them. Its own result is not consulted: the size
        // check below decides. The cap keeps a damaged stream from filling
        // the disk.
        Result readError = rc::kOk;
        ignoreResult(compressor.ExpandFromFile(job.dest, job.package, job.storedSize,
                                               expansionLimit(job.entry.expandedSize), readError),
                     "the size of the file written decides");
        compressor.Destroy();
        if (readError != rc::kOk) {
            // A slot that could not be read whole leaves no part of itself.
            ignoreResult(deleteFileForced(job.os, job.dest), "the read error is the one reported");
            return job.fail(readError);
        }
    }
    std::vector<FindEntry> found;
    if (job.os.files().findFiles(job.dest, found) != rc::kOk || found.empty())
        return job.report(rc::kExpandedFileMissing);
    if (!expandedSizeMatches(job.entry.expandedSize, found.front().size))
        return job.report(rc::kExpandedSizeWrong);
    return rc::kOk;
}

// 6b. A stored slot, copied stream to stream.
[[nodiscard]] Result copyStoredSlot(const SlotJob& job) {
    std::unique_ptr<File> out;
    if (Result error = job.os.files().openFile(job.dest, FileAccess::Create, out)) return job.ioError(error);
    logMessage("file created: " + job.dest);
    uint32_t copied = 0;
    if (Result e = copySlotBytes(job.package, *out, job.storedSize, copied)) return job.fail(e);
    logMessage("sizeExtracted: " + std::to_string(copied));
    if (Result e = out->close()) return job.ioError(e);
    if (copied != job.storedSize) return job.report(rc::kShortRead);
    return rc::kOk;
}

}  // namespace

Result extractSlot(Os& os, File& package, const PackageEntry& slot, const SlotFolders& folders, Reporter& reporter,
                   bool showProgress) {
    SlotJob job(os, package, slot, folders, reporter, showProgress);
    announceWriting(job);                                    // 1
    if (Result e = checkSlotName(job)) return e;             // 2
    if (Result e = checkBeforeWriting(job)) return e;        // 3
    if (Result e = seekToSlot(job)) return e;                // 4
    if (Result e = keepOlderSystemFile(job))                 // 5
        return e == rc::kFileBusy ? rc::kOk : e;
    if (Result e = removeOlderFile(job))                     // 5
        return e == rc::kFileBusy ? rc::kOk : e;
    return job.entry.compressed ? expandCompressedSlot(job)  // 6, reporting as 7 says
                                : copyStoredSlot(job);
}

Result checkSlotInPlace(Os& os, File& package, const PackageEntry& slot, const SlotFolders& folders,
                        Reporter& reporter, bool showProgress) {
    SlotJob job(os, package, slot, folders, reporter, showProgress);
    announceWriting(job);                                    // 1
    if (Result e = checkSlotName(job)) return e;             // 2
    if (Result e = checkBeforeWriting(job)) return e;        // 3
    return seekToSlot(job);                                  // 4
}

Result readPackageHeaderBytes(File& file, PackageHeader& out) {
    if (Result e = file.seek(kPackageOffset)) return e;
    uint8_t bytes[kPackageHeaderSize];
    uint32_t total = 0;
    if (Result e = readUpTo(file, reinterpret_cast<char*>(bytes), uint32_t(kPackageHeaderSize), total)) return e;
    if (total < kPackageHeaderSize) return rc::kShortHeader;
    decodePackageHeader(bytes, out);
    return rc::kOk;
}

Result readPackageHeader(File& file, const std::string& path, PackageHeader& out, Reporter& reporter) {
    if (Result error = readPackageHeaderBytes(file, out)) {
        reporter.showInstallError(error, path);
        return error;
    }
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
