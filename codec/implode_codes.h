// Header only (tables built at compile time).
// Fixed prefix codes of the implode format, built at compile time.
//
// The format does not transmit its codes: three fixed canonical codes (literal,
// length, distance) are defined by their code lengths per symbol. Codes are
// assigned shortest length first, in symbol order within a length, starting
// from all ones and counting down; they are sent most significant code bit
// first into a least-significant-bit-first stream. Below, every code is kept
// as the value one would OR into that stream (already bit-reversed), so the
// encoder writes `bits` directly and the decoder indexes tables by peeked bits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ssi::codec::detail {

constexpr unsigned kMinMatch = 2;
constexpr unsigned kMaxMatch = 518;
constexpr unsigned kEndLength = 519;  // length value that ends the stream
constexpr unsigned kMaxDistance = 4096;
constexpr unsigned kMaxLen2Distance = 256;  // length-2 matches keep only 2 low bits

// Code lengths in run-length form: each byte is (repeat - 1) << 4 | length.
constexpr std::uint8_t kLiteralLengthRuns[] = {
    11, 124, 8,  7,  28, 7,  188, 13,  76,  4,   10,  8,   12, 10, 12, 10, 8,  23, 8,  9,  7,  6,  7,  8,  7,
    6,  55,  8,  23, 24, 12, 11,  7,   9,   11,  12,  6,   7,  22, 5,  7,  24, 6,  11, 9,  6,  7,  22, 7,  11,
    38, 7,   9,  8,  25, 11, 8,   11,  9,   12,  8,   12,  5,  38, 5,  38, 5,  11, 7,  5,  6,  21, 6,  10, 53,
    8,  7,   24, 10, 27, 44, 253, 253, 253, 252, 252, 252, 13, 12, 45, 12, 45, 12, 61, 12, 45, 44, 173};
constexpr std::uint8_t kLengthLengthRuns[] = {2, 35, 36, 53, 38, 23};
constexpr std::uint8_t kDistanceLengthRuns[] = {2, 20, 53, 230, 247, 151, 248};

// Length symbol s stands for lengths kLengthBase[s] .. + (1 << kLengthExtra[s]) - 1.
constexpr std::uint16_t kLengthBase[16] = {3, 2, 4, 5, 6, 7, 8, 9, 10, 12, 16, 24, 40, 72, 136, 264};
constexpr std::uint8_t kLengthExtra[16] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};

struct Code {
    std::uint16_t bits;  // stream-order value
    std::uint8_t length;
};

template <std::size_t N, std::size_t R>
constexpr std::array<std::uint8_t, N> expandRuns(const std::uint8_t (&runs)[R]) {
    std::array<std::uint8_t, N> lengths{};
    std::size_t n = 0;
    for (std::size_t r = 0; r < R; ++r) {
        for (unsigned k = 0; k <= (runs[r] >> 4u); ++k) {
            lengths[n++] = static_cast<std::uint8_t>(runs[r] & 15u);
        }
    }
    return lengths;
}

template <std::size_t R>
constexpr std::size_t runTotal(const std::uint8_t (&runs)[R]) {
    std::size_t n = 0;
    for (std::size_t r = 0; r < R; ++r) n += (runs[r] >> 4u) + 1u;
    return n;
}

// Kraft sum scaled by 2^15: 1 << 15 exactly when the code is complete.
template <std::size_t N>
constexpr unsigned kraft(const std::array<std::uint8_t, N>& lengths) {
    unsigned sum = 0;
    for (auto l : lengths) sum += 1u << (15u - l);
    return sum;
}

template <std::size_t N>
constexpr std::array<Code, N> canonicalCodes(const std::array<std::uint8_t, N>& lengths) {
    unsigned count[16] = {};
    for (auto l : lengths) ++count[l];
    unsigned next[16] = {};
    unsigned first = 0;
    for (unsigned len = 1; len < 16; ++len) {
        next[len] = first;
        first = (first + count[len]) << 1u;
    }
    std::array<Code, N> codes{};
    for (std::size_t s = 0; s < N; ++s) {
        const unsigned len = lengths[s];
        // The decoder sees inverted bits, most significant first.
        const unsigned inverted = ~next[len]++ & ((1u << len) - 1u);
        unsigned reversed = 0;
        for (unsigned b = 0; b < len; ++b) reversed |= ((inverted >> b) & 1u) << (len - 1u - b);
        codes[s] = Code{static_cast<std::uint16_t>(reversed), static_cast<std::uint8_t>(len)};
    }
    return codes;
}

constexpr auto kLiteralLengths = expandRuns<256>(kLiteralLengthRuns);
constexpr auto kLengthLengths = expandRuns<16>(kLengthLengthRuns);
constexpr auto kDistanceLengths = expandRuns<64>(kDistanceLengthRuns);
static_assert(runTotal(kLiteralLengthRuns) == 256 && runTotal(kLengthLengthRuns) == 16 &&
              runTotal(kDistanceLengthRuns) == 64);
// All three codes are complete: every bit pattern decodes to a symbol.
static_assert(kraft(kLiteralLengths) == 1u << 15 && kraft(kLengthLengths) == 1u << 15 &&
              kraft(kDistanceLengths) == 1u << 15);

constexpr auto kLiteralCodes = canonicalCodes(kLiteralLengths);
constexpr auto kLengthCodes = canonicalCodes(kLengthLengths);
constexpr auto kDistanceCodes = canonicalCodes(kDistanceLengths);

constexpr unsigned kMaxLiteralCodeBits = 13;
constexpr unsigned kMaxLengthCodeBits = 7;
constexpr unsigned kMaxDistanceCodeBits = 8;

// Reads an unsigned integer of sizeof(T) bytes stored least significant byte
// first, from any alignment: the bit streams of the format are in that order.
template <typename T>
inline T loadLittleEndian(const unsigned char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
#else
    T v = 0;
    for (std::size_t k = sizeof(T); k-- > 0;) v = static_cast<T>((v << 8u) | p[k]);
    return v;
#endif
}

}  // namespace ssi::codec::detail
