// The package tool on the author's own files: what it must never overwrite,
// the manifests it must refuse before parsing, the help of every verb, and
// the errors that point at the mistake.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "package/data_file_format.h"
#include "package/package_format.h"
#include "tests/package/package_fixture.h"
#include "tests/package/sample_files.h"
#include "tools/saverpack/commands.h"
#include "tools/saverpack/help.h"

namespace fs = std::filesystem;
using namespace ssi;

namespace {

constexpr const char* kManifest = R"([settings]
saver_name = "Night Sky"
mode = 8

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
[slots.10]
file = "files/e2.dll"
name = "saver2.dll"
)";

struct Safety : ::testing::Test {
    std::string dir;
    std::string out, err;

    void SetUp() override {
        char tmpl[] = "/tmp/ssi-safety-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        write("stub.exe", test::programImage(70000));
        write("impborl.dll", test::pattern("library", 12288));
        for (const char* f : {"saver.scr", "setwnd.scf", "data.ssd", "e1.dll", "e2.dll"})
            write(std::string("files/") + f, test::pattern(f, 3000));
        write("files/preview.jpg", test::jpegPicture());
        write("m.toml", kManifest);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return dir + "/" + name; }
    void write(const std::string& name, const std::string& data) {
        fs::create_directories(fs::path(path(name)).parent_path());
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
        const int rc = tool::runSaverpack(args, o, e);
        out = o.str();
        err = e.str();
        return rc;
    }
    [[nodiscard]] int build(const std::string& output = "out.exe") {
        return run({"build", path("stub.exe"), path("m.toml"), path(output)});
    }
    // Temporary files left anywhere below the folder.
    int leftovers() const {
        int n = 0;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            n += e.path().filename().string().find(".saverpack-") != std::string::npos;
        return n;
    }
    // A data file of two items, "a.txt" and "sub\b.txt".
    void buildDataFile() {
        write("src/a.txt", "alpha");
        write("src/sub/b.txt", "bravo");
        ASSERT_EQ(run({"ssd", "init-record", path("saver.rec")}), 0) << err;
        ASSERT_EQ(run({"ssd", "build", path("src"), "--record", path("saver.rec"), path("d.ssd")}), 0) << err;
    }
    // Rewrites bytes of a file.
    void poke(const std::string& name, size_t offset, const std::string& bytes) {
        std::string data = read(name);
        data.replace(offset, bytes.size(), bytes);
        write(name, data);
    }
};

