// The rules a package follows, in one place for the installer's own checks,
// the package tool (build and verify) and the fuzz target.
//
// Layout of an installer file:
//   0 .. 675,327         the installer program image (slot 0 describes it)
//   675,328              the PackageHeader (3,152 bytes)
//   678,480              slot 1's stored bytes, then every further used slot's,
//                        contiguous and in slot order; the last ends at the
//                        last byte of the file
// An unused slot has an empty name, firstByte = lastByte = the offset where the
// next used slot starts (the end of the file when none follows), compressed 1
// and zero sizes. packedSize is the stored size for a compressed slot and 0
// for a stored one (older builders wrote a larger value there, still valid);
// a stored slot's expandedSize is its stored size.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/message_text.h"  // quoted(), for the faults' names
#include "core/result_codes.h"
#include "core/roles.h"
#include "package/package_format.h"

namespace ssi {

constexpr int64_t kFirstSlotOffset = int64_t(kPackageOffset) + int64_t(kPackageHeaderSize);  // 678,480
constexpr int kFirstPackageSlot = slot::kLibrary;
constexpr int kLastPackageSlot = slot::kLast;
constexpr const char* kInstallerSlotName = "install.exe";
constexpr int32_t kInstallerSlotKind = kind::kInstallDirImage;
constexpr const char* kLibrarySlotName = "impborl.dat";  // slot 1, written as impborl.dll
constexpr int32_t kLibrarySlotKind = kind::kScratchLibrary;
constexpr size_t kMaxSlotNameLength = 255;
constexpr size_t kMaxSaverNameLength = sizeof(PackageHeader::saverName);  // 64

// A name that can only ever name a file inside the folder it is appended to:
// not empty, no folder separator or drive, no "..", no character Windows
// forbids in names (<>:"/\|?* and control characters), no trailing dot or
// space (which Windows drops) and no device name (CON, NUL, COM1, ...).
bool isSafeFileName(const std::string& name);

// "slot N: ", the start of a message about one slot.
std::string slotLabel(int slot);

// Whether a targetKind selects a destination folder (1 to 7 and 10).
bool kindHasDestination(int32_t kind);
// "targetKind N has no destination (1 to 7 or 10)", the fault of a used slot
// whose kind fails kindHasDestination.
std::string noDestinationText(int32_t kind);

// Whether a slot's stored bytes are at least one byte and lie inside a file
// of fileSize bytes.
bool slotBytesInFile(const PackageEntry& entry, int64_t fileSize);

// One fault of a package: its message, "slot 3: firstByte 1254329 should be
// 1254328 (right after slot 2)", and whether the installer's header check
// refuses the package for it.
struct PackageFault {
    std::string text;
    bool refusedOnRead = false;
};

// The file size to give when only the header is known: the rules that need
// the file's size are skipped.
constexpr int64_t kUnknownFileSize = -1;

// Every rule a package follows, in one list: the layout above, the settings,
// safe names, and what the installer needs of the slots' roles (slot 1 the
// library, slots 6..10 always used, slots 2..5 used when the settings ask for
// them). Empty when the package is sound.
std::vector<PackageFault> packageFaults(const PackageHeader& header, int64_t fileSize);

// The rules of packageFaults that need nothing but the settings and the used
// slots' names and kinds (a saver name and slot names safe as names, the
// flash version index, a destination for every used slot's kind), in the
// same words: what a builder asks before it lays any bytes out.
std::vector<PackageFault> namingFaults(const PackageHeader& header);

// The faults' messages alone (what the package tool's verify prints).
std::vector<std::string> layoutFaults(const PackageHeader& header, int64_t fileSize);

// The installer's check of a freshly read header, before anything is
// extracted: the faults of packageFaults it refuses on reading
// (flashVersionIndex 0 or 1, a saver name that is safe as a folder and file
// name or empty, safe names in every used slot 1..10, and a library slot that
// does not go to the install directory, not known yet when slot 1 is
// extracted). Returns 0 or rc::kCorruptPackage.
[[nodiscard]] Result checkPackageHeader(const PackageHeader& header);

// Slot 0 as the builder writes it.
void setInstallerSlot(PackageEntry& entry);
// Assigns firstByte and lastByte of slots 1..10 for the given stored sizes (0 =
// unused; unused slots get their empty form) and returns the size of the
// whole installer file.
int64_t assignSlotOffsets(PackageHeader& header, const std::array<int64_t, kSlotCount>& storedSizes);

}  // namespace ssi
