// saverpack ssd: building from a folder tree or a manifest, listing, and
// extracting, checked against the installer's own reader.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "package/data_file.h"
#include "platform/fake/fake_os.h"
#include "tests/support/codec_library.h"
#include "tests/ssd/ssd_test_util.h"
#include "tools/saverpack/ssd_command.h"

namespace fs = std::filesystem;
using namespace ssi;
using namespace ssi::test;

namespace {

struct SsdTool : ::testing::Test {
    fs::path dir;
    std::string out, err;

    SsdTool() {
        std::string tmpl = (fs::temp_directory_path() / "ssdtool.XXXXXX").string();
        dir = mkdtemp(&tmpl[0]);
    }
    ~SsdTool() override { fs::remove_all(dir); }

    void write(const fs::path& p, const std::string& content) {
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
    }
    std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    [[nodiscard]] int run(std::vector<std::string> args) {
        args.insert(args.begin(), "ssd");
        std::ostringstream o, e;
        int rc = tool::runSsd(args, o, e);
        out = o.str();
        err = e.str();
        return rc;
    }
    std::string record() {
        const std::string r = recordBytes(patternRecord(777, 3));
        write(dir / "saver.rec", r);
        return (dir / "saver.rec").string();
    }
};

std::string binary(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1664525u + 1013904223u;
        c = char(seed >> 24);
    }
    return s;
}

TEST_F(SsdTool, FolderTreeRoundTripsByteForByte) {
    const std::map<std::string, std::string> files = {
        {"intro.swf", binary(30000, 1)},
        {"media/loop.swf", std::string(50000, 'a') + binary(100, 2)},
        {"media/deep/er/notes.txt", "line\r\nline\r\n"},
        {"z.bin", std::string(1, '\0')}};
    for (const auto& [name, content] : files) write(dir / "src" / name, content);
    const std::string ssd = (dir / "out.ssd").string();
    ASSERT_EQ(run({"build", (dir / "src").string(), "--record", record(), ssd}), 0) << err;

    // The record is the user's, with only the item count replaced.
    SaverRecord expected = patternRecord(777, 3);
    expected.setItemCount(4);
    EXPECT_EQ(read(ssd).substr(0, 1240), recordBytes(expected));

    ASSERT_EQ(run({"list", ssd}), 0) << err;
    EXPECT_NE(out.find("4 items, presentation mode 3"), std::string::npos) << out;
    EXPECT_NE(out.find("yes         media\\loop.swf"), std::string::npos) << out;
    EXPECT_NE(out.find("      30000       30000  no          intro.swf"), std::string::npos)
        << "an incompressible item is stored\n"
        << out;
    EXPECT_NE(
        out.find("    2     0         32340          12          12  no          media\\deep\\er\\notes.txt"),
        std::string::npos)
        << "items in name order, chunks packed after the table\n"
        << out;

    ASSERT_EQ(run({"extract", ssd, (dir / "dst").string()}), 0) << err;
    for (const auto& [name, content] : files) EXPECT_EQ(read(dir / "dst" / name), content) << name;

    // The installer's reader takes the same file.
    FakeOs os;
    test::registerCodec(os);
    SaverRecord loaded{};
    SaverDataFile data(os, loaded, "C:\\TEMP\\QDX1\\");
    os.writeFile("C:\\TEMP\\QDX1\\impborl.dll", "library");
    os.writeFile("C:\\TEMP\\QDX1\\saver.ssd", read(ssd));
    bool wasRead = false;
    ASSERT_EQ(data.openDataFile("C:\\TEMP\\QDX1\\saver.ssd", false, wasRead), 0);
    for (int32_t i = 1; i <= data.itemCount(); ++i) {
        uint8_t cls = 0;
        ASSERT_EQ(data.extractDataItem("C:\\out\\", i, false, cls), 0) << i;
    }
    EXPECT_EQ(os.readFile("C:\\out\\media\\loop.swf"), files.at("media/loop.swf"));
    EXPECT_EQ(os.readFile("C:\\out\\intro.swf"), files.at("intro.swf"));

    // --store keeps every item as it is; --first puts the movie first.
    ASSERT_EQ(run({"build", (dir / "src").string(), "--record", record(), "--store", "--first",
                   "media\\loop.swf", ssd}),
              0)
        << err;
    ASSERT_EQ(run({"list", ssd}), 0);
    EXPECT_EQ(out.find("yes"), std::string::npos) << out;
    EXPECT_NE(out.find("    1     0          2296       50100       50100  no          media\\loop.swf"),
              std::string::npos)
        << out;
}

