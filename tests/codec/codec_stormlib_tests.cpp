// Cross-checks against StormLib, whose encoder writes the same bytes as the
// classic library: each side must expand the other's streams, in both literal
// modes and all dictionary sizes, and our streams must not be larger.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>

#include "codec/implode.h"
#include "tests/codec/codec_test_support.h"
#include "tests/codec/stormlib_peer.h"

namespace ssi::codec {
namespace {

using test::Bytes;

using CrossParam = std::tuple<unsigned, unsigned, std::string>;
class StormLibCrossCheck : public ::testing::TestWithParam<CrossParam> {};

TEST_P(StormLibCrossCheck, EachSideExpandsTheOthersStreams) {
    const auto& [mode, dsize, name] = GetParam();
    const Bytes& data = test::corpusFile(name);

    const Bytes theirs = peer::stormImplode(data.data(), data.size(), mode, dsize);
    ASSERT_FALSE(theirs.empty());
    Bytes out;
    EXPECT_EQ(explodeBuffer(theirs.data(), theirs.size(), out), 0);
    EXPECT_TRUE(out == data) << "ours decoded " << out.size() << " of " << data.size() << " bytes";

    const Bytes ours = implodeBuffer(data.data(), data.size(), mode, dsize);
    if (data.empty()) {
        // Header and end code only: both encoders write the same 4 bytes, which
        // StormLib's explode refuses (it wants more than 4 bytes of input)
        // while ours expands them to nothing.
        EXPECT_EQ(ours, theirs);
        EXPECT_EQ(peer::stormExplode(ours.data(), ours.size(), out), 3u);
        return;
    }
    EXPECT_EQ(peer::stormExplode(ours.data(), ours.size(), out), 0u);
    EXPECT_TRUE(out == data) << "StormLib decoded " << out.size() << " of " << data.size() << " bytes";

    // Optimal parsing, lengths to 518 and distance 1 never cost more bits.
    EXPECT_LE(ours.size(), theirs.size());
}

INSTANTIATE_TEST_SUITE_P(Corpus, StormLibCrossCheck,
                         ::testing::Combine(::testing::Values(kBinary, kAscii),
                                            ::testing::Values(1024u, 2048u, 4096u),
                                            ::testing::ValuesIn(test::corpusNames())),
                         test::CorpusCaseName());

TEST(StormLibCrossCheck, BothDecodersAgreeOnCraftedExtremes) {
    // Tokens the classic encoder never writes: length 518, distance 1, the
    // longest length-2 and longest distances, in both literal modes.
    for (unsigned mode : {kBinary, kAscii}) {
        for (unsigned dictBits : {4u, 5u, 6u}) {
            test::StreamBuilder b(mode, dictBits);
            for (int c = 0; c < 256; ++c) b.literal(static_cast<std::uint8_t>(c));
            b.match(518, 1).match(2, 256);
            for (int k = 0; k < 8; ++k) b.match(518, 256);  // more than 4 KiB of output first
            b.match(3, 64u << dictBits).match(517, 255).match(2, 1);
            const Bytes stream = b.end().bytes();
            Bytes ours, theirs;
            EXPECT_EQ(explodeBuffer(stream.data(), stream.size(), ours), 0);
            EXPECT_EQ(peer::stormExplode(stream.data(), stream.size(), theirs), 0u);
            EXPECT_EQ(ours, theirs) << "mode " << mode << " dict bits " << dictBits;
        }
    }
}

}  // namespace
}  // namespace ssi::codec