// Each rule of "never clobber": the file that was there stays byte for byte,
// and the command says why.
TEST_F(Safety, NothingTheAuthorHasIsOverwritten) {
    const size_t slot10Name = size_t(kPackageOffset) + 72 + 280 * 10;
    const struct {
        const char* rule;
        std::function<void(Safety&)> prepare;
        std::vector<std::string> command;  // "@x" is path("x")
        int rc;
        const char* kept;     // a file that must stay as it was ("" none)
        const char* message;  // part of err
    } rows[] = {
        {"build: an existing output without --force",
         [](Safety& t) { t.write("out.exe", "mine"); },
         {"build", "@stub.exe", "@m.toml", "@out.exe"},
         1,
         "out.exe",
         "already exists; give --force"},
        {"build --force: the output is the stub",
         [](Safety&) {},
         {"build", "@stub.exe", "@m.toml", "@stub.exe", "--force"},
         1,
         "stub.exe",
         "is the stub"},
        {"build --force: the output is the manifest by another name",
         [](Safety& t) { ASSERT_EQ(::link(t.path("m.toml").c_str(), t.path("alias.exe").c_str()), 0); },
         {"build", "@stub.exe", "@m.toml", "@alias.exe", "--force"},
         1,
         "m.toml",
         "is the manifest"},
        {"build --force: the output is a slot's file (hard link)",
         [](Safety& t) { ASSERT_EQ(::link(t.path("files/e2.dll").c_str(), t.path("e2.exe").c_str()), 0); },
         {"build", "@stub.exe", "@m.toml", "@e2.exe", "--force"},
         1,
         "files/e2.dll",
         "file of slot 10"},
        {"build --force: the output is the library through a symbolic link",
         [](Safety& t) { fs::create_symlink(t.path("impborl.dll"), t.path("lib.exe")); },
         {"build", "@stub.exe", "@m.toml", "@lib.exe", "--force"},
         1,
         "impborl.dll",
         "file of slot 1"},
        {"build --force: the output is a folder",
         [](Safety& t) { fs::create_directories(t.path("outdir")); },
         {"build", "@stub.exe", "@m.toml", "@outdir", "--force"},
         1,
         "",
         "is a folder"},
        {"extract: an existing file",
         [](Safety& t) {
             ASSERT_EQ(t.build(), 0) << t.err;
             t.write("x/saver1.dll", "mine");
         },
         {"extract", "@out.exe", "@x"},
         1,
         "x/saver1.dll",
         "already exists; give --force"},
        {"extract --force: a symbolic link is replaced, its target is not written",
         [](Safety& t) {
             ASSERT_EQ(t.build(), 0) << t.err;
             t.write("outside.txt", "mine");
             fs::create_directories(t.path("x"));
             fs::create_symlink(t.path("outside.txt"), t.path("x/saver1.dll"));
         },
         {"extract", "@out.exe", "@x", "--force"},
         0,
         "outside.txt",
         ""},
        {"extract: a package that names one file twice (case ignored)",
         [slot10Name](Safety& t) {
             ASSERT_EQ(t.build(), 0) << t.err;
             t.poke("out.exe", slot10Name, std::string("\x0aSAVER1.DLL", 11));
         },
         {"extract", "@out.exe", "@x"},
         1,
         "",
         "both name \"saver1.dll\"; nothing is extracted"},
        {"extract --force: a damaged slot leaves the file that was there",
         [](Safety& t) {
             ASSERT_EQ(t.build(), 0) << t.err;
             PackageHeader h = test::headerOf([&] {
                 const std::string image = t.read("out.exe");
                 return std::vector<uint8_t>(image.begin(), image.end());
             }());
             t.poke("out.exe", size_t(h.entries[6].firstByte) + 20, std::string(40, '\x55'));
             t.write("x/Night Sky.scr", "mine");
         },
         {"extract", "@out.exe", "@x", "--force"},
         1,
         "x/Night Sky.scr",
         "slot 6: "},
        {"ssd extract: an existing file",
         [](Safety& t) {
             t.buildDataFile();
             t.write("y/sub/b.txt", "mine");
         },
         {"ssd", "extract", "@d.ssd", "@y"},
         1,
         "y/sub/b.txt",
         "already exists; give --force"},
        {"ssd extract: a data file that names one file twice",
         [](Safety& t) {
             t.buildDataFile();
             t.poke("d.ssd", kSaverRecordSize + 2, "SUB\\B.TXT");  // item 1 ("a.txt") renamed
             t.write("y/keep.txt", "mine");
         },
         {"ssd", "extract", "@d.ssd", "@y"},
         1,
         "y/keep.txt",
         "appears twice; nothing is extracted"},
        {"ssd extract: a planted symbolic link",
         [](Safety& t) {
             t.buildDataFile();
             t.write("outside.txt", "mine");
             fs::create_directories(t.path("y"));
             fs::create_symlink(t.path("outside.txt"), t.path("y/a.txt"));
         },
         {"ssd", "extract", "@d.ssd", "@y", "--force"},
         1,
         "outside.txt",
         "symbolic link"},
        {"ssd extract --force: a damaged item leaves the file that was there",
         [](Safety& t) {
             t.write("src/big.txt", std::string(20000, 'x'));  // compressed: it pays
             ASSERT_EQ(t.run({"ssd", "init-record", t.path("saver.rec")}), 0) << t.err;
             ASSERT_EQ(
                 t.run({"ssd", "build", t.path("src"), "--record", t.path("saver.rec"), t.path("d.ssd")}), 0)
                 << t.err;
             // One item: its chunk header right after the table, its stored bytes after that.
             t.poke("d.ssd", kSaverRecordSize + 264 + 44 + 4, std::string(24, '\xa5'));
             t.write("y/big.txt", "mine");
         },
         {"ssd", "extract", "@d.ssd", "@y", "--force"},
         1,
         "y/big.txt",
         "big.txt: "},
        {"ssd init-record: an existing file",
         [](Safety& t) { t.write("saver.rec", "mine"); },
         {"ssd", "init-record", "@saver.rec"},
         1,
         "saver.rec",
         "already exists; give --force"},
        {"ssd build: the output is a file of the folder it packs",
         [](Safety& t) { t.buildDataFile(); },
         {"ssd", "build", "@src", "--record", "@saver.rec", "@src/a.txt"},
         1,
         "src/a.txt",
         "the folder being packed"},
        {"ssd build: the output is the record",
         [](Safety& t) { t.buildDataFile(); },
         {"ssd", "build", "@src", "--record", "@saver.rec", "@saver.rec"},
         1,
         "saver.rec",
         "is the settings record"},
        {"implode: the output is the input",
         [](Safety& t) { t.write("plain.txt", "mine, to compress"); },
         {"implode", "@plain.txt", "@plain.txt"},
         1,
         "plain.txt",
         "is the input"},
    };
    for (const auto& row : rows) {
        TearDown();
        SetUp();
        row.prepare(*this);
        const std::string before = row.kept[0] ? read(row.kept) : std::string();
        std::vector<std::string> command;
        for (const std::string& word : row.command)
            command.push_back(word[0] == '@' ? path(word.substr(1)) : word);
        EXPECT_EQ(run(command), row.rc) << row.rule << ": " << err;
        if (row.kept[0]) {
            EXPECT_EQ(read(row.kept), before) << row.rule;
        }
        EXPECT_NE(err.find(row.message), std::string::npos) << row.rule << ": " << err;
        EXPECT_EQ(leftovers(), 0) << row.rule;
    }
}

