#include "package/package_layout.h"

#include "codec/library_interface.h"
#include "platform/file_utils.h"

#include <cstring>

namespace ssi {

std::string slotLabel(int slot) {
    return "slot " + std::to_string(slot) + ": ";
}

bool isSafeFileName(const std::string& name) {
    // Slot names are single file names; any ".." is refused outright.
    return isPlainFileName(name) && name.find("..") == std::string::npos;
}

bool kindHasDestination(int32_t k) { return kind::hasDestination(k); }

std::string noDestinationText(int32_t k) {
    return "targetKind " + std::to_string(k) + " has no destination (1 to 7 or 10)";
}

bool slotBytesInFile(const PackageEntry& entry, int64_t fileSize) {
    return entry.firstByte >= 0 && entry.storedSize() >= 1 && int64_t(entry.lastByte) < fileSize;
}

Result checkPackageHeader(const PackageHeader& header) {
    // The file's size is not known here: no rule that refuses on reading
    // depends on it.
    for (const PackageFault& f : packageFaults(header, kUnknownFileSize))
        if (f.refusedOnRead) return rc::kCorruptPackage;
    return rc::kOk;
}

void setInstallerSlot(PackageEntry& entry) {
    std::memset(&entry, 0, sizeof(entry));
    entry.setName(kInstallerSlotName);
    entry.firstByte = 0;
    entry.lastByte = kPackageOffset - 1;
    entry.targetKind = kInstallerSlotKind;
    entry.compressed = 0;
    entry.packedSize = 0;
    entry.expandedSize = kPackageOffset;
}

int64_t assignSlotOffsets(PackageHeader& header, const std::array<int64_t, kSlotCount>& storedSizes) {
    int64_t next = kFirstSlotOffset;
    // Unused slots point at the next used slot's start, so fill them afterwards.
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) {
        PackageEntry& e = header.entries[slot];
        if (storedSizes[slot] > 0) {
            e.firstByte = int32_t(next);
            e.lastByte = int32_t(next + storedSizes[slot] - 1);
            next += storedSizes[slot];
        }
    }
    int64_t following = next;
    for (int slot = kLastPackageSlot; slot >= kFirstPackageSlot; --slot) {
        PackageEntry& e = header.entries[slot];
        if (storedSizes[slot] > 0) {
            following = e.firstByte;
        } else {
            e.setName("");
            e.firstByte = e.lastByte = int32_t(following);
            e.compressed = 1;
            e.packedSize = 0;
            e.expandedSize = 0;
        }
    }
    return next;
}

std::vector<std::string> layoutFaults(const PackageHeader& header, int64_t fileSize) {
    std::vector<std::string> texts;
    for (PackageFault& f : packageFaults(header, fileSize)) texts.push_back(std::move(f.text));
    return texts;
}

// ---- packageFaults, one group of rules at a time --------------------------------------

