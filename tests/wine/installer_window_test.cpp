// The installer's own windows on the real seam: the preparing window as the
// system makes it, and the installer window's pauses on the real message
// queue.
#include <commctrl.h>
#include <gtest/gtest.h>

#include "app/installer_window.h"
#include "app/preparing_window.h"
#include "platform/win32/win32_os.h"
#include "tests/wine/wine_test_support.h"

namespace ssi {
namespace {

using wintest::hwndOf;
using wintest::windowText;

TEST(PreparingWindow, FixedFrameWithTheSystemMenuOnlyAroundItsClientSize) {
    win32::Win32Os os;
    TpreparingInstallWnd preparing(os);
    ASSERT_EQ(os.ui().realize(preparing), 0);
    preparing.centreOnScreen();
    HWND h = hwndOf(preparing);
    const LONG style = ::GetWindowLongA(h, GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    RECT client, outer;
    ::GetClientRect(h, &client);
    ::GetWindowRect(h, &outer);
    EXPECT_EQ(client.right, 244);
    EXPECT_EQ(client.bottom, 84);
    EXPECT_EQ(outer.left, (::GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(preparing.width(), outer.right - outer.left);
}

// ---- the installer window's pauses on real timers ----------------------------

TEST(InstallerPauses, TwoPausesTakeTwoTicksAndPaintsAreServedMeanwhile) {
    win32::Win32Os os;
    TInstallerForm form(os);
    ASSERT_EQ(os.ui().realize(form), 0);
    form.setPosition(10, 10);
    os.ui().processMessages();
    HWND h = hwndOf(form);
    ASSERT_TRUE(h);

    const unsigned long ticks = form.pauseTimer.ticks();
    const unsigned long paints = os.ui().paintsHandled();
    ::InvalidateRect(h, nullptr, TRUE);
    form.pauseBriefly();
    ::InvalidateRect(h, nullptr, TRUE);
    form.pauseBriefly();
    EXPECT_EQ(form.pauseTimer.ticks() - ticks, 2u);
    EXPECT_FALSE(form.pauseTimer.enabled());
    EXPECT_GE(os.ui().paintsHandled() - paints, 2u);
}

TEST(InstallerPauses, StatusAndProgressShowOnRealControlsExceptInQuietMode) {
    win32::Win32Os os;
    TInstallerForm form(os);
    ASSERT_EQ(os.ui().realize(form), 0);
    HWND label = os.ui().windowOf(form.labCopying), bar = os.ui().windowOf(form.progressBar);
    ASSERT_TRUE(label && bar);
    EXPECT_FALSE(::IsWindowVisible(label));

    form.activeMode = mode::kQuiet;
    const LRESULT before = ::SendMessageA(bar, PBM_GETPOS, 0, 0);
    const std::string designed = windowText(label);
    const unsigned long ticks = form.pauseTimer.ticks();
    form.showStatus("Writing screen saver files...");
    form.stepProgress();
    EXPECT_FALSE(::IsWindowVisible(label));
    EXPECT_EQ(windowText(label), designed) << "no status in quiet mode";
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), before);
    EXPECT_EQ(form.pauseTimer.ticks(), ticks);

    form.activeMode = mode::kBmpPreview;
    form.setPosition(10, 10);
    form.showStatus("Writing screen saver files...");
    form.stepProgress();
    EXPECT_TRUE(::IsWindowVisible(label));
    EXPECT_EQ(windowText(label), "Writing screen saver files...");
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), before + 1);
    EXPECT_EQ(form.pauseTimer.ticks(), ticks + 1);
}

}  // namespace
}  // namespace ssi
