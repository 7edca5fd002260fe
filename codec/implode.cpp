// implode(): an optimal-parsing encoder for the implode format.
//
// The format's codes are fixed, so the exact cost in bits of every literal and
// of every (length, distance) pair is known before encoding. Each block of
// input is therefore parsed by dynamic programming: walking forward, each
// position offers a literal and, for every length the match finder can reach,
// the nearest distance giving that length; cost[j] keeps the cheapest way to
// cover the first j bytes of the block and link[j] the last token of that way.
// Walking the links back from the block end gives the cheapest token sequence
// the finder's candidates allow. Lengths go up to 518 and distance 1 is used
// like any other distance.
//
// Pruning: from length 3 on, a longer length never costs fewer bits, so when
// offset j + 1 is already reached as cheaply as j, a match from j that ends
// beyond j + 3 is no better than the rest of the same match taken from j + 1
// (same distance, one byte shorter). From such an offset only lengths up to 3
// are wanted: whether the nearest 3-byte candidate repeats is checked (past
// hash collisions too), and only when none does is the chain walked for
// longer ones. This holds exactly when the finder sees every match; with its
// walk bounded it may rarely miss that rest, which the corpus sizes keep in
// check.
//
// Relaxing lengths 3 to 10 from a position is done for all eight at once with
// SSE2 where the compiler offers it (x86-64), without branches; whether a cost
// improves is as good as random on real data, and so is whether the next token
// emitted is a literal, so the emitter does not branch on that either.
//
// Match finder: the latest position of every byte pair gives the nearest
// length-2 match, and the latest position of every 3-byte hash the nearest
// length-3 match (the only ones worth their cost: distance codes grow with
// distance, and every longer match lies at least as far back); when another
// 3-byte string with the same hash came later, a short chain of positions
// with that hash finds the nearest real one. Chains of
// earlier positions with the same 4-byte hash, nearest first, then give the
// nearest distance for each longer length. Once a match of some length L is
// known, a longer one must also repeat the 4 bytes ending with byte L, the
// first one that match did not: the walk continues on the chain of those 4
// bytes (from the latest position holding them, past the distance reached),
// which holds every position that can still do better and few others, and
// ends as soon as that chain has nothing in reach. The window is only 4 KiB,
// so a walk of up to 128 entries is close to exhaustive. When a match of
// kNiceLength (40) or more appears, the parse up to there is emitted and that
// match is taken whole, which keeps long matches fast. Both bounds trade a
// few bytes for speed; `make bench` shows the sizes and speeds they give.
//
// Work area (aligned to 8 inside the caller's buffer):
//   pair   65,536 x u32   latest absolute position of each byte pair
//   triple 32,768 x u32   latest absolute position of each 3-byte hash
//   head   32,768 x u32   latest absolute position of each 4-byte hash
//   chain   8,192 x u16   gap back to the previous position with the same
//                         4-byte hash
//   triples 8,192 x u16   ... with the same 3-byte hash
//   cost   16,400 x u32   DP cost per block offset (reused for the path), with
//   link   16,400 x u32   DP token per block offset: length | distance << 10
//                         room past the block for the eight lengths relaxed at once
//   window 4,096 + 16,384 bytes: history for distances, then the block
//   out    4,096 + 8 bytes of compressed output between write() calls
// Absolute positions start at 8,192 so that the zero-filled tables read as
// "too far back"; they are rebased before they could overflow.
#include "codec/implode.h"

#include <algorithm>
#include <cstring>
// SSE2 where the compiler offers it, unless the portable code is asked for
// (the 32-bit Windows build has no SSE2; tests build both).
#if defined(__SSE2__) && !defined(SSI_CODEC_PORTABLE)
#define SSI_IMPLODE_SSE2 1
#include <emmintrin.h>
#endif

#include "codec/implode_codes.h"

