// Builds screen saver data files byte by byte for the tests, independently of
// saverpack's builder, with any field overridable to make damaged containers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec/implode.h"
#include "package/data_file_format.h"

namespace ssi::test {

struct TestItem {
    TestItem(std::string n, std::string c, bool z = false, uint8_t k = 0, int32_t cls = 0)
        : name(std::move(n)), content(std::move(c)), compressed(z), kind(k), itemClass(cls) {}
    TestItem& expanded(int32_t v) {
        expandedSize = v;
        return *this;
    }
    TestItem& stored(int32_t v) {
        storedSize = v;
        return *this;
    }
    TestItem& at(int32_t v) {
        chunkOffset = v;
        return *this;
    }
    TestItem& bytes(std::string v) {
        storedBytes = std::move(v);
        return *this;
    }

    std::string name;
    std::string content;
    bool compressed = false;
    uint8_t kind = 0;
    int32_t itemClass = 0;
    // Overrides of what the builder would write.
    std::optional<int32_t> expandedSize;
    std::optional<int32_t> storedSize;
    std::optional<int32_t> chunkOffset;
    std::optional<std::string> storedBytes;
};

inline std::string imploded(const std::string& data) {
    std::vector<uint8_t> out = codec::implodeBuffer(reinterpret_cast<const uint8_t*>(data.data()),
                                                    data.size(), codec::kBinary, codec::kDict4K);
    return std::string(out.begin(), out.end());
}

// The record's opaque bytes carry a pattern, so a copy can be recognised.
inline SaverRecord patternRecord(int32_t itemCount, int32_t mode) {
    SaverRecord r{};
    for (size_t i = 0; i < kSaverRecordSize; ++i) r.bytes[i] = uint8_t(i * 7 + 1);
    r.setItemCount(itemCount);
    r.setPresentationMode(mode);
    return r;
}

inline std::string recordBytes(const SaverRecord& r) {
    return std::string(reinterpret_cast<const char*>(r.bytes), kSaverRecordSize);
}

// Record, table, then each item's chunk and bytes in item order.
inline std::string makeDataFile(const std::vector<TestItem>& items, int32_t mode = 8,
                                std::optional<int32_t> count = std::nullopt) {
    std::string table, chunks;
    const size_t chunkBase = kSaverRecordSize + items.size() * sizeof(DataItem);
    for (const TestItem& t : items) {
        const std::string stored =
            t.storedBytes ? *t.storedBytes : (t.compressed ? imploded(t.content) : t.content);
        DataItem item{};
        item.kind = t.kind;
        t.name.copy(item.name, sizeof(item.name));
        item.chunkOffset = t.chunkOffset ? *t.chunkOffset : int32_t(chunkBase + chunks.size());
        uint8_t ib[sizeof(DataItem)];
        encodeDataItem(item, ib);
        table.append(reinterpret_cast<const char*>(ib), sizeof(ib));

        DataChunk chunk{};
        chunk.tag[0] = 'C', chunk.tag[1] = 'H', chunk.tag[2] = 'U', chunk.tag[3] = 'N';
        chunk.itemClass = t.itemClass;
        chunk.expandedSize = t.expandedSize ? *t.expandedSize : int32_t(t.content.size());
        chunk.storedSize = t.storedSize ? *t.storedSize : int32_t(stored.size());
        chunk.compressed = t.compressed ? 1 : 0;
        uint8_t cb[sizeof(DataChunk)];
        encodeDataChunk(chunk, cb);
        chunks.append(reinterpret_cast<const char*>(cb), sizeof(cb));
        chunks += stored;
    }
    return recordBytes(patternRecord(count ? *count : int32_t(items.size()), mode)) + table + chunks;
}

}  // namespace ssi::test
