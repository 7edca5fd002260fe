// extractEntry over the test double: where each slot goes, byte-identical
// output, replacing busy files, the size checks, and packages that lie.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/package/package_fixture.h"
#include "tools/saverpack/commands.h"

using namespace ssi;
using namespace ssi::test;

namespace {

using ExtractEntry = PackageFixture;

TEST_F(ExtractEntry, DestinationFollowsTheKindAndTheExactSpecialNames) {
    install();
    struct Case {
        const char* name;
        int32_t kind;
        std::string expected;
    } cases[] = {
        {"a.txt", 1, installDir + "a.txt"},
        {"a.txt", 5, installDir + "a.txt"},
        {"a.txt", 6, installDir + "a.txt"},
        {"a.txt", 10, installDir + "a.txt"},
        {"Night Sky.scr", 2, system + "Night Sky.scr"},
        {"flashax7.exe", 3, scratch + "flashax7.exe"},
        {"install_flash_player_active_x.msi", 3, scratch + "install_flash_player_active_x.msi"},
        {"player.ocx", 3, system + "player.dll"},
        {"Flashax7.exe", 3, system + "Flashax7.dll"},
        {"player", 3, system + "player.dll"},
        {"impborl.dat", 4, scratch + "impborl.dll"},
        {"ImpBorl.dat", 4, scratch + "ImpBorl.dat"},
        {"x.ssd", 4, scratch + "x.ssd"},
        {"x.jpg", 7, scratch + "x.jpg"},
        // No destination: nothing may be formed.
        {"a.txt", 0, ""},
        {"a.txt", 8, ""},
        {"a.txt", 9, ""},
        {"a.txt", 11, ""},
        {"a.txt", -1, ""},
        {"..\\a.txt", 2, ""},
        {"sub\\a.txt", 7, ""},
        {"C:a.txt", 7, ""},
        {"", 7, ""},
    };
    for (const Case& c : cases) {
        PackageEntry e{};
        e.setName(c.name);
        e.targetKind = c.kind;
        EXPECT_EQ(steps.destinationFor(e), c.expected) << c.name << " kind " << c.kind;
    }
}

TEST_F(ExtractEntry, StoredAndCompressedSlotsComeOutByteIdentical) {
    install();
    const char* const dest[] = {nullptr,
                                "C:\\TEMP\\QDX1\\impborl.dll",
                                "C:\\TEMP\\QDX1\\flashax7.exe",
                                "C:\\TEMP\\QDX1\\installer.jpeg",
                                "C:\\TEMP\\QDX1\\License.txt",
                                "C:\\TEMP\\QDX1\\ReadMe.txt",
                                "C:\\WINDOWS\\SYSTEM\\Night Sky.scr",
                                "C:\\WINDOWS\\SYSTEM\\Night Sky dir\\setwnd.scf",
                                "C:\\TEMP\\QDX1\\Night Sky.ssd",
                                "C:\\WINDOWS\\SYSTEM\\Night Sky dir\\saver1.dll",
                                "C:\\WINDOWS\\SYSTEM\\Night Sky dir\\saver2.dll"};
    for (int slot = 2; slot <= 10; ++slot) {
        ASSERT_EQ(extract(slot), 0) << slot;
        EXPECT_EQ(os.readFile(dest[slot]), source(slot)) << slot;
    }
    ASSERT_EQ(extract(1), 0);  // replaces the library the fixture put there
    EXPECT_EQ(os.readFile(dest[1]), source(1));
    EXPECT_TRUE(os.boxes.empty());
    // The compressed slots were imploded in the format's binary 4 KiB steps.
    const PackageEntry& scr = package.header.entries[6];
    EXPECT_EQ(image[size_t(scr.firstByte)], 0x00);
    EXPECT_EQ(image[size_t(scr.firstByte) + 1], 0x06);
}

TEST_F(ExtractEntry, AOneByteSlotHasFirstByteEqualToLastByte) {
    input.slots[7] = slotOf("one.scf", 5, false, "Z");
    install();
    EXPECT_EQ(package.header.entries[7].firstByte, package.header.entries[7].lastByte);
    ASSERT_EQ(extract(7), 0);
    EXPECT_EQ(os.readFile(installDir + "one.scf"), "Z");
}

TEST_F(ExtractEntry, ABusyDllIsKeptButOtherBusyFilesGoThroughTheRetries) {
    install();
    int deletes = 0;
    os.inject = [&](Op op, const std::string&) -> Result {
        return op == Op::DeleteFile ? (++deletes, 0) : 0;
    };

    // ".dll": one forced delete (two attempts), then the old file stays and the slot counts as done.
    os.writeFile(installDir + "saver1.dll", "old");
    os.lock(installDir + "saver1.dll");
    EXPECT_EQ(extract(9), 0);
    EXPECT_EQ(os.readFile(installDir + "saver1.dll"), "old");
    EXPECT_EQ(deletes, 2);

    // ".DLL" is not ".dll": a thousand retries, silently kept the same way.
    deletes = 0;
    patch([](PackageHeader& h) { h.entries[10].setName("SAVER2.DLL"); });
    os.writeFile(installDir + "SAVER2.DLL", "old");
    os.lock(installDir + "SAVER2.DLL");
    EXPECT_EQ(extract(10), 0);
    EXPECT_EQ(os.readFile(installDir + "SAVER2.DLL"), "old");
    EXPECT_EQ(deletes, 2000);

    // A busy screen saver cannot be replaced: -38, and the caller reports it.
    os.writeFile(system + "Night Sky.scr", "old");
    os.lock(system + "Night Sky.scr");
    EXPECT_EQ(extract(6), rc::kSaverNotReplaced);
    EXPECT_EQ(os.readFile(system + "Night Sky.scr"), "old");
    EXPECT_TRUE(os.boxes.empty());
}

TEST_F(ExtractEntry, ExpandedSizeAndLibraryFailures) {
    install();
    // Wrong expandedSize: -13, shown for a ".dll" with its path, silent for a ".scr".
    patch([](PackageHeader& h) {
        h.entries[9].expandedSize += 1;
        h.entries[6].expandedSize -= 1;
    });
    EXPECT_EQ(extract(9), rc::kExpandedSizeWrong);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_NE(os.boxes[0].text.find(installDir + "saver1.dll"), std::string::npos);
    EXPECT_EQ(extract(6), rc::kExpandedSizeWrong);
    EXPECT_EQ(os.boxes.size(), 1u);
    // The cap on the output keeps an overlong expansion short of filling the disk.
    EXPECT_EQ(os.readFile(system + "Night Sky.scr").size(), size_t(package.header.entries[6].expandedSize) + 1);

    // No file after the expansion: the Zip Error box from the binding, then -16.
    os.boxes.clear();
    os.inject = [&](Op op, const std::string& path) -> Result {
        return op == Op::OpenFile && path == installDir + "saver2.dll" ? 5 : 0;
    };
    EXPECT_EQ(extract(10), rc::kExpandedFileMissing);
    ASSERT_EQ(os.boxes.size(), 2u);
    EXPECT_EQ(os.boxes[0].text.rfind("Zip Error: Problem expanding data in memory. \r\n\r\n", 0), 0u);
    os.inject = nullptr;

    // A library that lacks "_crc32", or no library at all: -35.
    os.libraryExports["impborl.dll"].erase("_crc32");
    EXPECT_EQ(extract(6), rc::kLibraryNotLoaded);
    ASSERT_EQ(os.files().deleteFile(scratch + "impborl.dll"), 0);
    EXPECT_EQ(extract(6), rc::kLibraryNotLoaded);
}

TEST_F(ExtractEntry, SlotsThatLieAboutTheirBytesAreRefusedBeforeAnythingChanges) {
    install();
    const std::vector<uint8_t> good = image;
    os.writeFile(installDir + "setwnd.scf", "old");
    os.writeFile(installDir + "saver1.dll", "old");
    const int32_t end = int32_t(image.size());
    struct Case {
        int32_t first, last;
    } cases[] = {
        {-5, 10}, {100, 99}, {100, 50}, {end - 10, end}, {end - 10, INT32_MAX}, {INT32_MIN, INT32_MAX},
    };
    for (const Case& c : cases) {
        for (int slot : {7, 9}) {
            patch([&](PackageHeader& h) {
                h.entries[slot].firstByte = c.first;
                h.entries[slot].lastByte = c.last;
                h.entries[slot].expandedSize = INT32_MAX;
            });
            EXPECT_EQ(extract(slot), rc::kShortRead) << c.first << ".." << c.last;
        }
        EXPECT_EQ(os.readFile(installDir + "setwnd.scf"), "old");
        EXPECT_EQ(os.readFile(installDir + "saver1.dll"), "old");
    }

    // A file cut short inside the stored bytes of a slot: -30 as well.
    image = good;
    image.resize(image.size() - 5);
    install(image);
    EXPECT_EQ(extract(10), rc::kShortRead);
    EXPECT_EQ(extract(9), 0);
}

TEST_F(ExtractEntry, UnsafeNamesAndKindsWithoutDestinationWriteNothing) {
    install();
    for (const char* name : {"..\\evil.scr", "..", "a\\b.scr", "a/b.scr", "C:evil.scr", "con", "NUL.scr",
                             "a|b", "a?b", "tab\tname", "dots..scr", "trailing.", "evil.scr "}) {
        patch([&](PackageHeader& h) { h.entries[6].setName(name); });
        EXPECT_EQ(extract(6), rc::kCorruptPackage) << name;
    }
    EXPECT_FALSE(exists("C:\\WINDOWS\\evil.scr"));
    EXPECT_FALSE(exists("C:\\evil.scr"));

    // A saver name that would leave the system directory forms no install path.
    patch([](PackageHeader& h) { std::memcpy(h.saverName, "..\\..\\x\0", 8); });
    EXPECT_EQ(extract(9), rc::kCorruptPackage);

    for (int32_t kind : {0, 8, 9, 11, -3}) {
        patch([&](PackageHeader& h) { h.entries[7].targetKind = kind; });
        EXPECT_EQ(extract(7), rc::kNoDestination) << kind;
    }
    EXPECT_TRUE(os.boxes.empty());
}

TEST_F(ExtractEntry, ProgressOnlyWhenAskedAndErrorsReportedWithTheirPaths) {
    install();
    const int before = os.handledMessages;
    ASSERT_EQ(extract(7, false), 0);
    EXPECT_EQ(steps.reporter.status(), "");
    EXPECT_EQ(steps.reporter.steps, 0);
    EXPECT_EQ(os.handledMessages, before);

    ASSERT_EQ(extract(8, true), 0);
    EXPECT_EQ(steps.reporter.status(), "Writing screen saver files...");
    EXPECT_EQ(steps.reporter.steps, 1);

    // An empty slot: -531, reported with an empty path.
    patch([](PackageHeader& h) { h.entries[7].setName(""); });
    EXPECT_EQ(extract(7), rc::kEmptySlotName);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, "Installation Error: \r\n\r\nProblem with file . ");