namespace ssi::codec {
namespace {

using namespace detail;

constexpr std::size_t kHistory = kMaxDistance;
constexpr std::size_t kBlock = 16384;
constexpr std::size_t kWindowSize = kHistory + kBlock;
constexpr std::size_t kLookahead = kMaxMatch + 2;
constexpr std::size_t kPairSize = 65536;
constexpr unsigned kHashBits = 15;
constexpr std::size_t kHashSize = std::size_t{1} << kHashBits;  // for 3-byte and for 4-byte hashes
constexpr std::size_t kChainSize = 2 * kMaxDistance;            // a slot is not reused while reachable
// A chain entry is the gap back to the previous position with the same 4-byte
// (or, in the second chain, 3-byte) hash; gaps beyond any distance are kept
// as this one.
constexpr std::uint32_t kNoGap = 0xFFFF;
constexpr std::size_t kOutFlush = 4096;
constexpr std::uint32_t kPosStart = 2 * kMaxDistance;
constexpr std::uint32_t kRebaseAt = 0x80000000u;
constexpr std::uint32_t kMinRebaseAt = 8 * kChainSize;  // lowest a test may ask for
// Costs compare as signed 32-bit numbers (SSE2 has no unsigned compare).
constexpr std::uint32_t kInfinity = 0x7FFFFFFFu;
// Distance cost of a length no match offers: a cost built on it loses to any
// real cost, and the offsets it reaches are relaxed again before use.
constexpr std::uint32_t kUnreachable = 0x40000000u;
constexpr unsigned kShortTop = kMinMatch + 8;  // lengths 3..10 are relaxed together

// Search effort: chain entries visited per position, and the length from
// which a match is taken without further parsing.
constexpr unsigned kMaxChain = 128;
constexpr unsigned kNiceLength = 40;
constexpr unsigned kTripleDepth = 16;                 // positions tried past a 3-byte hash collision
constexpr std::size_t kPrefetch = 8;                  // how far ahead table entries are fetched
constexpr std::uint32_t kFourLiterals = 0x80000000u;  // path entry: four literals end here

constexpr std::size_t align8(std::size_t n) {
    return (n + 7u) & ~std::size_t{7};
}
constexpr std::size_t kPairOffset = 0;
constexpr std::size_t kTripleOffset = kPairOffset + kPairSize * 4;
constexpr std::size_t kHeadOffset = kTripleOffset + kHashSize * 4;
constexpr std::size_t kChainOffset = kHeadOffset + kHashSize * 4;
constexpr std::size_t kCostOffset = kChainOffset + kChainSize * 4;
constexpr std::size_t kDpSize = kBlock + 16;  // room for lengths relaxed past the block end
constexpr std::size_t kLinkOffset = kCostOffset + align8(kDpSize * 4);
constexpr std::size_t kWindowOffset = kLinkOffset + align8(kDpSize * 4);
constexpr std::size_t kOutOffset = kWindowOffset + align8(kWindowSize);
constexpr std::size_t kLayoutSize = kOutOffset + align8(kOutFlush + 8);
static_assert(kImplodeWorkSize == kLayoutSize + 8, "kImplodeWorkSize must match the work area layout");

// Length token with its leading flag bit: bits to send and their count.
struct LengthToken {
    std::uint16_t bits;
    std::uint8_t count;
};
constexpr std::array<LengthToken, kEndLength + 1> buildLengthTokens() {
    std::array<LengthToken, kEndLength + 1> t{};
    for (unsigned s = 0; s < 16; ++s) {
        const Code c = kLengthCodes[s];
        for (unsigned e = 0; e < (1u << kLengthExtra[s]); ++e) {
            t[kLengthBase[s] + e] = LengthToken{
                static_cast<std::uint16_t>(1u | (unsigned{c.bits} << 1u) | (e << (1u + c.length))),
                static_cast<std::uint8_t>(1u + c.length + kLengthExtra[s])};
        }
    }
    return t;
}
constexpr auto kLengthTokens = buildLengthTokens();
static_assert(kLengthTokens[kMinMatch].count != 0 && kLengthTokens[kEndLength].count == 16);

// Bits of lengths 3 to 10 with their flag, for relaxing them together.
struct ShortLengthCost {
    std::int32_t bits[8];
};
constexpr ShortLengthCost buildShortLengthCost() {
    ShortLengthCost t{};
    for (unsigned k = 0; k < 8; ++k) t.bits[k] = kLengthTokens[kMinMatch + 1 + k].count;
    return t;
}
alignas(16) constexpr ShortLengthCost kShortLengthCost = buildShortLengthCost();

// Bits of every length with its flag, with room for loads of four past the
// longest.
struct LengthCosts {
    std::int32_t bits[kEndLength + 4];
};
constexpr LengthCosts buildLengthCosts() {
    LengthCosts t{};
    for (unsigned length = kMinMatch; length <= kEndLength; ++length)
        t.bits[length] = kLengthTokens[length].count;
    return t;
}
constexpr LengthCosts kLengthCosts = buildLengthCosts();

struct Match {
    std::uint32_t length;
    std::uint32_t distance;
};

// Four bytes, the first in the lowest bits.
inline std::uint32_t load32(const unsigned char* p) {
    return loadLittleEndian<std::uint32_t>(p);
}

inline unsigned matchLength(const unsigned char* a, const unsigned char* b, unsigned n, unsigned limit) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ && defined(__GNUC__)
    while (n + 8 <= limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) return n + static_cast<unsigned>(__builtin_ctzll(x ^ y)) / 8u;
        n += 8;
    }
#endif
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

class Encoder {
public:
    Encoder(ReadFn read, WriteFn write, void* param, unsigned char* area, unsigned mode, unsigned dictBits,
            std::uint32_t rebaseAt)
        : read_(read),
          write_(write),
          param_(param),
          pair_(reinterpret_cast<std::uint32_t*>(area + kPairOffset)),
          triple_(reinterpret_cast<std::uint32_t*>(area + kTripleOffset)),
          head_(reinterpret_cast<std::uint32_t*>(area + kHeadOffset)),
          chain_(reinterpret_cast<std::uint16_t*>(area + kChainOffset)),
          triples_(chain_ + kChainSize),
          cost_(reinterpret_cast<std::uint32_t*>(area + kCostOffset)),
          link_(reinterpret_cast<std::uint32_t*>(area + kLinkOffset)),
          window_(area + kWindowOffset),
          out_(area + kOutOffset),
          mode_(mode),
          dictBits_(dictBits),
          dictSize_(1u << (dictBits + 6u)),
          rebaseAt_(rebaseAt) {
        // Nothing from an earlier call may influence this one.
        std::memset(pair_, 0, kPairSize * 4);
        std::memset(triple_, 0, kHashSize * 4);
        std::memset(head_, 0, kHashSize * 4);
        std::memset(chain_, 0xFF, kChainSize * 4);
        for (unsigned b = 0; b < 256; ++b) {
            literalCost_[b] = static_cast<std::uint8_t>(mode == kAscii ? 1u + kLiteralLengths[b] : 9u);
            literalBits_[b] =
                static_cast<std::uint16_t>(mode == kAscii ? kLiteralCodes[b].bits << 1u : b << 1u);
        }
    }

