// Header only (inline readers and writers).
// Little-endian integers in byte records (the package, the data file, bitmaps,
// movies, program images): read and written byte by byte, so that nothing
// depends on the host's byte order or alignment.
#pragma once

#include <cstdint>

namespace ssi {

inline uint32_t readLE16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

inline uint32_t readLE32(const uint8_t* p) {
    return readLE16(p) | readLE16(p + 2) << 16;
}

inline void writeLE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

}  // namespace ssi
