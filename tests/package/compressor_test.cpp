// The decompression library binding over the test double, whose
// "impborl.dll" carries the codec's entry points.
#include <gtest/gtest.h>

#include "codec/implode.h"
#include "package/codec_library.h"
#include "platform/fake/fake_os.h"
#include "tests/support/codec_library.h"

using namespace ssi;

namespace {

struct Compressor : ::testing::Test {
    FakeOs os;
    const std::string dir = "C:\\TEMP\\QDX1\\";
    std::string plain =
        std::string(5000, 'a') + "and some text that is not repeated" + std::string(3000, 'b');
    std::vector<uint8_t> packed = codec::implodeBuffer(reinterpret_cast<const uint8_t*>(plain.data()),
                                                       plain.size(), codec::kBinary, 4096);
    void SetUp() override {
        os.writeFile(dir + "impborl.dll", "library");
        test::registerCodec(os);
    }
};

TEST_F(Compressor, LoadsFromTheFolderOrTheSystemSearchAndNeedsAllThreeEntries) {
    {
        TCompressor c(os, dir);
        EXPECT_TRUE(c.loaded);
        EXPECT_EQ(os.libraryPaths.back(), dir + "impborl.dll");
    }
    {
        // A folder without the library: nothing is even tried.
        TCompressor c(os, "C:\\TEMP\\");
        EXPECT_FALSE(c.loaded);
        EXPECT_EQ(os.libraryPaths.size(), 1u);
    }
    {
        TCompressor c(os, "");
        EXPECT_EQ(os.libraryPaths.back(), "impborl.dll");
        EXPECT_FALSE(c.loaded);  // not in the system directory
    }
    os.writeFile("C:\\WINDOWS\\SYSTEM\\impborl.dll", "library");
    EXPECT_TRUE(TCompressor(os, "").loaded);

    os.libraryExports["impborl.dll"].erase("_crc32");
    TCompressor c(os, dir);
    EXPECT_FALSE(c.loaded);
    EXPECT_EQ(c.ExpandToFile(dir + "out", packed.data(), int32_t(packed.size())), rc::kLibraryNotLoaded);
}

TEST_F(Compressor, ExpandsIntoANewOrReplacedFileAndCapsTheOutput) {
    os.writeFile(dir + "out.bin", std::string(20000, 'x'));
    TCompressor c(os, dir);
    ASSERT_TRUE(c.loaded);
    EXPECT_EQ(c.ExpandToFile(dir + "out.bin", packed.data(), int32_t(packed.size())), 0);
    EXPECT_EQ(os.readFile(dir + "out.bin"), plain);

    EXPECT_EQ(c.ExpandToFile(dir + "capped.bin", packed.data(), int32_t(packed.size()), 101), 0);
    EXPECT_EQ(os.readFile(dir + "capped.bin"), plain.substr(0, 101));

    // A damaged stream still returns 0: the caller's size check decides.
    EXPECT_EQ(c.ExpandToFile(dir + "short.bin", packed.data(), int32_t(packed.size() / 2)), 0);
    EXPECT_LT(os.readFile(dir + "short.bin").size(), plain.size());
    EXPECT_TRUE(os.boxes.empty());

    // An output file that cannot be created: the Zip Error box and the OS code.
    os.inject = [](Op op, const std::string&) -> Result { return op == Op::OpenFile ? 5 : 0; };
    EXPECT_EQ(c.ExpandToFile(dir + "denied.bin", packed.data(), int32_t(packed.size())), 5);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, "Zip Error: Problem expanding data in memory. \r\n\r\nSystem error 5.");
    EXPECT_EQ(os.boxes[0].buttons, BoxButtons::Abort);
}

}  // namespace
