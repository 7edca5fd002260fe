// The screen saver data file over the test double: the container's records,
// opening and extracting items, the refusal of damaged or hostile containers,
// and the three installation steps built on them.
#include <gtest/gtest.h>

#include "package/data_file.h"
#include "platform/fake/fake_os.h"
#include "platform/file_utils.h"
#include "tests/ssd/ssd_test_util.h"
#include "tests/support/codec_library.h"
#include "tests/support/test_reporter.h"

using namespace ssi;
using namespace ssi::test;

namespace {

const std::string kScratch = "C:\\TEMP\\QDX1\\";
const std::string kInstall = "C:\\WINDOWS\\SYSTEM\\Night Sky dir\\";
const std::string kContainer = kScratch + "saver.ssd";
const std::string kInUse = "Quillon Error: Screen saver data file already in use.";
const std::string kReadProblem = "Quillon Error: Problem reading screen saver data file. ";

struct DataFileTest : ::testing::Test {
    FakeOs os;
    SaverRecord record{};
    SaverDataFile data{os, record, kScratch};

    DataFileTest() {
        os.makeDirs(kInstall);
        os.writeFile(kScratch + "impborl.dll", "library");
        registerCodec(os);
    }
    bool exists(const std::string& p) { return os.exists(p); }
    [[nodiscard]] Result open(const std::vector<TestItem>& items, int32_t mode = 8) {
        os.writeFile(kContainer, makeDataFile(items, mode));
        bool read = false;
        return data.openDataFile(kContainer, true, read);
    }
    [[nodiscard]] Result extract(int32_t index) {
        uint8_t cls = 0xEE;
        return data.extractDataItem(kInstall, index, true, cls);
    }
};

TEST(SaverRecords, FieldsAreLittleEndianAtTheirOffsets) {
    DataItem item{};
    item.kind = 3;
    item.kind2 = 2;
    std::string("media\\intro.swf").copy(item.name, sizeof(item.name));
    item.chunkOffset = 0x01020304;
    uint8_t ib[sizeof(DataItem)];
    encodeDataItem(item, ib);
    EXPECT_EQ(ib[0], 3);
    EXPECT_EQ(ib[1], 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(ib + 2)), "media\\intro.swf");
    EXPECT_EQ(ib[260], 0x04);
    EXPECT_EQ(ib[263], 0x01);
    DataItem back{};
    decodeDataItem(ib, back);
    EXPECT_EQ(back.itemName(), "media\\intro.swf");
    EXPECT_EQ(back.chunkOffset, 0x01020304);

    // A name that fills all 256 bytes has no terminator and is taken whole.
    std::fill(std::begin(item.name), std::end(item.name), 'a');
    EXPECT_EQ(item.itemName().size(), 256u);

    DataChunk chunk{};
    chunk.itemClass = 0x105;
    chunk.expandedSize = -2;
    chunk.storedSize = 0x7F000000;
    chunk.compressed = 1;
    uint8_t cb[sizeof(DataChunk)];
    encodeDataChunk(chunk, cb);
    EXPECT_EQ(readLE32(cb + 4), 0x105u);
    EXPECT_EQ(cb[8], 0xFE);
    EXPECT_EQ(cb[11], 0xFF);
    EXPECT_EQ(cb[15], 0x7F);
    EXPECT_EQ(cb[16], 1);

    SaverRecord r{};
    r.setItemCount(1010);
    r.setPresentationMode(3);
    EXPECT_EQ(r.bytes[212], 0xF2);
    EXPECT_EQ(r.bytes[213], 0x03);
    EXPECT_EQ(r.bytes[1204], 3);
    EXPECT_EQ(r.itemCount(), 1010);
}

