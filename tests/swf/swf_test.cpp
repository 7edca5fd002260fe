// SWF inspection and inflation over the test double: signatures, the version
// range, the inflated copy of a compressed movie, and damaged movies.
#include <gtest/gtest.h>
#include <zlib.h>

#include "flash/swf_movie.h"
#include "platform/fake/fake_os.h"
#include "tests/support/swf_movies.h"

using namespace ssi;
using namespace ssi::movies;

namespace {

const std::string kMovie = "C:\\TEMP\\QDX1\\installer.swf";
const std::string kFolder = "C:\\TEMP\\FlashPanel1\\";

struct SwfTest : ::testing::Test {
    FakeOs os;
    SwfInspector swf{os};
    SwfTest() { swf.swfFilename = kMovie; }
    bool exists(const std::string& p) { return os.exists(p); }
};

TEST_F(SwfTest, FormatTypeAcceptsOnlyTheTwoSignatures) {
    os.inject = [](Op op, const std::string&) -> Result {
        return op == Op::OpenFile ? oserr::kAccessDenied : 0;
    };
    EXPECT_EQ(swf.readSWFFileFormatType(), 0) << "a missing movie is not opened";
    EXPECT_EQ(swf.signature, "");
    os.inject = nullptr;

    const std::pair<std::string, Result> cases[] = {{fws(6, "body"), 0},
                                                    {cws(6, "body"), 0},
                                                    {"fws\x06", rc::kSwfBadSignature},
                                                    {"cWS\x06", rc::kSwfBadSignature},
                                                    {"GIF89a", rc::kSwfBadSignature},
                                                    {"FW", rc::kSwfTruncated},
                                                    {"", rc::kSwfTruncated},
                                                    {"FWS", 0}};
    for (const auto& [content, expected] : cases) {
        os.writeFile(kMovie, content);
        EXPECT_EQ(swf.readSWFFileFormatType(), expected) << content;
    }
    os.writeFile(kMovie, cws(7, "x"));
    EXPECT_EQ(swf.readSWFFileFormatType(), 0);
    EXPECT_EQ(swf.signature, "CWS");
}

TEST_F(SwfTest, VersionsThreeToEightPass) {
    const std::pair<uint8_t, Result> cases[] = {{3, 0},
                                                {8, 0},
                                                {6, 0},
                                                {2, rc::kSwfTooOld},
                                                {0, rc::kSwfTooOld},
                                                {9, rc::kSwfTooNew},
                                                {255, rc::kSwfTooNew}};
    for (const auto& [version, expected] : cases) {
        os.writeFile(kMovie, fws(version, "body"));
        EXPECT_EQ(swf.readSWFFile_FWS_Format(kMovie), expected) << int(version);
        EXPECT_EQ(swf.swfVersion, version);
    }
    os.writeFile(kMovie, cws(6, "body"));
    EXPECT_EQ(swf.readSWFFile_FWS_Format(kMovie), rc::kSwfBadSignature);
    EXPECT_EQ(swf.swfVersion, 0) << "nothing is recorded past a wrong signature";

    EXPECT_EQ(swf.readSWFFile_FWS_Format("C:\\TEMP\\absent.swf"), 0);
    EXPECT_EQ(swf.swfVersion, 0);

    for (const std::string& cut : {std::string("FWS"), std::string("FWS\x06\x10\x00", 6), std::string("F")}) {
        os.writeFile(kMovie, cut);
        EXPECT_EQ(swf.readSWFFile_FWS_Format(kMovie), rc::kSwfTruncated) << cut.size();
    }
}

TEST_F(SwfTest, CompressedMovieInflatesToTheUncompressedOne) {
    const std::string body = sampleBody(20000);
    os.writeFile(kMovie, cws(7, body));
    ASSERT_EQ(swf.inflateSWFFileToTempFile(), 0);
    EXPECT_EQ(swf.tempFolder, kFolder);
    EXPECT_EQ(os.readFile(kFolder + "compressedSWFSegment.swf"), deflated(body));
    EXPECT_EQ(os.readFile(kFolder + "unCompressedSWF.swf"), fws(7, body));
    EXPECT_EQ(swf.inflatedBodySize, body.size());
    EXPECT_EQ(swf.declaredFileLength, 8 + body.size());

    // Inspected like the same movie stored uncompressed.
    ASSERT_EQ(swf.inspectMovie(), 0);
    EXPECT_EQ(swf.signature, "CWS");
    EXPECT_EQ(swf.swfVersion, 7);
    os.writeFile(kMovie, fws(7, body));
    ASSERT_EQ(swf.inspectMovie(), 0);
    EXPECT_EQ(swf.signature, "FWS");
    EXPECT_EQ(swf.swfVersion, 7);

    os.writeFile(kMovie, cws(9, body));
    EXPECT_EQ(swf.inspectMovie(), rc::kSwfTooNew);
    os.writeFile(kMovie, cws(2, ""));
    EXPECT_EQ(swf.inspectMovie(), rc::kSwfTooOld);
}

TEST_F(SwfTest, LaterMoviesReuseTheFolderAndReplaceItsFiles) {
    os.makeDirs("C:\\TEMP\\FlashPanel1");  // taken by someone else
    os.writeFile(kMovie, cws(8, sampleBody(9000)));
    ASSERT_EQ(swf.inflateSWFFileToTempFile(), 0);
    EXPECT_EQ(swf.tempFolder, "C:\\TEMP\\FlashPanel2\\");

    const std::string second = "a much shorter second movie";
    os.writeFile(kMovie, cws(5, second));
    ASSERT_EQ(swf.inflateSWFFileToTempFile(), 0);
    EXPECT_EQ(swf.tempFolder, "C:\\TEMP\\FlashPanel2\\");
    EXPECT_FALSE(exists("C:\\TEMP\\FlashPanel3"));
    EXPECT_EQ(os.readFile(swf.segmentPath()), deflated(second));
    EXPECT_EQ(os.readFile(swf.inflatedPath()), fws(5, second));
}

TEST_F(SwfTest, MissingMovieAndFolderFailures) {
    EXPECT_EQ(swf.inflateSWFFileToTempFile(), 0);
    EXPECT_EQ(swf.tempFolder, kFolder) << "the folder comes first";
    EXPECT_FALSE(exists(kFolder + "compressedSWFSegment.swf"));

    SwfInspector other(os);
    other.swfFilename = kMovie;
    os.writeFile(kMovie, cws(6, "x"));
    os.inject = [](Op op, const std::string&) -> Result {
        return op == Op::CreateDirectory ? oserr::kAccessDenied : 0;
    };
    EXPECT_EQ(other.inflateSWFFileToTempFile(), oserr::kAccessDenied);
    EXPECT_EQ(other.tempFolder, "");
}

TEST_F(SwfTest, DamagedStreamsNeverInspectAsAMovie) {
    const std::string body = sampleBody(30000);
    const std::string whole = cws(6, body);
    os.writeFile(kMovie, whole);
    ASSERT_EQ(swf.inspectMovie(), 0);

    // Cut short: the stream ends before its end marker.
    for (size_t keep : {whole.size() - 1, whole.size() / 2, size_t(10), size_t(8)}) {
        os.writeFile(kMovie, whole.substr(0, keep));
        EXPECT_EQ(swf.inflateSWFFileToTempFile(), rc::kSwfInflateFailed) << keep;
        EXPECT_EQ(swf.readSWFFile_FWS_Format(swf.inflatedPath()), rc::kSwfTruncated)
            << "the earlier good copy must not pass for this movie";
        EXPECT_NE(swf.inspectMovie(), 0);
    }
    // Corrupt: damaged bytes in the middle, a wrong checksum, no zlib at all.
    std::string damaged = whole;
    for (size_t i = 200; i < 260; ++i) damaged[i] = char(~damaged[i]);
    std::string badSum = whole;
    badSum.back() = char(badSum.back() ^ 0x55);
    for (const std::string& bad : {damaged, badSum, fws(6, body)}) {
        os.writeFile(kMovie, bad);
        EXPECT_EQ(swf.inflateSWFFileToTempFile(), rc::kSwfInflateFailed);
    }
    // Shorter than the header.
    os.writeFile(kMovie, "CWS\x06\x01");
    EXPECT_EQ(swf.inflateSWFFileToTempFile(), rc::kSwfTruncated);
    EXPECT_EQ(swf.inspectMovie(), rc::kSwfTruncated);
}

TEST_F(SwfTest, TemporaryFileFailuresHaveTheirOwnCode) {
    os.writeFile(kMovie, cws(6, sampleBody(5000)));
    ASSERT_EQ(swf.inflateSWFFileToTempFile(), 0);

    os.inject = [](Op op, const std::string& path) -> Result {
        return op == Op::Write && path.find("compressedSWFSegment") != std::string::npos ? oserr::kDiskFull : 0;
    };
    EXPECT_EQ(swf.inflateSWFFileToTempFile(), rc::kSwfTempFileFailed);
    EXPECT_EQ(os.readFile(swf.inflatedPath()), "");

    os.inject = [](Op op, const std::string& path) -> Result {
        return op == Op::Read && path.find("compressedSWFSegment") != std::string::npos ? oserr::kAccessDenied
                                                                                      : 0;
    };
    EXPECT_EQ(swf.inflateSWFFileToTempFile(), rc::kSwfTempFileFailed);

    os.inject = nullptr;
    os.lock(swf.inflatedPath());
    EXPECT_EQ(swf.inflateSWFFileToTempFile(), rc::kSwfTempFileFailed);
    os.unlock(swf.inflatedPath());

    os.inject = [](Op op, const std::string& path) -> Result {
        return op == Op::Read && path == kMovie ? oserr::kAccessDenied : 0;
    };
    EXPECT_EQ(swf.inflateSWFFileToTempFile(), oserr::kAccessDenied);
    os.inject = nullptr;
    EXPECT_EQ(swf.inflateSWFFileToTempFile(), 0);
}

// A compressed movie whose body is `size` zero bytes, deflated as a stream
// (never held whole), with the FileLength field it claims.
std::string zeroBomb(uint8_t version, uint64_t size, uint32_t fileLength) {
    z_stream z{};
    deflateInit(&z, Z_BEST_COMPRESSION);
    const std::string zeros(1 << 20, '\0');
    std::string out;
    char buffer[1 << 16];
    for (uint64_t left = size;;) {
        const uint64_t chunk = left < zeros.size() ? left : zeros.size();
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
        z.avail_in = uInt(chunk);
        left -= chunk;
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        int status = Z_OK;
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof(buffer);
            status = deflate(&z, flush);
            out.append(buffer, sizeof(buffer) - z.avail_out);
        } while (z.avail_out == 0);
        if (status == Z_STREAM_END) break;
    }
    deflateEnd(&z);
    return "CWS" + std::string(1, char(version)) + le32(fileLength) + out;
}

