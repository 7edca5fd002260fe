// Reading the package: the header and the extraction of one slot, over any
// open file, so that the installer, the tools and the fuzz target run the
// same code.
#pragma once

#include <functional>
#include <string>

#include "core/buffer.h"
#include "core/result_codes.h"
#include "package/expansion_rule.h"
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

// Whether extractSlot refuses a slot before anything is written, by the
// rules of the slot alone, in its order: rc::kEmptySlotName for an unused
// slot, rc::kCorruptPackage for a name that is not a plain file name,
// rc::kNoDestination for a targetKind without a destination folder, and
// rc::kShortRead for stored bytes that are not inside a package of
// packageSize bytes (not checked for kUnknownFileSize). 0 when it goes on.
[[nodiscard]] Result slotRefusal(const PackageEntry& entry, int64_t packageSize);

// Extracts one slot from the open package to its destination (see
// slot_extraction.cpp for the steps), with the status line and progress
// steps of the reporter when showProgress is set.
[[nodiscard]] Result extractSlot(Os& os, File& package, const PackageEntry& entry, const SlotFolders& folders,
                   Reporter& reporter, bool showProgress);

// Runs extractSlot's checks of a slot that is read where it lies in the
// package instead of being written out (the status line, the name, the
// destination, the byte range, the seek and its progress step), with the
// same results and boxes; nothing is deleted or written.
[[nodiscard]] Result checkSlotInPlace(Os& os, File& package, const PackageEntry& entry, const SlotFolders& folders,
                                      Reporter& reporter, bool showProgress);

// A read-only view of `length` bytes of another file from `offset`: its
// positions count from `offset`, its size is `length` and reads stop at its
// end. Writes are refused. The view owns the file it looks into.
class FileWindow : public File {
public:
    FileWindow(std::unique_ptr<File> base, int64_t offset, int64_t length);
    [[nodiscard]] Result read(void* buffer, uint32_t size, uint32_t& got) override;
    [[nodiscard]] Result write(const void* buffer, uint32_t size, uint32_t& put) override;
    [[nodiscard]] Result seek(int64_t position) override;
    [[nodiscard]] Result size(int64_t& out) override;
    [[nodiscard]] Result close() override;

private:
    std::unique_ptr<File> base_;
    int64_t offset_;
    int64_t length_;
    int64_t position_ = 0;
    bool placed_ = false;  // whether the base file stands at offset_ + position_
};

// Reads and decodes the header at the package offset of an open installer
// file, unchecked: 0, the OS error, or rc::kShortHeader when the file ends first.
[[nodiscard]] Result readPackageHeaderBytes(File& file, PackageHeader& out);

// Reads the header at the package offset of the open installer copy `path`:
// a short read gives -31 after the error box, an I/O error its code after the
// box; a header that cannot be valid gives rc::kCorruptPackage without a box.
[[nodiscard]] Result readPackageHeader(File& file, const std::string& path, PackageHeader& out, Reporter& reporter);

// ---- steps of extractSlot that the package tool takes too ------------------------
// (the tool writes to its own folder and expands with the codec built in; what
// it reads, and how it checks what came out (package/expansion_rule.h), is the
// installer's).

// Reads a slot's `storedSize` bytes from the package's position into `block`:
// 0, rc::kOutOfMemory, the OS error, or rc::kShortRead.
[[nodiscard]] Result readSlotBlock(File& package, uint32_t storedSize, ByteBuffer& block);
// Copies up to `storedSize` bytes from the package's position to `out` in
// blocks (copyFileBytes); `copied` says how many (fewer when the package
// ends first). 0, rc::kOutOfMemory or the OS error.
[[nodiscard]] Result copySlotBytes(File& package, File& out, uint32_t storedSize, uint32_t& copied);

}  // namespace ssi
