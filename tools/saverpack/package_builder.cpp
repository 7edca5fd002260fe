// buildInstaller, in four steps: check what the header cannot hold, form the
// header's settings, names and kinds and ask the package's own rules about
// them, prepare each slot's stored bytes, then lay the file out and check it
// by the package's own rules again. Every verdict the package's rules give is
// theirs: the builder only adds what its input can hold and a header cannot,
// and what is its own (the stub, the data's size, the compression).
#include "tools/saverpack/package_builder.h"

#include <climits>
#include <cstring>

#include "codec/implode.h"
#include "package/package_layout.h"
#include "tools/saverpack/stream_codec.h"

namespace ssi::tool {

namespace {

using Errors = std::vector<std::string>;

// Why a slot's input cannot become a used slot of a package, for what the
// header cannot hold or only the builder knows ("" when it can).
std::string slotInputFault(const SlotInput& s) {
    // An empty name is how the header marks an unused slot.
    if (s.name.empty()) return "the stored name is empty";
    if (s.name.size() > kMaxSlotNameLength)
        return "the stored name has " + std::to_string(s.name.size()) + " characters, more than " +
               std::to_string(kMaxSlotNameLength);
    if (s.data.size() > size_t(INT32_MAX)) return s.source + " is too large for a package";
    if (s.compress && (!codec::isLiteralMode(s.literalMode) || !codec::isDictionarySize(s.dictSize)))
        return "literal mode or dictionary size not supported";
    if (!s.compress && s.data.empty())
        return s.source + " is empty; a stored slot holds at least 1 byte (compress it instead)";
    return std::string();
}

// 1. What the header cannot hold: a stub past the package offset, a saver
// name longer than its field, slot 0 (the stub's own), and each slot's input.
void checkInput(const std::vector<uint8_t>& stub, const PackageInput& input, Errors& errors) {
    if (stub.size() > size_t(kPackageOffset))
        errors.push_back("the stub is " + std::to_string(stub.size()) + " bytes, more than the " +
                         std::to_string(kPackageOffset) + " the package offset allows");
    if (input.saverName.size() > kMaxSaverNameLength)
        errors.push_back("the saver name has " + std::to_string(input.saverName.size()) +
                         " characters, more than " + std::to_string(kMaxSaverNameLength));
    if (input.slots[0]) errors.push_back("slot 0 is the installer program itself; give the stub instead");
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot)
        if (input.slots[slot])
            if (std::string fault = slotInputFault(*input.slots[slot]); !fault.empty())
                errors.push_back(slotLabel(slot) + fault);
}

// 2. The header's settings, slot 0, and the name and kind of every slot
// given that the header can hold; then the package's rules on them, before
// anything is compressed.
PackageHeader headerSettings(const PackageInput& input) {
    PackageHeader header;
    std::memset(&header, 0, sizeof(header));
    header.installerMode = input.installerMode;
    header.showLicense = input.showLicense;
    header.showReadMe = input.showReadMe;
    header.carriesFlashInstaller = input.carriesFlashInstaller;
    header.flashVersionIndex = input.flashVersionIndex;
    header.offerDisplayPanel = input.offerDisplayPanel;
    std::memcpy(header.saverName, input.saverName.data(),
                input.saverName.size() < kMaxSaverNameLength ? input.saverName.size() : kMaxSaverNameLength);
    setInstallerSlot(header.entries[0]);
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) {
        if (!input.slots[slot] || !slotInputFault(*input.slots[slot]).empty()) continue;
        header.entries[slot].setName(input.slots[slot]->name);
        header.entries[slot].targetKind = input.slots[slot]->kind;
    }
    return header;
}

// 3. One slot's sizes and stored bytes; "" or why it cannot be stored. A
// compressed form larger than the file is not kept: the slot is stored, and
// `note` says so.
std::string prepareSlot(const SlotInput& s, PackageEntry& e, std::vector<uint8_t>& stored, std::string& note) {
    e.expandedSize = int32_t(s.data.size());
    if (!s.compress) {
        stored = s.data;
        e.compressed = 0;
        e.packedSize = 0;
        return std::string();
    }
    if (!implodeVerified(s.data, s.literalMode, s.dictSize, stored))
        return "compressing " + s.source + " failed: the compressed form does not expand back";
    if (stored.size() > s.data.size() && !s.data.empty()) {
        note = s.source + " compresses to " + std::to_string(stored.size()) + " bytes, more than its " +
               std::to_string(s.data.size()) + ": stored as it is instead";
        stored = s.data;
        e.compressed = 0;
        e.packedSize = 0;
        return std::string();
    }
    e.compressed = 1;
    e.packedSize = int32_t(stored.size());
    return std::string();
}

// 4. Offsets, the kinds of unused slots, and the package's own rules; the
// whole file's size, or -1 after naming the faults.
[[nodiscard]] int64_t layOut(PackageHeader& header, const std::array<int64_t, kSlotCount>& storedSizes,
                             Errors& errors) {
    const int64_t total = assignSlotOffsets(header, storedSizes);
    // Unused slots keep the kind of their role, as older builders wrote them.
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot)
        if (storedSizes[slot] == 0) header.entries[slot].targetKind = kDefaultSlotKinds[slot];
    if (total > int64_t(INT32_MAX)) {
        errors.push_back("the installer would be " + std::to_string(total) + " bytes; offsets end at " +
                         std::to_string(INT32_MAX));
        return -1;
    }
    for (const std::string& fault : layoutFaults(header, total)) errors.push_back(fault);
    return errors.empty() ? total : -1;
}

}  // namespace

bool buildInstaller(const std::vector<uint8_t>& stub, const PackageInput& input, std::vector<uint8_t>& out,
                    std::vector<std::string>& errors, std::vector<std::string>* storedInstead) {
    errors.clear();
    out.clear();
    checkInput(stub, input, errors);                                        // 1
    PackageHeader header = headerSettings(input);                           // 2
    for (const PackageFault& fault : namingFaults(header)) errors.push_back(fault.text);
    if (!errors.empty()) return false;
    std::array<std::vector<uint8_t>, kSlotCount> stored;
    std::array<int64_t, kSlotCount> storedSizes{};
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) {  // 3
        if (!input.slots[slot]) continue;
        std::string note;
        const std::string fault = prepareSlot(*input.slots[slot], header.entries[slot], stored[slot], note);
        if (!note.empty() && storedInstead)
            storedInstead->push_back(slotKey(slot, "compress") + ": " + note);
        if (!fault.empty()) {
            errors.push_back(slotLabel(slot) + fault);
            stored[slot].clear();
        }
        storedSizes[slot] = int64_t(stored[slot].size());
    }
    if (!errors.empty()) return false;
    const int64_t total = layOut(header, storedSizes, errors);              // 4
    if (total < 0) return false;

    out.reserve(size_t(total));
    out = stub;
    out.resize(size_t(kPackageOffset), 0);
    uint8_t bytes[kPackageHeaderSize];
    encodePackageHeader(header, bytes);
    out.insert(out.end(), bytes, bytes + kPackageHeaderSize);
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot)
        out.insert(out.end(), stored[slot].begin(), stored[slot].end());
    return true;
}

}  // namespace ssi::tool
