#include "tools/saverpack/package_builder.h"

#include <climits>
#include <cstring>

#include "codec/implode.h"
#include "package/package_layout.h"

namespace ssi::tool {

bool buildInstaller(const std::vector<uint8_t>& stub, const PackageInput& input, std::vector<uint8_t>& out,
                    std::vector<std::string>& errors) {
    errors.clear();
    out.clear();
    auto error = [&](const std::string& text) { errors.push_back(text); };

    if (stub.size() > size_t(kPackageOffset))
        error("the stub is " + std::to_string(stub.size()) + " bytes, more than the " +
              std::to_string(kPackageOffset) + " the package offset allows");
    if (input.saverName.empty())
        error("the saver name is empty");
    else if (input.saverName.size() > kMaxSaverNameLength)
        error("the saver name has " + std::to_string(input.saverName.size()) + " characters, more than " +
              std::to_string(kMaxSaverNameLength));
    else if (!isSafeFileName(input.saverName))
        error("the saver name \"" + input.saverName + "\" cannot be a folder name");
    if (input.flashVersionIndex > 1)
        error("the flash version index is " + std::to_string(input.flashVersionIndex) +
              "; it must be 0 or 1");

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

    std::array<std::vector<uint8_t>, kSlotCount> stored;
    std::array<int64_t, kSlotCount> storedSizes{};
    if (input.slots[0]) error("slot 0 is the installer program itself; give the stub instead");
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) {
        if (!input.slots[slot]) continue;
        const SlotInput& s = *input.slots[slot];
        const std::string label = "slot " + std::to_string(slot) + ": ";
        PackageEntry& e = header.entries[slot];
        if (s.name.empty()) {
            error(label + "the stored name is empty");
            continue;
        }
        if (s.name.size() > kMaxSlotNameLength) {
            error(label + "the stored name has " + std::to_string(s.name.size()) + " characters, more than " +
                  std::to_string(kMaxSlotNameLength));
            continue;
        }
        if (!isSafeFileName(s.name)) {
            error(label + "the stored name \"" + s.name + "\" is not a plain file name");
            continue;
        }
        if (!kindHasDestination(s.kind)) {
            error(label + "kind " + std::to_string(s.kind) + " has no destination (1 to 7 or 10)");
            continue;
        }
        if (s.data.size() > size_t(INT32_MAX)) {
            error(label + s.source + " is too large for a package");
            continue;
        }
        e.setName(s.name);
        e.targetKind = s.kind;
        e.expandedSize = int32_t(s.data.size());
        if (s.compress) {
            if (s.literalMode > 1 || (s.dictSize != 1024 && s.dictSize != 2048 && s.dictSize != 4096)) {
                error(label + "literal mode or dictionary size not supported");
                continue;
            }
            stored[slot] = codec::implodeBuffer(s.data.data(), s.data.size(), s.literalMode, s.dictSize);
            if (stored[slot].empty()) {
                error(label + "compressing " + s.source + " failed");
                continue;
            }
            e.compressed = 1;
            e.packedSize = int32_t(stored[slot].size());
        } else {
            if (s.data.empty()) {
                error(label + s.source +
                      " is empty; a stored slot holds at least 1 byte (compress it instead)");
                continue;
            }
            stored[slot] = s.data;
            e.compressed = 0;
            e.packedSize = 0;
        }
        storedSizes[slot] = int64_t(stored[slot].size());
    }
    if (!errors.empty()) return false;

    const int64_t total = assignSlotOffsets(header, storedSizes);
    // Unused slots keep the kind of their role, as older builders wrote them.
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot)
        if (storedSizes[slot] == 0) header.entries[slot].targetKind = kDefaultSlotKinds[slot];
    if (total > int64_t(INT32_MAX)) {
        error("the installer would be " + std::to_string(total) + " bytes; offsets end at " +
              std::to_string(INT32_MAX));
        return false;
    }
    for (const std::string& fault : layoutFaults(header, total)) error(fault);
    if (!errors.empty()) return false;

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