TEST(SaverItemNames, OnlyPlainRelativePathsAreSafe) {
    for (const char* ok : {"intro.swf", "media\\intro.swf", "a b\\c d\\e.f", "x", ".hidden", "a..b"})
        EXPECT_TRUE(isSafeItemName(ok)) << ok;
    for (const char* bad : {"",
                            "\\x.swf",
                            "\\\\server\\share\\x",
                            "C:\\x.swf",
                            "c:x.swf",
                            "..\\x.swf",
                            "media\\..\\..\\x.swf",
                            "media\\..",
                            ".",
                            "a\\.\\b",
                            "a\\\\b",
                            "a\\",
                            "a/b",
                            "../x",
                            "x.swf:stream",
                            "a*",
                            "a?",
                            "a|b",
                            "a<b",
                            "a\"b",
                            "a\tb",
                            "...",
                            ". .",
                            "media.\\x",
                            "x ",
                            "con",
                            "NUL.txt",
                            "media\\com1",
                            "lpt9.swf",
                            "aux ",
                            "media\\COM\xb9.swf",
                            "lpt\xb3"})
        EXPECT_FALSE(isSafeItemName(bad)) << bad;
    EXPECT_TRUE(isSafeItemName("console.swf"));
    EXPECT_TRUE(isSafeItemName("com10"));
}

TEST_F(DataFileTest, ExtractsStoredAndCompressedItemsIntoSubFolders) {
    const std::string text(5000, 'k');
    ASSERT_EQ(open({{"media\\intro.swf", "FWS movie bytes"},
                    {"media\\deep\\notes.txt", text, true, 0, 0x1207},
                    {"empty.txt", ""},
                    {"data.bin", std::string("\0\x01\x02", 3)}}),
              0);
    EXPECT_EQ(record.itemCount(), 4);
    EXPECT_EQ(record.bytes[0], patternRecord(4, 8).bytes[0]);

    EXPECT_EQ(extract(1), 0);
    EXPECT_EQ(os.readFile(kInstall + "media\\intro.swf"), "FWS movie bytes");

    uint8_t cls = 0;
    EXPECT_EQ(data.extractDataItem(kInstall, 2, false, cls), 0);
    EXPECT_EQ(cls, 0x07) << "the low byte of the chunk's class";
    EXPECT_EQ(os.readFile(kInstall + "media\\deep\\notes.txt"), text);

    EXPECT_EQ(extract(3), 0);
    EXPECT_FALSE(exists(kInstall + "empty.txt")) << "expanded size 0 makes no file";
    EXPECT_EQ(extract(4), 0);
    EXPECT_EQ(os.readFile(kInstall + "data.bin"), std::string("\0\x01\x02", 3));

    // Items can be taken in any order: every call seeks.
    EXPECT_EQ(extract(1), 0);
    EXPECT_TRUE(os.boxes.empty());
}

TEST_F(DataFileTest, IndexAndStateAreChecked) {
    ASSERT_EQ(open({{"a.txt", "a"}}), 0);
    uint8_t cls = 9;
    EXPECT_EQ(data.extractDataItem(kInstall, 2, false, cls), rc::kItemIndexTooHigh);
    EXPECT_EQ(cls, 0);
    EXPECT_EQ(extract(0), rc::kItemIndexTooHigh);
    EXPECT_EQ(extract(-5), rc::kItemIndexTooHigh);
    EXPECT_EQ(data.closeDataFile(), 0);
    EXPECT_FALSE(data.isOpen());
    EXPECT_EQ(extract(1), rc::kDataFileNotOpen);
    EXPECT_EQ(data.closeDataFile(), 0) << "closing a closed container is no error";
}

TEST_F(DataFileTest, OpeningTwiceShowsTheInUseBoxOnce) {
    ASSERT_EQ(open({{"a.txt", "a"}}), 0);
    os.writeFile(kContainer, makeDataFile({{"b.txt", "b"}, {"c.txt", "c"}}));
    bool read = false;
    EXPECT_EQ(data.openDataFile(kContainer, true, read), 0);
    EXPECT_TRUE(read);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].kind, BoxKind::Information);
    EXPECT_EQ(os.boxes[0].buttons, BoxButtons::Abort);
    EXPECT_EQ(os.boxes[0].text, kInUse);
    EXPECT_EQ(data.itemCount(), 1) << "nothing is read again";
}

TEST_F(DataFileTest, OpenFailuresNameTheFileAndCode) {
    bool read = true;
    EXPECT_EQ(data.openDataFile(kScratch + "missing.ssd", false, read), oserr::kFileNotFound);
    EXPECT_FALSE(read);
    EXPECT_TRUE(os.boxes.empty()) << "no box without showMessage";

    EXPECT_EQ(data.openDataFile(kScratch + "missing.ssd", true, read), oserr::kFileNotFound);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].kind, BoxKind::Error);
    EXPECT_EQ(os.boxes[0].text,
              "Problem opening screen saver data file.\r\n\r\nFile: " + kScratch + "missing.ssd\r\n\r\n2");

    os.writeFile(kContainer, std::string(1239, 'x'));
    EXPECT_EQ(data.openDataFile(kContainer, false, read), rc::kShortRead);
    EXPECT_FALSE(data.isOpen());
}