    // An I/O error is reported at once with the destination, even for a ".scr".
    os.boxes.clear();
    os.inject = [&](Op op, const std::string&) -> Result { return op == Op::Read ? 23 : 0; };
    EXPECT_EQ(extract(6), 23);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_NE(os.boxes[0].text.find(system + "Night Sky.scr"), std::string::npos);
}

// A compressed slot is judged by the size it expands to, by the installer and
// by the package tool alike: a stream the codec calls damaged (its end code
// cut off) that gives every byte is taken; one cut short is refused by both.
TEST_F(ExtractEntry, ACompressedSlotIsJudgedByItsSizeInTheToolAsInTheInstaller) {
    install();
    const std::vector<uint8_t> good = image;
    const PackageEntry last = package.header.entries[10];
    ASSERT_TRUE(last.compressed);
    ASSERT_EQ(size_t(last.lastByte) + 1, good.size()) << "slot 10 ends the file";
    const std::string stored(good.begin() + last.firstByte, good.end());
    char tmpl[] = "/tmp/ssi-slot-size-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    const struct {
        const char* what;
        std::string bytes;
        bool refused;
    } cases[] = {
        {"the whole stream", stored, false},
        {"without its last byte (the end code)", stored.substr(0, stored.size() - 1), false},
        {"cut short", stored.substr(0, stored.size() / 2), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> cut(good.begin(), good.begin() + last.firstByte);
        cut.insert(cut.end(), c.bytes.begin(), c.bytes.end());
        PackageHeader h = headerOf(cut);
        h.entries[10].lastByte = int32_t(cut.size()) - 1;
        h.entries[10].packedSize = int32_t(c.bytes.size());
        storeHeader(cut, h);
        install(cut);

        const Result installed = extract(10);
        EXPECT_EQ(installed, c.refused ? rc::kExpandedSizeWrong : rc::kOk);
        if (!c.refused) {
            EXPECT_EQ(os.readFile(installDir + "saver2.dll"), source(10));
        }

        std::ofstream(dir + "/out.exe", std::ios::binary)
            .write(reinterpret_cast<const char*>(cut.data()), std::streamsize(cut.size()));
        std::system(("rm -rf '" + dir + "/x'").c_str());
        std::ostringstream out, err;
        const int extracted = tool::runSaverpack(
            {"saverpack", "extract", dir + "/out.exe", dir + "/x", "--slot", "10"}, out, err);
        std::vector<std::string> faults;
        ASSERT_TRUE(tool::verifyInstaller(dir + "/out.exe", faults));
        EXPECT_EQ(extracted, c.refused ? 1 : 0) << err.str();
        EXPECT_EQ(faults.size(), c.refused ? 1u : 0u) << (faults.empty() ? "" : faults.front());
        std::ifstream written(dir + "/x/saver2.dll", std::ios::binary);
        std::stringstream content;
        content << written.rdbuf();
        EXPECT_EQ(content.str(), c.refused ? "" : source(10));
        // The tool and the installer agree.
        EXPECT_EQ(extracted != 0, installed != rc::kOk);
    }
    std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