namespace {

// The faults found so far, in the order the rules name them.
struct FaultList {
    std::vector<PackageFault> faults;
    // A fault the installer refuses the header for, before anything is extracted.
    void refused(const std::string& text) { faults.push_back({text, true}); }
    // A fault only the full check names (the installer finds it later, or relies on it).
    void fault(const std::string& text) { faults.push_back({text, false}); }
};

// Where the walk over slots 1..10 stands: the offset the next used slot
// starts at, and what was seen of the used slots so far.
struct SlotWalk {
    int64_t expected = kFirstSlotOffset;
    std::string after = "right after the header";
    int lastUsed = 0;
    bool anyCompressed = false;
};

// The settings: the version table index and the saver's name.
void checkSettings(const PackageHeader& h, FaultList& list) {
    if (h.flashVersionIndex > 1)
        list.refused("flashVersionIndex " + std::to_string(h.flashVersionIndex) + " should be 0 or 1");
    const std::string saverName = h.name();
    if (saverName.empty())
        list.fault("saverName is empty");
    else if (!isSafeFileName(saverName))
        list.refused("saverName " + quoted(saverName) + " is not a plain folder name");
}

// Slot 0: the installer program image, exactly as the builder writes it.
void checkInstallerSlot(const PackageHeader& h, FaultList& list) {
    const PackageEntry& e = h.entries[slot::kInstallerImage];
    const std::string s = slotLabel(0);
    if (e.name() != kInstallerSlotName)
        list.fault(s + "name " + quoted(e.name()) + " should be \"" + kInstallerSlotName + "\"");
    if (e.firstByte != 0) list.fault(s + "firstByte " + std::to_string(e.firstByte) + " should be 0");
    if (e.lastByte != kPackageOffset - 1)
        list.fault(s + "lastByte " + std::to_string(e.lastByte) + " should be " +
                   std::to_string(kPackageOffset - 1) + " (the end of the program image)");
    if (e.targetKind != kInstallerSlotKind)
        list.fault(s + "targetKind " + std::to_string(e.targetKind) + " should be " +
                   std::to_string(kInstallerSlotKind));
    if (e.compressed != 0) list.fault(s + "compressed " + std::to_string(e.compressed) + " should be 0");
    if (e.packedSize != 0) list.fault(s + "packedSize " + std::to_string(e.packedSize) + " should be 0");
    if (e.expandedSize != kPackageOffset)
        list.fault(s + "expandedSize " + std::to_string(e.expandedSize) + " should be " +
                   std::to_string(kPackageOffset));
}

// An unused slot: its empty form, pointing at where the next used slot starts.
void checkUnusedSlot(const PackageEntry& e, const std::string& s, const SlotWalk& walk, FaultList& list) {
    if (e.firstByte != walk.expected || e.lastByte != walk.expected)
        list.fault(s + "unused, firstByte " + std::to_string(e.firstByte) + " and lastByte " +
                   std::to_string(e.lastByte) + " should both be " + std::to_string(walk.expected) +
                   " (where the next slot starts)");
    if (e.compressed != 1 || e.packedSize != 0 || e.expandedSize != 0)
        list.fault(s + "unused, should have compressed 1, packedSize 0 and expandedSize 0 (has " +
                   std::to_string(e.compressed) + ", " + std::to_string(e.packedSize) + ", " +
                   std::to_string(e.expandedSize) + ")");
}

// A used slot's name and kind: a plain file name and a destination folder.
void checkSlotNameAndKind(const PackageEntry& e, const std::string& s, FaultList& list) {
    const std::string name = e.name();
    if (!isSafeFileName(name)) list.refused(s + "name " + quoted(name) + " is not a plain file name");
    if (!kindHasDestination(e.targetKind))
        list.fault(s + noDestinationText(e.targetKind));
}

// A used slot's byte range: right behind the one before, at least one byte,
// inside the file.
void checkSlotBytes(const PackageEntry& e, const std::string& s, const SlotWalk& walk, int64_t fileSize,
                    FaultList& list) {
    if (e.firstByte != walk.expected)
        list.fault(s + "firstByte " + std::to_string(e.firstByte) + " should be " +
                   std::to_string(walk.expected) + " (" + walk.after + ")");
    if (e.storedSize() < 1) {
        list.fault(s + "lastByte " + std::to_string(e.lastByte) + " is before firstByte " +
                   std::to_string(e.firstByte) + " (a slot holds at least 1 byte)");
    } else if (fileSize != kUnknownFileSize && int64_t(e.lastByte) >= fileSize) {
        list.fault(s + "lastByte " + std::to_string(e.lastByte) +
                   " is beyond the end of the file (last byte " + std::to_string(fileSize - 1) + ")");
    }
}

// A used slot's sizes: packedSize and expandedSize as its compressed flag asks.
void checkSlotSizes(const PackageEntry& e, const std::string& s, FaultList& list) {
    const int64_t stored = e.storedSize();
    if (e.compressed) {
        if (stored >= 1 && e.packedSize != stored)
            list.fault(s + "packedSize " + std::to_string(e.packedSize) + " should be " +
                       std::to_string(stored) + " (the stored size of a compressed slot)");
        if (e.expandedSize < 0)
            list.fault(s + "expandedSize " + std::to_string(e.expandedSize) + " is negative");
    } else if (stored >= 1) {
        if (e.packedSize != 0 && e.packedSize <= stored)
            list.fault(s + "packedSize " + std::to_string(e.packedSize) +
                       " should be 0 (or above the stored size " + std::to_string(stored) + ")");
        if (e.expandedSize != stored)
            list.fault(s + "expandedSize " + std::to_string(e.expandedSize) + " should be " +
                       std::to_string(stored) + " (the stored size of a stored slot)");
    }
}

// Slots 1..10 in order: contiguous from right behind the header.
SlotWalk checkPackageSlots(const PackageHeader& h, int64_t fileSize, FaultList& list) {
    SlotWalk walk;
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) {
        const PackageEntry& e = h.entries[slot];
        const std::string s = slotLabel(slot);
        if (e.name().empty()) {
            checkUnusedSlot(e, s, walk, list);
            continue;
        }
        walk.lastUsed = slot;
        if (e.compressed) walk.anyCompressed = true;
        checkSlotNameAndKind(e, s, list);
        checkSlotBytes(e, s, walk, fileSize, list);
        checkSlotSizes(e, s, list);
        if (e.storedSize() >= 1) walk.expected = int64_t(e.lastByte) + 1;
        walk.after = "right after slot " + std::to_string(slot);
    }
    return walk;
}

