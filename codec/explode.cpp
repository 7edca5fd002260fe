// explode(): decodes one implode stream through caller callbacks.
//
// Everything lives in the caller's 12,596-byte work area, which is used as
// plain bytes (no alignment needed):
//   [0, kOutSize)            output window: 4 KiB of history (cleared at the
//                            start of every call, so distances reaching before
//                            the start of the output read zeros), then the bytes
//                            decoded since the last flush
//   [kOutSize, +kInSize)     input buffer for the read callback
// The decoding tables are compile-time constants, so nothing else is needed.
#include <cstring>

#include "codec/implode.h"
#include "codec/implode_codes.h"

namespace ssi::codec {
namespace {

using namespace detail;

constexpr std::size_t kHistory = kMaxDistance;
constexpr std::size_t kFlushAt = kHistory + 4096;  // flush once 4 KiB are decoded
constexpr std::size_t kCopySlack = 8;              // 8-byte copies may overshoot a match
constexpr std::size_t kOutSize = kFlushAt + kMaxMatch + kCopySlack;
constexpr std::size_t kInSize = 2048;
static_assert(kOutSize + kInSize <= kExplodeWorkSize, "explode must fit the classic work area");

// --- decoding tables, indexed by the next bits of the stream ---------------

struct LengthTable {
    std::uint8_t entry[1u << kMaxLengthCodeBits];  // symbol | code length << 4
};
constexpr LengthTable buildLengthTable() {
    LengthTable t{};
    for (unsigned s = 0; s < 16; ++s) {
        const Code c = kLengthCodes[s];
        for (unsigned i = c.bits; i < (1u << kMaxLengthCodeBits); i += 1u << c.length) {
            t.entry[i] = static_cast<std::uint8_t>(s | (c.length << 4u));
        }
    }
    return t;
}
constexpr LengthTable kLengthTable = buildLengthTable();

struct DistanceTable {
    std::uint16_t entry[1u << kMaxDistanceCodeBits];  // symbol | code length << 8
};
constexpr DistanceTable buildDistanceTable() {
    DistanceTable t{};
    for (unsigned s = 0; s < 64; ++s) {
        const Code c = kDistanceCodes[s];
        for (unsigned i = c.bits; i < (1u << kMaxDistanceCodeBits); i += 1u << c.length) {
            t.entry[i] = static_cast<std::uint16_t>(s | (c.length << 8u));
        }
    }
    return t;
}
constexpr DistanceTable kDistanceTable = buildDistanceTable();

// Literal codes run up to 13 bits: a 256-entry root table decodes the short
// codes directly; the few 8-bit prefixes of longer codes point into subtables.
// Root entry: symbol | length << 8, or kSubtable | sub-bits << 11 | offset.
// Subtable entry: symbol | total length << 8.
constexpr unsigned kRootBits = 8;
constexpr std::uint16_t kSubtable = 0x8000;

constexpr std::size_t literalSubtableSize() {
    unsigned longest[1u << kRootBits] = {};
    for (const Code& c : kLiteralCodes) {
        if (c.length > kRootBits && c.length > longest[c.bits & 255u]) longest[c.bits & 255u] = c.length;
    }
    std::size_t total = 0;
    for (unsigned l : longest) {
        if (l != 0) total += std::size_t{1} << (l - kRootBits);
    }
    return total;
}
constexpr std::size_t kLiteralSubSize = literalSubtableSize();
static_assert(kLiteralSubSize < 2048, "subtable offsets must fit 11 bits");

struct LiteralTable {
    std::uint16_t root[1u << kRootBits];
    std::uint16_t sub[kLiteralSubSize];
};
constexpr LiteralTable buildLiteralTable() {
    LiteralTable t{};
    unsigned longest[1u << kRootBits] = {};
    for (const Code& c : kLiteralCodes) {
        if (c.length > kRootBits && c.length > longest[c.bits & 255u]) longest[c.bits & 255u] = c.length;
    }
    unsigned offset = 0;
    for (unsigned r = 0; r < (1u << kRootBits); ++r) {
        if (longest[r] != 0) {
            const unsigned subBits = longest[r] - kRootBits;
            t.root[r] = static_cast<std::uint16_t>(kSubtable | (subBits << 11u) | offset);
            offset += 1u << subBits;
        }
    }
    for (unsigned s = 0; s < 256; ++s) {
        const Code c = kLiteralCodes[s];
        if (c.length <= kRootBits) {
            for (unsigned i = c.bits; i < (1u << kRootBits); i += 1u << c.length) {
                t.root[i] = static_cast<std::uint16_t>(s | (c.length << 8u));
            }
        } else {
            const unsigned ptr = t.root[c.bits & 255u];
            const unsigned subBits = (ptr >> 11u) & 15u;
            const unsigned base = ptr & 0x7FFu;
            for (unsigned i = c.bits >> kRootBits; i < (1u << subBits); i += 1u << (c.length - kRootBits)) {
                t.sub[base + i] = static_cast<std::uint16_t>(s | (c.length << 8u));
            }
        }
    }
    return t;
}
constexpr LiteralTable kLiteralTable = buildLiteralTable();

// --- bit input ---------------------------------------------------------------

// Bits are consumed from the bottom of `bits`. Past the end of the input the
// reader appends zero bytes and counts them in `pad`; a token that consumed
// any of them was truncated (`count < pad` afterwards).
struct BitReader {
    ReadFn read;
    void* param;
    unsigned char* buffer;
    const unsigned char* next;
    const unsigned char* end;
    std::uint32_t bits;
    int count;
    int pad;
    bool eof;
    bool misbehaved;  // the read callback claimed more bytes than asked
};

bool fetch(BitReader& r) {
    if (r.eof) return false;
    unsigned int size = static_cast<unsigned int>(kInSize);
    const unsigned int got = r.read(reinterpret_cast<char*>(r.buffer), &size, r.param);
    if (got == 0 || got > kInSize) {
        r.misbehaved = got > kInSize;
        r.eof = true;
        return false;
    }
    r.next = r.buffer;
    r.end = r.buffer + got;
    return true;
}

// Ensures at least 25 bits (real or padding) are buffered.
inline void refill(BitReader& r) {
    if (r.end - r.next >= 4) {
        while (r.count <= 24) {
            r.bits |= static_cast<std::uint32_t>(*r.next++) << r.count;
            r.count += 8;
        }
        return;
    }
    while (r.count <= 24) {
        if (r.next == r.end && !fetch(r)) {
            r.pad += 8;  // zero byte
        } else {
            r.bits |= static_cast<std::uint32_t>(*r.next++) << r.count;
        }
        r.count += 8;
    }
}

inline void drop(BitReader& r, unsigned n) {
    r.bits >>= n;
    r.count -= static_cast<int>(n);
}

inline bool overran(const BitReader& r) {
    return r.count < r.pad;
}

// --- output window -----------------------------------------------------------

struct Window {
    WriteFn write;
    void* param;
    unsigned char* buf;
    std::size_t pos;  // next write index, >= kHistory
};

void flush(Window& w) {
    unsigned int size = static_cast<unsigned int>(w.pos - kHistory);
    if (size != 0) w.write(reinterpret_cast<char*>(w.buf + kHistory), &size, w.param);
    std::memmove(w.buf, w.buf + w.pos - kHistory, kHistory);
    w.pos = kHistory;
}

inline void copyMatch(unsigned char* to, std::size_t distance, std::size_t length) {
    const unsigned char* from = to - distance;
    if (distance >= 8) {
        // Forward 8-byte steps never read bytes this copy has yet to write.
        for (std::size_t i = 0; i < length; i += 8) std::memcpy(to + i, from + i, 8);
    } else if (distance == 1) {
        std::memset(to, *from, length);
    } else {
        for (std::size_t i = 0; i < length; ++i) to[i] = from[i];
    }
}

unsigned int finish(Window& w, unsigned int code) {
    flush(w);
    return code;
}

}  // namespace

unsigned int explode(ReadFn read, WriteFn write, char* work, void* param) {
    if (read == nullptr || write == nullptr || work == nullptr) return kAbort;

    auto* area = reinterpret_cast<unsigned char*>(work);
    Window w{write, param, area, kHistory};
    std::memset(area, 0, kHistory);
    BitReader r{read, param, area + kOutSize, nullptr, nullptr, 0, 0, 0, false, false};
    r.next = r.end = r.buffer;

    refill(r);
    const unsigned mode = r.bits & 255u;
    const unsigned dictBits = (r.bits >> 8u) & 255u;
    drop(r, 16);
    if (overran(r)) return r.misbehaved ? kAbort : kBadData;
    if (mode > kAscii) return kInvalidMode;
    if (dictBits < 4 || dictBits > 6) return kInvalidDictSize;
    const std::uint32_t dictMask = (1u << dictBits) - 1u;
    const unsigned int truncated = kBadData;

    for (;;) {
        refill(r);
        if ((r.bits & 1u) == 0) {
            drop(r, 1);
            unsigned symbol;
            if (mode == kBinary) {
                symbol = r.bits & 255u;
                drop(r, 8);
            } else {
                unsigned e = kLiteralTable.root[r.bits & 255u];
                if (e & kSubtable) {
                    const unsigned subBits = (e >> 11u) & 15u;
                    e = kLiteralTable.sub[(e & 0x7FFu) + ((r.bits >> kRootBits) & ((1u << subBits) - 1u))];
                }
                symbol = e & 255u;
                drop(r, e >> 8u);
            }
            if (overran(r)) return finish(w, r.misbehaved ? kAbort : truncated);
            w.buf[w.pos++] = static_cast<unsigned char>(symbol);
        } else {
            drop(r, 1);
            const unsigned le = kLengthTable.entry[r.bits & 127u];
            const unsigned ls = le & 15u;
            drop(r, le >> 4u);
            const unsigned length = kLengthBase[ls] + (r.bits & ((1u << kLengthExtra[ls]) - 1u));
            drop(r, kLengthExtra[ls]);
            if (overran(r)) return finish(w, r.misbehaved ? kAbort : truncated);
            if (length == kEndLength) break;

            refill(r);
            const unsigned de = kDistanceTable.entry[r.bits & 255u];
            drop(r, de >> 8u);
            const unsigned lowBits = length == 2 ? 2u : dictBits;
            const unsigned lowMask = length == 2 ? 3u : dictMask;
            const std::size_t distance = (((de & 63u) << lowBits) | (r.bits & lowMask)) + 1u;
            drop(r, lowBits);
            if (overran(r)) return finish(w, r.misbehaved ? kAbort : truncated);
            // distance <= 4096 <= pos: within the window (zeros before the output).
            copyMatch(w.buf + w.pos, distance, length);
            w.pos += length;
        }
        if (w.pos >= kFlushAt) flush(w);
    }
    return finish(w, kOk);
}

}  // namespace ssi::codec
