// The package tool, run in-process on files in a temporary folder: build from
// a manifest, verify, extract, and the faults and refusals it names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/version.h"
#include "package/package_format.h"
#include "package/package_layout.h"
#include "tests/package/package_fixture.h"
#include "tests/package/sample_files.h"
#include "tools/saverpack/commands.h"

using namespace ssi;

namespace {

struct Saverpack : ::testing::Test {
    std::string dir;
    std::string out, err;

    void SetUp() override {
        char tmpl[] = "/tmp/ssi-saverpack-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        write("stub.exe", test::programImage(70000));
        write("impborl.dll", test::pattern("library", 12288));
        for (const char* f : {"player.exe", "saver.scr", "setwnd.scf", "data.ssd", "e1.dll", "e2.dll"})
            write(std::string("files/") + f, test::pattern(f, 30000));
        write("files/preview.jpg", test::jpegPicture());
        write("m.toml", R"(# a demo package
[settings]
saver_name = "Night Sky"
mode = 8
flash_installer = true
display_panel = true

[slots.2]
file = "files/player.exe"
name = "flashax7.exe"
[slots.3]
file = "files/preview.jpg"
name = "installer.jpg"
[slots.6]
file = "files/saver.scr"
name = "Night Sky.scr"
compress = true
[slots.7]
file = "files/setwnd.scf"
[slots.8]
file = "files/data.ssd"
name = "Night Sky.ssd"
[slots.9]
file = "files/e1.dll"
name = "saver1.dll"
compress = true
literals = "ascii"
dictionary = 1024
[slots.10]
file = "files/e2.dll"
name = "saver2.dll"
compress = true
)");
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string path(const std::string& name) const { return dir + "/" + name; }
    void write(const std::string& name, const std::string& data) {
        std::system(("mkdir -p \"$(dirname '" + path(name) + "')\"").c_str());
        std::ofstream(path(name), std::ios::binary) << data;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    [[nodiscard]] int run(std::vector<std::string> args) {
        args.insert(args.begin(), "saverpack");
        std::ostringstream o, e;
        int rc = tool::runSaverpack(args, o, e);
        out = o.str();
        err = e.str();
        return rc;
    }
    [[nodiscard]] int build() { return run({"build", path("stub.exe"), path("m.toml"), path("out.exe")}); }
    // Rewrites bytes of the built installer.
    void poke(size_t offset, const std::string& bytes) {
        std::string image = read("out.exe");
        image.replace(offset, bytes.size(), bytes);
        write("out.exe", image);
    }
    PackageHeader header() {
        std::string image = read("out.exe");
        return test::headerOf(std::vector<uint8_t>(image.begin(), image.end()));
    }
};

TEST_F(Saverpack, BuildVerifyListAndExtractRoundTrip) {
    ASSERT_EQ(build(), 0) << err;
    ASSERT_EQ(run({"verify", path("out.exe")}), 0) << out << err;
    const std::string image = read("out.exe");
    EXPECT_EQ(image.substr(0, 70000), read("stub.exe"));
    EXPECT_EQ(image.substr(70000, size_t(kPackageOffset) - 70000),
              std::string(size_t(kPackageOffset) - 70000, '\0'));

    ASSERT_EQ(run({"list", path("out.exe")}), 0);
    EXPECT_NE(out.find("saverName              \"Night Sky\""), std::string::npos);
    EXPECT_NE(
        out.find("\"impborl.dat\"         678480     690767     4           0           0         12288"),
        std::string::npos)
        << out;

    ASSERT_EQ(run({"extract", path("out.exe"), path("x")}), 0) << err;
    EXPECT_EQ(read("x/impborl.dat"), read("impborl.dll"));
    EXPECT_EQ(read("x/Night Sky.scr"), read("files/saver.scr"));
    EXPECT_EQ(read("x/saver1.dll"), read("files/e1.dll"));
    EXPECT_EQ(read("x/setwnd.scf"), read("files/setwnd.scf"));
    ASSERT_EQ(run({"extract", path("out.exe"), path("y"), "--slot", "10"}), 0);
    EXPECT_EQ(read("y/saver2.dll"), read("files/e2.dll"));
    EXPECT_EQ(run({"extract", path("out.exe"), path("y"), "--slot", "4"}), 1);  // unused
}

TEST_F(Saverpack, VerifyNamesAMovedSlotATruncatedFileAndDamagedData) {
    ASSERT_EQ(build(), 0) << err;
    const std::string good = read("out.exe");
    const PackageHeader h = header();
    const size_t slot3 = size_t(kPackageOffset) + 72 + 280 * 3;
    std::string moved(8, '\0');
    writeLE32(reinterpret_cast<uint8_t*>(&moved[0]), h.entries[3].firstByte + 1);
    writeLE32(reinterpret_cast<uint8_t*>(&moved[4]), h.entries[3].lastByte + 1);
    poke(slot3 + 256, moved);
    EXPECT_EQ(run({"verify", path("out.exe")}), 1);
    EXPECT_NE(out.find("slot 3: firstByte " + std::to_string(h.entries[3].firstByte + 1) + " should be " +
                       std::to_string(h.entries[3].firstByte) + " (right after slot 2)"),
              std::string::npos)
        << out;

    write("out.exe", good.substr(0, good.size() - 100));
    EXPECT_EQ(run({"verify", path("out.exe")}), 1);
    EXPECT_NE(
        out.find("slot 10: lastByte " + std::to_string(good.size() - 1) + " is beyond the end of the file"),
        std::string::npos)
        << out;

    write("out.exe", good);
    poke(size_t(h.entries[6].firstByte) + 200, std::string(40, '\x55'));
    EXPECT_EQ(run({"verify", path("out.exe")}), 1);
    EXPECT_NE(out.find("slot 6: "), std::string::npos) << out;
    // The damaged slot is not written; the others still are, and the run fails.
    write("x/Night Sky.scr", "before");
    EXPECT_EQ(run({"extract", path("out.exe"), path("x")}), 1);
    EXPECT_EQ(read("x/Night Sky.scr"), "before");
    EXPECT_EQ(read("x/saver2.dll"), read("files/e2.dll"));

    write("out.exe", good.substr(0, size_t(kPackageOffset) + 100));
    EXPECT_EQ(run({"verify", path("out.exe")}), 1);
    EXPECT_NE(err.find("too short to hold a package header"), std::string::npos);
}

TEST_F(Saverpack, ExtractRefusesNamesThatWouldLeaveTheFolder) {
    ASSERT_EQ(build(), 0);
    const size_t slot7 = size_t(kPackageOffset) + 72 + 280 * 7;
    poke(slot7, std::string("\x0d..\\..\\evil.x", 14));
    EXPECT_EQ(run({"extract", path("out.exe"), path("x")}), 1);
    EXPECT_NE(err.find("slot 7: refused"), std::string::npos);
    EXPECT_EQ(read("evil.x"), "");
    // The installer refuses the whole header for one unsafe name, and so does
    // the tool: nothing is extracted.
    EXPECT_EQ(read("x/saver2.dll"), "");
    EXPECT_NE(err.find("nothing is extracted"), std::string::npos) << err;
    EXPECT_EQ(run({"verify", path("out.exe")}), 1);
}

// The tool's extract takes exactly what the installer's header check takes:
// every header the installer refuses on reading, the tool refuses whole, and
// a header it accepts extracts.
TEST_F(Saverpack, ExtractAcceptsExactlyWhatTheInstallerAccepts) {
    ASSERT_EQ(build(), 0) << err;
    const std::string good = read("out.exe");
    const size_t base = size_t(kPackageOffset);
    const size_t slot1 = base + 72 + 280;
    std::string kindInstallDir(4, '\0');
    writeLE32(reinterpret_cast<uint8_t*>(&kindInstallDir[0]), kind::kInstallDirSettings);
    const struct {
        const char* what;
        size_t offset;
        std::string bytes;
        bool refused;
    } cases[] = {
        {"flashVersionIndex 2", base + 4, std::string("\x02", 1), true},
        {"saver name with a separator", base + 6, std::string("a\\b", 3), true},
        {"library to the install directory", slot1 + 264, kindInstallDir, true},
        {"slot 9 named ..", base + 72 + 280 * 9, std::string("\x02..", 3), true},
        {"display panel flag only", base + 5, std::string("\x00", 1), false},
    };
    for (const auto& c : cases) {
        write("out.exe", good);
        poke(c.offset, c.bytes);
        const bool installerRefuses = checkPackageHeader(header()) != rc::kOk;
        EXPECT_EQ(installerRefuses, c.refused) << c.what;
        std::system(("rm -rf '" + path("x") + "'").c_str());
        const int rc = run({"extract", path("out.exe"), path("x")});
        EXPECT_EQ(rc, c.refused ? 1 : 0) << c.what << ": " << err;
        EXPECT_EQ(read("x/saver2.dll").empty(), c.refused) << c.what;
        // verify names the same fault.
        EXPECT_EQ(run({"verify", path("out.exe")}), c.refused ? 1 : 0) << c.what << out;
    }
}

TEST_F(Saverpack, BuildRefusesWhatNoInstallerCouldUse) {
    const std::string manifest = read("m.toml");
    auto refused = [&](const std::string& text, const std::string& message) {
        write("m.toml", text);
        write("out.exe", "previous");
        const int rc = build();
        const bool kept = read("out.exe") == "previous";
        return rc == 1 && kept && err.find(message) != std::string::npos
                   ? std::string()
                   : "rc " + std::to_string(rc) + ": " + err;
    };
    EXPECT_EQ(refused(manifest + "[slots.5]\nfile = \"files/e1.dll\"\nname = \"a\\\\b.txt\"\n",
                      "m.toml:35: slots.5.name: the stored name \"a\\b.txt\" is not a plain file name: it "
                      "holds '\\', a character Windows does not allow in names"),
              "");
    EXPECT_EQ(
        refused(manifest + "[slots.5]\nfile = \"files/e1.dll\"\nname = \"" + std::string(256, 'n') + "\"\n",
                "more than 255"),
        "");
    EXPECT_EQ(
        refused(manifest + "[slots.5]\nfile = \"files/e1.dll\"\nkind = 8\n",
                "slot 5: targetKind 8 has no destination (1 to 7 or 10)"),
        "");
    EXPECT_EQ(
        refused(manifest + "[slots.5]\nfile = \"files/e1.dll\"\ncolour = 1\n", "slots.5.colour: unknown key"),
        "");
    EXPECT_EQ(refused(manifest + "[slots.5]\nfile = \"files/none\"\n", "cannot be read"), "");
    std::string longName = manifest;
    longName.replace(longName.find("Night Sky"), 9, std::string(65, 'N'));
    EXPECT_EQ(refused(longName, "more than 64"), "");
    std::string noSlot7 = manifest;
    noSlot7.erase(noSlot7.find("[slots.7]"), noSlot7.find("[slots.8]") - noSlot7.find("[slots.7]"));
    EXPECT_EQ(refused(noSlot7, "slot 7: unused, but the installation extracts every slot from 6 to 10"), "");
    EXPECT_EQ(refused("[settings\n", "m.toml"), "");

    write("m.toml", manifest);
    write("stub.exe", std::string(size_t(kPackageOffset) + 1, 'M'));
    EXPECT_EQ(build(), 1);
    EXPECT_NE(err.find("the stub is 675329 bytes"), std::string::npos);
}

TEST_F(Saverpack, ImplodeExplodeAndUsage) {
    const std::string text = test::pattern("stream", 50000);
    write("plain", text);
    ASSERT_EQ(run({"implode", "--ascii", "--dict", "1024", path("plain"), path("packed")}), 0) << err;
    EXPECT_EQ(read("packed").substr(0, 2), std::string("\x01\x04", 2));
    ASSERT_EQ(run({"explode", path("packed"), path("again")}), 0) << err;
    EXPECT_EQ(read("again"), text);
    ASSERT_EQ(run({"implode", path("plain"), path("packed")}), 0);
    EXPECT_EQ(read("packed").substr(0, 2), std::string("\x00\x06", 2));

    write("again", "kept");
    write("packed", read("packed").substr(0, 100));
    EXPECT_EQ(run({"explode", path("packed"), path("again")}), 1);
    EXPECT_EQ(read("again"), "kept");

    EXPECT_EQ(run({"implode", "--dict", "512", path("plain"), path("x")}), 2);
    EXPECT_EQ(run({"explode", path("plain")}), 2);
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(run({"extract", "a", "b", "--slot", "11"}), 2);
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.find("verify FILE"), std::string::npos);
    EXPECT_NE(out.find("--version"), std::string::npos);
}

TEST_F(Saverpack, VersionNamesTheToolAndItsCodec) {
    for (const char* flag : {"--version", "-V"}) {
        ASSERT_EQ(run({flag}), 0) << flag;
        EXPECT_EQ(err, "") << flag;
        EXPECT_EQ(out.substr(0, out.find('\n')), std::string("saverpack ") + SSI_VERSION_TEXT) << flag;
        EXPECT_NE(out.find("\ncodec: implode " SSI_CODEC_VERSION_TEXT " "), std::string::npos) << out;
        EXPECT_EQ(run({flag, "extra"}), 2) << flag;
    }
}

}  // namespace
