// crc32(): table-driven CRC-32 over the reflected polynomial 0xEDB88320.
// The routine neither seeds nor inverts; callers pass ~0 and invert the result
// when they want the common CRC-32 value.
#include <array>
#include <cstdint>

#include "codec/implode.h"

namespace ssi::codec {
namespace {

constexpr std::array<std::uint32_t, 256> buildCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1u) : c >> 1u;
        table[n] = c;
    }
    return table;
}
constexpr auto kCrcTable = buildCrcTable();
static_assert(kCrcTable[1] == 0x77073096u && kCrcTable[255] == 0x2D02EF8Du);

}  // namespace

unsigned long crc32(char* buffer, unsigned int* size, unsigned long* old_crc) {
    std::uint32_t crc = old_crc != nullptr ? static_cast<std::uint32_t>(*old_crc) : 0u;
    if (buffer == nullptr || size == nullptr) return crc;
    const auto* p = reinterpret_cast<const unsigned char*>(buffer);
    for (unsigned int i = 0; i < *size; ++i) crc = kCrcTable[(crc ^ p[i]) & 255u] ^ (crc >> 8u);
    return crc;
}

}  // namespace ssi::codec
