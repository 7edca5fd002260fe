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
//
// Bits come from a 64-bit buffer, refilled before every token with one
// 8-byte load while the input buffer holds 8 more bytes; a token takes at most
// 30 bits, so it is decoded from one refill. Only near the end of the input
// buffer does the decoder refill byte by byte and check for the end of the
// input. Each literal, of either mode, is one table lookup.
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

// The longest token: flag, length code and extra bits, distance code and low bits.
constexpr unsigned kMaxTokenBits = 1 + kMaxLengthCodeBits + 8 + kMaxDistanceCodeBits + 6;
static_assert(kMaxTokenBits <= 56, "a token must fit one refill");

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

// Literal codes run up to 13 bits, and most of them (every byte above 127)
// are 12 or 13 bits long. All codes longer than 8 bits begin with four zero
// bits, and every other code is 8 bits or shorter, so one table lookup
// decodes any literal: the next 8 bits index the first 256 entries when they
// do not begin with four zeros, else the 9 bits after those zeros index the
// next 512. Entry: symbol | code length << 8.
constexpr unsigned kShortBits = 8;
constexpr unsigned kLongPrefix = 4;
constexpr unsigned kLongBits = 9;

constexpr bool literalCodesSplit() {
    for (const Code& c : kLiteralCodes) {
        const bool longPrefix = (c.bits & ((1u << kLongPrefix) - 1u)) == 0 && c.length >= kLongPrefix;
        if (longPrefix ? c.length > kLongPrefix + kLongBits : c.length > kShortBits) return false;
    }
    return true;
}
static_assert(literalCodesSplit(), "literal codes must split into short ones and ones led by four zero bits");

struct LiteralTable {
    std::uint16_t entry[(1u << kShortBits) + (1u << kLongBits)];
};
constexpr LiteralTable buildLiteralTable() {
    LiteralTable t{};
    for (unsigned s = 0; s < 256; ++s) {
        const Code c = kLiteralCodes[s];
        const auto value = static_cast<std::uint16_t>(s | (c.length << 8u));
        if ((c.bits & ((1u << kLongPrefix) - 1u)) == 0 && c.length >= kLongPrefix) {
            const unsigned rest = c.length - kLongPrefix;
            for (unsigned i = c.bits >> kLongPrefix; i < (1u << kLongBits); i += 1u << rest) {
                t.entry[(1u << kShortBits) + i] = value;
            }
        } else {
            for (unsigned i = c.bits; i < (1u << kShortBits); i += 1u << c.length) t.entry[i] = value;
        }
    }
    return t;
}
constexpr LiteralTable kLiteralTable = buildLiteralTable();

// The literal at the bottom of `bits`: symbol | code length << 8.
inline unsigned decodeLiteral(unsigned bits) {
    const unsigned index = (bits & ((1u << kLongPrefix) - 1u)) != 0
                               ? bits & ((1u << kShortBits) - 1u)
                               : (1u << kShortBits) + ((bits >> kLongPrefix) & ((1u << kLongBits) - 1u));
    return kLiteralTable.entry[index];
}

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
    std::uint64_t bits;
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

