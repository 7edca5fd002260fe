// What `saverpack build` refuses and `verify` reports because the installer
// would botch it, what both only warn about, the stub they take for the
// installer's program image, --dry-run, and names in the Windows code page.
// Every row starts from a package that builds and verifies "ok" with no warning.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

extern "C" {
#include <jpeglib.h>
}

#include "package/data_file_format.h"
#include "package/package_layout.h"
#include "platform/picture_check.h"
#include "tests/package/package_fixture.h"
#include "tests/package/sample_files.h"
#include "tests/package/test_pattern.h"
#include "tools/saverpack/codepage.h"
#include "tools/saverpack/commands.h"
#include "tools/saverpack/manifest.h"
#include "tools/saverpack/ssd_command.h"

using namespace ssi;

namespace {

std::vector<uint8_t> toBytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// Bytes no compressor shrinks.
std::string noise(size_t size) {
    std::string out;
    for (uint32_t x = 12345; out.size() < size;) {
        x = x * 1664525u + 1013904223u;
        out += char(x >> 24);
    }
    return out;
}

const char* const kManifest = R"([settings]
saver_name = "Night Sky"
mode = 8
license = true
readme = true
flash_installer = true
[slots.2]
file = "files/player.exe"
name = "flashax7.exe"
[slots.3]
file = "files/preview.jpg"
[slots.4]
file = "files/License.txt"
[slots.5]
file = "files/ReadMe.txt"
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
[slots.10]
file = "files/e2.dll"
name = "saver2.dll"
)";

struct PackageChecks : ::testing::Test {
    std::string dir, out, err;