TEST_F(DataFileTest, ItemCountsOutsideTheTableAreRefusedAsCorrupt) {
    const SaverRecord before = patternRecord(0, 0);
    record = before;
    bool read = true;
    for (int32_t count : {1011, -1, INT32_MIN, INT32_MAX}) {
        os.writeFile(kContainer, makeDataFile({{"a.txt", "a"}}, 8, count));
        EXPECT_EQ(data.openDataFile(kContainer, false, read), rc::kCorruptDataFile) << count;
        EXPECT_FALSE(read);
        EXPECT_FALSE(data.isOpen());
        EXPECT_EQ(recordBytes(record), recordBytes(before)) << "a refused container loads nothing";
    }
    // 1,010 items fit, but a table that the file cannot hold is cut short.
    os.writeFile(kContainer, makeDataFile({{"a.txt", "a"}}, 8, 1010));
    EXPECT_EQ(data.openDataFile(kContainer, false, read), rc::kShortRead);

    std::vector<TestItem> many;
    for (int i = 0; i < 1010; ++i) many.push_back({"f" + std::to_string(i), "x"});
    ASSERT_EQ(open(many), 0);
    EXPECT_EQ(extract(1010), 0);
    EXPECT_EQ(os.readFile(kInstall + "f1009"), "x");
}

TEST_F(DataFileTest, ChunksOutsideTheFileAreReadFailuresWithoutAFile) {
    const std::string tail = "0123456789";
    ASSERT_EQ(open({TestItem("neg.bin", "x").at(-1), TestItem("past.bin", "x").at(0x7FFFFFF0),
                    TestItem("huge.bin", tail).expanded(0x7FFFFFFF),
                    TestItem("negstored.bin", tail, true).stored(-4),
                    TestItem("bigstored.bin", tail, true).stored(0x7FFFFFFF),
                    TestItem("negexpanded.bin", tail).expanded(-10)}),
              0);
    // Refused before any target is created, any block allocated or the library loaded.
    std::vector<std::string> opened;
    os.inject = [&](Op op, const std::string& path) -> Result {
        if (op == Op::OpenFile) opened.push_back(path);
        return 0;
    };
    for (int32_t i = 1; i <= 5; ++i) EXPECT_EQ(extract(i), rc::kShortRead) << i;
    EXPECT_EQ(extract(6), rc::kCorruptDataFile);
    EXPECT_TRUE(opened.empty()) << opened.front();
    EXPECT_TRUE(os.libraryPaths.empty());
    for (const char* name :
         {"neg.bin", "past.bin", "huge.bin", "negstored.bin", "bigstored.bin", "negexpanded.bin"})
        EXPECT_FALSE(exists(kInstall + name)) << name;
    ASSERT_EQ(os.boxes.size(), 6u);
    EXPECT_EQ(os.boxes[0].text, kReadProblem + "-30");
    EXPECT_EQ(os.boxes[0].kind, BoxKind::Error);
    EXPECT_EQ(os.boxes[0].buttons, BoxButtons::Abort);
}

TEST_F(DataFileTest, UnsafeNamesWriteNothingOutsideTheTarget) {
    ASSERT_EQ(open({{"..\\escaped.txt", "x"},
                    {"C:\\escaped.txt", "x"},
                    {"\\escaped.txt", "x"},
                    {"media\\..\\..\\escaped.txt", "x"},
                    {"con", "x"},
                    {"fine.txt", "ok"}}),
              0);
    for (int32_t i = 1; i <= 5; ++i) EXPECT_EQ(extract(i), rc::kUnsafeItemName) << i;
    EXPECT_EQ(extract(6), 0);
    EXPECT_FALSE(exists("C:\\WINDOWS\\SYSTEM\\escaped.txt"));
    EXPECT_FALSE(exists("C:\\escaped.txt"));
    EXPECT_FALSE(exists(kInstall + "media"));
    EXPECT_EQ(os.boxes.back().text, kReadProblem + "-543");
}