    [[nodiscard]] unsigned run() {
        out_[0] = static_cast<unsigned char>(mode_);
        out_[1] = static_cast<unsigned char>(dictBits_);
        outPos_ = 2;
        std::size_t pos = kHistory;
        end_ = kHistory;
        base_ = kPosStart - static_cast<std::uint32_t>(kHistory);
        for (;;) {
            fill();
            if (misbehaved_) return kAbort;
            // Until the input ends, the parse stops one longest match before the
            // end of the window: a long match may still run to the full length,
            // and the hashes of the positions parsed have the bytes they need.
            const std::size_t limit = eof_ ? end_ : end_ - kLookahead;
            pos = encodeRange(pos, limit);
            if (eof_) break;
            pos = slide(pos);
        }
        put(kLengthTokens[kEndLength].bits, kLengthTokens[kEndLength].count);
        if (pending_ > 0) out_[outPos_++] = static_cast<unsigned char>(acc_);
        flushOut();
        return kOk;
    }

private:
    void fill() {
        while (!eof_ && end_ < kWindowSize) {
            unsigned int room = static_cast<unsigned int>(kWindowSize - end_);
            unsigned int size = room;
            const unsigned int got = read_(reinterpret_cast<char*>(window_ + end_), &size, param_);
            if (got == 0 || got > room) {
                misbehaved_ = got > room;
                eof_ = true;
            } else {
                end_ += got;
            }
        }
    }

    // Moves the history before `pos` and the bytes after it to the front.
    std::size_t slide(std::size_t pos) {
        const std::size_t shift = pos - kHistory;
        std::memmove(window_, window_ + shift, end_ - shift);
        end_ -= shift;
        base_ += static_cast<std::uint32_t>(shift);
        if (base_ >= rebaseAt_) {
            // A multiple of the chain size, so that every position keeps its
            // chain slots.
            const std::uint32_t delta =
                (base_ - (kPosStart - static_cast<std::uint32_t>(kHistory))) & ~std::uint32_t{kChainSize - 1};
            for (std::size_t i = 0; i < kPairSize; ++i) pair_[i] = pair_[i] > delta ? pair_[i] - delta : 0;
            for (std::size_t i = 0; i < kHashSize; ++i)
                triple_[i] = triple_[i] > delta ? triple_[i] - delta : 0;
            for (std::size_t i = 0; i < kHashSize; ++i) head_[i] = head_[i] > delta ? head_[i] - delta : 0;
            base_ -= delta;
            first_ = first_ > delta ? first_ - delta : 0;
        }
        return kHistory;
    }

    struct Previous {
        std::uint32_t pair;    // latest earlier position with the same two bytes
        std::uint32_t triple;  // ... with the same 3-byte hash
        std::uint32_t chain;   // ... with the same 4-byte hash: head of the chain
    };

