// The implode codec on its own: decoding of crafted streams, every error
// path, round trips over the corpus, streaming granularity, work areas, CRC.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>

#include "codec/implode.h"
#include "tests/codec/codec_test_support.h"

#if __has_include(<zlib.h>)
#include <zlib.h>
#define SSI_HAVE_ZLIB 1
#endif

namespace ssi::codec {
namespace {

using test::Bytes;
using test::ChunkedIo;
using test::StreamBuilder;

Bytes ascii(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

struct Exploded {
    int code;
    Bytes out;
};
Exploded explodeBytes(const Bytes& stream) {
    Exploded e;
    e.code = explodeBuffer(stream.data(), stream.size(), e.out);
    return e;
}

// --- decoding ----------------------------------------------------------------

TEST(Explode, KnownVectorGivesAIAIA) {
    const Exploded e = explodeBytes({0x00, 0x04, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F});
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.out, ascii("AIAIAIAIAIAIA"));
}

TEST(Explode, CraftedTokensDecodeInBothModes) {
    for (unsigned mode : {kBinary, kAscii}) {
        SCOPED_TRACE(mode);
        Bytes expected;
        StreamBuilder b(mode, 6);
        for (int c = 0; c < 256; ++c) {  // every literal code
            b.literal(static_cast<std::uint8_t>(c));
            expected.push_back(static_cast<std::uint8_t>(c));
        }
        b.match(2, 256).match(3, 4096).match(518, 1);  // extremes of length and distance
        expected.push_back(expected[expected.size() - 256]);
        expected.push_back(expected[expected.size() - 256]);
        for (int k = 0; k < 3; ++k) expected.push_back(0);  // 4096 back is before the start
        expected.insert(expected.end(), 518, expected.back());
        const Exploded e = explodeBytes(b.end().bytes());
        EXPECT_EQ(e.code, 0);
        EXPECT_EQ(e.out, expected);
    }
}

TEST(Explode, OverlappingCopiesRepeatTheSource) {
    const Exploded e = explodeBytes(StreamBuilder(kBinary, 4)
                                        .literal('a')
                                        .literal('b')
                                        .match(7, 2)
                                        .literal('c')
                                        .match(10, 3)
                                        .literal('x')
                                        .match(300, 1)
                                        .end()
                                        .bytes());
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.out, ascii("ababababac"
                           "bacbacbacb"
                           "x" +
                           std::string(300, 'x')));
}

TEST(Explode, DistancesBeforeTheStartReadZerosEvenWithADirtyWorkArea) {
    const Bytes stream = StreamBuilder(kBinary, 6).literal('X').match(5, 3).match(3, 4096).end().bytes();
    const Bytes expected = {'X', 0, 0, 'X', 0, 0, 0, 0, 0};

    // A work area full of garbage and of history from an earlier, longer stream.
    auto work = std::make_unique<char[]>(kExplodeWorkSize);
    std::memset(work.get(), 0xAA, kExplodeWorkSize);
    const Bytes earlier = implodeBuffer(Bytes(9000, 'Z').data(), 9000, kBinary, 4096);
    ChunkedIo first(earlier);
    ASSERT_EQ(explode(ChunkedIo::read, ChunkedIo::write, work.get(), &first), kOk);

    ChunkedIo io(stream);
    EXPECT_EQ(explode(ChunkedIo::read, ChunkedIo::write, work.get(), &io), kOk);
    EXPECT_EQ(io.out, expected);
}

TEST(Explode, FlushesEveryByteOfLongOutputsAcrossWindowSlides) {
    // Output lengths around the window's flush points, built from long copies.
    for (unsigned total : {4095u, 4096u, 4097u, 8191u, 8192u, 8193u, 8709u, 20000u}) {
        StreamBuilder b(kBinary, 6);
        Bytes expected;
        for (unsigned i = 0; i < 7 && expected.size() < total; ++i) {
            b.literal(static_cast<std::uint8_t>('0' + i));
            expected.push_back(static_cast<std::uint8_t>('0' + i));
        }
        while (expected.size() < total) {
            const unsigned length = std::min<unsigned>(518, static_cast<unsigned>(total - expected.size()));
            if (length < 2) {
                b.literal(expected[expected.size() - 7]);
                expected.push_back(expected[expected.size() - 7]);
                continue;
            }
            b.match(length, 7);
            for (unsigned k = 0; k < length; ++k) expected.push_back(expected[expected.size() - 7]);
        }
        const Exploded e = explodeBytes(b.end().bytes());
        EXPECT_EQ(e.code, 0) << total;
        EXPECT_EQ(e.out, expected) << total;
    }
}

// --- errors --------------------------------------------------------------------

TEST(ExplodeErrors, HeaderBytesAreChecked) {
    struct Case {
        Bytes stream;
        int code;
    };
    const Case cases[] = {
        {{}, kBadData},      // nothing at all
        {{0x00}, kBadData},  // half a header
        {{0x02, 0x04, 0xFF, 0xFF}, kInvalidMode},
        {{0xFF, 0x06, 0xFF, 0xFF}, kInvalidMode},
        {{0x02, 0x09, 0xFF, 0xFF}, kInvalidMode},  // the mode is checked first
        {{0x00, 0x03, 0xFF, 0xFF}, kInvalidDictSize},
        {{0x01, 0x07, 0xFF, 0xFF}, kInvalidDictSize},
        {{0x00, 0x00, 0xFF, 0xFF}, kInvalidDictSize},
        {{0x00, 0x04}, kBadData},  // header only, no end code
    };
    for (const Case& c : cases) {
        const Exploded e = explodeBytes(c.stream);
        EXPECT_EQ(e.code, c.code) << ::testing::PrintToString(c.stream);
        EXPECT_TRUE(e.out.empty());
    }
}

TEST(ExplodeErrors, TruncatedStreamsReturnBadDataAfterWritingTheDecodedPrefix) {
    for (unsigned mode : {kBinary, kAscii}) {
        const Bytes& text = test::corpusFile("text");
        const Bytes original(text.begin(), text.begin() + 3000);
        const Bytes stream = implodeBuffer(original.data(), original.size(), mode, 1024);
        std::size_t previous = 0;
        for (std::size_t cut = 2; cut < stream.size(); ++cut) {
            const Exploded e = explodeBytes(Bytes(stream.begin(), stream.begin() + cut));
            ASSERT_EQ(e.code, kBadData) << "cut " << cut;
            ASSERT_LE(e.out.size(), original.size());
            ASSERT_TRUE(std::equal(e.out.begin(), e.out.end(), original.begin())) << "cut " << cut;
            ASSERT_GE(e.out.size(), previous);
            previous = e.out.size();
        }
        // Only the end code was missing: everything was decoded and written.
        EXPECT_GE(previous, original.size() - 518);
    }
}

TEST(ExplodeErrors, MissingEndCodeIsBadDataWithEveryTokenWritten) {
    // The zero bits padding the last byte cannot complete another token.
    const Bytes stream = StreamBuilder(kBinary, 4).literal('h').literal('i').match(6, 1).bytes();
    const Exploded e = explodeBytes(stream);
    EXPECT_EQ(e.code, kBadData);
    EXPECT_EQ(e.out, ascii("hiiiiiii"));
}

unsigned int overreportingRead(char*, unsigned int* size, void*) {
    return *size + 1;
}
void discardWrite(char*, unsigned int*, void*) {}

TEST(CodecErrors, ArgumentsAndMisbehavingCallbacks) {
    auto work = std::make_unique<char[]>(kImplodeWorkSize);
    const Bytes nothing;
    ChunkedIo io(nothing);
    unsigned type = kBinary, dsize = 2048;
    for (unsigned bad : {0u, 512u, 1000u, 3072u, 8192u}) {
        unsigned d = bad;
        EXPECT_EQ(implode(ChunkedIo::read, ChunkedIo::write, work.get(), &io, &type, &d), kInvalidDictSize)
            << bad;
    }
    unsigned badType = 2, badDict = 0;
    EXPECT_EQ(implode(ChunkedIo::read, ChunkedIo::write, work.get(), &io, &badType, &dsize), kInvalidMode);
    EXPECT_EQ(implode(ChunkedIo::read, ChunkedIo::write, work.get(), &io, &badType, &badDict),
              kInvalidDictSize);
    EXPECT_EQ(implode(ChunkedIo::read, ChunkedIo::write, nullptr, &io, &type, &dsize), kAbort);
    EXPECT_EQ(implode(nullptr, ChunkedIo::write, work.get(), &io, &type, &dsize), kAbort);
    EXPECT_EQ(explode(ChunkedIo::read, nullptr, work.get(), &io), kAbort);
    EXPECT_EQ(explode(ChunkedIo::read, ChunkedIo::write, nullptr, &io), kAbort);
    EXPECT_TRUE(io.out.empty());

    // A reader claiming more than it was asked for is never trusted.
    EXPECT_EQ(implode(overreportingRead, discardWrite, work.get(), nullptr, &type, &dsize), kAbort);
    EXPECT_EQ(explode(overreportingRead, discardWrite, work.get(), nullptr), kAbort);
}

// --- round trips -------------------------------------------------------------

using RoundTripParam = std::tuple<unsigned, unsigned, std::string>;
class RoundTrip : public ::testing::TestWithParam<RoundTripParam> {};

TEST_P(RoundTrip, ExplodeRestoresTheInput) {
    const auto& [mode, dsize, name] = GetParam();
    const Bytes& data = test::corpusFile(name);
    const Bytes packed = implodeBuffer(data.data(), data.size(), mode, dsize);
    ASSERT_GE(packed.size(), 4u);
    EXPECT_EQ(packed[0], mode);
    EXPECT_EQ(packed[1], dsize == 1024 ? 4 : dsize == 2048 ? 5 : 6);
    const Exploded e = explodeBytes(packed);
    EXPECT_EQ(e.code, 0);
    EXPECT_TRUE(e.out == data) << "decoded " << e.out.size() << " of " << data.size() << " bytes";
}

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip,
                         ::testing::Combine(::testing::Values(kBinary, kAscii),
                                            ::testing::Values(1024u, 2048u, 4096u),
                                            ::testing::ValuesIn(test::corpusNames())),
                         test::CorpusCaseName());