TEST_F(Safety, ForceReplacesWhatIsNotAnInput) {
    write("out.exe", "old");
    ASSERT_EQ(run({"build", path("stub.exe"), path("m.toml"), path("out.exe"), "--force"}), 0) << err;
    EXPECT_EQ(read("out.exe").substr(0, 70000), read("stub.exe"));
    write("x/saver1.dll", "old");
    ASSERT_EQ(run({"extract", path("out.exe"), path("x"), "--force"}), 0) << err;
    EXPECT_EQ(read("x/saver1.dll"), read("files/e1.dll"));
    // Without --force every other slot is still written, the existing one not.
    write("z/saver2.dll", "old");
    EXPECT_EQ(run({"extract", path("out.exe"), path("z")}), 1);
    EXPECT_EQ(read("z/saver2.dll"), "old");
    EXPECT_EQ(read("z/saver1.dll"), read("files/e1.dll"));
}

// What the TOML parser is never given, for both manifests: exit status 2 and
// one line saying why, never a crash or the bytes on the terminal.
TEST_F(Safety, ManifestsRefusedBeforeParsing) {
    const struct {
        const char* what;
        std::string text;
        const char* message;
    } rows[] = {
        {"20,000 nested brackets", "a = " + std::string(20000, '['), "nested more than 32 deep"},
        {"20,000 nested inline tables", "a = " + std::string(20000, '{'), "nested more than 32 deep"},
        {"a dotted key of 100,000 parts", "a" + std::string(100000, '.') + " = 1",
         "nested more than 32 deep"},
        {"larger than 1 MiB", "# " + std::string(1100000, 'x') + "\n", "a manifest has at most"},
        {"a program image", std::string("MZ\x90\x00\x03", 5) + std::string(100, '\0'), "not a text manifest"},
        {"bytes that are not UTF-8", "saver_name = \"\xff\xfe\"\n", "not a text manifest"},
    };
    write("src/a.txt", "alpha");
    ASSERT_EQ(run({"ssd", "init-record", path("saver.rec")}), 0);
    for (const auto& row : rows) {
        write("m.toml", row.text);
        EXPECT_EQ(build(), 2) << row.what;
        EXPECT_NE(err.find(row.message), std::string::npos) << row.what << ": " << err.substr(0, 300);
        EXPECT_LT(err.size(), 400u) << row.what;
        EXPECT_FALSE(fs::exists(path("out.exe"))) << row.what;
        EXPECT_EQ(run({"ssd", "build", path("m.toml"), "--record", path("saver.rec"), path("d.ssd")}), 2)
            << row.what;
        EXPECT_NE(err.find(row.message), std::string::npos) << row.what << ": " << err.substr(0, 300);
    }
    // Stub and manifest swapped: the hint names the order.
    EXPECT_EQ(run({"build", path("m.toml"), path("stub.exe"), path("out.exe")}), 2);
    EXPECT_NE(err.find("wrong order"), std::string::npos) << err;
    EXPECT_NE(err.find("build takes STUB MANIFEST OUT"), std::string::npos) << err;
    // Brackets inside strings and comments are not nesting.
    write("m.toml", std::string(kManifest) + "# " + std::string(100, '[') +
                        "\n[slots.5]\nfile = \"files/e1.dll\"\n" + "name = \"" + std::string(40, '[') +
                        ".txt\"\n");
    EXPECT_EQ(build(), 0) << err;
}