    // Records position p (which has at least one byte after it) in the tables
    // its following bytes allow, and returns their previous holders.
    Previous insert(std::size_t p) {
        const std::uint32_t abs = static_cast<std::uint32_t>(p) + base_;
        Previous prev{0, 0, 0};
        std::uint32_t bytes;
        if (p + 4 <= end_) {
            bytes = load32(window_ + p);
            const std::uint32_t h = ((bytes & 0xFFFFFFu) * 2654435761u) >> (32u - kHashBits);
            const std::uint32_t h4 = (bytes * 2246822519u) >> (32u - kHashBits);
            prev.pair = pair_[bytes & 0xFFFFu];
            prev.triple = triple_[h];
            prev.chain = head_[h4];
            triples_[abs & (kChainSize - 1)] =
                static_cast<std::uint16_t>(std::min<std::uint32_t>(abs - prev.triple, kNoGap));
            pair_[bytes & 0xFFFFu] = abs;
            triple_[h] = abs;
            head_[h4] = abs;
        } else {
            // The last bytes of the input: only the tables they fill.
            bytes = window_[p] | (unsigned{window_[p + 1]} << 8u);
            prev.pair = pair_[bytes];
            pair_[bytes] = abs;
            triples_[abs & (kChainSize - 1)] = kNoGap;
            if (p + 2 < end_) {
                bytes |= std::uint32_t{window_[p + 2]} << 16u;
                const std::uint32_t h = (bytes * 2654435761u) >> (32u - kHashBits);
                prev.triple = triple_[h];
                triple_[h] = abs;
                triples_[abs & (kChainSize - 1)] =
                    static_cast<std::uint16_t>(std::min<std::uint32_t>(abs - prev.triple, kNoGap));
            }
        }
        chain_[abs & (kChainSize - 1)] =
            static_cast<std::uint16_t>(std::min<std::uint32_t>(abs - prev.chain, kNoGap));
        return prev;
    }

    // Inserts p and lists its matches of length >= 3 with strictly increasing
    // length and distance; *len2 gets the nearest length-2 distance, or 0.
    // With `upTo3`, only lengths up to 3 are wanted: once a 3-byte match is
    // known the chain is not walked.
    unsigned findMatches(std::size_t p, unsigned limit, Match* found, std::uint32_t* len2, bool upTo3) {
        *len2 = 0;
        if (p + 1 >= end_) return 0;
        if (p + kPrefetch + 4 <= end_) {
            // The tables outgrow the first-level cache: ask early for the
            // entries of a position a few bytes ahead.
            const std::uint32_t bytes = load32(window_ + p + kPrefetch);
            __builtin_prefetch(&pair_[bytes & 0xFFFFu], 1);
            __builtin_prefetch(&triple_[((bytes & 0xFFFFFFu) * 2654435761u) >> (32u - kHashBits)], 1);
            __builtin_prefetch(&head_[(bytes * 2246822519u) >> (32u - kHashBits)], 1);
        }
        const Previous prev = insert(p);
        const std::uint32_t abs = static_cast<std::uint32_t>(p) + base_;
        if (limit < kMinMatch) return 0;
        if (abs - prev.pair <= kMaxLen2Distance) *len2 = abs - prev.pair;
        const unsigned char* cur = window_ + p;
        // The farthest distance a match may have: the dictionary, and never
        // before the first byte of the input. The tables cannot hold such a
        // position, but a walk on the chain of bytes further into the match
        // can step back past it.
        const std::uint32_t farthest = std::min(dictSize_, abs - first_);
        unsigned best = kMinMatch;
        unsigned n = 0;
        // The nearest 3-byte match (unless a hash collision hides it): every
        // longer match is at least as far back.
        std::uint32_t distance = abs - prev.triple;
        // Every position with the same 3 bytes has the same hash, and the
        // latest is out of reach: so is any match of 3 or more.
        if (distance > farthest) return 0;
        if (limit > kMinMatch) {
            // Where only length 3 is wanted, whether the 3 bytes repeat is enough.
            unsigned length =
                upTo3 && p + 4 <= end_
                    ? (((load32(cur - distance) ^ load32(cur)) & 0xFFFFFFu) == 0 ? kMinMatch + 1 : 0)
                    : matchLength(cur - distance, cur, 0, limit);
            // Another 3-byte string with the same hash came later: the
            // nearest match is further along the positions with that hash.
            std::uint32_t q = prev.triple;
            for (unsigned depth = kTripleDepth; length <= kMinMatch && depth != 0; --depth) {
                q -= triples_[q & (kChainSize - 1)];
                if (abs - q > farthest) break;
                const unsigned l = matchLength(cur - (abs - q), cur, 0, limit);
                if (l > kMinMatch) {
                    distance = abs - q;
                    length = l;
                }
            }
            if (length > best) {
                best = length;
                found[n++] = Match{length, distance};
            }
        }
        if (upTo3 && n != 0) return n;
        // The walk follows the chain of the 4 bytes at `shift` into the
        // current position: from the start, its first 4 bytes; once a match
        // is known, the 4 bytes ending just past it (see nextByteChain).
        std::uint32_t candidate = prev.chain;
        unsigned shift = 0;
        unsigned depth = kMaxChain;
        if (n != 0 && best >= 4) {
            if (best >= limit || !nextByteChain(cur, abs, best, distance, farthest, &candidate, &shift, &depth))
                return n;
        }
        for (; depth != 0; --depth) {
            distance = abs - candidate;
            if (distance > farthest) break;  // also ends at "no position"
            const unsigned char* old = cur - distance;
            if (old[best] == cur[best]) {
                const unsigned length = matchLength(old, cur, 0, limit);
                if (length > best) {
                    best = length;
                    found[n++] = Match{length, distance};
                    if (best >= limit || !nextByteChain(cur, abs, best, distance, farthest, &candidate, &shift, &depth))
                        break;
                    continue;
                }
            }
            candidate -= chain_[(candidate + shift) & (kChainSize - 1)];
        }
        return n;
    }

