// The header record's byte layout, and the installer copy and header load
// over the test double.
#include "app/installer_window.h"
#include "tests/package/package_fixture.h"

using namespace ssi;
using namespace ssi::test;

namespace {

TEST(PackageHeaderRecord, DecodeAndEncodeAreExactInverseLittleEndian) {
    uint8_t bytes[kPackageHeaderSize], again[kPackageHeaderSize];
    uint32_t x = 7;
    for (uint8_t& b : bytes) b = uint8_t((x = x * 1664525u + 1013904223u) >> 24);
    PackageHeader h;
    decodePackageHeader(bytes, h);
    encodePackageHeader(h, again);
    EXPECT_EQ(std::memcmp(bytes, again, kPackageHeaderSize), 0);

    std::memset(&h, 0, sizeof(h));
    h.installerMode = 8;
    h.flashVersionIndex = 1;
    h.offerDisplayPanel = 1;
    h.entries[3].setName("installer.jpg");
    h.entries[3].firstByte = 1254328;
    h.entries[3].lastByte = -2;
    h.entries[3].compressed = 1;
    h.entries[10].expandedSize = 0x01020304;
    encodePackageHeader(h, bytes);
    const uint8_t* slot3 = bytes + 72 + 280 * 3;
    EXPECT_EQ(bytes[0], 8);
    EXPECT_EQ(bytes[4], 1);
    EXPECT_EQ(bytes[5], 1);
    EXPECT_EQ(slot3[0], 13);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(slot3 + 1), 13), "installer.jpg");
    const uint8_t first[] = {0xB8, 0x23, 0x13, 0x00}, last[] = {0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(slot3 + 256, first, 4), 0);
    EXPECT_EQ(std::memcmp(slot3 + 260, last, 4), 0);
    EXPECT_EQ(slot3[268], 1);
    const uint8_t size[] = {4, 3, 2, 1};
    EXPECT_EQ(std::memcmp(bytes + 72 + 280 * 10 + 276, size, 4), 0);
}

TEST(PackageHeaderRecord, NamesEndAtTheirTerminatorOrLength) {
    PackageHeader h{};
    std::memset(h.saverName, 'N', sizeof(h.saverName));
    EXPECT_EQ(h.name(), std::string(64, 'N'));
    std::memcpy(h.saverName, "Night Sky\0left", 14);
    EXPECT_EQ(h.name(), "Night Sky");

    PackageEntry e{};
    e.setName(std::string(300, 'x'));
    EXPECT_EQ(e.name(), std::string(255, 'x'));
    e.setName("short");
    EXPECT_EQ(e.name(), "short");
}

using LoadHeader = PackageFixture;

TEST_F(LoadHeader, CopiesTheInstallerReadsTheHeaderAndExtractsTheLibrary) {
    install();
    os.writeFile(package.exePath, std::string(image.begin(), image.end()));
    ASSERT_EQ(os.files().deleteFile(package.installerCopyPath), 0);
    ASSERT_EQ(os.files().deleteFile(scratch + "impborl.dll"), 0);
    package.header = PackageHeader{};

    ASSERT_EQ(steps.copyInstaller(), 0);
    EXPECT_EQ(os.readFile(package.installerCopyPath).size(), image.size());
    ASSERT_EQ(steps.loadPackageHeader(), 0);
    EXPECT_EQ(package.header.name(), "Night Sky");
    EXPECT_EQ(os.readFile(scratch + "impborl.dll"), source(1));

    steps.deriveInstallPaths();
    EXPECT_EQ(package.saverName, "Night Sky");
    EXPECT_EQ(package.installDir, installDir);
    EXPECT_EQ(package.dataFilePath, scratch + "Night Sky.ssd");
    EXPECT_TRUE(os.boxes.empty());
}

