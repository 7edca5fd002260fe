// The package header and its directory slots, read and written explicitly
// little-endian (see package/package_format.h for the layout).
#include "package/package_format.h"

#include <cstring>

namespace ssi {

namespace {

constexpr size_t kEntryOffset = offsetof(PackageHeader, entries);
constexpr size_t kEntrySize = sizeof(PackageEntry);

void decodeEntry(const uint8_t* p, PackageEntry& e) {
    std::memcpy(e.fileName, p, sizeof(e.fileName));
    e.firstByte = readLE32(p + 256);
    e.lastByte = readLE32(p + 260);
    e.targetKind = readLE32(p + 264);
    e.compressed = p[268];
    std::memcpy(e.padding, p + 269, sizeof(e.padding));
    e.packedSize = readLE32(p + 272);
    e.expandedSize = readLE32(p + 276);
}

void encodeEntry(const PackageEntry& e, uint8_t* p) {
    std::memcpy(p, e.fileName, sizeof(e.fileName));
    writeLE32(p + 256, e.firstByte);
    writeLE32(p + 260, e.lastByte);
    writeLE32(p + 264, e.targetKind);
    p[268] = e.compressed;
    std::memcpy(p + 269, e.padding, sizeof(e.padding));
    writeLE32(p + 272, e.packedSize);
    writeLE32(p + 276, e.expandedSize);
}

}  // namespace

void PackageEntry::setName(const std::string& name) {
    const size_t length = name.size() > 255 ? 255 : name.size();
    fileName[0] = uint8_t(length);
    std::memcpy(fileName + 1, name.data(), length);
    // The bytes after the name are undefined in the format; keep them zero.
    std::memset(fileName + 1 + length, 0, sizeof(fileName) - 1 - length);
}

std::string PackageHeader::name() const {
    const void* end = std::memchr(saverName, 0, sizeof(saverName));
    const size_t length = end ? size_t(static_cast<const char*>(end) - saverName) : sizeof(saverName);
    return std::string(saverName, length);
}

void decodePackageHeader(const uint8_t (&bytes)[kPackageHeaderSize], PackageHeader& out) {
    out.installerMode = bytes[0];
    out.showLicense = bytes[1];
    out.showReadMe = bytes[2];
    out.carriesFlashInstaller = bytes[3];
    out.flashVersionIndex = bytes[4];
    out.offerDisplayPanel = bytes[5];
    std::memcpy(out.saverName, bytes + 6, sizeof(out.saverName));
    std::memcpy(out.padding, bytes + 70, sizeof(out.padding));
    for (int i = 0; i < kSlotCount; ++i)
        decodeEntry(bytes + kEntryOffset + kEntrySize * size_t(i), out.entries[i]);
}

void encodePackageHeader(const PackageHeader& header, uint8_t (&bytes)[kPackageHeaderSize]) {
    bytes[0] = header.installerMode;
    bytes[1] = header.showLicense;
    bytes[2] = header.showReadMe;
    bytes[3] = header.carriesFlashInstaller;
    bytes[4] = header.flashVersionIndex;
    bytes[5] = header.offerDisplayPanel;
    std::memcpy(bytes + 6, header.saverName, sizeof(header.saverName));
    std::memcpy(bytes + 70, header.padding, sizeof(header.padding));
    for (int i = 0; i < kSlotCount; ++i)
        encodeEntry(header.entries[i], bytes + kEntryOffset + kEntrySize * size_t(i));
}

}  // namespace ssi