    // A match longer than `best` repeats the 4 bytes ending with the byte
    // after the best match so far, so it lies on their chain: points the walk
    // at its first position beyond `distance`, or returns false when that
    // chain has none in reach.
    bool nextByteChain(const unsigned char* cur, std::uint32_t abs, unsigned best, std::uint32_t distance,
                       std::uint32_t farthest, std::uint32_t* candidate, unsigned* shift,
                       unsigned* depth) const {
        const unsigned k = best - 3u;
        const std::uint32_t h4 = (load32(cur + k) * 2246822519u) >> (32u - kHashBits);
        std::uint32_t c = head_[h4] - k;
        while (abs - c <= distance && *depth > 1) {
            c -= chain_[(c + k) & (kChainSize - 1)];
            --*depth;
        }
        if (abs - c > farthest) return false;
        *candidate = c;
        *shift = k;
        return true;
    }

    std::uint32_t distanceCost(unsigned length, std::uint32_t distance) const {
        const unsigned low = length == kMinMatch ? 2u : dictBits_;
        return kDistanceLengths[(distance - 1u) >> low] + low;
    }

    // Parses and emits the window from pos on. Parsed paths end at limit; a
    // match taken whole may end past it (never past the bytes whose hashes are
    // known). Returns where encoding stopped.
    std::size_t encodeRange(std::size_t pos, std::size_t limit) {
        const std::size_t known = eof_ ? end_ : end_ - 2;
        Match found[kMaxChain + 1];
        while (pos < limit) {
            const std::size_t start = pos;
            std::size_t cleared = 0;  // cost_[1 .. cleared] are set
            cost_[0] = 0;
            Match taken{0, 0};
            std::size_t i = start;
            for (; i < limit; ++i) {
                const std::size_t j = i - start;
                const unsigned reach = static_cast<unsigned>(std::min<std::size_t>(kMaxMatch, limit - i));
                const unsigned findReach = static_cast<unsigned>(std::min<std::size_t>(kMaxMatch, known - i));
                // Reaching j + 1 as cheaply as j leaves only matches up to 3
                // worth trying from j (see the top of this file).
                const bool upTo3 = j < cleared && cost_[j + 1] <= cost_[j];
                std::uint32_t len2 = 0;
                const unsigned n = findMatches(i, findReach, found, &len2, upTo3);
                if (n != 0 && found[n - 1].length >= kNiceLength) {
                    taken = found[n - 1];
                    break;
                }
                if (reach < kMinMatch) len2 = 0;
                if (j + kMaxMatch + kShortTop >= cleared) {
                    // Unreached offsets cost "infinity"; set ahead in steps.
                    const std::size_t upto = std::min(cleared + 2 * kMaxMatch, kDpSize - 1);
                    for (std::size_t k = cleared + 1; k <= upto; ++k) cost_[k] = kInfinity;
                    cleared = upto;
                }

                const std::uint32_t here = cost_[j];
                relax(j + 1, here + literalCost_[window_[i]], 1);
                // A missing length-2 match costs "infinity" instead of a branch.
                const std::uint32_t len2Cost =
                    here + kLengthTokens[2].count + kDistanceLengths[((len2 - 1u) >> 2u) & 63u] + 2u;
                relax(j + 2, len2 != 0 ? len2Cost : kInfinity, 2u | (len2 << 10u));
                if (n == 0 || reach <= kMinMatch) continue;
                if (upTo3) {
                    // Only length 3, from the nearest match.
                    const std::uint32_t distance = found[0].distance;
                    relax(j + kMinMatch + 1,
                          here + kLengthTokens[kMinMatch + 1].count + distanceCost(kMinMatch + 1, distance),
                          (kMinMatch + 1) | (distance << 10u));
                    continue;
                }
                if (found[n - 1].length == kMinMatch + 1) {
                    // Nothing longer than 3: one relaxation, without the
                    // eight-wide one below.
                    const std::uint32_t distance = found[0].distance;
                    relax(j + kMinMatch + 1,
                          here + kLengthTokens[kMinMatch + 1].count + distanceCost(kMinMatch + 1, distance),
                          (kMinMatch + 1) | (distance << 10u));
                    continue;
                }
                relaxShort(j, here, found, n, reach);
                if (found[n - 1].length > kShortTop && reach > kShortTop) relaxLong(j, here, found, n, reach);
            }
            emitParsed(start, i - start);
            if (taken.length != 0) {
                emitMatch(taken.length, taken.distance);
                for (std::size_t q = i + 1; q < i + taken.length; ++q) {
                    if (q + 1 < end_) insert(q);
                }
                pos = i + taken.length;
            } else {
                pos = i;
            }
        }
        return pos;
    }

