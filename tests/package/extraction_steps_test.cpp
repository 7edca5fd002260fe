// The fixed slot roles: single-slot steps, the preview's renaming, and the
// installation's run over slots 5 or 6 to 10.
#include "tests/package/package_fixture.h"
#include "tests/ssd/ssd_test_util.h"

using namespace ssi;
using namespace ssi::test;

namespace {

using ExtractionSteps = PackageFixture;

TEST_F(ExtractionSteps, SingleSlotStepsWriteTheirRoleToTheScratchDirectory) {
    install();
    EXPECT_EQ(steps.extractReadMe(), 0);
    EXPECT_EQ(steps.extractLicense(), 0);
    EXPECT_EQ(steps.extractFlashInstaller(), 0);
    EXPECT_EQ(os.readFile(scratch + "ReadMe.txt"), source(5));
    EXPECT_EQ(os.readFile(scratch + "License.txt"), source(4));
    EXPECT_EQ(os.readFile(scratch + "flashax7.exe"), source(2));

    // An empty slot: -531 at once, with no message and nothing opened.
    patch([](PackageHeader& h) { h.entries[5].setName(""); });
    os.inject = [](Op op, const std::string&) -> Result { return op == Op::OpenFile ? 5 : 0; };
    EXPECT_EQ(steps.extractReadMe(), rc::kEmptySlotName);
    EXPECT_TRUE(os.boxes.empty());

    // The installer copy cannot be opened: its code, shown with the scratch directory.
    EXPECT_EQ(steps.extractLicense(), 5);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text.rfind("Installation Error: " + scratch + "\r\n", 0), 0u);
}

TEST_F(ExtractionSteps, ThePreviewTakesTheExtensionOfItsMode) {
    struct Case {
        uint8_t mode;
        const char* stored;
        const char* written;
    } cases[] = {{8, "installer.jpeg", "installer.jpg"},
                 {1, "installer.jpg", "installer.BMP"},
                 {1, "preview", "preview.BMP"},
                 {2, "installer.swf", "installer.swf"}};
    for (const Case& c : cases) {
        input.installerMode = c.mode;
        input.slots[3]->name = c.stored;
        install();
        ASSERT_EQ(steps.extractPreview(), 0) << c.stored;
        EXPECT_EQ(package.header.entries[3].name(), c.written);
        EXPECT_EQ(os.readFile(scratch + c.written), source(3));
    }
    // The new name is kept within the format's 255 characters.
    input.installerMode = 8;
    input.slots[3]->name = std::string(253, 'p') + ".b";
    install();
    ASSERT_EQ(steps.extractPreview(), 0);
    EXPECT_EQ(package.header.entries[3].name(), std::string(253, 'p') + ".j");
}

TEST_F(ExtractionSteps, InstallationRunsFromSlotFiveOrSixAndStopsOnFailureOrCancel) {
    install();
    steps.readMeIncluded = false;
    ASSERT_EQ(steps.extractInstallEntries(package.installerCopyPath), 0);
    EXPECT_EQ(steps.reporter.steps, 5);
    EXPECT_FALSE(exists(installDir + "ReadMe.txt") || exists(scratch + "ReadMe.txt"));
    EXPECT_EQ(os.readFile(installDir + "saver2.dll"), source(10));

    steps.readMeIncluded = true;
    steps.reporter.steps = 0;
    ASSERT_EQ(steps.extractInstallEntries(package.installerCopyPath), 0);
    EXPECT_EQ(steps.reporter.steps, 6);
    EXPECT_EQ(os.readFile(scratch + "ReadMe.txt"), source(5));

    // A failing slot ends the run.
    for (const std::string& f :
         {system + "Night Sky.scr", installDir + "setwnd.scf", scratch + "Night Sky.ssd",
          installDir + "saver1.dll", installDir + "saver2.dll"})
        ASSERT_EQ(os.files().deleteFile(f), 0);
    patch([](PackageHeader& h) {
        h.entries[7].expandedSize = 5;
        h.entries[7].compressed = 1;
    });
    EXPECT_NE(steps.extractInstallEntries(package.installerCopyPath), 0);
    EXPECT_TRUE(exists(system + "Night Sky.scr"));
    EXPECT_FALSE(exists(scratch + "Night Sky.ssd"));

    // Cancel pressed while slot 6 is being written ends the loop after it, with its result.
    install();
    steps.readMeIncluded = false;
    ASSERT_EQ(os.files().deleteFile(system + "Night Sky.scr"), 0);
    steps.reporter.onStep = [&] { steps.reporter.stop = true; };
    EXPECT_EQ(steps.extractInstallEntries(package.installerCopyPath), 0);
    EXPECT_TRUE(exists(system + "Night Sky.scr"));
    EXPECT_FALSE(exists(scratch + "Night Sky.ssd"));

    steps.reporter.onStep = nullptr;
    EXPECT_EQ(steps.extractInstallEntries(scratch + "absent.dat"), oserr::kFileNotFound);
    EXPECT_EQ(os.boxes.back().text.rfind("Installation Error: " + scratch + "absent.dat", 0), 0u);
}

