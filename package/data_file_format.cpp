// The screen saver data file's fixed-layout records, read and written
// explicitly little-endian (see package/data_file_format.h).
#include <cstring>

#include "package/data_file_format.h"

namespace ssi {

int32_t SaverRecord::itemCount() const {
    return readLE32(bytes + kSaverRecordItemCountOffset);
}
int32_t SaverRecord::presentationMode() const {
    return readLE32(bytes + kSaverRecordModeOffset);
}
void SaverRecord::setItemCount(int32_t n) {
    writeLE32(bytes + kSaverRecordItemCountOffset, n);
}
void SaverRecord::setPresentationMode(int32_t mode) {
    writeLE32(bytes + kSaverRecordModeOffset, mode);
}

std::string DataItem::itemName() const {
    const void* end = std::memchr(name, 0, sizeof(name));
    size_t length = end ? size_t(static_cast<const char*>(end) - name) : sizeof(name);
    return std::string(name, length);
}

void decodeDataItem(const uint8_t (&bytes)[sizeof(DataItem)], DataItem& out) {
    out.kind = bytes[0];
    out.kind2 = bytes[1];
    std::memcpy(out.name, bytes + 2, sizeof(out.name));
    std::memcpy(out.padding, bytes + 258, sizeof(out.padding));
    out.chunkOffset = readLE32(bytes + 260);
}

void encodeDataItem(const DataItem& item, uint8_t (&bytes)[sizeof(DataItem)]) {
    bytes[0] = item.kind;
    bytes[1] = item.kind2;
    std::memcpy(bytes + 2, item.name, sizeof(item.name));
    std::memcpy(bytes + 258, item.padding, sizeof(item.padding));
    writeLE32(bytes + 260, item.chunkOffset);
}

void decodeDataChunk(const uint8_t (&bytes)[sizeof(DataChunk)], DataChunk& out) {
    std::memcpy(out.tag, bytes, sizeof(out.tag));
    out.itemClass = readLE32(bytes + 4);
    out.expandedSize = readLE32(bytes + 8);
    out.storedSize = readLE32(bytes + 12);
    out.compressed = readLE32(bytes + 16);
    std::memcpy(out.reserved, bytes + 20, sizeof(out.reserved));
}

void encodeDataChunk(const DataChunk& chunk, uint8_t (&bytes)[sizeof(DataChunk)]) {
    std::memcpy(bytes, chunk.tag, sizeof(chunk.tag));
    writeLE32(bytes + 4, chunk.itemClass);
    writeLE32(bytes + 8, chunk.expandedSize);
    writeLE32(bytes + 12, chunk.storedSize);
    writeLE32(bytes + 16, chunk.compressed);
    std::memcpy(bytes + 20, chunk.reserved, sizeof(chunk.reserved));
}

}  // namespace ssi