    // Without a branch: whether a cost improves is as good as random.
    inline void relax(std::size_t j, std::uint32_t cost, std::uint32_t token) {
        const std::uint32_t old = cost_[j];
        const std::uint32_t oldToken = link_[j];
        const bool better = cost < old;
        cost_[j] = better ? cost : old;
        link_[j] = better ? token : oldToken;
    }

    // Relaxes lengths 3 to kShortTop (those within reach that the matches
    // offer) from block offset j: all at once where SSE2 is there.
    inline void relaxShort(std::size_t j, std::uint32_t here, const Match* found, unsigned n,
                           unsigned reach) {
#if defined(SSI_IMPLODE_SSE2)
        const __m128i lengthsLow = _mm_setr_epi32(3, 4, 5, 6);
        const __m128i lengthsHigh = _mm_setr_epi32(7, 8, 9, 10);
        __m128i costLow = _mm_set1_epi32(static_cast<int>(kUnreachable)), costHigh = costLow;
        __m128i tokenLow = _mm_setzero_si128(), tokenHigh = tokenLow;
        auto select = [](__m128i mask, __m128i a, __m128i b) {
            return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
        };
        // Farther matches first: each length takes the nearest match reaching it.
        for (unsigned k = n; k-- > 0;) {
            const __m128i last = _mm_set1_epi32(static_cast<int>(std::min(found[k].length, reach)) + 1);
            const __m128i c =
                _mm_set1_epi32(static_cast<int>(distanceCost(found[k].length, found[k].distance)));
            const __m128i d = _mm_set1_epi32(static_cast<int>(found[k].distance << 10u));
            const __m128i inLow = _mm_cmpgt_epi32(last, lengthsLow);
            const __m128i inHigh = _mm_cmpgt_epi32(last, lengthsHigh);
            costLow = select(inLow, c, costLow);
            costHigh = select(inHigh, c, costHigh);
            tokenLow = select(inLow, d, tokenLow);
            tokenHigh = select(inHigh, d, tokenHigh);
        }
        const __m128i h = _mm_set1_epi32(static_cast<int>(here));
        costLow = _mm_add_epi32(_mm_add_epi32(costLow, h),
                                _mm_load_si128(reinterpret_cast<const __m128i*>(&kShortLengthCost.bits[0])));
        costHigh = _mm_add_epi32(_mm_add_epi32(costHigh, h),
                                 _mm_load_si128(reinterpret_cast<const __m128i*>(&kShortLengthCost.bits[4])));
        auto* costs = reinterpret_cast<__m128i*>(cost_ + j + kMinMatch + 1);
        auto* links = reinterpret_cast<__m128i*>(link_ + j + kMinMatch + 1);
        const __m128i oldLow = _mm_loadu_si128(costs), oldHigh = _mm_loadu_si128(costs + 1);
        const __m128i betterLow = _mm_cmpgt_epi32(oldLow, costLow);
        const __m128i betterHigh = _mm_cmpgt_epi32(oldHigh, costHigh);
        _mm_storeu_si128(costs, select(betterLow, costLow, oldLow));
        _mm_storeu_si128(costs + 1, select(betterHigh, costHigh, oldHigh));
        _mm_storeu_si128(links,
                         select(betterLow, _mm_or_si128(tokenLow, lengthsLow), _mm_loadu_si128(links)));
        _mm_storeu_si128(
            links + 1, select(betterHigh, _mm_or_si128(tokenHigh, lengthsHigh), _mm_loadu_si128(links + 1)));
#else
        unsigned length = kMinMatch + 1;
        const unsigned stop = std::min(reach, kShortTop);
        for (unsigned k = 0; k < n && length <= stop; ++k) {
            const std::uint32_t distance = found[k].distance;
            const std::uint32_t withDistance = here + distanceCost(found[k].length, distance);
            const unsigned top = std::min(found[k].length, stop);
            for (; length <= top; ++length) {
                relax(j + length, withDistance + kLengthTokens[length].count, length | (distance << 10u));
            }
        }
#endif
    }