// ---- the data file: read where it lies when stored ---------------------------------

struct DataFileSource : PackageFixture {
    // Builds the package with `data` as slot 8 and runs the installation's
    // package steps up to the data items; the data file path exists or not
    // while the items are written, as `presentDuringItems` receives.
    [[nodiscard]] Result installWith(const std::string& data, bool compressed, bool& presentDuringItems) {
        input.slots[slot::kDataFile] = slotOf("Night Sky.ssd", kind::kScratchLibrary, compressed, data);
        install();
        steps.deriveInstallPaths();
        EXPECT_EQ(deleteDirTree(os, installDir), 0);
        os.makeDirs(installDir);
        os.boxes.clear();
        steps.data = SaverData{};
        steps.reporter.steps = 0;
        if (Result e = steps.extractInstallEntries(package.installerCopyPath)) return e;
        presentDuringItems = exists(package.dataFilePath);
        if (Result e = steps.readSaverRecord()) return e;
        return steps.expandDataFile();
    }
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        for (const RecordedBox& b : os.boxes) texts.push_back(b.text);
        return texts;
    }
};

TEST_F(DataFileSource, AStoredDataFileIsReadInPlaceACompressedOneExtractedAndDeletedAfterUse) {
    const std::string data = makeDataFile({{"intro.swf", "movie"}, {"media\\stars.txt", "stars", true}}, 8);
    struct Case {
        bool compressed;
        bool inScratch;  // whether a copy is written to the scratch folder
    } cases[] = {{false, false}, {true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.compressed ? "compressed" : "stored");
        bool present = false;
        ASSERT_EQ(installWith(data, c.compressed, present), 0);
        EXPECT_EQ(package.dataFilePath, scratch + "Night Sky.ssd");
        EXPECT_EQ(dataFileReadInPlace(package), !c.compressed);
        EXPECT_EQ(present, c.inScratch);
        EXPECT_EQ(steps.reporter.steps, 5 + 1) << "the slot's progress step is taken either way, and the items'";
        EXPECT_EQ(recordBytes(steps.data.record), recordBytes(patternRecord(2, 8)));
        EXPECT_EQ(os.readFile(installDir + "intro.swf"), "movie");
        EXPECT_EQ(os.readFile(installDir + "media\\stars.txt"), "stars");
        EXPECT_FALSE(exists(package.dataFilePath)) << "nothing of it left in the scratch folder";
        EXPECT_TRUE(os.boxes.empty());
    }

    // Slot 8 written elsewhere than the data file path is written out as before.
    input.slots[slot::kDataFile] = slotOf("Night Sky.ssd", kind::kInstallDir, false, data);
    install();
    steps.deriveInstallPaths();
    EXPECT_FALSE(dataFileReadInPlace(package));
}

