// The package rules shared by the installer's checks, the tool and the fuzz
// target: safe names, and one named fault per broken layout rule.
#include "package/slot_extraction.h"
#include "tests/package/package_fixture.h"

using namespace ssi;
using namespace ssi::test;

namespace {

TEST(PackageLayout, OnlyPlainFileNamesAreSafe) {
    for (const char* name : {"Night Sky.scr", "a", "saver1.dll", "x.y.z", "caf\xe9.txt", "icon.txt",
                             "console", "COM10", ".hidden", "COM\xb4", "LPT\xbc.dll", "com\2711", "\271com"})
        EXPECT_TRUE(isSafeFileName(name)) << name;
    for (const char* name :
         {"", ".", "..", "..\\x", "a\\b", "a/b", "C:x", "x:", "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b",
          "a\x1f", "\x01", "x..y", "end.", "end ", "CON", "con.txt", "Nul", "aux.dll", "COM1", "lpt9.scr",
          "PRN .txt",
          // the superscript digits of code page 1252 name the same ports
          "COM\xb9", "com\xb2.txt", "Com\xb3 .scr", "LPT\xb9", "lpt\xb2.dll", "LpT\xb3.x.y"})
        EXPECT_FALSE(isSafeFileName(name)) << name;
}

struct Layout : ::testing::Test {
    std::vector<uint8_t> image = buildImage(standardInput());
    PackageHeader h = headerOf(image);
    std::vector<std::string> faults() { return layoutFaults(h, int64_t(image.size())); }
};

TEST_F(Layout, TheBuildersLayoutIsClean) {
    EXPECT_TRUE(faults().empty()) << faults().front();
    EXPECT_EQ(h.entries[1].firstByte, 678480);
    EXPECT_EQ(h.entries[10].lastByte, int32_t(image.size()) - 1);
    EXPECT_EQ(h.entries[9].packedSize, h.entries[9].storedSize());
    EXPECT_EQ(h.entries[2].packedSize, 0);
}

TEST_F(Layout, EachBrokenRuleIsNamed) {
    auto only = [&](const std::string& expected) {
        std::vector<std::string> f = faults();
        h = headerOf(image);
        return f.size() == 1 && f[0] == expected ? std::string() : (f.empty() ? "none" : f[0]);
    };
    const int32_t s3 = h.entries[3].firstByte;
    h.entries[3].firstByte += 1;
    h.entries[3].expandedSize -= 1;
    EXPECT_EQ(only("slot 3: firstByte " + std::to_string(s3 + 1) + " should be " + std::to_string(s3) +
                   " (right after slot 2)"),
              "");
    h.entries[1].firstByte = 0;
    h.entries[1].lastByte = 12287;
    EXPECT_NE(faults()[0].find("slot 1: firstByte 0 should be 678480 (right after the header)"),
              std::string::npos);
    h = headerOf(image);
    h.flashVersionIndex = 2;
    EXPECT_EQ(only("flashVersionIndex 2 should be 0 or 1"), "");
    h.entries[7].packedSize = 3;
    EXPECT_EQ(only("slot 7: packedSize 3 should be 0 (or above the stored size 1404)"), "");
    h.entries[7].expandedSize = 1405;
    EXPECT_EQ(only("slot 7: expandedSize 1405 should be 1404 (the stored size of a stored slot)"), "");
    h.entries[9].packedSize = 0;
    EXPECT_EQ(only("slot 9: packedSize 0 should be " + std::to_string(h.entries[9].storedSize()) +
                   " (the stored size of a compressed slot)"),
              "");
    h.entries[8].targetKind = 9;
    EXPECT_EQ(only("slot 8: targetKind 9 has no destination (1 to 7 or 10)"), "");
    h.entries[0].lastByte = 5;
    EXPECT_EQ(only("slot 0: lastByte 5 should be 675327 (the end of the program image)"), "");
    tool::PackageInput noReadMe = standardInput();
    noReadMe.showReadMe = false;
    noReadMe.slots[5].reset();
    PackageHeader h2 = headerOf(buildImage(noReadMe));
    h2.showReadMe = 1;
    EXPECT_EQ(layoutFaults(h2, h2.entries[10].lastByte + 1),
              std::vector<std::string>{"slot 5: unused, but showReadMe is set"});
    EXPECT_EQ(layoutFaults(h, int64_t(image.size()) + 3)[0],
              "the file has 3 bytes after the last slot (slot 10 ends at byte " +
                  std::to_string(image.size() - 1) + ", the file's last byte is " +
                  std::to_string(image.size() + 2) + ")");
    EXPECT_EQ(layoutFaults(h, int64_t(image.size()) - 1)[0],
              "slot 10: lastByte " + std::to_string(image.size() - 1) +
                  " is beyond the end of the file (last byte " + std::to_string(image.size() - 2) + ")");
}

// The builder's verdicts: the package's own rules on the header it forms,
// each named once, and its own for what the header cannot hold; nothing is
// built.
TEST(PackageLayout, TheBuilderRefusesByThePackagesRules) {
    const struct {
        const char* what;
        void (*change)(tool::PackageInput&);
        const char* error;
    } cases[] = {
        {"unsafe slot name", [](tool::PackageInput& in) { in.slots[9]->name = "con.dll"; },
         "slot 9: name \"con.dll\" is not a plain file name"},
        {"kind without destination", [](tool::PackageInput& in) { in.slots[5]->kind = 9; },
         "slot 5: targetKind 9 has no destination (1 to 7 or 10)"},
        {"version index", [](tool::PackageInput& in) { in.flashVersionIndex = 2; },
         "flashVersionIndex 2 should be 0 or 1"},
        {"unsafe saver name", [](tool::PackageInput& in) { in.saverName = "a\\b"; },
         "saverName \"a\\x5cb\" is not a plain folder name"},
        {"empty saver name", [](tool::PackageInput& in) { in.saverName.clear(); }, "saverName is empty"},
        {"saver name too long", [](tool::PackageInput& in) { in.saverName.assign(65, 'n'); },
         "the saver name has 65 characters, more than 64"},
        {"empty slot name", [](tool::PackageInput& in) { in.slots[3]->name.clear(); },
         "slot 3: the stored name is empty"},
        {"slot name too long", [](tool::PackageInput& in) { in.slots[3]->name.assign(256, 'n'); },
         "slot 3: the stored name has 256 characters, more than 255"},
        {"slot 0", [](tool::PackageInput& in) { in.slots[0] = slotOf("install.exe", 1, false, "MZ"); },
         "slot 0 is the installer program itself; give the stub instead"},
        // Slot 1 is extracted before the install directory is known (nothing
        // compressed, so that this is the one fault).
        {"library bound for the install directory",
         [](tool::PackageInput& in) {
             in.slots[1]->kind = kind::kInstallDir;
             for (int s : {6, 9, 10}) in.slots[s]->compress = false;
         },
         "slot 1: targetKind 1 is the install directory, which is not known yet when the installer extracts "
         "slot 1"},
    };
    for (const auto& c : cases) {
        tool::PackageInput in = standardInput();
        c.change(in);
        std::vector<uint8_t> image, stub(1000, 'M');
        std::vector<std::string> errors;
        EXPECT_FALSE(tool::buildInstaller(stub, in, image, errors)) << c.what;
        EXPECT_TRUE(image.empty()) << c.what;
        EXPECT_EQ(errors, std::vector<std::string>{c.error}) << c.what;
    }
}

TEST(PackageLayout, AQuotedNameReadsBackAsExactlyOneName) {
    // Escapes start with a backslash, so a backslash or quote inside is
    // escaped too: "a\x01" and a name holding the byte 1 differ.
    const struct {
        const char* name;
        const char* shown;
    } cases[] = {{"saver1.dll", "\"saver1.dll\""}, {"a\"b", "\"a\\x22b\""},
                 {"a\\b", "\"a\\x5cb\""},          {"a\\x01", "\"a\\x5cx01\""},
                 {"a\x01", "\"a\\x01\""},          {"\x7f\x1b", "\"\\x7f\\x1b\""},
                 {"caf\xe9", "\"caf\xe9\""},       {"", "\"\""}};
    for (const auto& c : cases) EXPECT_EQ(quoted(c.name), c.shown) << c.name;
    EXPECT_EQ(slotLabel(10), "slot 10: ");
}

TEST_F(Layout, AnUnsafeSlotNameIsNamedUnambiguously) {
    h.entries[4].setName("..\\x");
    const std::vector<PackageFault> found = packageFaults(h, int64_t(image.size()));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].text, "slot 4: name \"..\\x5cx\" is not a plain file name");
    EXPECT_TRUE(found[0].refusedOnRead);
}