TEST_F(DataFileTest, FailuresRemoveThePartlyWrittenTarget) {
    const std::string big(100000, 'z');
    ASSERT_EQ(open({{"short.txt", big}, {"broken.txt", big}, {"ok.txt", "keep me"}}), 0);
    // A target that existed before is replaced: once created, a failure removes it.
    os.writeFile(kInstall + "short.txt", "old");
    os.inject = [](Op op, const std::string& path) -> Result {
        return op == Op::Write && path.find("short.txt") != std::string::npos ? oserr::kDiskFull : 0;
    };
    EXPECT_EQ(extract(1), oserr::kDiskFull);
    EXPECT_FALSE(exists(kInstall + "short.txt"));
    EXPECT_NE(os.boxes.back().text.find(kReadProblem), std::string::npos);

    int reads = 0;
    os.inject = [&](Op op, const std::string&) -> Result {
        return op == Op::Read && ++reads == 2 ? oserr::kAccessDenied : 0;  // the chunk reads, the bytes do not
    };
    EXPECT_EQ(extract(2), oserr::kAccessDenied);
    EXPECT_FALSE(exists(kInstall + "broken.txt"));
    os.inject = nullptr;
    EXPECT_EQ(extract(3), 0);
}

TEST_F(DataFileTest, CompressedItemsAreCheckedByTheirExpandedSize) {
    const std::string content(3000, 'q');
    ASSERT_EQ(open({TestItem("wrong.txt", content, true).expanded(2999),
                    TestItem("long.txt", content, true).expanded(100),
                    TestItem("garbage.txt", content, true).bytes("\x07\x09garbage"),
                    {"right.txt", content, true}}),
              0);
    EXPECT_EQ(extract(1), rc::kExpandedSizeWrong);
    EXPECT_FALSE(exists(kInstall + "wrong.txt"));
    EXPECT_EQ(extract(2), rc::kExpandedSizeWrong);
    EXPECT_FALSE(exists(kInstall + "long.txt"));
    EXPECT_EQ(extract(3), rc::kExpandedSizeWrong);
    EXPECT_FALSE(exists(kInstall + "garbage.txt"));

    // An older file of the right size stands where the item cannot be
    // created: the failure is the result, never the older file.
    os.writeFile(kInstall + "right.txt", content);
    os.failOn(Op::OpenFile, kInstall + "right.txt", oserr::kAccessDenied);
    EXPECT_EQ(extract(4), oserr::kAccessDenied);
    os.inject = nullptr;

    (void)os.files().deleteFile(kInstall + "right.txt");
    (void)os.files().deleteFile(kScratch + "impborl.dll");
    EXPECT_EQ(extract(4), rc::kLibraryNotLoaded);
    EXPECT_FALSE(exists(kInstall + "right.txt"));
}

// ---- the installation steps ----------------------------------------------------

struct InstallStepsTest : ::testing::Test {
    FakeOs os;
    InstallerPackage package;
    SaverData saverData;
    TestReporter reporter{os};

    InstallStepsTest() {
        package.dirs.scratchDir = kScratch;
        package.installDir = kInstall;
        package.dataFilePath = kContainer;
        os.makeDirs(kInstall);
        os.writeFile(kScratch + "impborl.dll", "library");
        registerCodec(os);
    }
    bool exists(const std::string& p) { return os.exists(p); }
    [[nodiscard]] Result expand(const std::vector<TestItem>& items, int32_t mode = 8) {
        os.writeFile(kContainer, makeDataFile(items, mode));
        return expandDataFile(os, package, saverData, reporter);
    }
    [[nodiscard]] Result readRecord() { return readSaverRecord(os, package, saverData, reporter); }
    [[nodiscard]] Result writeRecord() { return writeSaverRecord(os, package, saverData, reporter); }
};

