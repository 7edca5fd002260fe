// Every text the user reads for a result code, compared byte for byte.
#include <gtest/gtest.h>

#include "platform/messages.h"
#include "core/strings.h"
#include "platform/fake/fake_os.h"

using namespace ssi;

namespace {

const std::string P = "Installation Error: ";

TEST(InstallErrorBox, TextsForEachCode) {
    FakeOs os;
    EXPECT_EQ(installErrorText(os, 5, "C:\\WINDOWS\\SYSTEM\\Night Sky.scr"),
              P + "C:\\WINDOWS\\SYSTEM\\Night Sky.scr\r\n\r\nInsufficient user account privileges.\r\n\r\n"
                  "The current user account has insufficient privileges to install screen savers. Please "
                  "contact your system administrator for help in performing this installation.");
    const std::string replaced =
        P + "Screen saver cannot be replaced.\r\n\r\nPlease close the screen saver control panel and try "
            "again. If the install fails again, you may have insufficient privileges to install screen "
            "savers. Please contact your system administrator for assistance.";
    EXPECT_EQ(installErrorText(os, -38, "-38"), replaced);
    EXPECT_EQ(installErrorText(os, -38, "anything else"), replaced);
    EXPECT_EQ(installErrorText(os, -523, "C:\\TEMP\\QDX1\\temp.dat"),
              P + "C:\\TEMP\\QDX1\\temp.dat\r\n\r\nPlease retry installation. If this message appears again, "
                  "the installation cannot be completed because your user account has limited installation "
                  "privileges. To complete this installation, login with administrative privileges and "
                  "rerun this installer.");
    EXPECT_EQ(installErrorText(os, 2, "C:\\TEMP\\QDX1\\impborl.dll"),
              P + "C:\\TEMP\\QDX1\\impborl.dll\r\n\r\nProblem with file C:\\TEMP\\QDX1\\impborl.dll. ");

    showInstallError(os, 2, "x");
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].kind, BoxKind::Error);
    EXPECT_EQ(os.boxes[0].buttons, BoxButtons::Abort);
}

TEST(InitFailureBox, KindsAndTexts) {
    FakeOs os;
    FailureBox nt = initFailureBox(os, -455);
    EXPECT_TRUE(nt.shown);
    EXPECT_EQ(nt.kind, BoxKind::Error);
    EXPECT_EQ(nt.buttons, BoxButtons::Abort);
    EXPECT_EQ(nt.text, "This screen saver is not compatible with Windows NT.");

    EXPECT_FALSE(initFailureBox(os, -454).shown);

    FailureBox flash = initFailureBox(os, -402);
    EXPECT_EQ(flash.kind, BoxKind::Information);
    EXPECT_EQ(flash.buttons, BoxButtons::Ok);
    EXPECT_EQ(flash.text,
              "This screen saver requires the latest Macromedia Flash Player for Internet Explorer.\r\n\r\n"
              "Please download the free player from http://www.macromedia.com/go/getflashplayer and retry "
              "this installation.");

    FailureBox corrupt = initFailureBox(os, -531);
    EXPECT_EQ(corrupt.kind, BoxKind::Error);
    EXPECT_EQ(corrupt.text, "Installer file is corrupted. Quillon Error: -531. ");

    showInitFailure(os, -454);
    EXPECT_TRUE(os.boxes.empty()) << "a declined installation ends without a box";
    showInitFailure(os, -31);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, "Installer file is corrupted. Quillon Error: -31. ");
}

TEST(StatusTexts, CompletionAndPreparingLines) {
    FakeOs os;
    EXPECT_EQ(completionStatusText(os, 0), "Screen Saver Installation and Setup Complete.");
    EXPECT_EQ(completionStatusText(os, 5), "Installation Aborted: Insufficient user account privileges.");
    EXPECT_EQ(completionStatusText(os, -38), "Installation Aborted: Screen saver cannot be replaced.");
    EXPECT_EQ(completionStatusText(os, -13), "Install failed. Error: -13");
    EXPECT_EQ(completionStatusText(os, 112), "Install failed. Error: 112");
    EXPECT_EQ(preparingResultText(os, 0), "Installation Successful.");
    EXPECT_EQ(preparingResultText(os, -454), "Installation Cancelled");
    EXPECT_EQ(preparingResultText(os, -402), "Install failed. Error: -402");
}

TEST(StringTable, IdsAreUniqueAndTheDirectorySuffixKeepsItsId) {
    size_t count = 0;
    const StringEntry* table = stringTable(count);
    ASSERT_GT(count, 30u);
    for (size_t i = 0; i < count; ++i)
        for (size_t j = i + 1; j < count; ++j) EXPECT_NE(table[i].id, table[j].id) << table[i].text;
    EXPECT_EQ(builtinString(65306), " dir\\");
    EXPECT_EQ(builtinString(1), "");
}

}  // namespace