// Buffers at least 56 bits (real or padding), byte by byte, reading more input
// as the buffer runs out. Any bits above `count` repeat bytes still to be
// buffered (see decode()), so ORing those bytes in changes nothing, and once
// the input has run out they are zero, as padding must be.
inline void refill(BitReader& r) {
    while (r.count <= 56) {
        if (r.next == r.end && !fetch(r)) {
            r.pad += 8;  // zero byte
        } else {
            r.bits |= std::uint64_t{*r.next++} << r.count;
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

[[nodiscard]] unsigned int finish(Window& w, unsigned int code) {
    flush(w);
    return code;
}

// Decodes tokens up to the end code. kCoded: literals use the literal code
// (else they are 8 raw bits). The bit buffer and the output position live in
// locals here (stores of output bytes would otherwise force them back to
// memory); they go back to `r` and `w` around the calls that need them.
template <bool kCoded>
[[nodiscard]] unsigned int decode(BitReader& r, Window& w, unsigned dictBits) {
    const unsigned dictMask = (1u << dictBits) - 1u;
    std::uint64_t bits = r.bits;
    int count = r.count;
    const unsigned char* next = r.next;
    unsigned char* out = w.buf + w.pos;
    unsigned char* const flushAt = w.buf + kFlushAt;
    auto fail = [&](unsigned int code) {
        w.pos = static_cast<std::size_t>(out - w.buf);
        return finish(w, code);
    };
    for (;;) {
        // While 8 more input bytes are buffered, every bit a token reads is
        // real input: no token can run past the end.
        const bool careful = r.end - next < 8;
        if (!careful) {
            // Whole bytes only: the load lands at `count`, and of its bytes the
            // ones that do not fit whole stay unbuffered (they are loaded
            // again next time, the same bits in the same places).
            bits |= loadLittleEndian<std::uint64_t>(next) << count;
            next += (63 - count) >> 3;
            count |= 56;
        } else {
            r.bits = bits;
            r.count = count;
            r.next = next;
            refill(r);
            bits = r.bits;
            count = r.count;
            next = r.next;
        }
        const unsigned low = static_cast<unsigned>(bits);
        if ((low & 1u) == 0) {
            unsigned entry;
            if (kCoded) {
                entry = decodeLiteral(low >> 1u);
            } else {
                entry = ((low >> 1u) & 255u) | (8u << 8u);
            }
            const unsigned n = 1u + (entry >> 8u);
            bits >>= n;
            count -= static_cast<int>(n);
            if (careful && count < r.pad) return fail(r.misbehaved ? kAbort : kBadData);
            *out++ = static_cast<unsigned char>(entry);
        } else {
            const unsigned le = kLengthTable.entry[(low >> 1u) & 127u];
            const unsigned ls = le & 15u;
            const unsigned codeBits = 1u + (le >> 4u);
            const unsigned length =
                kLengthBase[ls] + (static_cast<unsigned>(bits >> codeBits) & ((1u << kLengthExtra[ls]) - 1u));
            const unsigned lengthBits = codeBits + kLengthExtra[ls];
            bits >>= lengthBits;
            count -= static_cast<int>(lengthBits);
            if (length == kEndLength) {
                if (careful && count < r.pad) return fail(r.misbehaved ? kAbort : kBadData);
                return fail(kOk);
            }
            const unsigned de = kDistanceTable.entry[bits & 255u];
            const unsigned lowBits = length == 2 ? 2u : dictBits;
            const unsigned lowMask = length == 2 ? 3u : dictMask;
            const unsigned codeLength = de >> 8u;
            const std::size_t distance =
                (((de & 63u) << lowBits) | (static_cast<unsigned>(bits >> codeLength) & lowMask)) + 1u;
            bits >>= codeLength + lowBits;
            count -= static_cast<int>(codeLength + lowBits);
            if (careful && count < r.pad) return fail(r.misbehaved ? kAbort : kBadData);
            // distance <= 4096 <= pos: within the window (zeros before the output).
            copyMatch(out, distance, length);
            out += length;
        }
        if (out >= flushAt) {
            w.pos = static_cast<std::size_t>(out - w.buf);
            flush(w);
            out = w.buf + w.pos;
        }
    }
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
    const unsigned mode = static_cast<unsigned>(r.bits & 255u);
    const unsigned dictBits = static_cast<unsigned>((r.bits >> 8u) & 255u);
    drop(r, 16);
    if (overran(r)) return r.misbehaved ? kAbort : kBadData;
    if (mode > kAscii) return kInvalidMode;
    if (dictBits < 4 || dictBits > 6) return kInvalidDictSize;
    return mode == kAscii ? decode<true>(r, w, dictBits) : decode<false>(r, w, dictBits);
}

}  // namespace ssi::codec
