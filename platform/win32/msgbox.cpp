#include "platform/win32/msgbox.h"

#include <vector>

#include "core/strings.h"
#include "platform/win32/handles.h"
#include "platform/win32/message_loop.h"

namespace ssi::win32 {

namespace {

constexpr int kTextId = 0xFFFF;  // as in a standard message box
constexpr int kIconId = 20;
constexpr int kMargin = 11;
constexpr int kIconGap = 12;
constexpr int kButtonGap = 6;
constexpr int kMinButtonWidth = 75;

struct BoxButton {
    int id;
    uint32_t captionId;
};

struct BoxState {
    std::string title;
    std::string text;
    LPCSTR icon = nullptr;
    std::vector<BoxButton> buttons;
    std::vector<std::string> captions;
    int closeAnswer = IDCANCEL;
    int answer = 0;
    bool done = false;
    GdiObject font;
};

std::string text(System& system, uint32_t id) {
    std::string s = system.loadString(id);
    return s.empty() ? builtinString(id) : s;
}

bool isButton(const BoxState& state, int id) {
    for (const BoxButton& b : state.buttons)
        if (b.id == id) return true;
    return false;
}

HWND makeChild(HWND box, const char* cls, const char* caption, DWORD style, int id, HFONT font) {
    HWND h = ::CreateWindowExA(0, cls, caption, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, box,
                               reinterpret_cast<HMENU>(INT_PTR(id)), ::GetModuleHandleA(nullptr), nullptr);
    if (h && font) ::SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return h;
}

// The box's measures: the text's wrapped size, the icon's, each button's.
struct BoxMeasures {
    RECT work;  // the screen's work area
    int iconW, iconH;
    int textW = 0, textH = 0;
    int buttonH = 23;
    std::vector<int> buttonW;
    int buttonsW = 0;  // all buttons with the gaps between them
};

BoxMeasures measure(HWND box, const BoxState& state, HFONT font) {
    BoxMeasures m;
    m.work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &m.work, 0);
    m.iconW = ::GetSystemMetrics(SM_CXICON);
    m.iconH = ::GetSystemMetrics(SM_CYICON);
    // The text wraps at five eighths of the work area's width.
    RECT textRect{0, 0, (m.work.right - m.work.left) * 5 / 8, 0};
    WindowDC dc(box);
    SelectObjectScope select(dc.get(), font);
    ::DrawTextA(dc.get(), state.text.c_str(), int(state.text.size()), &textRect,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    m.textW = textRect.right - textRect.left;
    m.textH = textRect.bottom - textRect.top;
    TEXTMETRICA tm;
    if (::GetTextMetricsA(dc.get(), &tm) && tm.tmHeight + 10 > m.buttonH) m.buttonH = tm.tmHeight + 10;
    for (const std::string& caption : state.captions) {
        SIZE extent{0, 0};
        ::GetTextExtentPoint32A(dc.get(), caption.c_str(), int(caption.size()), &extent);
        m.buttonW.push_back(extent.cx + 20 > kMinButtonWidth ? extent.cx + 20 : kMinButtonWidth);
    }
    for (int w : m.buttonW) m.buttonsW += w;
    m.buttonsW += kButtonGap * int(m.buttonW.size() > 0 ? m.buttonW.size() - 1 : 0);
    return m;
}

// Sizes the box to its client area and centres it on the work area.
void centreBox(HWND box, const RECT& work, int clientW, int clientH) {
    RECT outer{0, 0, clientW, clientH};
    ::AdjustWindowRectEx(&outer, DWORD(::GetWindowLongA(box, GWL_STYLE)), FALSE,
                         DWORD(::GetWindowLongA(box, GWL_EXSTYLE)));
    const int outerW = outer.right - outer.left, outerH = outer.bottom - outer.top;
    ::SetWindowPos(box, HWND_TOP, work.left + (work.right - work.left - outerW) / 2,
                   work.top + (work.bottom - work.top - outerH) / 2, outerW, outerH, SWP_NOACTIVATE);
}

// Creates the controls and sizes the box to its text, centred on the work
// area: the icon and the text side by side, the buttons centred below them,
// the first button the default and focused.
void layOut(HWND box, BoxState& state) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        state.font.reset(::CreateFontIndirectA(&metrics.lfMessageFont));
    HFONT font = state.font ? static_cast<HFONT>(state.font.get())
                            : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    const BoxMeasures m = measure(box, state, font);

