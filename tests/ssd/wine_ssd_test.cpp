// The screen saver data file and SWF inspection on real files under Wine:
// items expanded through the real impborl.dll, sub-folders, the movie copy of
// presentation mode 3, the archive attribute, hostile names, boxes, and the
// inflated copy of a compressed movie in a real TEMP\FlashPanel<n>\ folder.
#include <gtest/gtest.h>
#include <zlib.h>

#include "flash/swf_movie.h"
#include "package/data_file.h"
#include "platform/win32/win32_os.h"
#include "platform/file_utils.h"
#include "tests/ssd/ssd_test_util.h"
#include "tests/support/test_reporter.h"
#include "tests/wine/wine_test_support.h"

namespace ssi {
namespace {

using namespace test;
using wintest::BoxWatcher;
using wintest::exeDir;
using wintest::freshDir;
using wintest::readFile;
using wintest::writeFile;

bool exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct WineDataFile : ::testing::Test {
    win32::Win32Os os;
    std::string scratch = freshDir("ssdscratch");
    std::string install = freshDir("ssdinstall") + "Night Sky dir\\";
    InstallerPackage package;
    SaverData data;
    TestReporter reporter{os};

    WineDataFile() {
        ::CreateDirectoryA(install.c_str(), nullptr);
        ::CopyFileA((exeDir() + "impborl.dll").c_str(), (scratch + "impborl.dll").c_str(), FALSE);
        package.dirs.scratchDir = scratch;
        package.installDir = install;
        package.dataFilePath = scratch + "saver.ssd";
    }
    [[nodiscard]] Result readRecord() { return readSaverRecord(os, package, data, reporter); }
    [[nodiscard]] Result expand() { return expandDataFile(os, package, data, reporter); }
    [[nodiscard]] Result writeRecord() { return writeSaverRecord(os, package, data, reporter); }
};

TEST_F(WineDataFile, ExpandsThroughTheRealLibrary) {
    ASSERT_TRUE(exists(scratch + "impborl.dll"));
    const std::string text(20000, 't');
    writeFile(scratch + "installer.swf", "the preview");
    writeFile(package.dataFilePath, makeDataFile({TestItem("movie.swf", "stored garbage", true).bytes("xx"),
                                               {"media\\deep\\notes.txt", text, true},
                                               {"media\\plain.bin", std::string("\0\1\2\3", 4)},
                                               {"empty.txt", ""}},
                                              3));
    ASSERT_EQ(readRecord(), 0);
    ASSERT_EQ(expand(), 0);
    ASSERT_EQ(writeRecord(), 0);
    EXPECT_EQ(readFile(install + "movie.swf"), "the preview");
    EXPECT_EQ(readFile(install + "media\\deep\\notes.txt"), text);
    EXPECT_EQ(readFile(install + "media\\plain.bin"), std::string("\0\1\2\3", 4));
    EXPECT_FALSE(exists(install + "empty.txt"));
    EXPECT_EQ(readFile(install + "saver.dat"), recordBytes(patternRecord(4, 3)));
    EXPECT_TRUE(::GetFileAttributesA((install + "movie.swf").c_str()) & FILE_ATTRIBUTE_ARCHIVE);
    // The container was closed, and its scratch copy deleted to give its room back.
    EXPECT_FALSE(exists(package.dataFilePath));
}

TEST_F(WineDataFile, HostileItemsAreRefusedWithABox) {
    const std::string outside = install.substr(0, install.size() - std::string("Night Sky dir\\").size());
    writeFile(package.dataFilePath, makeDataFile({{"..\\escaped.txt", "x"}, {"never.txt", "x"}}));
    BoxWatcher watcher("Error", IDABORT);
    EXPECT_EQ(expand(), rc::kUnsafeItemName);
    const auto& box = watcher.result();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, "Quillon Error: Problem reading screen saver data file. -543");
    EXPECT_FALSE(exists(outside + "escaped.txt"));
    EXPECT_FALSE(exists(install + "never.txt"));
    EXPECT_FALSE(exists(package.dataFilePath)) << "closed after the failure, and deleted";
}

TEST_F(WineDataFile, WrongExpandedSizeLeavesNoFile) {
    writeFile(package.dataFilePath,
              makeDataFile({TestItem("short.txt", std::string(5000, 's'), true).expanded(4999)}));
    EXPECT_EQ(expand(), rc::kExpandedSizeWrong);
    EXPECT_FALSE(exists(install + "short.txt"));
}

TEST_F(WineDataFile, SecondOpenShowsTheInUseBox) {
    writeFile(package.dataFilePath, makeDataFile({{"a.txt", "a"}}));
    SaverDataFile container(os, data.record, scratch);
    bool read = false;
    ASSERT_EQ(container.openDataFile(package.dataFilePath, true, read), 0);
    BoxWatcher watcher("Information", IDABORT);
    EXPECT_EQ(container.openDataFile(package.dataFilePath, true, read), 0);
    const auto& box = watcher.result();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, "Quillon Error: Screen saver data file already in use.");
    ASSERT_EQ(box.buttons.size(), 1u);
    EXPECT_EQ(box.buttons[0].first, IDABORT);
    EXPECT_TRUE(read);
    EXPECT_EQ(container.closeDataFile(), 0);
}

std::string cws(uint8_t version, const std::string& body) {
    uLongf size = compressBound(uLong(body.size()));
    std::string z(size, '\0');
    compress(reinterpret_cast<Bytef*>(&z[0]), &size, reinterpret_cast<const Bytef*>(body.data()),
             uLong(body.size()));
    z.resize(size);
    const uint32_t n = uint32_t(8 + body.size());
    return "CWS" + std::string(1, char(version)) +
           std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)} + z;
}

TEST(WineSwf, InflatesIntoARealTempFolderAndReusesIt) {
    win32::Win32Os os;
    SwfInspector swf(os);
    swf.swfFilename = freshDir("swfmovie") + "installer.swf";
    const std::string body(50000, 'm');
    writeFile(swf.swfFilename, cws(8, body));
    ASSERT_EQ(swf.inspectMovie(), 0);
    EXPECT_EQ(swf.swfVersion, 8);
    const std::string folder = swf.tempFolder;
    EXPECT_NE(folder.find("FlashPanel"), std::string::npos) << folder;
    EXPECT_EQ(readFile(folder + "unCompressedSWF.swf").size(), 8 + body.size());

    writeFile(swf.swfFilename, cws(9, "short"));
    EXPECT_EQ(swf.inspectMovie(), rc::kSwfTooNew);
    EXPECT_EQ(swf.tempFolder, folder);
    EXPECT_EQ(readFile(folder + "unCompressedSWF.swf").size(), 13u);

    // A movie another program holds open for writing cannot be opened denying writes.
    win32::FileHandle writer(::CreateFileA(swf.swfFilename.c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(bool(writer));
    EXPECT_EQ(swf.readSWFFileFormatType(), ERROR_SHARING_VIOLATION);
    writer.reset();
    EXPECT_EQ(swf.readSWFFileFormatType(), 0);
    EXPECT_EQ(deleteDirTree(os, folder), 0);
}

}  // namespace
}  // namespace ssi