TEST_F(InstallStepsTest, ExpandWritesEveryItemClosesAndSteps) {
    ASSERT_EQ(expand({{"intro.swf", "movie"}, {"media\\intro2.swf", "second", true}, {"", "skipped"}}), 0);
    EXPECT_EQ(reporter.status(), "Expanding files...");
    EXPECT_EQ(reporter.steps, 1);
    EXPECT_EQ(os.readFile(kInstall + "intro.swf"), "movie");
    EXPECT_EQ(os.readFile(kInstall + "media\\intro2.swf"), "second");
    EXPECT_FALSE(saverData.file->isOpen());
    uint32_t attributes = 0;
    EXPECT_EQ(os.files().attributes(kInstall + "intro.swf", attributes), 0);
    EXPECT_TRUE(attributes & attr::kArchive);
    EXPECT_EQ(recordBytes(saverData.record), recordBytes(patternRecord(3, 8)));
    EXPECT_TRUE(os.boxes.empty());
}

TEST_F(InstallStepsTest, NoItemsOpensAndClosesWithSuccess) {
    EXPECT_EQ(expand({}), 0);
    ASSERT_TRUE(saverData.file);
    EXPECT_TRUE(saverData.file->wasRead());
    EXPECT_FALSE(saverData.file->isOpen());
    std::vector<FindEntry> entries;
    ASSERT_EQ(os.files().findFiles(kInstall + "*.*", entries), 0);
    for (const FindEntry& e : entries) EXPECT_TRUE(e.name == "." || e.name == "..") << e.name;
}

TEST_F(InstallStepsTest, ModeThreeCopiesThePreviewInsteadOfReadingItem1) {
    os.writeFile(kScratch + "installer.swf", "the preview movie");
    // Item 1's stored bytes are garbage and its chunk points nowhere: neither is read.
    ASSERT_EQ(expand({TestItem("movie.swf", "ignored", true).at(0x7FFFFFF0).bytes("garbage"),
                      {"copy.swf", "", false, 3},
                      {"media\\loops\\copy.swf", "", false, 3},
                      {"other.txt", "other"}},
                     3),
              0);
    EXPECT_EQ(os.readFile(kInstall + "movie.swf"), "the preview movie");
    EXPECT_EQ(os.readFile(kInstall + "copy.swf"), "the preview movie")
        << "later kind-3 items copy item 1's file";
    EXPECT_EQ(os.readFile(kInstall + "media\\loops\\copy.swf"), "the preview movie")
        << "a copy into sub-folders gets its folders";
    EXPECT_EQ(os.readFile(kInstall + "other.txt"), "other");
    EXPECT_TRUE(os.boxes.empty());
}

TEST_F(InstallStepsTest, FailedMovieCopyEndsWith532AndClosesTheContainer) {
    // No installer.swf in the scratch folder.
    EXPECT_EQ(expand({{"movie.swf", "x"}, {"after.txt", "never"}}, 3), rc::kMovieCopyFailed);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text.rfind("Installation Error: " + kScratch + "installer.swf", 0), 0u);
    EXPECT_FALSE(saverData.file->isOpen());
    EXPECT_FALSE(exists(kInstall + "after.txt"));

    // A kind-3 item that names the movie itself copies onto itself: ignored.
    os.boxes.clear();
    os.writeFile(kScratch + "installer.swf", "preview");
    EXPECT_EQ(expand({{"movie.swf", ""}, {"movie.swf", "", false, 3}}, 3), 0);
    EXPECT_TRUE(os.boxes.empty());
}

TEST_F(InstallStepsTest, LoopFailureClosesTheContainerAndSkipsAMissingMovie) {
    // Item 1 produces no file, so there is no movie to mark.
    EXPECT_EQ(expand({{"movie.swf", ""}, {"..\\evil.txt", "x"}, {"never.txt", "x"}}), rc::kUnsafeItemName);
    EXPECT_FALSE(saverData.file->isOpen());
    EXPECT_FALSE(exists(kInstall + "never.txt"));
    EXPECT_FALSE(exists("C:\\WINDOWS\\SYSTEM\\evil.txt"));
    // The scratch copy can now be deleted, and a new installation opens afresh.
    EXPECT_EQ(deleteFileForced(os, kContainer), 0);
    os.boxes.clear();
    EXPECT_EQ(expand({{"fine.txt", "ok"}}), 0);
    EXPECT_TRUE(os.boxes.empty()) << "no in-use box after a failed run";

    // A kind-3 item must be safe as well.
    os.writeFile(kScratch + "installer.swf", "preview");
    EXPECT_EQ(expand({{"movie.swf", ""}, {"C:\\evil.swf", "", false, 3}}, 3), rc::kUnsafeItemName);
    EXPECT_FALSE(exists("C:\\evil.swf"));
}