    const int contentH = m.textH > m.iconH ? m.textH : m.iconH;
    const int textX = kMargin + m.iconW + kIconGap;
    const int textY = kMargin + (contentH - m.textH) / 2;
    int clientW = textX + m.textW + kMargin;
    if (m.buttonsW + 2 * kMargin > clientW) clientW = m.buttonsW + 2 * kMargin;
    const int buttonY = kMargin + contentH + 14;
    const int clientH = buttonY + m.buttonH + kMargin;

    if (HWND icon = makeChild(box, "STATIC", nullptr, SS_ICON, kIconId, nullptr)) {
        ::SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconA(nullptr, state.icon)), 0);
        ::MoveWindow(icon, kMargin, kMargin + (contentH - m.iconH) / 2, m.iconW, m.iconH, FALSE);
    }
    if (HWND label = makeChild(box, "STATIC", state.text.c_str(), SS_LEFT | SS_NOPREFIX, kTextId, font))
        ::MoveWindow(label, textX, textY, m.textW, m.textH, FALSE);
    int x = (clientW - m.buttonsW) / 2;
    for (size_t i = 0; i < state.buttons.size(); ++i) {
        DWORD style = WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | (i == 0 ? WS_GROUP : 0);
        if (HWND b = makeChild(box, "BUTTON", state.captions[i].c_str(), style, state.buttons[i].id, font)) {
            ::MoveWindow(b, x, buttonY, m.buttonW[i], m.buttonH, FALSE);
            if (i == 0) ::SetFocus(b);
        }
        x += m.buttonW[i] + kButtonGap;
    }
    if (!state.buttons.empty()) ::SendMessageA(box, DM_SETDEFID, WPARAM(state.buttons[0].id), 0);
    centreBox(box, m.work, clientW, clientH);
    ::SetWindowTextA(box, state.title.c_str());
}

INT_PTR CALLBACK boxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<BoxState*>(::GetWindowLongPtrA(box, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            ::SetWindowLongPtrA(box, DWLP_USER, lParam);
            layOut(box, *reinterpret_cast<BoxState*>(lParam));
            return FALSE;  // focus set on the first button
        case WM_COMMAND: {
            if (!state || state->done) return TRUE;
            int id = LOWORD(wParam);
            if (isButton(*state, id)) {
                state->answer = id;
                state->done = true;
            } else if (id == IDCANCEL) {  // Escape
                state->answer = state->closeAnswer;
                state->done = true;
            }
            return TRUE;
        }
        case WM_CLOSE:
            if (state && !state->done) {
                state->answer = state->closeAnswer;
                state->done = true;
            }
            return TRUE;
        default:
            return FALSE;
    }
}

// Disables every enabled top-level window of this thread while the box is up,
// and enables them again afterwards.
class ThreadWindowsDisabled {
public:
    ThreadWindowsDisabled() {
        ::EnumThreadWindows(::GetCurrentThreadId(), collect, reinterpret_cast<LPARAM>(this));
    }
    ~ThreadWindowsDisabled() {
        for (HWND h : disabled_)
            if (::IsWindow(h)) ::EnableWindow(h, TRUE);
    }
    ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
    ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

private:
    static BOOL CALLBACK collect(HWND h, LPARAM self) {
        if (::IsWindowEnabled(h)) {
            ::EnableWindow(h, FALSE);
            reinterpret_cast<ThreadWindowsDisabled*>(self)->disabled_.push_back(h);
        }
        return TRUE;
    }
    std::vector<HWND> disabled_;
};

BoxAnswer toAnswer(int id) {
    switch (id) {
        case IDABORT:
            return BoxAnswer::Abort;
        case IDOK:
            return BoxAnswer::Ok;
        case IDYES:
            return BoxAnswer::Yes;
        case IDNO:
            return BoxAnswer::No;
        default:
            return BoxAnswer::Cancel;
    }
}