    void SetUp() override {
        char tmpl[] = "/tmp/ssi-checks-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        std::system(("mkdir -p '" + dir + "/files'").c_str());
        write("stub.exe", test::programImage(70000));
        write("impborl.dll", test::pattern("library", 12288));
        for (const char* f : {"player.exe", "saver.scr", "setwnd.scf", "data.ssd", "e1.dll", "e2.dll"})
            write(std::string("files/") + f, test::pattern(f, 20000));
        write("files/preview.jpg", test::jpegPicture());
        write("files/License.txt", "You may use this screen saver.\r\n");
        write("files/ReadMe.txt", "Night Sky\n\tstars and a moon\n");
        write("m.toml", kManifest);
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string path(const std::string& name) const { return dir + "/" + name; }
    void write(const std::string& name, const std::string& data) {
        std::ofstream(path(name), std::ios::binary) << data;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    bool exists(const std::string& name) const { return std::ifstream(path(name)).good(); }
    [[nodiscard]] int run(std::vector<std::string> args) {
        args.insert(args.begin(), "saverpack");
        std::ostringstream o, e;
        const int rc = tool::runSaverpack(args, o, e);
        out = o.str();
        err = e.str();
        return rc;
    }
    [[nodiscard]] int ssd(std::vector<std::string> args) {
        args.insert(args.begin(), "ssd");
        std::ostringstream o, e;
        const int rc = tool::runSsd(args, o, e);
        out = o.str();
        err = e.str();
        return rc;
    }
    // Builds out.exe afresh (an earlier one removed first).
    [[nodiscard]] int build(std::vector<std::string> extra = {}) {
        std::remove(path("out.exe").c_str());
        std::vector<std::string> args = {"build", path("stub.exe"), path("m.toml"), path("out.exe")};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    }
    // A manifest with one text replaced (the text must be there).
    static std::string edit(std::string m, const std::string& from, const std::string& to) {
        const size_t at = m.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? m : m.replace(at, from.size(), to);
    }
    std::string edited(const std::string& from, const std::string& to) { return edit(kManifest, from, to); }
    // The installer the manifest describes, laid out without the checks, as
    // an older tool or a hand-made package would have it.
    [[nodiscard]] bool buildUnchecked(const std::string& outName) {
        tool::PackageInput input;
        std::vector<std::string> errors;
        if (!tool::loadManifest(path("m.toml"), input, errors)) return false;
        tool::SlotInput library;
        library.name = kLibrarySlotName;
        library.kind = kLibrarySlotKind;
        library.data = toBytes(test::pattern("library", 12288));
        input.slots[1] = library;
        const std::string stub = read("stub.exe");
        std::vector<uint8_t> image;
        if (!tool::buildInstaller(std::vector<uint8_t>(stub.begin(), stub.end()), input, image, errors))
            return false;
        write(outName, std::string(image.begin(), image.end()));
        return true;
    }
};

TEST_F(PackageChecks, TheStartingPackageBuildsAndVerifiesWithoutAWord) {
    ASSERT_EQ(build(), 0) << err;
    EXPECT_EQ(err, "");
    ASSERT_EQ(run({"verify", path("out.exe")}), 0) << out;
    EXPECT_EQ(out, path("out.exe") + ": ok\n");
}

// Each refusal: build names the manifest file, the line and the key, and
// writes nothing; verify names the key in the installer that an older tool
// built from the same manifest.
TEST_F(PackageChecks, BuildRefusesAndVerifyReportsWhatTheInstallerWouldBotch) {
    const struct {
        const char* what;
        std::string manifest;
        const char* file;     // a file to rewrite, or nullptr
        std::string content;  // its new bytes
        const char* where;    // "m.toml:LINE: KEY: "
        const char* says;
    } rows[] = {
        {"mode 5", edited("mode = 8", "mode = 5"), nullptr, "",
         "m.toml:3: settings.mode: ", "installer mode 5 is not one the installer knows"},
        {"mode 0", edited("mode = 8", "mode = 0"), nullptr, "",
         "m.toml:3: settings.mode: ", "installer mode 0 is not one"},
        {"mode 200", edited("mode = 8", "mode = 200"), nullptr, "",
         "m.toml:3: settings.mode: ", "installer mode 200 is not one"},
        {"a JPEG for the movie mode 2", edited("mode = 8", "mode = 2"), nullptr, "",
         "m.toml:11: slots.3.file: ",
         "not a movie (-404: no FWS or CWS signature) (the file is a JPEG picture); mode 2 plays a movie"},
        {"text for the movie mode 3", edited("mode = 8", "mode = 3"), "files/preview.jpg",
         "a movie, honestly\n", "m.toml:11: slots.3.file: ", "(the file is text); mode 3 plays a movie"},
        {"an empty movie, compressed",
         edit(edited("mode = 8", "mode = 2"), "preview.jpg\"\n", "preview.jpg\"\ncompress = true\n"),
         "files/preview.jpg", "",
         "m.toml:11: slots.3.file: ", "shorter than a movie's 8-byte header (-407) (the file is empty)"},
        {"a movie of version 9", edited("mode = 8", "mode = 2"), "files/preview.jpg",
         std::string("FWS\x09\x20\0\0\0", 8) + std::string(24, '\0'),
         "m.toml:11: slots.3.file: ", "SWF version above 8 (-405)"},
        {"text named .jpg", kManifest, "files/preview.jpg", "not a picture\n", "m.toml:11: slots.3.file: ",
         "not a JPEG picture (no JPEG start marker) (the file is text); mode 8 shows a JPEG picture"},
        {"a PNG named .jpg", kManifest, "files/preview.jpg",
         std::string("\x89PNG\r\n\x1a\n", 8) + std::string(60, '\0'),
         "m.toml:11: slots.3.file: ", "(the file is a PNG picture)"},
        {"a JPEG cut inside its header", kManifest, "files/preview.jpg", test::jpegPicture().substr(0, 120),
         "m.toml:11: slots.3.file: ", "not a JPEG picture ("},
        {"a JPEG as the BMP of mode 1", edited("mode = 8", "mode = 1"), nullptr, "",
         "m.toml:11: slots.3.file: ",
         "not a Windows bitmap (no \"BM\" file header) (the file is a JPEG picture); mode 1 shows a BMP "
         "picture"},
        {"a bitmap cut short", edited("mode = 8", "mode = 1"), "files/preview.jpg",
         test::bitmapPicture().substr(0, 5000), "m.toml:11: slots.3.file: ",
         "a damaged Windows bitmap (its rows need 157800 bytes, the file holds 4946)"},
        {"a bitmap of 0 planes", edited("mode = 8", "mode = 1"), "files/preview.jpg",
         test::bitmapPicture().replace(26, 1, std::string(1, '\0')),
         "m.toml:11: slots.3.file: ", "(0 planes)"},
        {"a player installer under another name",
         edited("name = \"flashax7.exe\"", "name = \"FlashSetup.exe\""), nullptr, "",
         "m.toml:9: slots.2.name: ",
         "\"FlashSetup.exe\" is not a name the installer recognises as the player's installer"},
        {"the player installer's name in capitals",
         edited("name = \"flashax7.exe\"", "name = \"FLASHAX7.EXE\""), nullptr, "",
         "m.toml:9: slots.2.name: ", "written to the system folder as a DLL"},
        {"the player installer to the install folder",
         edited("name = \"flashax7.exe\"", "name = \"flashax7.exe\"\nkind = 1"), nullptr, "",
         "m.toml:10: slots.2.kind: ", "does not put the player's installer into the scratch folder"},
        {"a saver not named after the saver", edited("name = \"Night Sky.scr\"", "name = \"saver.scr\""),
         nullptr, "", "m.toml:18: slots.6.name: ",
         "slot 6 is named \"saver.scr\", but the installer registers the saver as \"Night Sky.scr\""},
        {"a saver named by its default", edited("name = \"Night Sky.scr\"\n", ""), nullptr, "",
         "m.toml:16: slots.6.name: ", "slot 6 is named \"saver.scr\""},
        {"a saver to the install folder",
         edited("name = \"Night Sky.scr\"", "name = \"Night Sky.scr\"\nkind = 1"), nullptr, "",
         "m.toml:19: slots.6.kind: ", "does not put the saver into the system folder"},
        {"two slots to one file", edited("name = \"saver2.dll\"", "name = \"SAVER1.dll\""), nullptr, "",
         "m.toml:30: slots.10.name: ", "slot 10 is written to the same file as slot 9"},
    };
    for (const auto& r : rows) {
        TearDown();
        SetUp();
        write("m.toml", r.manifest);
        if (r.file) write(r.file, r.content);
        EXPECT_EQ(build(), 1) << r.what << ": " << err;
        EXPECT_NE(err.find(path(r.where)), std::string::npos) << r.what << ": " << err;
        EXPECT_NE(err.find(r.says), std::string::npos) << r.what << ": " << err;
        EXPECT_FALSE(exists("out.exe")) << r.what;

        ASSERT_TRUE(buildUnchecked("old.exe")) << r.what;
        EXPECT_EQ(run({"verify", path("old.exe")}), 1) << r.what << ": " << out;
        const std::string where = r.where;
        const std::string key = where.substr(where.find(": ") + 2);
        const size_t line = out.find(key);
        EXPECT_NE(line, std::string::npos) << r.what << ": " << out;
        EXPECT_NE(out.find(r.says, line), std::string::npos) << r.what << ": " << out;
        TearDown();
    }
}

// A package that installs as asked, but perhaps not as its author expects:
// printed, exit 0; --werror makes each an error.
TEST_F(PackageChecks, WarningsLetTheBuildThroughUnlessWerror) {
    const struct {
        const char* what;
        std::string manifest;
        const char* file;
        std::string content;
        const char* says;
    } rows[] = {
        {"a JPEG of 640 x 480", kManifest, "files/preview.jpg", test::jpegPicture(640, 480),
         "warning: "
         "%m.toml:11: slots.3.file: %files/preview.jpg is 640 x 480; the installer stretches it to 350 x "
         "150"},
        {"a bitmap of 350 x 151", edited("mode = 8", "mode = 1"), "files/preview.jpg",
         test::bitmapPicture(350, 151), "warning: %m.toml:11: slots.3.file: %files/preview.jpg is 350 x 151"},
        {"a licence that is a program", kManifest, "files/License.txt", test::programImage(600),
         "warning: %m.toml:13: slots.4.file: %files/License.txt is not text (the file is a Windows program); "
         "the "
         "installer shows the licence as text"},
        {"a licence in UTF-8", kManifest, "files/License.txt", "Caf\xc3\xa9 licence\n",
         "warning: %m.toml:13: slots.4.file: %files/License.txt is UTF-8 text; the installer shows the "
         "licence in "
         "code page 1252, where '\xc3\xa9' reads '\xc3\x83\xc2\xa9' (save it as Windows-1252)"},
        {"a read-me with a byte-order mark", kManifest, "files/ReadMe.txt", "\xef\xbb\xbfRead me\n",
         "warning: %m.toml:15: slots.5.file: %files/ReadMe.txt is UTF-8 text; the installer shows the "
         "read-me in "
         "code page 1252, where its byte-order mark reads '\xc3\xaf\xc2\xbb\xc2\xbf'"},
        {"a read-me with NUL bytes", kManifest, "files/ReadMe.txt", std::string("Read\0me", 7),
         "warning: %m.toml:15: slots.5.file: %files/ReadMe.txt is not text"},
        {"a movie of SWF 8 for player 7", edited("mode = 8", "mode = 2"), "files/preview.jpg",
         std::string("FWS\x08\x20\0\0\0", 8) + std::string(24, '\0'),
         "warning: %m.toml:11: slots.3.file: %files/preview.jpg is a movie of SWF version 8, but the package "
         "asks "
         "only for player 7 (settings.flash_version_index 0)"},
        {"a saver that grows when compressed", kManifest, "files/saver.scr", noise(5000),
         "warning: %m.toml:19: slots.6.compress: %files/saver.scr compresses to "},
    };
    for (const auto& r : rows) {
        TearDown();
        SetUp();
        write("m.toml", r.manifest);
        write(r.file, r.content);
        // "%" stands for the temporary folder.
        std::string says = r.says;
        for (size_t at; (at = says.find('%')) != std::string::npos;) says.replace(at, 1, dir + "/");
        EXPECT_EQ(build(), 0) << r.what << ": " << err;
        EXPECT_NE(err.find("saverpack: " + says), std::string::npos) << r.what << ": " << err;
        EXPECT_TRUE(exists("out.exe")) << r.what;
        std::remove(path("out.exe").c_str());
        EXPECT_EQ(build({"--werror"}), 1) << r.what;
        EXPECT_NE(err.find("made errors by --werror; nothing written"), std::string::npos) << r.what << err;
        EXPECT_FALSE(exists("out.exe")) << r.what;
        TearDown();
    }
    // verify names a warning, and fails on it only with --werror.
    TearDown();
    SetUp();
    write("files/preview.jpg", test::jpegPicture(640, 480));
    ASSERT_EQ(build(), 0) << err;
    EXPECT_EQ(run({"verify", path("out.exe")}), 0);
    EXPECT_NE(out.find("warning: slots.3.file: \"preview.jpg\" is 640 x 480"), std::string::npos) << out;
    EXPECT_NE(out.find("ok (with 1 warning)"), std::string::npos) << out;
    EXPECT_EQ(run({"verify", path("out.exe"), "--werror"}), 1);
}

// Windows finds the saver's file whatever the case of its name, accented
// capitals included.
TEST_F(PackageChecks, TheSaversFileMatchesItsNameWhateverTheCase) {
    for (const auto& [saver, file] : {std::pair<std::string, std::string>{"Night Sky", "NIGHT SKY.SCR"},
                                      {"Bor\xc3\xa9"
                                       "alis \xc5\x93",
                                       "BOR\xc3\x89"
                                       "ALIS \xc5\x92.scr"}}) {
        std::string m = edited("name = \"Night Sky.scr\"", "name = \"" + file + "\"");
        m.replace(m.find("Night Sky"), 9, saver);
        write("m.toml", m);
        EXPECT_EQ(build(), 0) << saver << ": " << err;
        EXPECT_EQ(err, "") << saver;
    }
}

TEST_F(PackageChecks, TheGrowingSlotIsStoredAndExtractsUnchanged) {
    write("files/saver.scr", noise(5000));
    ASSERT_EQ(build(), 0) << err;
    const PackageHeader h = test::headerOf(toBytes(read("out.exe")));
    EXPECT_EQ(h.entries[6].compressed, 0);
    EXPECT_EQ(h.entries[6].expandedSize, 5000);
    ASSERT_EQ(run({"verify", path("out.exe")}), 0) << out;
    ASSERT_EQ(run({"extract", path("out.exe"), path("x"), "--slot", "6"}), 0) << err;
    EXPECT_EQ(read("x/Night Sky.scr"), noise(5000));
}

// Only the installer's program image is a stub.
TEST_F(PackageChecks, BuildTakesOnlyTheInstallersProgramImageAsItsStub) {
    ASSERT_EQ(build(), 0) << err;
    const std::string installer = read("out.exe");
    const std::string goodStub = read("stub.exe");
    std::string x64 = goodStub;
    x64[0x44] = char(0x64), x64[0x45] = char(0x86);
    std::string noPe = goodStub;
    noPe[0x40] = 'N';
    const struct {
        const char* what;
        std::string stub;
        const char* says;
    } rows[] = {
        {"a text file", "just some text\n",
         "the stub is text, not the installer's program image (no MZ signature)"},
        {"an empty file", "", "the stub is text, not the installer's program image"},
        {"a DLL", test::programImage(30000, true), "the stub is a DLL, not the installer's program image"},
        {"a 64-bit program", x64, "not a 32-bit x86 program"},
        {"MZ without PE", noPe, "starts like a program but has no PE signature"},
        {"another program", test::programImage(30000).replace(0x100, 8, "ANOTHER!"),
         "is a Windows program, but not the installer's program image (it lacks the mark its build puts into "
         "install.exe)"},
        {"an installer already built", installer, "it is an installer already built"},
        {"too large", goodStub + std::string(size_t(kPackageOffset), 'x'),
         "the stub is 745328 bytes, more than the 675328"},
    };
    for (const auto& r : rows) {
        write("stub.exe", r.stub);
        std::remove(path("out.exe").c_str());
        EXPECT_EQ(build(), 1) << r.what;
        EXPECT_NE(err.find("saverpack: " + path("stub.exe") + ": the stub "), std::string::npos)
            << r.what << ": " << err;
        EXPECT_NE(err.find(r.says), std::string::npos) << r.what << ": " << err;
        EXPECT_NE(err.find("give the installer's program image, install.exe, first"), std::string::npos)
            << r.what;
        EXPECT_FALSE(exists("out.exe")) << r.what;
    }
    // The manifest first and the stub second.
    write("stub.exe", goodStub);
    EXPECT_EQ(run({"build", path("m.toml"), path("stub.exe"), path("out.exe")}), 2) << "swapped arguments are a usage error";
    EXPECT_NE(err.find("were the stub and the manifest given in the wrong order?"), std::string::npos) << err;
    EXPECT_FALSE(exists("out.exe"));
    // verify looks at the program image in the installer.
    std::string other = installer;
    other.replace(0x100, 8, "ANOTHER!");
    write("other.exe", other);
    EXPECT_EQ(run({"verify", path("other.exe")}), 1);
    EXPECT_NE(out.find("STUB: the stub is a Windows program, but not the installer's program image"),
              std::string::npos)
        << out;
}

TEST_F(PackageChecks, DryRunShowsWhatItWouldWriteAndWritesNothing) {
    ASSERT_EQ(build({"--dry-run"}), 0) << err;
    EXPECT_FALSE(exists("out.exe"));
    EXPECT_NE(out.find("installerMode          8\n"), std::string::npos) << out;
    EXPECT_NE(out.find("saverName              \"Night Sky\"\n"), std::string::npos) << out;
    EXPECT_NE(out.find("6     \"Night Sky.scr\""), std::string::npos) << out;
    EXPECT_NE(out.find("(--dry-run: nothing written)"), std::string::npos) << out;
    // The same table list prints for the file, once built.
    const std::string dry = out.substr(0, out.find("\n\n" + path("out.exe")));
    ASSERT_EQ(build(), 0);
    ASSERT_EQ(run({"list", path("out.exe")}), 0);
    EXPECT_EQ(out, dry + "\n");
    // A refusal is a refusal in a dry run too.
    std::remove(path("out.exe").c_str());
    write("m.toml", edited("mode = 8", "mode = 5"));
    EXPECT_EQ(build({"--dry-run"}), 1);
    EXPECT_EQ(out, "");
}

// ---- names in the Windows code page ----------------------------------------------------

TEST(CodePage, Utf8To1252AndBack) {
    const struct {
        const char* utf8;
        const char* cp1252;  // nullptr: refused
        const char* fault;
    } rows[] = {
        {"Night Sky", "Night Sky", ""},
        {"Bor\xc3\xa9"
         "alis",
         "Bor\xe9"
         "alis",
         ""},  // é
        {"Stra\xc3\x9f"
         "e \xc3\xbc"
         "ber",
         "Stra\xdf"
         "e \xfc"
         "ber",
         ""},                                                  // ß ü
        {"5 \xe2\x82\xac", "5 \x80", ""},                      // € is 0x80
        {"\xc5\x92\xe2\x80\x9c\xc5\xb8", "\x8c\x93\x9f", ""},  // Œ “ Ÿ
        {"\xc2\xa0\xc3\xbf", "\xa0\xff", ""},
        {"\xc4\x81", nullptr, "'\xc4\x81' (U+0101) is not in code page 1252"},  // ā
        {"a\xe2\x84\xa6", nullptr, "(U+2126) is not in code page 1252"},        // Ω
        {"\xf0\x9f\x8c\x99", nullptr, "(U+1F319) is not in code page 1252"},    // an emoji
        {"\xc2\x81", nullptr, "(U+0081)"},                                      // undefined in 1252
        {"bad\xe9", nullptr, "byte 3 is not UTF-8"},
        {"\xc0\xaf", nullptr, "byte 0 is not UTF-8"},      // overlong '/'
        {"\xed\xa0\x80", nullptr, "byte 0 is not UTF-8"},  // a surrogate
    };
    for (const auto& r : rows) {
        std::string out, fault;
        const bool ok = tool::fromUtf8(r.utf8, 1252, out, fault);
        EXPECT_EQ(ok, r.cp1252 != nullptr) << r.utf8;
        if (r.cp1252) {
            EXPECT_EQ(out, r.cp1252) << r.utf8;
            EXPECT_EQ(tool::toUtf8(out, 1252), r.utf8) << r.utf8;
        } else {
            EXPECT_NE(fault.find(r.fault), std::string::npos) << fault;
        }
    }
    std::string out, fault;
    EXPECT_FALSE(tool::fromUtf8("x", 1250, out, fault));
    EXPECT_EQ(fault, "code page 1250 is not supported (1252 is)");
    EXPECT_EQ(tool::toUtf8("\x81", 1252), "\xef\xbf\xbd");
    EXPECT_EQ(tool::displayWidth("Bor\xc3\xa9"
                                 "alis \xe2\x82\xac"),
              10u);
}

TEST_F(PackageChecks, NamesGoIntoThePackageInCodePage1252AndListShowsThemBack) {
    const std::string name =
        "Bor\xc3\xa9"
        "alis \xc3\x9f\xc3\xbc \xe2\x82\xac";  // Boréalis ßü €
    std::string m = kManifest;
    for (size_t at; (at = m.find("Night Sky")) != std::string::npos;) m.replace(at, 9, name);
    m.replace(m.find("name = \"saver1.dll\""), 19, "name = \"\xc3\xa9toiles.dll\"");
    write("m.toml", m);
    ASSERT_EQ(build(), 0) << err;
    const PackageHeader h = test::headerOf(toBytes(read("out.exe")));
    EXPECT_EQ(h.name(),
              "Bor\xe9"
              "alis \xdf\xfc \x80");
    EXPECT_EQ(h.entries[6].name(),
              "Bor\xe9"
              "alis \xdf\xfc \x80.scr");
    EXPECT_EQ(h.entries[9].name(), "\xe9toiles.dll");
    ASSERT_EQ(run({"verify", path("out.exe")}), 0) << out;

    ASSERT_EQ(run({"list", path("out.exe")}), 0);
    EXPECT_NE(out.find("saverName              \"" + name + "\"\n"), std::string::npos) << out;
    // Every row's numbers start in the same column, counted in characters.
    std::istringstream lines(out);
    std::string line;
    std::vector<size_t> columns;
    while (std::getline(lines, line))
        if (line.find("678480") != std::string::npos ||
            line.find("\"" + name + ".scr\"") != std::string::npos ||
            line.find("\xc3\xa9toiles") != std::string::npos)
            columns.push_back(
                tool::displayWidth(line.substr(0, line.find_first_not_of(' ', line.find('"', 7) + 1))));
    ASSERT_EQ(columns.size(), 3u) << out;
    EXPECT_EQ(columns[0], columns[1]) << out;
    EXPECT_EQ(columns[1], columns[2]) << out;

    // Extracted under the name in UTF-8, as the host's file names are.
    ASSERT_EQ(run({"extract", path("out.exe"), path("x"), "--slot", "9"}), 0) << err;
    EXPECT_EQ(read("x/\xc3\xa9toiles.dll"), read("files/e1.dll"));
}

// What an older tool made of the same manifest: the names' UTF-8 bytes, which
// Windows shows garbled. verify names each such name.
TEST_F(PackageChecks, VerifyWarnsForNamesWrittenInUtf8) {
    std::string m = kManifest;
    for (size_t at; (at = m.find("Night Sky")) != std::string::npos;)
        m.replace(at, 9,
                  "Bor\xc3\xa9"
                  "alis");
    write("m.toml", m);
    ASSERT_TRUE(buildUnchecked("old.exe"));
    EXPECT_EQ(run({"verify", path("old.exe")}), 0) << out;
    for (const char* key : {"settings.saver_name", "slots.6.name", "slots.8.name"})
        EXPECT_NE(out.find(std::string("warning: ") + key +
                           ": \"Bor\xc3\x83\xc2\xa9"
                           "alis"),
                  std::string::npos)
            << key << ": " << out;
    EXPECT_NE(out.find("its bytes are UTF-8, not code page 1252 (\"Bor\xc3\xa9"
                       "alis\" was meant"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("ok (with 3 warnings)"), std::string::npos) << out;
}

TEST_F(PackageChecks, ACharacterTheCodePageCannotHoldIsRefusedWithItsKey) {
    write("m.toml", edited("saver_name = \"Night Sky\"", "saver_name = \"Night \xc4\x81\""));
    EXPECT_EQ(build(), 1);
    EXPECT_NE(
        err.find(path("m.toml") + ":2: settings.saver_name: '\xc4\x81' (U+0101) is not in code page 1252"),
        std::string::npos)
        << err;
    write("m.toml", edited("name = \"saver2.dll\"", "name = \"\xce\xa9.dll\""));
    EXPECT_EQ(build(), 1);
    EXPECT_NE(err.find(path("m.toml") + ":30: slots.10.name: '\xce\xa9' (U+03A9)"), std::string::npos) << err;
    write("m.toml", edited("[settings]\n", "[settings]\ncode_page = 1250\n"));
    EXPECT_EQ(build(), 1);
    EXPECT_NE(err.find(path("m.toml") + ":2: settings.code_page: code page 1250 is not supported (1252 is)"),
              std::string::npos)
        << err;
    write("m.toml", edited("[settings]\n", "[settings]\ncode_page = 1252\n"));
    EXPECT_EQ(build(), 0) << err;
    EXPECT_FALSE(exists("none"));
}

TEST_F(PackageChecks, DataFileItemNamesGoInCodePage1252AndSsdListShowsThemBack) {
    std::system(("mkdir -p '" +
                 path("data/m\xc3\xa9"
                      "dia") +
                 "'")
                    .c_str());
    write(
        "data/m\xc3\xa9"
        "dia/Stra\xc3\x9f"
        "e \xe2\x82\xac.txt",
        "a street");
    write("data/stars.txt", "stars");
    write("record.bin", std::string(kSaverRecordSize, '\0'));
    ASSERT_EQ(ssd({"build", path("data"), "--record", path("record.bin"), path("d.ssd")}), 0) << err;
    EXPECT_NE(read("d.ssd").find("m\xe9"
                                 "dia\\Stra\xdf"
                                 "e \x80.txt"),
              std::string::npos);
    ASSERT_EQ(ssd({"list", path("d.ssd")}), 0) << err;
    EXPECT_NE(out.find("m\xc3\xa9"
                       "dia\\Stra\xc3\x9f"
                       "e \xe2\x82\xac.txt\n"),
              std::string::npos)
        << out;
    ASSERT_EQ(ssd({"extract", path("d.ssd"), path("back")}), 0) << err;
    EXPECT_EQ(read("back/m\xc3\xa9"
                   "dia/Stra\xc3\x9f"
                   "e \xe2\x82\xac.txt"),
              "a street");

    write("data/\xc4\x81.txt", "no");
    EXPECT_EQ(ssd({"build", path("data"), "--record", path("record.bin"), path("e.ssd")}), 1);
    EXPECT_NE(err.find("(U+0101) is not in code page 1252"), std::string::npos) << err;
}

// ---- the picture check -------------------------------------------------------------------


// A JPEG in printing inks (CMYK), made by libjpeg itself.
std::string cmykJpeg() {
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = 350;
    c.image_height = 150;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    std::string row(350 * 4, '\x40');
    JSAMPROW line = reinterpret_cast<JSAMPROW>(row.data());
    while (c.next_scanline < c.image_height) jpeg_write_scanlines(&c, &line, 1);
    jpeg_finish_compress(&c);
    std::string out(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    jpeg_destroy_compress(&c);
    return out;
}

TEST(PictureCheck, JpegAndBitmapHeadersAsTheInstallerReadsThem) {
    const struct {
        const char* what;
        std::string bytes;
        bool jpeg;
        bool ok;
        int width, height;
        const char* fault;
    } rows[] = {
        {"a JPEG", test::jpegPicture(), true, true, 350, 150, ""},
        {"a JPEG's header of 8192 x 1", test::jpegPicture(8192, 1), true, true, 8192, 1, ""},
        {"a JPEG's header of 8193 x 10", test::jpegPicture(8193, 10), true, false, 0, 0, "outside the sizes"},
        {"a JPEG's header of 0 x 10", test::jpegPicture(0, 10), true, false, 0, 0, "not a JPEG picture ("},
        {"a bitmap as JPEG", test::bitmapPicture(), true, false, 0, 0, "no JPEG start marker"},
        {"a CMYK JPEG", cmykJpeg(), true, false, 0, 0, "a CMYK JPEG picture, which the installer's decoder"},
        {"a bitmap", test::bitmapPicture(), false, true, 350, 150, ""},
        {"a top-down bitmap", test::bitmapPicture().replace(22, 4, std::string("\x6a\xff\xff\xff", 4)), false,
         true, 350, 150, ""},
        {"a JPEG as bitmap", test::jpegPicture(), false, false, 0, 0, "no \"BM\" file header"},
        {"a bitmap of 3 bits a pixel", test::bitmapPicture().replace(28, 1, std::string(1, '\x03')), false,
         false, 0, 0, "(3 bits a pixel)"},
        {"a bitmap of compression 7", test::bitmapPicture().replace(30, 1, std::string(1, '\x07')), false,
         false, 0, 0, "compression (7)"},
        {"a bitmap whose pixels lie past its end",
         test::bitmapPicture().replace(10, 4, std::string("\xff\xff\xff\x00", 4)), false, false, 0, 0,
         "its pixels would start at byte 16777215"},
        {"a bitmap with a 20-byte info header", test::bitmapPicture().replace(14, 1, std::string(1, '\x14')),
         false, false, 0, 0, "info header of 20 bytes"},
        {"a bitmap of width 0", test::bitmapPicture().replace(18, 4, std::string(4, '\0')), false, false, 0,
         0, "0 x 150 is outside"},
    };
    for (const auto& r : rows) {
        const auto* data = reinterpret_cast<const uint8_t*>(r.bytes.data());
        const PictureCheck c = r.jpeg ? checkJpeg(data, r.bytes.size()) : checkBitmap(data, r.bytes.size());
        EXPECT_EQ(c.ok, r.ok) << r.what << ": " << c.fault;
        if (r.ok) {
            EXPECT_EQ(c.width, r.width) << r.what;
            EXPECT_EQ(c.height, r.height) << r.what;
        } else {
            EXPECT_NE(c.fault.find(r.fault), std::string::npos) << r.what << ": " << c.fault;
        }
    }
}

}  // namespace