TEST_F(SsdTool, ManifestGivesKindsClassesAndCompression) {
    write(dir / "m/files/movie.swf", "FWS movie");
    write(dir / "m/files/readme.txt", std::string(4000, 'r'));
    write(
        dir / "m/saver.toml",
        "[[item]]\nname = \"movie.swf\"\nfile = \"files/movie.swf\"\nkind2 = 2\nclass = 7\ncompress = true\n"
        "[[item]]\nname = \"copy.swf\"\nkind = 3\n"
        "[[item]]\nname = \"docs\\\\readme.txt\"\nfile = \"files/readme.txt\"\ncompress = false\n");
    const std::string ssd = (dir / "m.ssd").string();
    ASSERT_EQ(run({"build", (dir / "m/saver.toml").string(), "--record", record(), ssd}), 0) << err;
    ASSERT_EQ(run({"list", ssd}), 0) << err;
    EXPECT_NE(out.find("    1     0"), std::string::npos);
    EXPECT_NE(out.find("yes         movie.swf"), std::string::npos) << out;
    EXPECT_NE(out.find("    2     3"), std::string::npos) << out;
    EXPECT_NE(out.find("           0           0  no          copy.swf"), std::string::npos) << out;
    EXPECT_NE(out.find("        4000        4000  no          docs\\readme.txt"), std::string::npos) << out;

    const std::string bytes = read(ssd);
    DataItem item{};
    uint8_t ib[sizeof(DataItem)];
    std::copy(bytes.begin() + 1240, bytes.begin() + 1240 + 264, ib);
    decodeDataItem(ib, item);
    EXPECT_EQ(item.kind2, 2);
    DataChunk chunk{};
    uint8_t cb[sizeof(DataChunk)];
    std::copy(bytes.begin() + item.chunkOffset, bytes.begin() + item.chunkOffset + 44, cb);
    decodeDataChunk(cb, chunk);
    EXPECT_EQ(std::string(chunk.tag, 4), "CHUN");
    EXPECT_EQ(chunk.itemClass, 7);
    EXPECT_EQ(chunk.compressed, 1) << "compress = true even when it does not pay";
}

TEST_F(SsdTool, BuildRefusesWhatTheInstallerWouldNot) {
    write(dir / "f.txt", "x");
    const std::string ssd = (dir / "bad.ssd").string();
    auto manifest = [&](const std::string& text) {
        write(dir / "bad.toml", text);
        return run({"build", (dir / "bad.toml").string(), "--record", record(), ssd});
    };
    EXPECT_EQ(manifest("[[item]]\nname = \"..\\\\up.txt\"\nfile = \"f.txt\"\n"), 1);
    EXPECT_NE(err.find("not a plain relative path"), std::string::npos) << err;
    EXPECT_EQ(manifest("[[item]]\nname = \"C:\\\\f.txt\"\nfile = \"f.txt\"\n"), 1);
    EXPECT_EQ(
        manifest(
            "[[item]]\nname = \"a.txt\"\nfile = \"f.txt\"\n[[item]]\nname = \"A.TXT\"\nfile = \"f.txt\"\n"),
        1);
    EXPECT_NE(err.find("appears twice"), std::string::npos) << err;
    EXPECT_EQ(manifest("[[item]]\nname = \"a.txt\"\n"), 1) << "only kind 3 may lack a file";
    EXPECT_EQ(manifest("[[item]]\nname = \"a.txt\"\nfile = \"missing.txt\"\n"), 1);
    EXPECT_EQ(manifest("[[item]]\nname = \"a.txt\"\nfile = \"f.txt\"\nkind = 300\n"), 1);
    EXPECT_EQ(manifest("[[item]]\nname = \"a.txt\"\nfile = \"f.txt\"\ncolour = 1\n"), 1);
    EXPECT_EQ(manifest("[[item]\n"), 1);
    EXPECT_FALSE(fs::exists(ssd));

    write(dir / "short.rec", std::string(1239, 'r'));
    EXPECT_EQ(run({"build", (dir / "f.txt").string(), "--record", (dir / "short.rec").string(), ssd}), 1);
    EXPECT_NE(err.find("exactly 1240 bytes"), std::string::npos) << err;
    EXPECT_EQ(run({"build", (dir / "src").string(), ssd}), 2) << "--record is required";
    EXPECT_EQ(run({"frobnicate"}), 2);
}

TEST_F(SsdTool, ExtractRefusesHostileItemsButWritesTheRest) {
    write(dir / "evil.ssd", makeDataFile({{"..\\escaped.txt", "x"},
                                          {"/tmp/abs.txt", "x"},
                                          {"good\\file.txt", "good"},
                                          TestItem("cut.txt", "0123456789").expanded(1 << 30),
                                          {"link\\through.txt", "x"},
                                          {"", "nameless"}}));
    fs::create_directories(dir / "dst");
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "dst" / "link");
    EXPECT_EQ(run({"extract", (dir / "evil.ssd").string(), (dir / "dst").string()}), 1);
    EXPECT_EQ(read(dir / "dst/good/file.txt"), "good");
    EXPECT_FALSE(fs::exists(dir / "escaped.txt"));
    EXPECT_FALSE(fs::exists(dir / "dst/cut.txt"));
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
    EXPECT_NE(err.find("item 1: refused name"), std::string::npos) << err;
    EXPECT_NE(err.find("item 4: cut.txt: item bytes past the end"), std::string::npos) << err;
    EXPECT_NE(err.find("symbolic link"), std::string::npos) << err;

    EXPECT_EQ(run({"list", (dir / "evil.ssd").string()}), 1);
    EXPECT_NE(err.find("the installer refuses the name '..\\escaped.txt'"), std::string::npos) << err;

    write(dir / "count.ssd", makeDataFile({{"a", "b"}}, 8, 5000));
    EXPECT_EQ(run({"list", (dir / "count.ssd").string()}), 1);
    EXPECT_NE(err.find("item count 5000 is outside 0..1010"), std::string::npos) << err;

    // A compressed item that expands to the wrong size leaves no file.
    write(dir / "size.ssd", makeDataFile({TestItem("big.txt", std::string(9000, 'b'), true).expanded(8999)}));
    EXPECT_EQ(run({"extract", (dir / "size.ssd").string(), (dir / "dst").string()}), 1);
    EXPECT_FALSE(fs::exists(dir / "dst/big.txt"));
}