TEST_F(InstallStepsTest, OpenFailureEndsTheStep) {
    EXPECT_EQ(expandDataFile(os, package, saverData, reporter), oserr::kFileNotFound);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_NE(os.boxes[0].text.find("Problem opening screen saver data file."), std::string::npos);
}

TEST_F(InstallStepsTest, SaverRecordIsReadAndWrittenWhole) {
    os.writeFile(kContainer, makeDataFile({{"a", "b"}}, 8));
    ASSERT_EQ(readRecord(), 0);
    EXPECT_EQ(recordBytes(saverData.record), recordBytes(patternRecord(1, 8)));
    ASSERT_EQ(writeRecord(), 0);
    EXPECT_EQ(reporter.status(), "Writing saver data file...");
    EXPECT_EQ(os.readFile(kInstall + "saver.dat"), recordBytes(patternRecord(1, 8)));

    os.writeFile(kInstall + "saver.dat", "an older, longer settings file than the record");
    ASSERT_EQ(writeRecord(), 0);
    EXPECT_EQ(os.readFile(kInstall + "saver.dat").size(), 1240u);
    EXPECT_TRUE(os.boxes.empty());
}

TEST_F(InstallStepsTest, SaverRecordFailuresShowTheInstallError) {
    EXPECT_EQ(readRecord(), oserr::kFileNotFound);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text,
              "Installation Error: " + kContainer + "\r\n\r\nProblem with file " + kContainer + ". ");

    os.writeFile(kContainer, std::string(100, 'x'));
    const SaverRecord before = saverData.record;
    EXPECT_EQ(readRecord(), rc::kShortRead);
    EXPECT_EQ(recordBytes(saverData.record), recordBytes(before));

    os.inject = [](Op op, const std::string& path) -> Result {
        return op == Op::Write && path.find("saver.dat") != std::string::npos ? oserr::kDiskFull : 0;
    };
    EXPECT_EQ(writeRecord(), oserr::kDiskFull);
    EXPECT_FALSE(exists(kInstall + "saver.dat")) << "no settings file cut short";
    os.inject = [](Op op, const std::string&) -> Result {
        return op == Op::OpenFile ? oserr::kAccessDenied : 0;
    };
    EXPECT_EQ(writeRecord(), oserr::kAccessDenied);
    EXPECT_NE(os.boxes.back().text.find("Insufficient user account privileges."), std::string::npos);
}

}  // namespace

// The container's boxes go through the Reporter it is given, as every step's
// do, so that the window that shows them (or a quiet run that logs them)
// decides; the texts are those the seam shows without one.
TEST(DataFileBoxes, GoThroughTheReporterItIsGiven) {
    struct Case {
        const char* what;
        bool twice;         // open an open container again ("already in use")
        bool missing;       // open a container that is not there
        const char* start;  // the box's text begins with this
    };
    for (const Case c : {Case{"missing", false, true, "Problem opening screen saver data file."},
                         Case{"in use", true, false, "Quillon Error: Screen saver data file already in use."}}) {
        FakeOs os;
        SaverRecord record{};
        TestReporter reporter(os);
        SaverDataFile data(os, record, kScratch, reporter);
        os.writeFile(kContainer, makeDataFile({}, 8));
        bool read = false;
        const std::string path = c.missing ? kScratch + "missing.ssd" : kContainer;
        const Result first = data.openDataFile(path, true, read);
        if (c.twice) {
            EXPECT_EQ(first, rc::kOk) << c.what;
            EXPECT_EQ(data.openDataFile(path, true, read), rc::kOk) << c.what;
        } else {
            EXPECT_NE(first, rc::kOk) << c.what;
        }
        ASSERT_EQ(reporter.boxes.size(), 1u) << c.what;
        EXPECT_EQ(reporter.boxes[0].rfind(c.start, 0), 0u) << c.what << ": " << reporter.boxes[0];
        EXPECT_EQ(os.boxes.size(), 1u) << c.what << ": shown once, by the reporter";
        if (data.isOpen()) {
            EXPECT_EQ(data.closeDataFile(), rc::kOk);
        }
    }
}

// ---- room on the target volume, and the size of each write --------------------------