// The title and icon of a kind of box, and the sound it makes when it comes up.
UINT describeKind(System& system, BoxKind kind, BoxState& state) {
    switch (kind) {
        case BoxKind::Error:
            state.title = text(system, kStrTitleError);
            state.icon = IDI_HAND;
            return MB_ICONHAND;
        case BoxKind::Information:
            state.title = text(system, kStrTitleInformation);
            state.icon = IDI_ASTERISK;
            return MB_ICONASTERISK;
        case BoxKind::Confirm:
            state.title = text(system, kStrTitleConfirm);
            state.icon = IDI_QUESTION;
            return MB_ICONQUESTION;
    }
    return MB_OK;
}

// The buttons with their captions, and the answer that closing the box gives.
void chooseButtons(System& system, BoxButtons buttons, BoxState& state) {
    switch (buttons) {
        case BoxButtons::Abort:
            state.buttons = {{IDABORT, kStrButtonAbort}};
            state.closeAnswer = IDABORT;
            break;
        case BoxButtons::Ok:
            state.buttons = {{IDOK, kStrButtonOk}};
            state.closeAnswer = IDOK;
            break;
        case BoxButtons::YesNo:
            state.buttons = {{IDYES, kStrButtonYes}, {IDNO, kStrButtonNo}};
            state.closeAnswer = IDNO;
            break;
        case BoxButtons::OkCancel:
            state.buttons = {{IDOK, kStrButtonOk}, {IDCANCEL, kStrButtonCancel}};
            state.closeAnswer = IDCANCEL;
            break;
    }
    for (const BoxButton& b : state.buttons) state.captions.push_back(text(system, b.captionId));
}

// An empty in-memory template: a dialog of class "#32770" whose controls
// layOut creates in pixels. DLGTEMPLATE, then empty menu, class and title.
std::vector<WORD> emptyDialogTemplate() {
    std::vector<WORD> tmpl(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(tmpl.data());
    header->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | DS_NOIDLEMSG;
    header->dwExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;
    header->cdit = 0;
    return tmpl;
}

// A quit message that arrived while the box was up: the box still wants its
// answer; the quit is passed on afterwards.
struct PendingQuit {
    bool quit = false;
    WPARAM code = 0;
};

// Runs the box's own loop until it is answered. Every message passes the
// application's filter first, as in the main loop.
PendingQuit runModalLoop(HWND box, const BoxState& state, const std::function<bool(InputEvent)>& discard) {
    PendingQuit pending;
    MSG msg;
    while (!state.done) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            pending.quit = true;
            pending.code = msg.wParam;
            continue;
        }
        if (discard) {
            // Copied: the filter may replace itself.
            const std::function<bool(InputEvent)> filter = discard;
            if (filter(inputEventOf(msg.message))) continue;
        }
        if (!::IsDialogMessageA(box, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return pending;
}

}  // namespace

BoxAnswer showMessageBox(System& system, HWND owner, BoxKind kind, BoxButtons buttons,
                         const std::string& message, const std::function<bool(InputEvent event)>& discard) {
    BoxState state;
    state.text = message;
    const UINT beep = describeKind(system, kind, state);
    chooseButtons(system, buttons, state);
    std::vector<WORD> tmpl = emptyDialogTemplate();

    ::MessageBeep(beep);
    BoxAnswer answer = toAnswer(state.closeAnswer);
    PendingQuit pending;
    Window box;
    {
        ThreadWindowsDisabled disabled;
        box.reset(::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr),
                                               reinterpret_cast<DLGTEMPLATE*>(tmpl.data()), owner, boxProc,
                                               reinterpret_cast<LPARAM>(&state)));
        if (!box) return answer;
        ::ShowWindow(box.get(), SW_SHOW);
        ::SetForegroundWindow(box.get());
        pending = runModalLoop(box.get(), state, discard);
        if (state.done) answer = toAnswer(state.answer);
        ::ShowWindow(box.get(), SW_HIDE);
    }  // owner windows enabled again before the box is destroyed
    box.reset();
    if (pending.quit) ::PostQuitMessage(int(pending.code));
    return answer;
}

}  // namespace ssi::win32