// The tool and the installer read through the same checks: for each damaged
// container, the tool's list and extract fail exactly when the installer's
// open or extraction does, and the tool names the fault.
TEST_F(SsdTool, ToolAndInstallerRefuseTheSameContainers) {
    const std::string hello = "hello, hello, hello world";
    const std::string packed = imploded(hello);
    const struct {
        const char* what;
        std::string file;
        bool refused;
        const char* text;  // what the tool names
    } cases[] = {
        {"sound", makeDataFile({{"a.txt", "alpha"}, {"b\\c.txt", "gamma"}}), false, ""},
        {"shorter than a record", std::string(100, 'r'), true, "shorter than a settings record"},
        {"count beyond the table's room", makeDataFile({{"a", "b"}}, 8, 5000), true, "item count 5000"},
        {"table past the end", makeDataFile({{"a", "b"}}, 8, 40), true, "the item table is cut short"},
        {"chunk outside the file", makeDataFile({TestItem("a.txt", "x").at(1 << 30)}), true,
         "chunk offset outside the file"},
        {"bytes past the end", makeDataFile({TestItem("a.txt", "0123").expanded(1 << 30)}), true,
         "item bytes past the end"},
        {"negative expanded size", makeDataFile({TestItem("a.txt", "0123").expanded(-5)}), true,
         "negative expanded size"},
        // The codec calls the stream damaged, but every byte came out: the size decides.
        {"compressed item without its end code",
         makeDataFile({TestItem("a.txt", hello, true).bytes(packed.substr(0, packed.size() - 1))}), false,
         ""},
        {"compressed item cut short",
         makeDataFile({TestItem("a.txt", hello, true).bytes(packed.substr(0, 9))}), true,
         "compressed data is damaged"},
    };
    for (const auto& c : cases) {
        write(dir / "case.ssd", c.file);
        fs::remove_all(dir / "dst");
        const bool toolRefuses = run({"list", (dir / "case.ssd").string()}) != 0 ||
                                 run({"extract", (dir / "case.ssd").string(), (dir / "dst").string()}) != 0;
        EXPECT_NE(err.find(c.text), std::string::npos) << c.what << ": " << err;

        FakeOs os(FakeStorage::Memory);
        test::registerCodec(os);
        SaverRecord loaded{};
        SaverDataFile data(os, loaded, "C:\\TEMP\\QDX1\\");
        os.writeFile("C:\\TEMP\\QDX1\\impborl.dll", "library");
        os.writeFile("C:\\TEMP\\QDX1\\saver.ssd", c.file);
        bool wasRead = false;
        bool installerRefuses = data.openDataFile("C:\\TEMP\\QDX1\\saver.ssd", false, wasRead) != 0;
        for (int32_t i = 1; !installerRefuses && i <= data.itemCount(); ++i) {
            uint8_t cls = 0;
            installerRefuses = data.extractDataItem("C:\\out\\", i, false, cls) != 0;
        }
        EXPECT_EQ(toolRefuses, c.refused) << c.what;
        EXPECT_EQ(installerRefuses, c.refused) << c.what;
    }
}

// Each fault has the installer's code and the tool's words, from one list.
TEST(DataFileFaults, CodesAndWordsComeFromOneList) {
    const struct {
        DataFileFault fault;
        Result code;
        const char* text;
    } cases[] = {
        {DataFileFault::None, rc::kOk, ""},
        {DataFileFault::ShortRecord, rc::kShortRead, "shorter than a settings record"},
        {DataFileFault::ItemCountOutOfRange, rc::kCorruptDataFile, "item count 7 is outside 0..1010"},
        {DataFileFault::TableCutShort, rc::kShortRead, "the item table is cut short"},
        {DataFileFault::ChunkOutsideFile, rc::kShortRead, "chunk offset outside the file"},
        {DataFileFault::NegativeExpandedSize, rc::kCorruptDataFile, "negative expanded size"},
        {DataFileFault::NegativeStoredSize, rc::kShortRead, "negative stored size"},
        {DataFileFault::BytesPastEnd, rc::kShortRead, "item bytes past the end"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dataFileFaultCode(c.fault), c.code) << c.text;
        EXPECT_EQ(dataFileFaultText(c.fault, 7), c.text);
    }
}

}  // namespace
