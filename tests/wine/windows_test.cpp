// Control models mirrored onto real windows, timers and message handling,
// and the installer window's pauses on the real message queue.
#include <gtest/gtest.h>

#include <commctrl.h>

#include "app/fInstall.h"
#include "platform/win32/win32_os.h"

namespace ssi {
namespace {

HWND hwndOf(const Form& form) { return reinterpret_cast<HWND>(form.handle); }

std::string windowText(HWND h) {
    char buf[1024] = {};
    ::GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

std::string classOf(HWND h) {
    char buf[64] = {};
    ::GetClassNameA(h, buf, sizeof buf);
    return buf;
}

struct SampleForm : Form {
    SampleForm() : Form("sample") {
        clientWidth = 300;
        clientHeight = 120;
        setBounds(40, 50, 300, 120);
        setText("Sample caption");
        label.centred = true;
        label.setBounds(0, 0, 300, 30);
        label.setText("Preparing...");
        button.setBounds(10, 80, 80, 25);
        button.setText("Go");
        bar.setBounds(10, 40, 280, 16);
        bar.setRange(0, 10);
        image.setBounds(100, 80, 20, 20);
        add(label);
        add(button);
        add(bar);
        add(image);
    }
    Label label{"label"};
    Button button{"button"};
    ProgressBar bar{"bar"};
    Panel image{"image", ControlKind::Image};
};

TEST(Windows, RealizedFormHasTheModelsClientSizePlaceCaptionAndControls) {
    win32::Win32Os os;
    SampleForm form;
    int shows = 0;
    form.onShow = [&] { ++shows; };
    os.realize(form);
    HWND h = hwndOf(form);
    ASSERT_TRUE(::IsWindow(h));
    RECT client, outer;
    ::GetClientRect(h, &client);
    ::GetWindowRect(h, &outer);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 120);
    EXPECT_EQ(outer.left, 40);
    EXPECT_EQ(outer.top, 50);
    // The model now holds the outer size the system gave the window.
    EXPECT_EQ(form.width(), outer.right - outer.left);
    EXPECT_EQ(form.height(), outer.bottom - outer.top);
    EXPECT_GT(form.width(), 300);
    EXPECT_EQ(windowText(h), "Sample caption");
    EXPECT_EQ(::GetWindow(h, GW_OWNER), os.applicationWindow());
    EXPECT_TRUE(::IsWindowVisible(h));
    EXPECT_EQ(shows, 1);

    HWND label = os.windowOf(form.label), button = os.windowOf(form.button), bar = os.windowOf(form.bar);
    EXPECT_EQ(classOf(label), "Static");
    EXPECT_TRUE(::GetWindowLongA(label, GWL_STYLE) & SS_CENTER);
    EXPECT_EQ(windowText(label), "Preparing...");
    EXPECT_EQ(classOf(button), "Button");
    EXPECT_EQ(classOf(bar), "msctls_progress32");
    EXPECT_EQ(::SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 10);
    EXPECT_NE(os.windowOf(form.image), nullptr);
}

TEST(Windows, ModelChangesReachTheRealWindows) {
    win32::Win32Os os;
    SampleForm form;
    os.realize(form);
    HWND h = hwndOf(form), label = os.windowOf(form.label), button = os.windowOf(form.button),
         bar = os.windowOf(form.bar);

    form.label.setText("Installing Screen Saver...");
    EXPECT_EQ(windowText(label), "Installing Screen Saver...");
    form.setText("NightSkySetup.exe");
    EXPECT_EQ(windowText(h), "NightSkySetup.exe");

    form.button.setBounds(20, 70, 90, 30);
    RECT r;
    ::GetWindowRect(button, &r);
    ::MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 20);
    EXPECT_EQ(r.top, 70);
    EXPECT_EQ(r.right - r.left, 90);

    form.setPosition(-3000, -3000);
    ::GetWindowRect(h, &r);
    EXPECT_EQ(r.left, -3000);
    EXPECT_EQ(r.right - r.left, form.width());

    form.button.setEnabled(false);
    EXPECT_FALSE(::IsWindowEnabled(button));
    form.label.setVisible(false);
    EXPECT_FALSE(::IsWindowVisible(label));

    form.bar.setPositionValue(4);
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 4);
    form.bar.stepIt();
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 5);

    form.setVisible(false);
    EXPECT_FALSE(::IsWindowVisible(h));
}