// Every verb's help, asked either way, exits 0 and prints that verb's usage;
// a file named like the flag is never opened.
TEST_F(Safety, EveryVerbHasItsOwnHelp) {
    const std::vector<std::string> topics = tool::helpTopics();
    for (const char* verb : {"build", "list", "extract", "verify", "implode", "explode", "help", "ssd",
                             "ssd build", "ssd list", "ssd extract", "ssd init-record", "swf", "swf info"})
        EXPECT_NE(std::find(topics.begin(), topics.end(), verb), topics.end()) << verb;
    for (const std::string& topic : topics) {
        std::vector<std::string> words;
        std::istringstream split(topic);
        for (std::string w; split >> w;) words.push_back(w);
        const std::string usage = "usage: saverpack " + topic;
        for (const char* flag : {"--help", "-h"}) {
            std::vector<std::string> asked = words;
            asked.push_back(flag);
            EXPECT_EQ(run(asked), 0) << topic << " " << flag << ": " << err;
            EXPECT_EQ(out.compare(0, usage.size(), usage), 0) << topic << " " << flag << ": " << out;
        }
        std::vector<std::string> viaHelp = {"help"};
        viaHelp.insert(viaHelp.end(), words.begin(), words.end());
        EXPECT_EQ(run(viaHelp), 0) << "help " << topic;
        EXPECT_EQ(out.compare(0, usage.size(), usage), 0) << "help " << topic << ": " << out;
    }
    // With other arguments, and "ssd help VERB".
    EXPECT_EQ(run({"ssd", "list", "--help"}), 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(run({"build", "a", "b", "c", "--help"}), 0);
    EXPECT_NE(out.find("--force"), std::string::npos);
    EXPECT_EQ(run({"ssd", "help", "extract"}), 0);
    EXPECT_NE(out.find("usage: saverpack ssd extract"), std::string::npos);
    // An option's value is not a request: --slot takes "-h" and refuses it.
    EXPECT_EQ(run({"extract", "f", "d", "--slot", "-h"}), 2);
    EXPECT_EQ(run({"help", "biuld"}), 2);
    EXPECT_NE(err.find("did you mean 'build'"), std::string::npos) << err;
}

// Errors name the file, line and key, say why, and suggest the key meant.
TEST_F(Safety, ErrorsPointAtTheMistake) {
    const std::string base = kManifest;
    auto with = [&](const std::string& find, const std::string& replace) {
        std::string text = base;
        text.replace(text.find(find), find.size(), replace);
        return text;
    };
    const struct {
        const char* what;
        std::string text;
        std::string message;
    } rows[] = {
        {"a misspelt key", with("mode = 8", "mode = 8\nlicence = true"),
         "m.toml:4: settings.licence: unknown key (did you mean 'license'?)"},
        {"a misspelt slot key", with("compress = true", "compres = true"),
         "m.toml:11: slots.6.compres: unknown key (did you mean 'compress'?)"},
        {"a file that is not there", with("files/preview.jpg", "images/preview.jpg"),
         "m.toml:6: slots.3.file: " + dir + "/images/preview.jpg cannot be read (No such file or directory)"},
        {"a folder as a file", with("files/preview.jpg", "files"),
         "slots.3.file: " + dir + "/files cannot be read (it is a folder)"},
        {"a saver name ending in a space", with("\"Night Sky\"", "\"Night Sky \""),
         "m.toml:2: settings.saver_name: the saver name \"Night Sky \" is not a plain folder name: it ends "
         "with a space"},
        {"a device name", with("\"saver1.dll\"", "\"COM1.dll\""),
         "slots.9.name: the stored name \"COM1.dll\" is not a plain file name: 'COM1' is a device name"},
        {"a forbidden character", with("\"saver2.dll\"", "\"saver|2.dll\""),
         "slots.10.name: the stored name \"saver|2.dll\" is not a plain file name: it holds '|'"},
        {"a TOML syntax error", with("mode = 8", "mode = "),
         "m.toml:3: missing value after key-value separator '='"},
    };
    for (const auto& row : rows) {
        write("m.toml", row.text);
        EXPECT_EQ(build(), 1) << row.what;
        EXPECT_NE(err.find(row.message), std::string::npos) << row.what << ": " << err;
        EXPECT_EQ(err.find("toml::"), std::string::npos) << row.what << ": " << err;
    }
    const struct {
        std::vector<std::string> command;
        const char* message;
    } usage[] = {
        {{"buidl"}, "unknown command 'buidl' (did you mean 'build'?)"},
        {{"ssd", "lsit", "f"}, "unknown command lsit (did you mean 'list'?)"},
        {{"ssd", "build", "src", "out.ssd"}, "the settings record is missing: give --record"},
        {{"ssd", "build", "src", "--recrod", "r", "out.ssd"}, "did you mean '--record'?"},
        {{"swf", "ifno", "m.swf"}, "did you mean 'info'?"},
    };
    for (const auto& u : usage) {
        EXPECT_EQ(run(u.command), 2) << u.command[0];
        EXPECT_NE(err.find(u.message), std::string::npos) << u.message << ": " << err;
    }
}

TEST_F(Safety, InitRecordMakesARecordThatBuildsAndLists) {
    ASSERT_EQ(run({"ssd", "init-record", path("saver.rec"), "--mode", "3"}), 0) << err;
    const std::string record = read("saver.rec");
    ASSERT_EQ(record.size(), kSaverRecordSize);
    EXPECT_EQ(record.substr(kSaverRecordModeOffset, 4), std::string("\x03\0\0\0", 4));
    EXPECT_EQ(record.find_first_not_of('\0'), kSaverRecordModeOffset);
    write("src/a.txt", "alpha");
    ASSERT_EQ(run({"ssd", "build", path("src"), "--record", path("saver.rec"), path("d.ssd")}), 0) << err;
    ASSERT_EQ(run({"ssd", "list", path("d.ssd")}), 0) << err;
    EXPECT_NE(out.find("1 items, presentation mode 3"), std::string::npos) << out;
    EXPECT_EQ(run({"ssd", "init-record", path("r2"), "--mode", "256"}), 2);
}

// A name read from a file reaches the terminal with its control characters
// escaped.
TEST_F(Safety, NamesFromFilesArePrintedEscaped) {
    buildDataFile();
    poke("d.ssd", kSaverRecordSize + 2, "\x1b[2J");  // "a.txt" -> ESC [ 2 J . t x t
    for (const std::vector<std::string>& command : {std::vector<std::string>{"ssd", "list", path("d.ssd")},
                                                    {"ssd", "extract", path("d.ssd"), path("y")}}) {
        EXPECT_EQ(run(command), 1) << command[1];
        EXPECT_EQ((out + err).find('\x1b'), std::string::npos) << command[1];
        EXPECT_NE((out + err).find("\\x1b[2J"), std::string::npos) << command[1] << out << err;
    }
    EXPECT_NE(err.find("the control character \\x1b"), std::string::npos) << err;
    // A path given on the command line, in every verb's messages.
    for (const std::vector<std::string>& command : {std::vector<std::string>{"verify", path("no\x1b[2Jfile")},
                                                    {"list", path("no\x1b[2Jfile")},
                                                    {"extract", path("no\x1b[2Jfile"), path("z")},
                                                    {"explode", path("no\x1b[2Jfile"), path("z")},
                                                    {"ssd", "list", path("no\x1b[2Jfile")},
                                                    {"swf", "info", path("no\x1b[2Jfile")}}) {
        EXPECT_NE(run(command), 0) << command[0];
        EXPECT_EQ((out + err).find('\x1b'), std::string::npos) << command[0];
    }
}

}  // namespace