TEST(RoundTrips, RedundantDataShrinksToAFewBytesPerLongMatch) {
    const Bytes& zeros = test::corpusFile("zeros-1.5M");
    const Bytes packed = implodeBuffer(zeros.data(), zeros.size(), kBinary, 4096);
    // Each 518-byte match costs 16 length bits + 8 distance bits.
    EXPECT_LE(packed.size(), zeros.size() / 518 * 3 + 16);
}

// --- streaming granularity and work areas ---------------------------------------

TEST(Streaming, ByteAtATimeReadsGiveIdenticalResults) {
    const Bytes& mixed = test::corpusFile("mixed");
    const Bytes input(mixed.begin(), mixed.begin() + 40000);  // spans two encoder blocks
    for (unsigned mode : {kBinary, kAscii}) {
        const Bytes whole = implodeBuffer(input.data(), input.size(), mode, 2048);
        for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{4097}}) {
            SCOPED_TRACE(chunk);
            auto work = std::make_unique<char[]>(kImplodeWorkSize);
            unsigned type = mode, dsize = 2048;
            ChunkedIo packer(input, chunk);
            ASSERT_EQ(implode(ChunkedIo::read, ChunkedIo::write, work.get(), &packer, &type, &dsize), kOk);
            EXPECT_EQ(packer.out, whole);

            auto small = std::make_unique<char[]>(kExplodeWorkSize);
            ChunkedIo unpacker(whole, chunk);
            ASSERT_EQ(explode(ChunkedIo::read, ChunkedIo::write, small.get(), &unpacker), kOk);
            EXPECT_EQ(unpacker.out, input);
        }
    }
}

