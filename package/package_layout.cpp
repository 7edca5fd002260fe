#include "package/package_layout.h"

#include "codec/library_interface.h"
#include "platform/file_utils.h"

#include <cstring>

namespace ssi {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c < 32 || c == 127) {
            static const char* const kHex = "0123456789abcdef";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string slotLabel(int slot) {
    return "slot " + std::to_string(slot) + ": ";
}

}  // namespace

bool isSafeFileName(const std::string& name) {
    // Slot names are single file names; any ".." is refused outright.
    return isPlainFileName(name) && name.find("..") == std::string::npos;
}

bool kindHasDestination(int32_t k) { return kind::hasDestination(k); }

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

std::vector<PackageFault> packageFaults(const PackageHeader& h, int64_t fileSize) {
    std::vector<PackageFault> faults;
    // A fault the installer refuses the header for, before anything is extracted.
    auto refused = [&](const std::string& text) { faults.push_back({text, true}); };
    // A fault only the full check names (the installer finds it later, or relies on it).
    auto fault = [&](const std::string& text) { faults.push_back({text, false}); };

    // Settings.
    if (h.flashVersionIndex > 1)
        refused("flashVersionIndex " + std::to_string(h.flashVersionIndex) + " should be 0 or 1");
    const std::string saverName = h.name();
    if (saverName.empty())
        fault("saverName is empty");
    else if (!isSafeFileName(saverName))
        refused("saverName " + quoted(saverName) + " is not a plain folder name");

    // Slot 0: the installer program image.
    {
        const PackageEntry& e = h.entries[slot::kInstallerImage];
        const std::string s = slotLabel(0);
        if (e.name() != kInstallerSlotName)
            fault(s + "name " + quoted(e.name()) + " should be \"" + kInstallerSlotName + "\"");
        if (e.firstByte != 0) fault(s + "firstByte " + std::to_string(e.firstByte) + " should be 0");
        if (e.lastByte != kPackageOffset - 1)
            fault(s + "lastByte " + std::to_string(e.lastByte) + " should be " +
                  std::to_string(kPackageOffset - 1) + " (the end of the program image)");
        if (e.targetKind != kInstallerSlotKind)
            fault(s + "targetKind " + std::to_string(e.targetKind) + " should be " +
                  std::to_string(kInstallerSlotKind));
        if (e.compressed != 0) fault(s + "compressed " + std::to_string(e.compressed) + " should be 0");
        if (e.packedSize != 0) fault(s + "packedSize " + std::to_string(e.packedSize) + " should be 0");
        if (e.expandedSize != kPackageOffset)
            fault(s + "expandedSize " + std::to_string(e.expandedSize) + " should be " +
                  std::to_string(kPackageOffset));
    }

    // Slots 1..10: contiguous from right behind the header.
    int64_t expected = kFirstSlotOffset;
    std::string after = "right after the header";
    int lastUsed = 0;
    bool anyCompressed = false;
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) {
        const PackageEntry& e = h.entries[slot];
        const std::string s = slotLabel(slot);
        const std::string name = e.name();
        if (name.empty()) {
            if (e.firstByte != expected || e.lastByte != expected)
                fault(s + "unused, firstByte " + std::to_string(e.firstByte) + " and lastByte " +
                      std::to_string(e.lastByte) + " should both be " + std::to_string(expected) +
                      " (where the next slot starts)");
            if (e.compressed != 1 || e.packedSize != 0 || e.expandedSize != 0)
                fault(s + "unused, should have compressed 1, packedSize 0 and expandedSize 0 (has " +
                      std::to_string(e.compressed) + ", " + std::to_string(e.packedSize) + ", " +
                      std::to_string(e.expandedSize) + ")");
            continue;
        }
        lastUsed = slot;
        if (e.compressed) anyCompressed = true;
        if (!isSafeFileName(name)) refused(s + "name " + quoted(name) + " is not a plain file name");
        if (!kindHasDestination(e.targetKind))
            fault(s + "targetKind " + std::to_string(e.targetKind) + " has no destination (1 to 7 or 10)");
        if (e.firstByte != expected)
            fault(s + "firstByte " + std::to_string(e.firstByte) + " should be " + std::to_string(expected) +
                  " (" + after + ")");
        const int64_t stored = e.storedSize();
        if (stored < 1) {
            fault(s + "lastByte " + std::to_string(e.lastByte) + " is before firstByte " +
                  std::to_string(e.firstByte) + " (a slot holds at least 1 byte)");
        } else if (fileSize != kUnknownFileSize && int64_t(e.lastByte) >= fileSize) {
            fault(s + "lastByte " + std::to_string(e.lastByte) +
                  " is beyond the end of the file (last byte " + std::to_string(fileSize - 1) + ")");
        }
        if (e.compressed) {
            if (stored >= 1 && e.packedSize != stored)
                fault(s + "packedSize " + std::to_string(e.packedSize) + " should be " +
                      std::to_string(stored) + " (the stored size of a compressed slot)");
            if (e.expandedSize < 0)
                fault(s + "expandedSize " + std::to_string(e.expandedSize) + " is negative");
        } else if (stored >= 1) {
            if (e.packedSize != 0 && e.packedSize <= stored)
                fault(s + "packedSize " + std::to_string(e.packedSize) +
                      " should be 0 (or above the stored size " + std::to_string(stored) + ")");
            if (e.expandedSize != stored)
                fault(s + "expandedSize " + std::to_string(e.expandedSize) + " should be " +
                      std::to_string(stored) + " (the stored size of a stored slot)");
        }
        if (stored >= 1) expected = int64_t(e.lastByte) + 1;
        after = "right after slot " + std::to_string(slot);
    }
    if (fileSize != kUnknownFileSize && lastUsed > 0 && expected < fileSize)
        fault("the file has " + std::to_string(fileSize - expected) + " bytes after the last slot (slot " +
              std::to_string(lastUsed) + " ends at byte " + std::to_string(expected - 1) +
              ", the file's last byte is " + std::to_string(fileSize - 1) + ")");

    // What the installer needs of the slots' roles.
    const PackageEntry& library = h.entries[slot::kLibrary];
    if (library.name().empty()) {
        fault("slot 1: unused, but the installer extracts its decompression library from slot 1");
    } else {
        if (library.compressed) fault("slot 1: the decompression library must be stored, not compressed");
        // The library is extracted with the header, before the install
        // directory is known: a kind that puts it there would write into the
        // current folder.
        if (kind::isInstallDir(library.targetKind))
            refused("slot 1: targetKind " + std::to_string(library.targetKind) +
                  " is the install directory, which is not known yet when the installer extracts slot 1");
        const bool givesLibrary = (library.name() == kLibrarySlotName && library.targetKind == kLibrarySlotKind) ||
                                  (library.name() == codec::kLibraryFileName &&
                                   (library.targetKind == kind::kScratchLibrary || library.targetKind == kind::kScratch));
        if (anyCompressed && !givesLibrary)
            fault("slot 1: " + quoted(library.name()) + " (targetKind " + std::to_string(library.targetKind) +
                  ") does not give impborl.dll in the scratch directory, which compressed slots need");
    }
    if (h.carriesFlashInstaller && h.entries[slot::kFlashInstaller].name().empty())
        fault("slot 2: unused, but carriesFlashInstaller is set");
    if (h.installerMode != mode::kQuiet && h.entries[slot::kPreview].name().empty())
        fault("slot 3: unused, but installerMode " + std::to_string(h.installerMode) +
              " extracts a preview (only mode 4 does not)");
    if (h.showLicense && h.entries[slot::kLicense].name().empty()) fault("slot 4: unused, but showLicense is set");
    if (h.showReadMe && h.entries[slot::kReadMe].name().empty()) fault("slot 5: unused, but showReadMe is set");
    for (int slot = slot::kSaver; slot <= kLastPackageSlot; ++slot)
        if (h.entries[slot].name().empty())
            fault(slotLabel(slot) + "unused, but the installation extracts every slot from 6 to 10");
    return faults;
}

}  // namespace ssi