    // Relaxes lengths from kShortTop + 1 up to `reach` that the matches offer
    // from block offset j, each from the nearest match reaching it; four
    // lengths at a time where SSE2 is there.
    inline void relaxLong(std::size_t j, std::uint32_t here, const Match* found, unsigned n, unsigned reach) {
        unsigned length = kShortTop + 1;
        for (unsigned k = 0; k < n; ++k) {
            if (found[k].length < length) continue;
            const std::uint32_t distance = found[k].distance;
            const std::uint32_t withDistance = here + distanceCost(found[k].length, distance);
            const unsigned top = std::min(found[k].length, reach);
#if defined(SSI_IMPLODE_SSE2)
            const __m128i base = _mm_set1_epi32(static_cast<int>(withDistance));
            const __m128i token = _mm_set1_epi32(static_cast<int>(distance << 10u));
            const __m128i end = _mm_set1_epi32(static_cast<int>(top + 1));
            for (; length <= top; length += 4) {
                const __m128i lengths =
                    _mm_add_epi32(_mm_set1_epi32(static_cast<int>(length)), _mm_setr_epi32(0, 1, 2, 3));
                const __m128i cost = _mm_add_epi32(
                    base, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kLengthCosts.bits[length])));
                auto* costs = reinterpret_cast<__m128i*>(cost_ + j + length);
                auto* links = reinterpret_cast<__m128i*>(link_ + j + length);
                const __m128i old = _mm_loadu_si128(costs);
                const __m128i better =
                    _mm_and_si128(_mm_cmpgt_epi32(end, lengths), _mm_cmpgt_epi32(old, cost));
                _mm_storeu_si128(costs,
                                 _mm_or_si128(_mm_and_si128(better, cost), _mm_andnot_si128(better, old)));
                _mm_storeu_si128(links, _mm_or_si128(_mm_and_si128(better, _mm_or_si128(lengths, token)),
                                                     _mm_andnot_si128(better, _mm_loadu_si128(links))));
            }
            length = top + 1;
#else
            for (; length <= top; ++length) {
                relax(j + length, withDistance + kLengthTokens[length].count, length | (distance << 10u));
            }
#endif
        }
    }

    // Emits the cheapest path to block offset `count`, found through link_.
    // cost_ is no longer needed and holds the path's offsets, last first;
    // kFourLiterals marks an offset that ends four literals.
    void emitParsed(std::size_t start, std::size_t count) {
        std::size_t steps = 0;
        std::size_t j = count;
        while (j != 0) {
            // Runs of literals go four at a time, with loads that do not wait
            // on one another.
            if (j >= 4 && (((link_[j] & 1023u) ^ 1u) | ((link_[j - 1] & 1023u) ^ 1u) |
                           ((link_[j - 2] & 1023u) ^ 1u) | ((link_[j - 3] & 1023u) ^ 1u)) == 0) {
                cost_[steps++] = static_cast<std::uint32_t>(j) | kFourLiterals;
                j -= 4;
                continue;
            }
            cost_[steps++] = static_cast<std::uint32_t>(j);
            j -= link_[j] & 1023u;
        }
        // The bit writer's state stays in registers for the whole path.
        BitWriter w{acc_, pending_, outPos_, out_};
        while (steps != 0) {
            j = cost_[--steps];
            if (j & kFourLiterals) {
                // Four literals make one put: their codes do not wait on the
                // writer, and the writer advances once.
                j &= ~std::size_t{kFourLiterals};
                const unsigned char* bytes = window_ + start + j - 4;
                const unsigned c0 = literalCost_[bytes[0]], c1 = literalCost_[bytes[1]];
                const unsigned c2 = literalCost_[bytes[2]], c3 = literalCost_[bytes[3]];
                const std::uint64_t four = std::uint64_t{literalBits_[bytes[0]]} |
                                           (std::uint64_t{literalBits_[bytes[1]]} << c0) |
                                           (std::uint64_t{literalBits_[bytes[2]]} << (c0 + c1)) |
                                           (std::uint64_t{literalBits_[bytes[3]]} << (c0 + c1 + c2));
                put(w, four, c0 + c1 + c2 + c3);
                continue;
            }
            const std::uint32_t token = link_[j];
            const unsigned length = token & 1023u;
            // Literal or match without a branch: which one comes next is
            // as good as random. A match is one put of both its codes.
            const bool literal = length == 1;
            const unsigned byte = window_[start + j - 1];
            const unsigned low = length == kMinMatch ? 2u : dictBits_;
            const std::uint32_t d = (token >> 10u) - 1u;
            const Code c = kDistanceCodes[(d >> low) & 63u];
            const LengthToken& lt = kLengthTokens[length];
            const std::uint32_t match =
                lt.bits | ((c.bits | ((d & ((1u << low) - 1u)) << c.length)) << lt.count);
            put(w, literal ? literalBits_[byte] : match,
                literal ? literalCost_[byte] : lt.count + c.length + low);
        }
        acc_ = w.acc;
        pending_ = w.pending;
        outPos_ = w.pos;
    }

    void emitMatch(unsigned length, std::uint32_t distance) {
        const unsigned low = length == kMinMatch ? 2u : dictBits_;
        const std::uint32_t d = distance - 1u;
        const Code c = kDistanceCodes[d >> low];
        const LengthToken& lt = kLengthTokens[length];
        put(lt.bits | ((c.bits | ((d & ((1u << low) - 1u)) << c.length)) << lt.count),
            lt.count + c.length + low);
    }

    struct BitWriter {
        std::uint64_t acc;
        unsigned pending;
        std::size_t pos;
        unsigned char* out;
    };

    // Appends `count` (at most 56) bits. Whole bytes go out at once; the
    // 8-byte store may reach past them, which the next one overwrites.
    void put(BitWriter& w, std::uint64_t bits, unsigned count) {
        w.acc |= bits << w.pending;
        w.pending += count;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        std::memcpy(w.out + w.pos, &w.acc, 8);
#else
        for (int k = 0; k < 8; ++k) w.out[w.pos + k] = static_cast<unsigned char>(w.acc >> (8 * k));
#endif
        w.pos += w.pending >> 3u;
        w.acc >>= w.pending & ~7u;
        w.pending &= 7u;
        if (w.pos >= kOutFlush) {
            outPos_ = w.pos;
            flushOut();
            w.pos = 0;
        }
    }

    void put(std::uint32_t bits, unsigned count) {
        BitWriter w{acc_, pending_, outPos_, out_};
        put(w, bits, count);
        acc_ = w.acc;
        pending_ = w.pending;
        outPos_ = w.pos;
    }

    void flushOut() {
        unsigned int size = static_cast<unsigned int>(outPos_);
        if (size != 0) write_(reinterpret_cast<char*>(out_), &size, param_);
        outPos_ = 0;
    }

    ReadFn read_;
    WriteFn write_;
    void* param_;
    std::uint32_t* pair_;
    std::uint32_t* triple_;
    std::uint32_t* head_;
    std::uint16_t* chain_;
    std::uint16_t* triples_;
    std::uint32_t* cost_;
    std::uint32_t* link_;
    unsigned char* window_;
    unsigned char* out_;
    unsigned mode_;
    unsigned dictBits_;
    std::uint32_t dictSize_;
    std::uint32_t rebaseAt_;  // base_ from which absolute positions are brought down
    std::uint8_t literalCost_[256];   // bits of the literal token with its flag bit
    std::uint16_t literalBits_[256];  // literal token with its flag bit
    std::size_t end_ = 0;
    std::uint32_t base_ = 0;
    // Absolute position of the first byte of the input: no match reaches
    // before it, whatever the history part of the window still holds.
    std::uint32_t first_ = kPosStart;
    bool eof_ = false;
    bool misbehaved_ = false;
    std::uint64_t acc_ = 0;
    unsigned pending_ = 0;
    std::size_t outPos_ = 0;
};

}  // namespace

unsigned int detail::implodeRebasingAt(std::uint32_t rebaseAt, ReadFn read, WriteFn write, char* work,
                                       void* param, unsigned int* type, unsigned int* dsize) {
    if (read == nullptr || write == nullptr || work == nullptr || type == nullptr || dsize == nullptr) {
        return kAbort;
    }
    unsigned dictBits;
    switch (*dsize) {
        case kDict1K:
            dictBits = 4;
            break;
        case kDict2K:
            dictBits = 5;
            break;
        case kDict4K:
            dictBits = 6;
            break;
        default:
            return kInvalidDictSize;
    }
    if (*type != kBinary && *type != kAscii) return kInvalidMode;
    const auto address = reinterpret_cast<std::uintptr_t>(work);
    auto* area = reinterpret_cast<unsigned char*>(work) + ((8u - (address & 7u)) & 7u);
    Encoder encoder(read, write, param, area, *type, dictBits, std::max(rebaseAt, kMinRebaseAt));
    return encoder.run();
}

unsigned int implode(ReadFn read, WriteFn write, char* work, void* param, unsigned int* type,
                     unsigned int* dsize) {
    return detail::implodeRebasingAt(kRebaseAt, read, write, work, param, type, dsize);
}

}  // namespace ssi::codec