TEST(Streaming, ImplodeDependsOnNothingLeftInTheWorkAreaAndNotOnItsAlignment) {
    const Bytes& text = test::corpusFile("text");
    const Bytes& random = test::corpusFile("random-1.1M");
    const Bytes expected = implodeBuffer(text.data(), text.size(), kAscii, 4096);

    // One extra byte so the area can start at an odd address.
    auto raw = std::make_unique<char[]>(kImplodeWorkSize + 1);
    char* work = raw.get() + 1;
    unsigned type = kBinary, dsize = 1024;
    const Bytes slice(random.begin(), random.begin() + 100000);
    ChunkedIo other(slice);
    ASSERT_EQ(implode(ChunkedIo::read, ChunkedIo::write, work, &other, &type, &dsize), kOk);

    type = kAscii;
    dsize = 4096;
    ChunkedIo io(text);
    ASSERT_EQ(implode(ChunkedIo::read, ChunkedIo::write, work, &io, &type, &dsize), kOk);
    EXPECT_EQ(io.out, expected);
}

TEST(Streaming, ExplodeStaysInsideItsWorkArea) {
    // Guard bytes around an exactly sized area (the sanitizers watch the heap
    // copies in explodeBuffer; this also catches writes within one block).
    const Bytes& mixed = test::corpusFile("mixed");
    const Bytes packed = implodeBuffer(mixed.data(), mixed.size(), kAscii, 4096);
    Bytes area(kExplodeWorkSize + 128, 0xC3);
    ChunkedIo io(packed);
    ASSERT_EQ(explode(ChunkedIo::read, ChunkedIo::write, reinterpret_cast<char*>(area.data() + 64), &io),
              kOk);
    EXPECT_EQ(io.out, mixed);
    for (std::size_t i = 0; i < 64; ++i) {
        ASSERT_EQ(area[i], 0xC3) << i;
        ASSERT_EQ(area[64 + kExplodeWorkSize + i], 0xC3) << i;
    }
}

