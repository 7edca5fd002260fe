// Fixed-layout records of the package appended to the installer (the screen
// saver data file's are in package/data_file_format.h). The structs mirror
// the on-disk layout byte for byte (asserted below); package_format.cpp reads
// and writes them explicitly little-endian, so nothing depends on the host's
// byte order or padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/build_constants.h"
#include "core/little_endian.h"

namespace ssi {

// The package starts at this offset of the installer file: the program image
// is exactly this long (padded by the build). The number is the build's
// (cmake/BuildConstants.cmake).
constexpr int32_t kPackageOffset = build::kPackageOffset;
constexpr int kSlotCount = 11;

// One directory slot: a stored file and the byte range that holds it.
struct PackageEntry {
    uint8_t fileName[256];   // length-prefixed: byte 0 is the length, 0 = unused slot
    int32_t firstByte;       // absolute offset of the first stored byte
    int32_t lastByte;        // absolute offset of the last stored byte, inclusive
    int32_t targetKind;      // destination rule, 0..10
    uint8_t compressed;      // non-zero: stored bytes are imploded
    uint8_t padding[3];
    int32_t packedSize;      // written by the builder, never read by the installer
    int32_t expandedSize;    // size of the file that extraction must produce

    std::string name() const { return std::string(reinterpret_cast<const char*>(fileName + 1), fileName[0]); }
    // Stores a name of at most 255 characters (longer names are cut).
    void setName(const std::string& name);
    // lastByte - firstByte + 1, computed without overflow.
    int64_t storedSize() const { return int64_t(lastByte) - int64_t(firstByte) + 1; }
};
static_assert(sizeof(PackageEntry) == 280, "PackageEntry is 280 bytes");
static_assert(offsetof(PackageEntry, firstByte) == 256, "layout");
static_assert(offsetof(PackageEntry, lastByte) == 260, "layout");
static_assert(offsetof(PackageEntry, targetKind) == 264, "layout");
static_assert(offsetof(PackageEntry, compressed) == 268, "layout");
static_assert(offsetof(PackageEntry, packedSize) == 272, "layout");
static_assert(offsetof(PackageEntry, expandedSize) == 276, "layout");

// The installer's settings and the directory of its eleven slots.
struct PackageHeader {
    uint8_t installerMode;          // 1 BMP, 2/3 movie, 4 quiet, 8 JPEG, else no preview
    uint8_t showLicense;
    uint8_t showReadMe;
    uint8_t carriesFlashInstaller;
    uint8_t flashVersionIndex;      // 0: player 7 r19, 1: player 8 r22
    uint8_t offerDisplayPanel;
    char saverName[64];             // ends at the first zero byte, or uses all 64
    uint8_t padding[2];
    PackageEntry entries[kSlotCount];

    std::string name() const;       // saverName up to its first zero byte
};
static_assert(sizeof(PackageHeader) == 3152, "PackageHeader is 3,152 bytes");
static_assert(offsetof(PackageHeader, saverName) == 6, "layout");
static_assert(offsetof(PackageHeader, entries) == 72, "layout");

constexpr size_t kPackageHeaderSize = sizeof(PackageHeader);

// Little-endian (de)serialisation of the records.
void decodePackageHeader(const uint8_t (&bytes)[kPackageHeaderSize], PackageHeader& out);
void encodePackageHeader(const PackageHeader& header, uint8_t (&bytes)[kPackageHeaderSize]);

}  // namespace ssi
