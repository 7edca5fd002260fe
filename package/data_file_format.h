// Fixed-layout records of the screen saver data file (the container itself is
// described in package/data_file.h). The structs mirror the on-disk layout
// byte for byte (asserted below); data_file_format.cpp reads and writes them
// explicitly little-endian with the helpers of core/little_endian.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/package_format.h"

namespace ssi {

constexpr size_t kSaverRecordSize = 1240;
constexpr size_t kSaverRecordItemCountOffset = 212;
constexpr size_t kSaverRecordModeOffset = 1204;
constexpr int32_t kMaxDataItems = 1010;

// The screen saver's settings; opaque but for the item count and the mode.
struct SaverRecord {
    uint8_t bytes[kSaverRecordSize];
    int32_t itemCount() const;
    int32_t presentationMode() const;
    void setItemCount(int32_t n);
    void setPresentationMode(int32_t mode);
};
static_assert(sizeof(SaverRecord) == 1240, "SaverRecord is 1,240 bytes");

// An item that is a copy of the preview movie: it carries no bytes of its own.
constexpr int32_t kMovieItemKind = 3;

struct DataItem {
    uint8_t kind;          // kMovieItemKind: a copy of the saver's movie
    uint8_t kind2;         // not read by the installer
    char name[256];        // relative path below the target folder, zero-terminated
    uint8_t padding[2];
    int32_t chunkOffset;   // offset of the item's DataChunk in the container

    std::string itemName() const;  // name up to its first zero byte
};
static_assert(sizeof(DataItem) == 264, "DataItem is 264 bytes");
static_assert(offsetof(DataItem, name) == 2, "layout");
static_assert(offsetof(DataItem, chunkOffset) == 260, "layout");

struct DataChunk {
    char tag[4];           // "CHUN"
    int32_t itemClass;
    int32_t expandedSize;  // 0: the item produces no file
    int32_t storedSize;
    int32_t compressed;
    uint8_t reserved[24];
};
static_assert(sizeof(DataChunk) == 44, "DataChunk is 44 bytes");
static_assert(offsetof(DataChunk, expandedSize) == 8, "layout");
static_assert(offsetof(DataChunk, storedSize) == 12, "layout");
static_assert(offsetof(DataChunk, compressed) == 16, "layout");

void decodeDataItem(const uint8_t (&bytes)[sizeof(DataItem)], DataItem& out);
void encodeDataItem(const DataItem& item, uint8_t (&bytes)[sizeof(DataItem)]);
void decodeDataChunk(const uint8_t (&bytes)[sizeof(DataChunk)], DataChunk& out);
void encodeDataChunk(const DataChunk& chunk, uint8_t (&bytes)[sizeof(DataChunk)]);

}  // namespace ssi
