// The start-up windows and the installer window's status line, progress and
// pauses, over the test double.
#include <gtest/gtest.h>

#include "app/installer_window.h"
#include "app/preparing_window.h"
#include "app/run_installer.h"
#include "platform/fake/fake_os.h"

using namespace ssi;

namespace {

TEST(Centring, TruncatesTowardZero) {
    EXPECT_EQ(centredPosition(1024, 300), 362);
    EXPECT_EQ(centredPosition(1024, 1030), -3);
    EXPECT_EQ(centredPosition(1024, 1029), -2);
    EXPECT_EQ(centredPosition(768, 109), 329);
}

TEST(PreparingWindow, StartsOffScreenAndCentresItsOuterSize) {
    FakeOs os;
    TpreparingInstallWnd wnd(os);
    EXPECT_EQ(wnd.left(), -3000);
    EXPECT_EQ(wnd.top(), -3000);
    ASSERT_EQ(os.ui().realize(wnd), 0);
    wnd.FormCreate();
    EXPECT_EQ(wnd.Label1.text(), "Preparing Installation...");
    wnd.centreOnScreen();
    EXPECT_EQ(wnd.left(), (1024 - (244 + os.singleFrameWidth)) / 2);
    EXPECT_EQ(wnd.top(), (768 - (84 + os.singleFrameHeight)) / 2);
    wnd.moveOffScreen();
    EXPECT_EQ(wnd.left(), -3000);
}

TEST(Startup, WithoutAPackageTheInstallerEndsWithTheCorruptBoxAndLeavesNothing) {
    FakeOs os;
    os.module = "C:\\Downloads\\NightSkySetup.exe";
    os.writeFile(os.module, std::string(1000, 'M'));
    std::string caption, label, titleAtBox;
    os.onProcessMessages = [&] {
        for (Form* f : os.realized)
            if (f->name() == "preparingInstallWnd") {
                caption = f->text();
                label = static_cast<TpreparingInstallWnd*>(f)->Label1.text();
            }
    };
    EXPECT_EQ(runInstaller(os), 0);
    EXPECT_EQ(caption, "NightSkySetup.exe");
    EXPECT_EQ(label, "Preparing installation...");
    EXPECT_EQ(os.appTitle, "Preparing installation...");
    ASSERT_EQ(os.boxes.size(), 2u);
    EXPECT_EQ(os.boxes[0].text,
              "Installation Error: C:\\TEMP\\QDX1\\temp.dat\r\n\r\nProblem with file C:\\TEMP\\QDX1\\temp.dat. ");
    EXPECT_EQ(os.boxes[1].text, "Installer file is corrupted. Quillon Error: -31. ");
    EXPECT_TRUE(os.isTerminated);
    EXPECT_EQ(os.exists("C:\\TEMP\\QDX1"), false) << "the scratch folder is removed";
    EXPECT_EQ(os.currentCursor, 1u) << "the cursor is restored";
}

TEST(Startup, AScratchFolderThatCannotBeMadeEndsWithItsCode) {
    FakeOs os;
    os.inject = [](Op op, const std::string&) -> Result {
        return op == Op::CreateDirectory ? oserr::kAccessDenied : 0;
    };
    EXPECT_EQ(runInstaller(os), 0);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, "Installer file is corrupted. Quillon Error: 5. ");
}

struct Status : ::testing::Test {
    FakeOs os;
    TInstallerForm form{os};
};

TEST_F(Status, StatusLineShowsTextsAndStaysVisible) {
    EXPECT_FALSE(form.labCopying.visible());
    form.showStatus("Writing screen saver files...");
    EXPECT_TRUE(form.labCopying.visible());
    EXPECT_EQ(form.labCopying.text(), "Writing screen saver files...");
    form.showStatus("");
    EXPECT_TRUE(form.labCopying.visible());
    EXPECT_EQ(form.labCopying.text(), "");
}

TEST_F(Status, ProgressStepAdvancesByOneAndPausesForOneTick) {
    form.progressBar.setRange(0, 10);
    form.stepProgress();
    form.stepProgress();
    EXPECT_EQ(form.progressBar.position(), 2);
    EXPECT_EQ(form.pauseTimer.ticks(), 2u);
    EXPECT_FALSE(form.pauseTimer.enabled());
}

TEST_F(Status, QuietModeChangesNothingButStillPauses) {
    form.activeMode = mode::kQuiet;
    form.showStatus("Expanding files...");
    form.stepProgress();
    EXPECT_FALSE(form.labCopying.visible());
    EXPECT_NE(form.labCopying.text(), "Expanding files...");
    EXPECT_EQ(form.progressBar.position(), 0);
    EXPECT_EQ(form.pauseTimer.ticks(), 0u);
    form.pauseBriefly();
    EXPECT_EQ(form.pauseTimer.ticks(), 1u);
}

TEST_F(Status, PausesEndOnTicksAndServeMessagesMeanwhile) {
    form.pauseBriefly();
    form.pauseBriefly();
    EXPECT_EQ(form.pauseTimer.ticks(), 2u);
    EXPECT_FALSE(form.pauseTimer.enabled());
    EXPECT_GE(os.handledMessages, 2);
    EXPECT_EQ(os.broughtToFront, 2);
}

TEST_F(Status, APauseInsideAPauseEndsBoth) {
    // A click handled during the pause (Cancel) pauses again; the inner pause
    // ends at the next tick and the outer one sees the timer disabled.
    bool clicked = false;
    os.post([&] {
        clicked = true;
        form.showStatus("Installation Aborted. Cleaning up files...");
        form.pauseBriefly();
    });
    form.pauseBriefly();
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(form.pauseTimer.enabled());
    EXPECT_EQ(form.labCopying.text(), "Installation Aborted. Cleaning up files...");
}

TEST_F(Status, RightButtonPressesAreDiscardedApplicationWide) {
    // Messages as they come through the queue: only the right-button press goes.
    struct Case {
        InputEvent event;
        bool delivered;
    } cases[] = {{InputEvent::RightButtonDown, false}, {InputEvent::RightButtonUp, true},
                 {InputEvent::LeftButtonDown, true},   {InputEvent::MouseMove, true},
                 {InputEvent::KeyDown, true},          {InputEvent::Other, true}};
    for (const Case& c : cases) {
        bool ran = false;
        os.post([&] { ran = true; }, c.event);
        os.ui().processMessages();
        EXPECT_EQ(ran, c.delivered) << int(c.event);
    }
    EXPECT_EQ(os.discardedEvents, std::vector<InputEvent>{InputEvent::RightButtonDown});
}

}  // namespace