// --- CRC-32 ----------------------------------------------------------------------

unsigned long crcOf(const Bytes& data, unsigned long seed) {
    unsigned int size = static_cast<unsigned int>(data.size());
    return crc32(reinterpret_cast<char*>(const_cast<std::uint8_t*>(data.data())), &size, &seed);
}

TEST(Crc32, IsTheReflectedCrcWithoutInversion) {
    // The standard check value needs the caller's seed and final inversion.
    EXPECT_EQ(~crcOf(ascii("123456789"), 0xFFFFFFFFul) & 0xFFFFFFFFul, 0xCBF43926ul);
    EXPECT_EQ(crcOf(ascii("123456789"), 0), 0x2DFD2D88ul);
    EXPECT_EQ(crcOf({}, 0x12345678ul), 0x12345678ul);

    // Chaining over pieces equals one pass.
    const Bytes& text = test::corpusFile("text");
    unsigned long crc = 0xFFFFFFFFul;
    for (std::size_t at = 0; at < text.size(); at += 777) {
        crc = crcOf(Bytes(text.begin() + at, text.begin() + std::min(text.size(), at + 777)), crc);
    }
    EXPECT_EQ(crc, crcOf(text, 0xFFFFFFFFul));
}

#ifdef SSI_HAVE_ZLIB
TEST(Crc32, AgreesWithZlibOnTheCorpus) {
    for (const std::string& name : test::corpusNames()) {
        const Bytes& data = test::corpusFile(name);
        const uLong expected = ::crc32(::crc32(0L, Z_NULL, 0), data.data(), static_cast<uInt>(data.size()));
        EXPECT_EQ(~crcOf(data, 0xFFFFFFFFul) & 0xFFFFFFFFul, expected) << name;
    }
}
#endif

}  // namespace
}  // namespace ssi::codec