TEST(Windows, ClicksReachEnabledButtonsAndCloseAsksTheModel) {
    win32::Win32Os os;
    SampleForm form;
    int clicks = 0;
    form.button.onClick = [&] { ++clicks; };
    bool allowClose = false;
    int queries = 0;
    form.onCloseQuery = [&] {
        ++queries;
        return allowClose;
    };
    os.realize(form);
    HWND h = hwndOf(form), button = os.windowOf(form.button);

    ::SendMessageA(button, BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    form.button.setEnabled(false);
    ::SendMessageA(button, BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);

    ::SendMessageA(h, WM_CLOSE, 0, 0);
    EXPECT_EQ(queries, 1);
    EXPECT_TRUE(::IsWindowVisible(h));
    allowClose = true;
    ::SendMessageA(h, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(h));
    EXPECT_FALSE(form.visible());
}

TEST(Windows, DestroyingTheModelDestroysItsWindow) {
    win32::Win32Os os;
    HWND h = nullptr, label = nullptr;
    {
        SampleForm form;
        os.realize(form);
        h = hwndOf(form);
        label = os.windowOf(form.label);
        ASSERT_TRUE(::IsWindow(h));
    }
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_FALSE(::IsWindow(label));
    os.processMessages();  // nothing left that points at the dead model
}

TEST(Windows, TimersTickThroughMessageHandlingUntilStopped) {
    win32::Win32Os os;
    Timer timer(os, "t", 10);
    unsigned long seenAtStop = 0;
    timer.onTimer = [&] {
        if (timer.ticks() == 3) {
            timer.setEnabled(false);
            seenAtStop = timer.ticks();
            ::PostMessageA(os.applicationWindow(), WM_NULL, 0, 0);
        }
    };
    timer.setEnabled(true);
    while (timer.enabled()) os.handleMessage();
    EXPECT_EQ(timer.ticks(), 3u);
    // A second timer keeps the queue busy; the stopped one gets no more ticks.
    Timer other(os, "other", 10);
    other.onTimer = [&] {
        if (other.ticks() == 3) other.setEnabled(false);
    };
    other.setEnabled(true);
    while (other.enabled()) os.handleMessage();
    EXPECT_EQ(timer.ticks(), seenAtStop);
}

TEST(Windows, TerminateEndsTheMessageLoop) {
    win32::Win32Os os;
    Timer timer(os, "end", 10);
    timer.onTimer = [&] { os.terminate(); };
    timer.setEnabled(true);
    os.runMessageLoop();
    EXPECT_TRUE(os.terminated());
    EXPECT_EQ(timer.ticks(), 1u);
    timer.setEnabled(false);
}

TEST(Windows, ApplicationTitleIsTheHiddenOwnersCaption) {
    win32::Win32Os os;
    os.setApplicationTitle("Preparing installation...");
    EXPECT_EQ(os.applicationTitle(), "Preparing installation...");
    EXPECT_EQ(windowText(os.applicationWindow()), "Preparing installation...");
    EXPECT_FALSE(::IsWindowVisible(os.applicationWindow()));
}

// ---- the installer window's pauses on real timers ----------------------------

TEST(InstallerPauses, TwoPausesTakeTwoTicksAndPaintsAreServedMeanwhile) {
    win32::Win32Os os;
    TInstallerForm form(os);
    os.realize(form);
    form.setPosition(10, 10);
    os.processMessages();
    HWND h = hwndOf(form);
    ASSERT_TRUE(h);

    const unsigned long ticks = form.pauseTimer.ticks();
    const unsigned long paints = os.paintsHandled();
    ::InvalidateRect(h, nullptr, TRUE);
    form.pauseBriefly();
    ::InvalidateRect(h, nullptr, TRUE);
    form.pauseBriefly();
    EXPECT_EQ(form.pauseTimer.ticks() - ticks, 2u);
    EXPECT_FALSE(form.pauseTimer.enabled());
    EXPECT_GE(os.paintsHandled() - paints, 2u);
}

TEST(InstallerPauses, StatusAndProgressShowOnRealControlsExceptInQuietMode) {
    win32::Win32Os os;
    TInstallerForm form(os);
    os.realize(form);
    HWND label = os.windowOf(form.labCopying), bar = os.windowOf(form.progressBar);
    ASSERT_TRUE(label && bar);
    EXPECT_FALSE(::IsWindowVisible(label));

    form.activeMode = kQuietMode;
    const LRESULT before = ::SendMessageA(bar, PBM_GETPOS, 0, 0);
    const unsigned long ticks = form.pauseTimer.ticks();
    form.showStatus("Writing screen saver files...");
    form.stepProgress();
    EXPECT_FALSE(::IsWindowVisible(label));
    EXPECT_EQ(windowText(label), "");
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), before);
    EXPECT_EQ(form.pauseTimer.ticks(), ticks);

    form.activeMode = 1;
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