// A small movie that inflates to far more than the inspection needs: the
// copy holds what FileLength announces and never more than the cap; the
// movie is still judged by its header.
TEST_F(SwfTest, ABombInflatesNoFurtherThanItsBound) {
    const uint64_t big = 100ull << 20;
    struct Case {
        const char* what;
        uint8_t version;
        uint64_t body;
        uint32_t fileLength;
        uint64_t copiedBody;
        Result verdict;
    } cases[] = {
        {"honest FileLength beyond the cap", 7, big, uint32_t(8 + big), kSwfInflatedCap, 0},
        {"FileLength far below the stream", 6, big, 1000, 992, 0},
        {"FileLength under the header", 8, big, 3, 0, 0},
        {"FileLength at its largest, a small body", 5, 5000, 0xFFFFFFFFu, 5000, 0},
        {"a bomb of a version too new", 9, big, 500, 492, rc::kSwfTooNew},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string movie = zeroBomb(c.version, c.body, c.fileLength);
        ASSERT_LT(movie.size(), 200000u) << "a bomb, not a big movie";
        os.writeFile(kMovie, movie);
        ASSERT_EQ(swf.inflateSWFFileToTempFile(), 0);
        const std::string copy = os.readFile(swf.inflatedPath());
        EXPECT_EQ(copy.size(), kSwfHeaderSize + c.copiedBody);
        EXPECT_EQ(copy.substr(0, 8), "FWS" + movie.substr(3, 5));
        EXPECT_EQ(copy.find_first_not_of('\0', 8), std::string::npos);
        EXPECT_LE(swf.inflatedBodySize, c.body);
        EXPECT_EQ(swf.declaredFileLength, c.fileLength);
        EXPECT_EQ(swf.inspectMovie(), c.verdict);
    }
}

}  // namespace
