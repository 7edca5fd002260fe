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

TEST(Explode, MatchesAtTheEdgesOfTheFormat) {
    // Each row is one match after the literal 'A', followed by a literal with
    // one of the longest codes, in both literal modes and every dictionary
    // size; distance 0 stands for the dictionary size. Bytes before the start
    // of the output read as zeros. Expected output from a byte-by-byte copy.
    struct Row {
        unsigned length;
        unsigned distance;
    };
    const Row rows[] = {
        {2, 1}, {2, 256}, {3, 1}, {3, 0},  {518, 1}, {518, 0}, {517, 2},
        {7, 7}, {8, 8},   {9, 8}, {16, 9}, {23, 3},  {264, 5}, {518, 256},
    };
    for (unsigned mode : {kBinary, kAscii}) {
        for (unsigned dictBits : {4u, 5u, 6u}) {
            for (const Row& row : rows) {
                const unsigned distance = row.distance != 0 ? row.distance : 64u << dictBits;
                SCOPED_TRACE(::testing::Message() << "mode " << mode << ", dictionary bits " << dictBits
                                                  << ", length " << row.length << ", distance " << distance);
                Bytes expected = {'A'};
                for (unsigned k = 0; k < row.length; ++k) {
                    const std::size_t at = expected.size();
                    expected.push_back(at >= distance ? expected[at - distance] : 0);
                }
                expected.push_back(0xFF);
                const Bytes stream = StreamBuilder(mode, dictBits)
                                         .literal('A')
                                         .match(row.length, distance)
                                         .literal(0xFF)
                                         .end()
                                         .bytes();
                const Exploded whole = explodeBytes(stream);
                EXPECT_EQ(whole.code, 0);
                EXPECT_EQ(whole.out, expected);
                // Without its last byte the end code is incomplete: everything
                // before it is still written.
                const Exploded cut = explodeBytes(Bytes(stream.begin(), stream.end() - 1));
                EXPECT_EQ(cut.code, kBadData);
                EXPECT_EQ(cut.out, expected);
            }
        }
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

TEST(ExplodeErrors, OutcomeDoesNotDependOnHowTheInputArrives) {
    // The decoder takes 8 input bytes at a time while a read has left that
    // many, and byte by byte near the end of what it returned. Streams that
    // end, or are cut, around those points and around the 2,048-byte reads,
    // read in pieces of every size near them into a work area full of stale
    // bytes, decode as when read whole into a clean one.
    const Bytes& text = test::corpusFile("text");
    const Bytes& jpeg = test::corpusFile("jpeg");
    std::vector<Bytes> streams;
    for (const auto& [data, mode] :
         {std::pair{&text, kBinary}, std::pair{&text, kAscii}, std::pair{&jpeg, kAscii}}) {
        const Bytes whole = implodeBuffer(data->data(), 6000, mode, 1024);
        ASSERT_GT(whole.size(), 2100u);
        const std::size_t n = whole.size();
        for (std::size_t cut = 0; cut < 24; ++cut) streams.emplace_back(whole.begin(), whole.end() - cut);
        for (std::size_t size : {n - 2049, n - 2048, n - 2047})
            streams.emplace_back(whole.begin(), whole.begin() + size);
    }
    // The longest tokens: 13-bit literals, and a length and distance of most bits.
    streams.push_back(StreamBuilder(kAscii, 6).literal(0xFF).literal(0x80).match(518, 4096).end().bytes());
    for (const Bytes& stream : streams) {
        const Exploded whole = explodeBytes(stream);
        for (std::size_t chunk : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 13u, 2047u, 2049u}) {
            SCOPED_TRACE(::testing::Message()
                         << stream.size() << "-byte stream read " << chunk << " at a time");
            std::vector<char> work(kExplodeWorkSize, static_cast<char>(0xA5));
            ChunkedIo io(stream, chunk);
            EXPECT_EQ(static_cast<int>(explode(ChunkedIo::read, ChunkedIo::write, work.data(), &io)),
                      whole.code);
            EXPECT_EQ(io.out, whole.out);
        }
    }
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

    // Every corpus file has a recorded size, and the encoder never does worse.
    const std::size_t recorded = test::recordedPackedSize(mode, dsize, name);
    ASSERT_NE(recorded, 0u);
    EXPECT_LE(packed.size(), recorded);
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

// Adds a literal token for every byte of s.
void put(StreamBuilder& b, const char* s) {
    for (; *s != 0; ++s) b.literal(static_cast<std::uint8_t>(*s));
}

TEST(RoundTrips, ShortRepeatsTakeTheCheapestTokens) {
    // Inputs small enough that their cheapest token sequence is plain: the
    // stream must be exactly that sequence, in each mode and dictionary size.
    // They cover a repeat of exactly 3 bytes as the only match from a
    // position, two 3-byte repeats of which the nearer is taken, and a nearer
    // 3-byte repeat beside a farther longer one that covers more for fewer bits.
    struct Case {
        const char* input;
        void (*tokens)(StreamBuilder&);
    };
    const Case cases[] = {
        {"abcXabc",
         [](StreamBuilder& b) {
             put(b, "abcX");
             b.match(3, 4);
         }},
        {"abcdQabcRabc",
         [](StreamBuilder& b) {
             put(b, "abcdQ");
             b.match(3, 5);
             put(b, "R");
             b.match(3, 4);
         }},
        {"abcdeXabcYabcde",
         [](StreamBuilder& b) {
             put(b, "abcdeX");
             b.match(3, 6);
             put(b, "Y");
             b.match(5, 10);
         }},
    };
    for (const Case& c : cases) {
        const Bytes input = ascii(c.input);
        for (unsigned mode : {kBinary, kAscii}) {
            for (unsigned dictBits : {4u, 5u, 6u}) {
                StreamBuilder expected(mode, dictBits);
                c.tokens(expected);
                const Bytes packed = implodeBuffer(input.data(), input.size(), mode, 64u << dictBits);
                EXPECT_EQ(packed, expected.end().bytes())
                    << c.input << ", mode " << mode << ", dictionary " << (64u << dictBits);
            }
        }
    }
}

TEST(RoundTrips, MatchesRunningToTheEndOfTheInput) {
    // The parser weighs lengths 3 to 10 together; at the end of the input only
    // those that fit may be taken.
    const Bytes& text = test::corpusFile("text");
    for (std::size_t tail = 0; tail <= 12; ++tail) {
        Bytes input(text.begin(), text.begin() + 300);
        input.insert(input.end(), text.begin() + 150, text.begin() + 150 + static_cast<std::ptrdiff_t>(tail));
        for (unsigned mode : {kBinary, kAscii}) {
            const Bytes packed = implodeBuffer(input.data(), input.size(), mode, 1024);
            const Exploded e = explodeBytes(packed);
            EXPECT_EQ(e.code, 0) << tail;
            EXPECT_EQ(e.out, input) << tail;
        }
    }
}

TEST(RoundTrips, InputsEndingAroundTheParsersBlockBoundaries) {
    // The encoder parses 16 KiB blocks behind 4 KiB of history and stops one
    // longest match short of the data it has read; inputs ending just before,
    // at and just after those points restore, with each dictionary size.
    const Bytes& mixed = test::corpusFile("mixed");
    for (std::size_t size :
         {16383u, 16384u, 16385u, 20480u - 521, 20480u - 520, 20479u, 20480u, 20481u, 36867u}) {
        const Bytes input(mixed.begin(), mixed.begin() + static_cast<std::ptrdiff_t>(size));
        for (unsigned mode : {kBinary, kAscii}) {
            for (unsigned dsize : {1024u, 2048u, 4096u}) {
                const Exploded e = explodeBytes(implodeBuffer(input.data(), input.size(), mode, dsize));
                EXPECT_EQ(e.code, 0) << size << " bytes, mode " << mode << ", dictionary " << dsize;
                EXPECT_TRUE(e.out == input) << size << " bytes, mode " << mode << ", dictionary " << dsize;
            }
        }
    }
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

// Callers may hand implode a work area they used before (the library's API
// does not ask them to clear it): the stream must not depend on what it held.
TEST(RoundTrips, ImplodeGivesTheSameBytesWhateverTheWorkAreaHeld) {
    const Bytes text = [] {
        Bytes t;
        const std::string line = "the screen saver draws stars over a night sky, line ";
        for (int i = 0; t.size() < 20000; ++i) {
            const std::string s = line + std::to_string(i * 7919 % 1000) + "\n";
            t.insert(t.end(), s.begin(), s.end());
        }
        return t;
    }();
    const Bytes noise = test::randomBytes(12000, 7);
    Bytes mixed = text;
    mixed.insert(mixed.end(), noise.begin(), noise.begin() + 3000);
    mixed.insert(mixed.end(), text.begin(), text.begin() + 5000);
    const Bytes* inputs[] = {&text, &noise, &mixed};

    auto work = std::make_unique<char[]>(kImplodeWorkSize);
    for (unsigned mode : {kBinary, kAscii})
        for (unsigned dsize : {1024u, 2048u, 4096u})
            for (const Bytes* before : inputs)
                for (const Bytes* input : inputs) {
                    const Bytes fresh = implodeBuffer(input->data(), input->size(), mode, dsize);
                    std::memset(work.get(), 0xA5, kImplodeWorkSize);
                    ChunkedIo first(*before);
                    unsigned t = mode, d = dsize;
                    ASSERT_EQ(implode(ChunkedIo::read, ChunkedIo::write, work.get(), &first, &t, &d), 0u);
                    ChunkedIo second(*input);
                    t = mode;
                    d = dsize;
                    ASSERT_EQ(implode(ChunkedIo::read, ChunkedIo::write, work.get(), &second, &t, &d), 0u);
                    EXPECT_EQ(second.out, fresh) << "mode " << mode << " dictionary " << dsize;
                    Bytes back;
                    EXPECT_EQ(explodeBuffer(second.out.data(), second.out.size(), back), 0);
                    EXPECT_EQ(back, *input);
                }
}

// Inputs whose later bytes repeat bytes from the very start, so that a match
// search could follow them back past the first byte, into whatever the work
// area held: whatever it held, the output is the same and decodes back.
TEST(RoundTrips, ImplodeNeverReachesBeforeTheFirstByte) {
    const std::string inputs[] = {
        "BCDEABCDxABCDEFGHIJ",
        "CDEFGHABCDEFxABCDEFGHIJKLMNOP",
        "BCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijkABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijk",
        "EFGH" + std::string(3, 'D') + "ABCDEFGHIJK" + "ABCDEFGHIJKLMN",
    };
    auto work = std::make_unique<char[]>(kImplodeWorkSize);
    for (const std::string& s : inputs) {
        const Bytes input(s.begin(), s.end());
        for (unsigned mode : {kBinary, kAscii}) {
            const Bytes fresh = implodeBuffer(input.data(), input.size(), mode, 1024);
            for (int fill = 0; fill < 256; ++fill) {
                std::memset(work.get(), fill, kImplodeWorkSize);
                ChunkedIo io(input);
                unsigned t = mode, d = 1024;
                ASSERT_EQ(implode(ChunkedIo::read, ChunkedIo::write, work.get(), &io, &t, &d), 0u);
                ASSERT_EQ(io.out, fresh) << s << ", work area filled with " << fill;
            }
        }
    }
}

// Absolute positions are brought down once they pass 2^31; the same step,
// taken every 64 KiB here, gives exactly the stream that no step gives.
TEST(RoundTrips, RebasingPositionsLeavesTheStreamAsItIs) {
    Bytes input;
    while (input.size() < 400000)
        for (const char* name : {"text", "mixed", "executable"}) {
            const Bytes& file = test::corpusFile(name);
            input.insert(input.end(), file.begin(), file.end());
        }
    auto work = std::make_unique<char[]>(kImplodeWorkSize);
    for (unsigned mode : {kBinary, kAscii})
        for (unsigned dsize : {1024u, 2048u, 4096u}) {
            ChunkedIo io(input, 5000);
            unsigned t = mode, d = dsize;
            ASSERT_EQ(detail::implodeRebasingAt(0x10000, ChunkedIo::read, ChunkedIo::write, work.get(), &io, &t, &d),
                      0u);
            EXPECT_TRUE(io.out == implodeBuffer(input.data(), input.size(), mode, dsize))
                << "mode " << mode << " dictionary " << dsize;
        }
}

// A repeat exactly one dictionary back is used; one byte further it is out of
// reach and must not be (the stream would not decode).
TEST(RoundTrips, RepeatsReachExactlyTheDictionary) {
    for (unsigned dsize : {1024u, 2048u, 4096u})
        for (std::size_t gap : {std::size_t{dsize}, std::size_t{dsize} + 1})
            for (unsigned mode : {kBinary, kAscii}) {
                const Bytes block = test::randomBytes(gap, 11);
                Bytes input = block;
                input.insert(input.end(), block.begin(), block.begin() + 600);
                const std::size_t alone = implodeBuffer(block.data(), block.size(), mode, dsize).size();
                const Bytes packed = implodeBuffer(input.data(), input.size(), mode, dsize);
                Bytes back;
                SCOPED_TRACE(testing::Message() << "dictionary " << dsize << ", gap " << gap << ", mode " << mode);
                EXPECT_EQ(explodeBuffer(packed.data(), packed.size(), back), 0);
                EXPECT_TRUE(back == input);
                if (gap == dsize) {
                    EXPECT_LT(packed.size(), alone + 20);
                } else {
                    EXPECT_GT(packed.size(), alone + 500);
                }
            }
}

}  // namespace
}  // namespace ssi::codec