TEST_F(DataFileSource, DamagedDataFilesAreRefusedAlikeInPlaceAndExtracted) {
    std::string countTooHigh = makeDataFile({{"a.txt", "a"}}, 8, 2000);
    struct Case {
        const char* what;
        std::string bytes;
        Result expected;
    } cases[] = {
        {"shorter than a record", std::string(100, 'x'), rc::kShortRead},
        {"item count out of range", countTooHigh, rc::kCorruptDataFile},
        {"chunk outside the file", makeDataFile({{"a.txt", "a"}, TestItem("b.txt", "b").at(0x7FFFFFF0)}),
         rc::kShortRead},
        {"bytes past the end", makeDataFile({TestItem("a.txt", "abc").expanded(100000)}), rc::kShortRead},
        {"negative expanded size", makeDataFile({TestItem("a.txt", "abc").expanded(-5)}), rc::kCorruptDataFile},
        {"unsafe item name", makeDataFile({{"..\\up.txt", "x"}}), rc::kUnsafeItemName},
        {"garbage in a compressed item", makeDataFile({TestItem("z.txt", "zzzz", true).bytes("\x07\x09junk")}),
         rc::kExpandedSizeWrong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool present = false;
        const Result inPlace = installWith(c.bytes, false, present);
        const std::vector<std::string> inPlaceBoxes = boxTexts();
        const bool inPlaceWrote = exists(system + "up.txt");
        const Result extracted = installWith(c.bytes, true, present);
        EXPECT_EQ(inPlace, c.expected);
        EXPECT_EQ(extracted, c.expected);
        EXPECT_EQ(inPlaceBoxes, boxTexts());
        EXPECT_FALSE(inPlaceWrote);
        EXPECT_FALSE(exists(system + "up.txt"));
    }

    // An installer copy cut short inside slot 8: -30 for the slot, as when it is written out.
    input.slots[slot::kDataFile] = slotOf("Night Sky.ssd", kind::kScratchLibrary, false, makeDataFile({}));
    install();
    steps.deriveInstallPaths();
    const int32_t first = package.entry(slot::kDataFile).firstByte;
    install(std::vector<uint8_t>(image.begin(), image.begin() + first + 10));
    steps.deriveInstallPaths();
    std::unique_ptr<File> source;
    EXPECT_EQ(openDataFileSource(os, package, source), rc::kShortRead);
    EXPECT_EQ(extract(slot::kDataFile), rc::kShortRead);
}

TEST(FileWindows, ReadSeekAndSizeStayInsideTheWindow) {
    FakeOs os;
    os.writeFile("C:\\w.bin", "0123456789ABCDEF");
    std::unique_ptr<File> base;
    ASSERT_EQ(os.files().openFile("C:\\w.bin", FileAccess::Read, base), 0);
    FileWindow window(std::move(base), 4, 6);  // "456789"
    int64_t size = 0;
    ASSERT_EQ(window.size(size), 0);
    EXPECT_EQ(size, 6);
    char buffer[16] = {};
    uint32_t got = 0;
    struct Step {
        int64_t seekTo;  // -1: no seek
        uint32_t want;
        std::string expected;
    } steps[] = {{-1, 3, "456"}, {-1, 10, "789"}, {-1, 5, ""}, {1, 2, "56"}, {5, 4, "9"}, {9, 4, ""}, {0, 6, "456789"}};
    for (const Step& s : steps) {
        if (s.seekTo >= 0) {
            ASSERT_EQ(window.seek(s.seekTo), 0);
        }
        ASSERT_EQ(window.read(buffer, s.want, got), 0);
        EXPECT_EQ(std::string(buffer, got), s.expected) << "seek " << s.seekTo << " want " << s.want;
    }
    uint32_t put = 0;
    EXPECT_EQ(window.write("x", 1, put), oserr::kAccessDenied);
    EXPECT_EQ(window.seek(-1), oserr::kNegativeSeek);
    EXPECT_EQ(window.close(), 0);
    EXPECT_EQ(window.read(buffer, 1, got), oserr::kInvalidHandle);
    EXPECT_EQ(os.readFile("C:\\w.bin"), "0123456789ABCDEF");
}

}  // namespace