// The last used slot ends at the file's last byte.
void checkTrailingBytes(const SlotWalk& walk, int64_t fileSize, FaultList& list) {
    if (fileSize != kUnknownFileSize && walk.lastUsed > 0 && walk.expected < fileSize)
        list.fault("the file has " + std::to_string(fileSize - walk.expected) +
                   " bytes after the last slot (slot " + std::to_string(walk.lastUsed) + " ends at byte " +
                   std::to_string(walk.expected - 1) + ", the file's last byte is " +
                   std::to_string(fileSize - 1) + ")");
}

// Slot 1: the decompression library, stored, extracted to the scratch folder
// before the install directory is known, and the one compressed slots need.
void checkLibrarySlot(const PackageHeader& h, bool anyCompressed, FaultList& list) {
    const PackageEntry& library = h.entries[slot::kLibrary];
    if (library.name().empty()) {
        list.fault("slot 1: unused, but the installer extracts its decompression library from slot 1");
        return;
    }
    if (library.compressed) list.fault("slot 1: the decompression library must be stored, not compressed");
    // The library is extracted with the header, before the install directory
    // is known: a kind that puts it there would write into the current folder.
    if (kind::isInstallDir(library.targetKind))
        list.refused("slot 1: targetKind " + std::to_string(library.targetKind) +
                     " is the install directory, which is not known yet when the installer extracts slot 1");
    const bool givesLibrary =
        (library.name() == kLibrarySlotName && library.targetKind == kLibrarySlotKind) ||
        (library.name() == codec::kLibraryFileName &&
         (library.targetKind == kind::kScratchLibrary || library.targetKind == kind::kScratch));
    if (anyCompressed && !givesLibrary)
        list.fault("slot 1: " + quoted(library.name()) + " (targetKind " +
                   std::to_string(library.targetKind) +
                   ") does not give impborl.dll in the scratch directory, which compressed slots need");
}

// Slots 2..10: used wherever the settings or the installation extract them.
void checkSlotRoles(const PackageHeader& h, FaultList& list) {
    if (h.carriesFlashInstaller && h.entries[slot::kFlashInstaller].name().empty())
        list.fault("slot 2: unused, but carriesFlashInstaller is set");
    if (h.installerMode != mode::kQuiet && h.entries[slot::kPreview].name().empty())
        list.fault("slot 3: unused, but installerMode " + std::to_string(h.installerMode) +
                   " extracts a preview (only mode 4 does not)");
    if (h.showLicense && h.entries[slot::kLicense].name().empty())
        list.fault("slot 4: unused, but showLicense is set");
    if (h.showReadMe && h.entries[slot::kReadMe].name().empty())
        list.fault("slot 5: unused, but showReadMe is set");
    for (int slot = slot::kSaver; slot <= kLastPackageSlot; ++slot)
        if (h.entries[slot].name().empty())
            list.fault(slotLabel(slot) + "unused, but the installation extracts every slot from 6 to 10");
}

}  // namespace

std::vector<PackageFault> namingFaults(const PackageHeader& h) {
    FaultList list;
    checkSettings(h, list);
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot)
        if (!h.entries[slot].name().empty()) checkSlotNameAndKind(h.entries[slot], slotLabel(slot), list);
    return list.faults;
}

std::vector<PackageFault> packageFaults(const PackageHeader& h, int64_t fileSize) {
    FaultList list;
    checkSettings(h, list);
    checkInstallerSlot(h, list);
    const SlotWalk walk = checkPackageSlots(h, fileSize, list);
    checkTrailingBytes(walk, fileSize, list);
    checkLibrarySlot(h, walk.anyCompressed, list);
    checkSlotRoles(h, list);
    return list.faults;
}

}  // namespace ssi