namespace {

// Bytes that the codec cannot fold into nothing, so an expansion writes as much as it reads.
std::string mixedBytes(size_t size) {
    std::string s(size, '\0');
    uint32_t x = 0x12345678;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = char(i % 3 == 0 ? 'a' + (x >> 24) % 8 : 'a' + (i / 64) % 26);
    }
    return s;
}

}  // namespace

TEST_F(InstallStepsTest, ItemsThatDoNotFitTheFreeSpaceAreRefusedBeforeAnyIsWritten) {
    const std::string big(5000, 'b'), small(1000, 's');
    os.writeFile(kScratch + "installer.swf", "preview");
    // 5,000 stored + 1,000 expanded are written; the movie copy and an unnamed item are not counted.
    const std::vector<TestItem> items = {
        {"big.bin", big}, {"media\\small.txt", small, true}, {"copy.swf", "", false, 3}, {"", "not written"}};
    struct Case {
        const char* what;
        uint64_t free;
        Result freeSpaceError;
        Result expected;
    } cases[] = {
        {"one byte short", 5999, 0, rc::kNotEnoughDiskSpace},
        {"nothing free", 0, 0, rc::kNotEnoughDiskSpace},
        {"exactly enough", 6000, 0, rc::kOk},
        {"free space unknown: the writes decide", 0, 21 /* not ready */, rc::kOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(deleteDirTree(os, kInstall), 0);
        os.makeDirs(kInstall);
        os.boxes.clear();
        os.freeBytes = c.free;
        os.inject = [&c](Op op, const std::string& path) -> Result {
            return op == Op::FreeSpace && path == kInstall ? c.freeSpaceError : 0;
        };
        EXPECT_EQ(expand(items), c.expected);
        const bool written = c.expected == rc::kOk;
        EXPECT_EQ(exists(kInstall + "big.bin"), written);
        EXPECT_EQ(exists(kInstall + "media\\small.txt"), written);
        EXPECT_EQ(exists(kInstall + "copy.swf"), written);
        EXPECT_FALSE(saverData.file->isOpen());
        if (written) {
            EXPECT_TRUE(os.boxes.empty());
            continue;
        }
        ASSERT_EQ(os.boxes.size(), 1u);
        EXPECT_NE(os.boxes[0].text.find("Not enough free disk space"), std::string::npos);
        EXPECT_NE(os.boxes[0].text.find(kInstall), std::string::npos);
        EXPECT_EQ(reporter.steps, 0) << "no progress step for a refused data file";
    }
    os.inject = nullptr;

    // A damaged item counts for nothing: it is refused by its own extraction, as before.
    EXPECT_EQ(deleteDirTree(os, kInstall), 0);
    os.makeDirs(kInstall);
    os.boxes.clear();
    os.freeBytes = 5000;
    EXPECT_EQ(expand({{"big.bin", big}, TestItem("bad.txt", "x").at(0x7FFFFFF0)}), rc::kShortRead);
    EXPECT_EQ(os.readFile(kInstall + "big.bin"), big);
    EXPECT_FALSE(exists(kInstall + "bad.txt"));
}

TEST_F(InstallStepsTest, LargeItemsAreWrittenInBoundedBlocksNeverWhole) {
    struct Case {
        const char* name;
        size_t size;
        bool compressed;
    } cases[] = {
        {"video.bin", 3 * 1024 * 1024 + 7, false},
        {"media\\photo.bin", 1024 * 1024 + 3, true},
        {"exact.bin", kCopyBlock, false},
        {"tiny.txt", 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string content = mixedBytes(c.size);
        os.writeFile(kContainer, makeDataFile({TestItem(c.name, content, c.compressed)}));
        os.largestRead = os.largestWrite = os.writeCalls = 0;
        ASSERT_EQ(expandDataFile(os, package, saverData, reporter), 0);
        EXPECT_TRUE(os.readFile(kInstall + c.name) == content) << "content differs";
        EXPECT_LE(os.largestRead, kCopyBlock);
        EXPECT_LE(os.largestWrite, kCopyBlock);
        // Stored items in whole blocks; expanded output gathered into writes of at least 64 KiB.
        const size_t gathered = c.compressed ? 64 * 1024 : kCopyBlock;
        EXPECT_LE(os.writeCalls, c.size / gathered + 1);
    }
}
