// The fixed slot roles: single-slot steps, the preview's renaming, and the
// installation's run over slots 5 or 6 to 10.
#include "tests/package/package_fixture.h"

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
        os.files().deleteFile(f);
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
    os.files().deleteFile(system + "Night Sky.scr");
    steps.reporter.onStep = [&] { steps.reporter.stop = true; };
    EXPECT_EQ(steps.extractInstallEntries(package.installerCopyPath), 0);
    EXPECT_TRUE(exists(system + "Night Sky.scr"));
    EXPECT_FALSE(exists(scratch + "Night Sky.ssd"));

    steps.reporter.onStep = nullptr;
    EXPECT_EQ(steps.extractInstallEntries(scratch + "absent.dat"), oserr::kFileNotFound);
    EXPECT_EQ(os.boxes.back().text.rfind("Installation Error: " + scratch + "absent.dat", 0), 0u);
}

}  // namespace