// The installer's refusal of a slot by its own fields, which the package
// tool's extract asks too: name first, then destination, then bytes.
TEST_F(Layout, ASlotIsRefusedByNameThenKindThenBytes) {
    const int64_t size = int64_t(image.size());
    const PackageEntry sound = h.entries[7];
    const struct {
        const char* name;
        int32_t kind;
        int64_t lastByteShift;  // added to lastByte
        int64_t fileSize;
        Result expected;
    } cases[] = {
        {"", 9, 0, size, rc::kEmptySlotName},          // unused, whatever else
        {"a\\b", 9, size, size, rc::kCorruptPackage},  // the name before the kind and bytes
        {"CON", 1, 0, size, rc::kCorruptPackage},
        {"ok.txt", 9, size, size, rc::kNoDestination},  // the kind before the bytes
        {"ok.txt", 0, 0, size, rc::kNoDestination},
        {"ok.txt", 1, size, size, rc::kShortRead},       // past the end of the file
        {"ok.txt", 1, -2000, size, rc::kShortRead},      // ends before it starts
        {"ok.txt", 1, size, kUnknownFileSize, rc::kOk},  // bytes not judged without the size
        {"ok.txt", 1, 0, size, rc::kOk},
    };
    for (const auto& c : cases) {
        PackageEntry e = sound;
        e.setName(c.name);
        e.targetKind = c.kind;
        e.lastByte = int32_t(e.lastByte + c.lastByteShift);
        EXPECT_EQ(slotRefusal(e, c.fileSize), c.expected) << c.name << " kind " << c.kind;
    }
}

}  // namespace