TEST_F(LoadHeader, CopyFailuresShowTheRetryMessageAndReturnTheUnderlyingCode) {
    os.writeFile(package.installerCopyPath, "old copy");
    os.lock(package.installerCopyPath);
    EXPECT_EQ(steps.copyInstaller(), rc::kFileBusy);
    os.unlock(package.installerCopyPath);

    os.inject = [](Op op, const std::string&) -> Result { return op == Op::CopyFile ? 5 : 0; };
    EXPECT_EQ(steps.copyInstaller(), 5);
    ASSERT_EQ(os.boxes.size(), 2u);
    for (const RecordedBox& box : os.boxes) {
        EXPECT_EQ(box.kind, BoxKind::Error);
        EXPECT_EQ(box.text.rfind("Installation Error: " + package.installerCopyPath + "\r\n\r\nPlease retry", 0),
                  0u);
    }
}

TEST_F(LoadHeader, ACopyFailureStopsTheInitialisationBeforeTheHeaderIsRead) {
    install();
    os.writeFile(os.module, std::string(image.begin(), image.end()));
    os.inject = [](Op op, const std::string&) -> Result { return op == Op::CopyFile ? 5 : 0; };
    ASSERT_EQ(os.files().deleteFile(scratch + "impborl.dll"), 0);
    TInstallerForm form(os);
    form.FormCreate();
    ASSERT_FALSE(os.boxes.empty());
    EXPECT_NE(os.boxes[0].text.find("Please retry installation."), std::string::npos);
    EXPECT_EQ(form.package.header.entries[1].name(), "");
    EXPECT_FALSE(exists(scratch + "impborl.dll"));
}

TEST_F(LoadHeader, AShortOrUnreadableHeaderExtractsNothing) {
    install();
    ASSERT_EQ(os.files().deleteFile(scratch + "impborl.dll"), 0);
    image.resize(size_t(kFirstSlotOffset) - 1);
    install(image);
    EXPECT_EQ(steps.loadPackageHeader(), rc::kShortHeader);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, "Installation Error: " + package.installerCopyPath +
                                    "\r\n\r\nProblem with file " + package.installerCopyPath + ". ");
    EXPECT_FALSE(exists(scratch + "impborl.dll"));

    ASSERT_EQ(os.files().deleteFile(package.installerCopyPath), 0);
    EXPECT_EQ(steps.loadPackageHeader(), oserr::kFileNotFound);
    EXPECT_EQ(os.boxes.size(), 2u);
}

TEST_F(LoadHeader, HeadersThatCannotBeValidAreRefusedAsCorrupt) {
    install();
    const std::vector<uint8_t> good = image;
    ASSERT_EQ(os.files().deleteFile(scratch + "impborl.dll"), 0);
    auto refused = [&](auto change) {
        install(good);
        patch(change);
        return steps.loadPackageHeader() == rc::kCorruptPackage && !exists(scratch + "impborl.dll");
    };
    EXPECT_TRUE(refused([](PackageHeader& h) { h.flashVersionIndex = 2; }));
    EXPECT_TRUE(refused([](PackageHeader& h) { h.flashVersionIndex = 255; }));
    EXPECT_TRUE(refused([](PackageHeader& h) { std::memcpy(h.saverName, "..\\x\0", 5); }));
    EXPECT_TRUE(refused([](PackageHeader& h) { std::memcpy(h.saverName, "a:b\0", 4); }));
    EXPECT_TRUE(refused([](PackageHeader& h) { h.entries[9].setName("..\\..\\win.ini"); }));
    EXPECT_TRUE(refused([](PackageHeader& h) { h.entries[1].setName("C:\\impborl.dat"); }));
    EXPECT_TRUE(os.boxes.empty());  // the initialisation's failure box reports it

    // Index 1 and an all-zero settings block are fine.
    install(good);
    patch([](PackageHeader& h) {
        h.installerMode = h.showLicense = h.showReadMe = h.carriesFlashInstaller = h.offerDisplayPanel = 0;
        h.flashVersionIndex = 1;
    });
    EXPECT_EQ(steps.loadPackageHeader(), 0);
}

}  // namespace
