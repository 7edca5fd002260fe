// Control models mirrored onto real windows: creation, every property
// changed afterwards (styles and sizes included), sizes flowing back to the
// model, nested panels, colours, focus, z-order; the application window in the
// task bar; timers, the message filter and the message loop.
#include <commctrl.h>
#include <gtest/gtest.h>

#include "platform/win32/win32_os.h"
#include "tests/wine/wine_test_support.h"

namespace ssi {
namespace {

using wintest::BoxWatcher;
using wintest::classOf;
using wintest::hwndOf;
using wintest::windowText;

// A child window's rectangle in its parent's client coordinates.
RECT placeOf(HWND h) {
    RECT r;
    ::GetWindowRect(h, &r);
    ::MapWindowPoints(nullptr, ::GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE clientOf(HWND h) {
    RECT r;
    ::GetClientRect(h, &r);
    return SIZE{r.right, r.bottom};
}

// What the system's user would drag: a new outer size set on the window
// itself, not through the model.
void dragTo(HWND h, int width, int height) {
    ::SetWindowPos(h, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

struct SampleForm : Form {
    SampleForm() : Form("sample") {
        setBounds(40, 50, 300, 120);  // before the window: the client size
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
    Image image{"image"};
};

TEST(Windows, RealizedFormHasTheModelsClientSizePlaceCaptionAndControls) {
    win32::Win32Os os;
    SampleForm form;
    int shows = 0, resizes = 0;
    form.onShow = [&] { ++shows; };
    form.onResize = [&] { ++resizes; };
    ASSERT_EQ(os.ui().realize(form), 0);
    EXPECT_EQ(os.ui().realize(form), 0) << "a second time changes nothing";
    HWND h = hwndOf(form);
    ASSERT_TRUE(::IsWindow(h));
    RECT outer;
    ::GetWindowRect(h, &outer);
    EXPECT_EQ(clientOf(h).cx, 300);
    EXPECT_EQ(clientOf(h).cy, 120);
    EXPECT_EQ(outer.left, 40);
    EXPECT_EQ(outer.top, 50);
    // The model now holds the outer size the system gave the window; the
    // first report only records.
    EXPECT_EQ(form.width(), outer.right - outer.left);
    EXPECT_EQ(form.height(), outer.bottom - outer.top);
    EXPECT_GT(form.width(), 300);
    EXPECT_EQ(form.clientWidth(), 300);
    EXPECT_EQ(resizes, 0);
    EXPECT_EQ(windowText(h), "Sample caption");
    EXPECT_EQ(::GetWindow(h, GW_OWNER), os.ui().applicationWindow());
    EXPECT_TRUE(::IsWindowVisible(h));
    EXPECT_EQ(shows, 1);
    const LONG style = ::GetWindowLongA(h, GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME) << "sizeable unless told otherwise";
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);

    HWND label = os.ui().windowOf(form.label), button = os.ui().windowOf(form.button),
         bar = os.ui().windowOf(form.bar);
    EXPECT_EQ(classOf(label), "Static");
    EXPECT_TRUE(::GetWindowLongA(label, GWL_STYLE) & SS_CENTER);
    EXPECT_EQ(windowText(label), "Preparing...");
    EXPECT_EQ(classOf(button), "Button");
    EXPECT_EQ(classOf(bar), "msctls_progress32");
    EXPECT_EQ(::SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 10);
    EXPECT_NE(os.ui().windowOf(form.image), nullptr);
}

TEST(Windows, ModelChangesReachTheRealWindows) {
    win32::Win32Os os;
    SampleForm form;
    ASSERT_EQ(os.ui().realize(form), 0);
    HWND h = hwndOf(form), label = os.ui().windowOf(form.label), button = os.ui().windowOf(form.button),
         bar = os.ui().windowOf(form.bar);

    form.label.setText("Installing Screen Saver...");
    EXPECT_EQ(windowText(label), "Installing Screen Saver...");
    form.setText("NightSkySetup.exe");
    EXPECT_EQ(windowText(h), "NightSkySetup.exe");

    form.button.setBounds(20, 70, 90, 30);
    RECT r = placeOf(button);
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
    Panel holder("holder");
    Button inner("inner");
    holder.setBounds(150, 60, 100, 50);
    inner.setBounds(5, 5, 60, 25);
    holder.add(inner);
    form.add(holder);
    int clicks = 0, innerClicks = 0;
    form.button.onClick = [&] { ++clicks; };
    inner.onClick = [&] { ++innerClicks; };
    bool allowClose = false;
    int queries = 0;
    form.onCloseQuery = [&] {
        ++queries;
        return allowClose;
    };
    ASSERT_EQ(os.ui().realize(form), 0);
    HWND h = hwndOf(form), button = os.ui().windowOf(form.button);

    ::SendMessageA(button, BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    form.button.setEnabled(false);
    ::SendMessageA(button, BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    ::SendMessageA(os.ui().windowOf(inner), BM_CLICK, 0, 0);
    EXPECT_EQ(innerClicks, 1) << "a button inside a panel";

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
        ASSERT_EQ(os.ui().realize(form), 0);
        h = hwndOf(form);
        label = os.ui().windowOf(form.label);
        ASSERT_TRUE(::IsWindow(h));
    }
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_FALSE(::IsWindow(label));
    os.ui().processMessages();  // nothing left that points at the dead model
}

// ---- styles and sizes after creation -------------------------------------------

TEST(FormStyles, BorderIconsAndTopMostChangeTheRealWindowAfterCreation) {
    win32::Win32Os os;
    Form form("styled");
    form.setBorder(BorderStyle::Single);
    form.setSystemMenuOnly(true);
    form.setBounds(30, 30, 200, 100);
    ASSERT_EQ(os.ui().realize(form), 0);
    HWND h = hwndOf(form);
    auto style = [&] { return ::GetWindowLongA(h, GWL_STYLE); };
    auto exStyle = [&] { return ::GetWindowLongA(h, GWL_EXSTYLE); };
    EXPECT_FALSE(style() & WS_THICKFRAME);
    EXPECT_FALSE(style() & WS_MINIMIZEBOX);
    EXPECT_TRUE(style() & WS_SYSMENU);
    EXPECT_FALSE(exStyle() & WS_EX_TOPMOST);
    const int singleClientWidth = form.clientWidth();

    int resizes = 0;
    form.onResize = [&] { ++resizes; };
    form.setBorder(BorderStyle::Sizeable);
    EXPECT_TRUE(style() & WS_THICKFRAME);
    EXPECT_TRUE(style() & WS_VISIBLE) << "the window's own bits stay";
    // The outer size stays; the thicker frame takes client area, and the
    // model learns it.
    EXPECT_EQ(form.clientWidth(), clientOf(h).cx);
    EXPECT_LT(form.clientWidth(), singleClientWidth);
    EXPECT_EQ(resizes, 1);

    form.setSystemMenuOnly(false);
    EXPECT_TRUE(style() & WS_MINIMIZEBOX);
    EXPECT_TRUE(style() & WS_MAXIMIZEBOX);
    form.setTopMost(true);
    EXPECT_TRUE(exStyle() & WS_EX_TOPMOST);
    form.setTopMost(false);
    EXPECT_FALSE(exStyle() & WS_EX_TOPMOST);
    form.setBorder(BorderStyle::Single);
    EXPECT_FALSE(style() & WS_THICKFRAME);
    EXPECT_EQ(form.clientWidth(), singleClientWidth);
}

TEST(FormSizes, MinimumSizeHoldsAgainstTheUserAndTheProgram) {
    win32::Win32Os os;
    Form form("limited");
    form.setBounds(20, 20, 400, 300);
    ASSERT_EQ(os.ui().realize(form), 0);
    HWND h = hwndOf(form);
    form.setMinSize(300, 200);
    RECT r;
    dragTo(h, 120, 90);  // dragged smaller than allowed
    ::GetWindowRect(h, &r);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
    EXPECT_EQ(form.width(), 300);
    EXPECT_EQ(form.height(), 200);

    form.setSize(100, 100);  // the program asks for too little
    ::GetWindowRect(h, &r);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);

    form.setMinSize(350, 250);  // a larger minimum grows the window
    ::GetWindowRect(h, &r);
    EXPECT_EQ(r.right - r.left, 350);
    EXPECT_EQ(r.bottom - r.top, 250);

    // What a drag by the frame asks the window for.
    MINMAXINFO limits{};
    ::SendMessageA(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, 350);
    EXPECT_EQ(limits.ptMinTrackSize.y, 250);
}

TEST(FormSizes, ClientSizeAskedAfterCreationGetsItsFrame) {
    win32::Win32Os os;
    Form form("client");
    form.setBorder(BorderStyle::Single);
    form.setClientSize(244, 84);
    form.setPosition(10, 10);
    ASSERT_EQ(os.ui().realize(form), 0);
    HWND h = hwndOf(form);
    EXPECT_EQ(clientOf(h).cx, 244);
    EXPECT_EQ(clientOf(h).cy, 84);
    form.setClientSize(400, 300);
    EXPECT_EQ(clientOf(h).cx, 400);
    EXPECT_EQ(clientOf(h).cy, 300);
    EXPECT_EQ(form.clientWidth(), 400);
    RECT r;
    ::GetWindowRect(h, &r);
    EXPECT_EQ(form.width(), r.right - r.left);
    EXPECT_EQ(r.left, 10) << "the place stays";
}

// Panels in panels, anchored and client-aligned children, following a size
// the user gives the window.
TEST(FormSizes, UserResizeReachesTheModelAndItsAnchoredChildren) {
    win32::Win32Os os;
    Form form("anchored");
    form.setBounds(10, 10, 400, 300);
    Panel frame("frame"), inner("inner"), fill("fill");
    Button ok("ok"), corner("corner");
    Label caption("caption");
    frame.setBounds(10, 10, 380, 240);
    frame.anchors = anchor::kLeft | anchor::kTop | anchor::kRight | anchor::kBottom;
    frame.setBevelOuter(Bevel::Raised);
    inner.setBounds(20, 20, 100, 100);
    inner.anchors = anchor::kRight | anchor::kTop;
    caption.setBounds(0, 0, 100, 20);
    fill.align = Align::Client;
    fill.setBounds(1, 1, 378, 238);
    ok.setBounds(310, 260, 80, 25);
    ok.anchors = anchor::kRight | anchor::kBottom;
    corner.setBounds(0, 0, 10, 10);
    form.add(frame);
    form.add(ok);
    frame.add(fill);
    frame.add(inner);
    inner.add(caption);
    inner.add(corner);
    int resizes = 0;
    form.onResize = [&] { ++resizes; };
    ASSERT_EQ(os.ui().realize(form), 0);
    EXPECT_EQ(resizes, 0);

    HWND h = hwndOf(form), frameWindow = os.ui().windowOf(frame), innerWindow = os.ui().windowOf(inner);
    // Every control is a window under its parent's window.
    EXPECT_EQ(::GetParent(frameWindow), h);
    EXPECT_EQ(::GetParent(innerWindow), frameWindow);
    EXPECT_EQ(::GetParent(os.ui().windowOf(caption)), innerWindow);
    // The bevel lies inside the panel, around its children, as the model counts.
    EXPECT_EQ(clientOf(frameWindow).cx, 380);
    EXPECT_EQ(clientOf(frameWindow).cy, 240);
    RECT r = placeOf(os.ui().windowOf(fill));
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.top, 1);

    RECT outer;
    ::GetWindowRect(h, &outer);
    dragTo(h, outer.right - outer.left + 50, outer.bottom - outer.top + 30);
    EXPECT_EQ(resizes, 1);
    EXPECT_EQ(form.clientWidth(), 450);
    EXPECT_EQ(form.clientHeight(), 330);
    EXPECT_EQ(form.width(), outer.right - outer.left + 50);
    struct Expected {
        const char* name;
        Control* control;
        int left, top, width, height;
    };
    const Expected expected[] = {
        {"frame grows", &frame, 10, 10, 430, 270},
        {"ok keeps its corner", &ok, 360, 290, 80, 25},
        {"fill fills inside the bevel", &fill, 1, 1, 428, 268},
        {"inner moves right", &inner, 70, 20, 100, 100},
        {"caption stays in inner", &caption, 0, 0, 100, 20},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.control->left(), e.left);
        EXPECT_EQ(e.control->top(), e.top);
        EXPECT_EQ(e.control->width(), e.width);
        EXPECT_EQ(e.control->height(), e.height);
        // The model and the real window agree.
        r = placeOf(os.ui().windowOf(*e.control));
        EXPECT_EQ(r.left, e.left);
        EXPECT_EQ(r.top, e.top);
        EXPECT_EQ(r.right - r.left, e.width);
        EXPECT_EQ(r.bottom - r.top, e.height);
    }
    dragTo(h, outer.right - outer.left + 50, outer.bottom - outer.top + 30);
    EXPECT_EQ(resizes, 1) << "no change, no event";
    form.setPosition(50, 60);
    EXPECT_EQ(resizes, 1) << "moving is no resize";
}

// ---- colours, focus, z-order ------------------------------------------------------

// The colour a window paints its background with (WM_ERASEBKGND into a bitmap).
COLORREF backgroundOf(HWND h) {
    win32::WindowDC screen(h);
    win32::MemoryDC memory(screen.get());
    win32::GdiObject canvas(::CreateCompatibleBitmap(screen.get(), 8, 8));
    win32::SelectObjectScope select(memory.get(), canvas.get());
    ::SendMessageA(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory.get()), 0);
    return ::GetPixel(memory.get(), 2, 2);
}

TEST(Colors, FormsAndPanelsPaintTheModelsColour) {
    win32::Win32Os os;
    Form form("colours");
    form.setBounds(10, 10, 200, 100);
    Panel panel("panel");
    panel.setBounds(10, 10, 50, 50);
    form.add(panel);
    panel.setColor(0x00336699);  // before the window exists
    ASSERT_EQ(os.ui().realize(form), 0);
    HWND h = hwndOf(form), p = os.ui().windowOf(panel);
    EXPECT_EQ(backgroundOf(h), ::GetSysColor(COLOR_BTNFACE)) << "the button face unless told otherwise";
    EXPECT_EQ(backgroundOf(p), RGB(0x99, 0x66, 0x33)) << "0x00BBGGRR";
    form.setColor(color::kWhite);
    EXPECT_EQ(backgroundOf(h), RGB(255, 255, 255));
    panel.setColor(color::kWindowText);
    EXPECT_EQ(backgroundOf(p), ::GetSysColor(COLOR_WINDOWTEXT)) << "a system colour by its index";

    // Bevels: a pixel wide, inside the panel, light and shade by their kind.
    form.setPosition(10, 10);
    struct Case {
        Bevel bevel;
        int topLeft, bottomRight;  // system colours; -1: the panel's own colour
    };
    const Case cases[] = {
        {Bevel::Lowered, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT},
        {Bevel::Raised, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW},
        {Bevel::None, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.bevel));
        panel.setBevelOuter(c.bevel);
        ::UpdateWindow(p);
        win32::WindowDC dc(p);
        const COLORREF own = ::GetSysColor(COLOR_WINDOWTEXT);
        EXPECT_EQ(::GetPixel(dc.get(), 0, 0), c.topLeft < 0 ? own : ::GetSysColor(c.topLeft));
        EXPECT_EQ(::GetPixel(dc.get(), 49, 49), c.bottomRight < 0 ? own : ::GetSysColor(c.bottomRight));
        EXPECT_EQ(::GetPixel(dc.get(), 25, 25), own);
    }
}

TEST(Controls, MemosFontsAndTheTabOrderAsTheModelSays) {
    win32::Win32Os os;
    Form form("keyboard");
    form.setBounds(10, 10, 300, 200);
    form.fontName = "Arial";
    form.fontHeight = -15;
    Memo plain("plain"), licence("licence");
    licence.readOnly = true;
    licence.verticalScrollBar = true;
    plain.setBounds(5, 5, 100, 40);
    licence.setBounds(5, 50, 100, 40);
    Panel row("row");
    row.setBounds(110, 5, 180, 100);
    Button first("first"), inRowA("inRowA"), inRowB("inRowB"), last("last"), noStop("noStop"),
        hidden("hidden"), disabled("disabled");
    // Tab order: first (0), the row (1: inRowB 0, inRowA 1), last (2); the
    // memos, noStop, hidden and disabled are left out.
    first.tabOrder = 0;
    row.tabOrder = 1;
    inRowA.tabOrder = 1;
    inRowB.tabOrder = 0;
    last.tabOrder = 2;
    hidden.tabOrder = 3;
    hidden.setVisible(false);
    disabled.tabOrder = 4;
    disabled.setEnabled(false);
    int y = 100;
    for (Button* b : {&last, &noStop, &hidden, &disabled, &first}) {
        b->setBounds(5, y, 60, 20);
        y += 20;
    }
    inRowA.setBounds(5, 5, 60, 20);
    inRowB.setBounds(5, 30, 60, 20);
    row.add(inRowA);
    row.add(inRowB);
    for (Control* c :
         std::initializer_list<Control*>{&plain, &licence, &row, &last, &noStop, &hidden, &disabled, &first})
        form.add(*c);
    ASSERT_EQ(os.ui().realize(form), 0);

    const LONG plainStyle = ::GetWindowLongA(os.ui().windowOf(plain), GWL_STYLE);
    const LONG licenceStyle = ::GetWindowLongA(os.ui().windowOf(licence), GWL_STYLE);
    EXPECT_FALSE(plainStyle & ES_READONLY);
    EXPECT_FALSE(plainStyle & WS_VSCROLL);
    EXPECT_TRUE(licenceStyle & ES_READONLY);
    EXPECT_TRUE(licenceStyle & WS_VSCROLL);
    EXPECT_TRUE(licenceStyle & ES_MULTILINE);

    LOGFONTA font{};
    ASSERT_TRUE(
        ::GetObjectA(reinterpret_cast<HGDIOBJ>(::SendMessageA(os.ui().windowOf(inRowA), WM_GETFONT, 0, 0)),
                     sizeof font, &font));
    EXPECT_STREQ(font.lfFaceName, "Arial");
    EXPECT_EQ(font.lfHeight, -15);

    ::SetForegroundWindow(hwndOf(form));
    first.focus();
    const Control* expected[] = {&inRowB, &inRowA, &last, &first, &inRowB};
    for (const Control* next : expected) {
        SCOPED_TRACE(next->name());
        ::PostMessageA(::GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        os.ui().processMessages();
        EXPECT_EQ(::GetFocus(), os.ui().windowOf(*next));
    }
}

TEST(Focus, ControlsTakeTheFocusAndComeToTheFront) {
    win32::Win32Os os;
    SampleForm form;
    Panel lower("lower"), upper("upper");
    lower.setBounds(150, 5, 40, 40);
    upper.setBounds(160, 15, 40, 40);
    form.add(lower);
    form.add(upper);
    ASSERT_EQ(os.ui().realize(form), 0);
    ::SetForegroundWindow(hwndOf(form));
    form.button.focus();
    EXPECT_EQ(::GetFocus(), os.ui().windowOf(form.button));
    form.focus();
    EXPECT_EQ(::GetFocus(), hwndOf(form));

    lower.bringToFront();
    EXPECT_EQ(::GetWindow(hwndOf(form), GW_CHILD), os.ui().windowOf(lower)) << "first in the z-order";
    upper.bringToFront();
    EXPECT_EQ(::GetWindow(hwndOf(form), GW_CHILD), os.ui().windowOf(upper));
}

// ---- the application window ----------------------------------------------------------

// The windows of this process that a task bar lists: visible, top-level,
// unowned and not tool windows.
BOOL CALLBACK collectTaskBarWindow(HWND h, LPARAM found) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(h, &process);
    if (process == ::GetCurrentProcessId() && ::IsWindowVisible(h) && !::GetWindow(h, GW_OWNER) &&
        !(::GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW))
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(h);
    return TRUE;
}

std::vector<HWND> taskBarWindows() {
    std::vector<HWND> found;
    ::EnumWindows(collectTaskBarWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST(Application, TaskBarShowsTheApplicationTitleOnceAFormIsUp) {
    win32::Win32Os os;
    os.ui().setApplicationTitle("Preparing installation...");
    EXPECT_EQ(os.ui().applicationTitle(), "Preparing installation...");
    EXPECT_TRUE(taskBarWindows().empty()) << "nothing in the task bar before a window shows";

    Form preparing("preparing");
    preparing.setBorder(BorderStyle::Single);
    preparing.setSystemMenuOnly(true);
    preparing.setClientSize(244, 84);
    preparing.setText("NightSkySetup.exe");
    ASSERT_EQ(os.ui().realize(preparing), 0);
    const std::vector<HWND> listed = taskBarWindows();
    ASSERT_EQ(listed.size(), 1u) << "one entry for the program, none for its forms";
    EXPECT_EQ(windowText(listed[0]), "Preparing installation...");
    EXPECT_EQ(listed[0], os.ui().applicationWindow());
    EXPECT_EQ(::GetWindow(hwndOf(preparing), GW_OWNER), listed[0]);
    RECT r;
    ::GetWindowRect(listed[0], &r);
    EXPECT_EQ(r.right - r.left, 0) << "nothing of it shows but its entry";
    EXPECT_EQ(r.bottom - r.top, 0);

    os.ui().setApplicationTitle("Night Sky Setup");
    EXPECT_EQ(windowText(taskBarWindows().at(0)), "Night Sky Setup");
    preparing.setVisible(false);
    EXPECT_EQ(taskBarWindows().size(), 1u) << "the entry stays while the program runs";
}

TEST(Application, MinimizedFromTheProgramAndBroughtBack) {
    win32::Win32Os os;
    SampleForm form;
    ASSERT_EQ(os.ui().realize(form), 0);
    HWND app = os.ui().applicationWindow();
    ::SetForegroundWindow(hwndOf(form));
    os.ui().processMessages();
    EXPECT_TRUE(os.ui().applicationActive());
    os.ui().minimizeApplication();
    os.ui().processMessages();
    EXPECT_TRUE(::IsIconic(app));
    EXPECT_FALSE(::IsWindowVisible(hwndOf(form))) << "its forms go with it";
    os.ui().bringApplicationToFront();
    os.ui().processMessages();
    EXPECT_FALSE(::IsIconic(app));
    EXPECT_TRUE(::IsWindowVisible(hwndOf(form)));
    EXPECT_EQ(::GetForegroundWindow(), hwndOf(form));
    EXPECT_TRUE(os.ui().applicationActive());
}

// ---- timers, the message filter and the loop ---------------------------------------

TEST(Messages, TimersTickThroughMessageHandlingUntilStopped) {
    win32::Win32Os os;
    Timer timer(os.ui(), "t", 10);
    unsigned long seenAtStop = 0;
    timer.onTimer = [&] {
        if (timer.ticks() == 3) {
            (void)timer.setEnabled(false);
            seenAtStop = timer.ticks();
            ::PostMessageA(os.ui().applicationWindow(), WM_NULL, 0, 0);
        }
    };
    ASSERT_EQ(timer.setEnabled(true), 0);
    while (timer.enabled()) os.ui().handleMessage();
    EXPECT_EQ(timer.ticks(), 3u);
    // A second timer keeps the queue busy; the stopped one gets no more ticks.
    Timer other(os.ui(), "other", 10);
    other.onTimer = [&] {
        if (other.ticks() == 3) (void)other.setEnabled(false);
    };
    ASSERT_EQ(other.setEnabled(true), 0);
    while (other.enabled()) os.ui().handleMessage();
    EXPECT_EQ(timer.ticks(), seenAtStop);
}

TEST(Messages, ATimerTheSystemRefusesIsReportedAndStaysOff) {
    win32::Win32Os os;
    Timer timer(os.ui(), "refused", 10);
    // Without the window that receives its ticks, the system refuses the timer.
    ASSERT_TRUE(::DestroyWindow(os.ui().applicationWindow()));
    EXPECT_NE(timer.setEnabled(true), 0);
    EXPECT_FALSE(timer.enabled());
}

TEST(Messages, TerminateEndsTheMessageLoop) {
    win32::Win32Os os;
    Timer timer(os.ui(), "end", 10);
    timer.onTimer = [&] { os.ui().terminate(); };
    ASSERT_EQ(timer.setEnabled(true), 0);
    os.ui().runMessageLoop();
    EXPECT_TRUE(os.ui().terminated());
    EXPECT_EQ(timer.ticks(), 1u);
    (void)timer.setEnabled(false);
}

// Counts the right-button presses a window really gets.
struct PressCounter {
    static LRESULT CALLBACK proc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_RBUTTONDOWN) ++presses;
        return ::CallWindowProcA(original, h, message, wParam, lParam);
    }
    static inline int presses = 0;
    static inline WNDPROC original = nullptr;
};

TEST(Messages, TheFilterDiscardsWhatItIsAskedToInEveryLoop) {
    win32::Win32Os os;
    SampleForm form;
    ASSERT_EQ(os.ui().realize(form), 0);
    HWND h = hwndOf(form);
    PressCounter::presses = 0;
    PressCounter::original = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PressCounter::proc)));
    int seen = 0;
    os.ui().setMessageFilter([&](InputEvent event) {
        if (event != InputEvent::RightButtonDown) return false;
        ++seen;
        return true;
    });
    ::PostMessageA(h, WM_RBUTTONDOWN, 0, 0);
    os.ui().processMessages();
    ::PostMessageA(h, WM_RBUTTONDOWN, 0, 0);
    ::PostMessageA(h, WM_NULL, 0, 0);
    os.ui().handleMessage();
    os.ui().handleMessage();
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(PressCounter::presses, 0) << "discarded before dispatch";

    // The message box's own loop asks the filter too.
    {
        BoxWatcher watcher("Information", IDOK);
        ::PostMessageA(h, WM_RBUTTONDOWN, 0, 0);
        EXPECT_EQ(os.ui().messageBox(BoxKind::Information, BoxButtons::Ok, "Filtered?"), BoxAnswer::Ok);
        EXPECT_TRUE(watcher.result().found);
    }
    EXPECT_EQ(seen, 3);
    EXPECT_EQ(PressCounter::presses, 0);

    os.ui().setMessageFilter(nullptr);
    ::PostMessageA(h, WM_RBUTTONDOWN, 0, 0);
    os.ui().processMessages();
    EXPECT_EQ(PressCounter::presses, 1) << "without a filter it arrives";
    ::SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PressCounter::original));
}

}  // namespace
}  // namespace ssi
