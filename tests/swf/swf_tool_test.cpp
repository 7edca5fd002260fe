// saverpack swf info: the header fields, whether the body inflates, and the
// installer's verdict as the exit code.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/saverpack/swf_command.h"

namespace fs = std::filesystem;

namespace {

struct SwfTool : ::testing::Test {
    fs::path dir;
    std::string out, err;
    SwfTool() {
        std::string tmpl = (fs::temp_directory_path() / "swftool.XXXXXX").string();
        dir = mkdtemp(&tmpl[0]);
    }
    ~SwfTool() override { fs::remove_all(dir); }

    [[nodiscard]] int info(const std::string& content) {
        std::ofstream(dir / "m.swf", std::ios::binary) << content;
        std::ostringstream o, e;
        int rc = ssi::tool::runSwf({"swf", "info", (dir / "m.swf").string()}, o, e);
        out = o.str();
        err = e.str();
        return rc;
    }
};

std::string movie(const char* sig, uint8_t version, const std::string& body, bool compressed) {
    const uint32_t length = uint32_t(8 + body.size());
    std::string head = std::string(sig) + char(version) +
                       std::string{char(length), char(length >> 8), char(length >> 16), char(length >> 24)};
    if (!compressed) return head + body;
    uLongf size = compressBound(uLong(body.size()));
    std::string z(size, '\0');
    compress(reinterpret_cast<Bytef*>(&z[0]), &size, reinterpret_cast<const Bytef*>(body.data()),
             uLong(body.size()));
    z.resize(size);
    return head + z;
}

TEST_F(SwfTool, ReportsFieldsAndTheVerdict) {
    const std::string body(10000, 'b');
    EXPECT_EQ(info(movie("CWS", 7, body, true)), 0) << err;
    EXPECT_EQ(out,
              "signature: CWS (compressed)\nversion: 7\nFileLength: 10008\n"
              "inflates: yes, 10008 bytes uncompressed\nverdict: accepted\n");

    EXPECT_EQ(info(movie("FWS", 3, body, false)), 0);
    EXPECT_NE(out.find("signature: FWS (uncompressed)"), std::string::npos) << out;

    EXPECT_EQ(info(movie("CWS", 9, body, true)), 1);
    EXPECT_NE(out.find("verdict: refused: a movie of an SWF version above 8 (-405)"), std::string::npos) << out;
    EXPECT_EQ(info(movie("FWS", 2, body, false)), 1);
    EXPECT_NE(out.find("-406"), std::string::npos) << out;
    EXPECT_EQ(info(movie("fws", 6, body, false)), 1);
    EXPECT_NE(out.find("-404"), std::string::npos) << out;

    const std::string whole = movie("CWS", 6, body, true);
    EXPECT_EQ(info(whole.substr(0, whole.size() - 3)), 1);
    EXPECT_NE(out.find("inflates: no\n"), std::string::npos) << out;
    EXPECT_NE(out.find("-408"), std::string::npos) << out;
    EXPECT_EQ(info("CWS\x06"), 1);
    EXPECT_NE(out.find("-407"), std::string::npos) << out;

    std::ostringstream o, e;
    EXPECT_EQ(ssi::tool::runSwf({"swf", "info", (dir / "absent.swf").string()}, o, e), 2);
    EXPECT_EQ(ssi::tool::runSwf({"swf"}, o, e), 2);
}

}  // namespace
