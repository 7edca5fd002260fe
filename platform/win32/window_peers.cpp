#include "platform/win32/window_peers.h"

// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/win32/win32_ui.h"
#include "platform/win32/win32_util.h"

namespace ssi::win32 {

namespace {
constexpr char kFormClass[] = "SsiForm";
constexpr char kPanelClass[] = "SsiPanel";

// The form's window styles for its model's border, border icons and top-most.
void formStyles(const Form& form, DWORD& style, DWORD& exStyle) {
    style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (form.border() == BorderStyle::Sizeable) {
        style |= WS_THICKFRAME;
        if (!form.systemMenuOnly()) style |= WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    } else if (!form.systemMenuOnly()) {
        style |= WS_MINIMIZEBOX;
    }
    exStyle = form.topMost() ? WS_EX_TOPMOST : 0;
}
// The style bits formStyles decides; the others (visible, disabled) are the window's.
constexpr DWORD kFrameStyles =
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_BORDER | WS_DLGFRAME;

// The changes a form and a control mirror alike; false for the others.
bool mirrorCommon(HWND h, Fill& fill, const Control& control, Prop what) {
    switch (what) {
        case Prop::Text:
            ::SetWindowTextA(h, control.text().c_str());
            return true;
        case Prop::Enabled:
            ::EnableWindow(h, control.enabled());
            return true;
        case Prop::Color:
            fill.set(control.color());
            ::InvalidateRect(h, nullptr, TRUE);
            return true;
        case Prop::Focus:
            ::SetFocus(h);
            return true;
        default:
            return false;
    }
}

// Controls the keyboard focus goes to with the Tab key.
bool isFocusable(ControlKind kind) {
    return kind == ControlKind::Button || kind == ControlKind::Memo || kind == ControlKind::Host;
}

bool isContainer(ControlKind kind) {
    return kind == ControlKind::Panel || kind == ControlKind::Image || kind == ControlKind::Host;
}
}  // namespace

HINSTANCE instance() {
    return ::GetModuleHandleA(nullptr);
}

HFONT guiFont() {
    return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

// ---- window procedures -------------------------------------------------------

namespace {

// The peer whose window is being created: messages sent before WM_NCCREATE
// (WM_GETMINMAXINFO) find it here.
FormPeer* g_creating = nullptr;

LRESULT CALLBACK formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* peer = reinterpret_cast<FormPeer*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!peer && message == WM_GETMINMAXINFO) peer = g_creating;
    if (peer) return peer->handle(hwnd, message, wParam, lParam);
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK panelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* peer = reinterpret_cast<ChildPeer*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!peer) return ::DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_ERASEBKGND: {
            RECT r;
            ::GetClientRect(hwnd, &r);
            ::FillRect(reinterpret_cast<HDC>(wParam), &r, peer->fill().brush());
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            peer->paint(dc);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        default: {
            LRESULT result = 0;
            if (peer->form().controlMessage(message, wParam, lParam, result)) return result;
            break;
        }
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK applicationProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* ui = reinterpret_cast<Win32Ui*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (message) {
        case WM_TIMER:
            if (ui) {
                ui->timerMessage(wParam);
                return 0;
            }
            break;
        case WM_SIZE:
            // Minimized or restored, by the program or through the task bar.
            if (ui && wParam == SIZE_MINIMIZED) ui->applicationMinimized(true);
            if (ui && wParam == SIZE_RESTORED) ui->applicationMinimized(false);
            break;
        case WM_SETFOCUS:
            // Activated through its task-bar button: the form takes over.
            if (ui) {
                if (HWND form = ui->activeForm()) ::SetFocus(form);
                return 0;
            }
            break;
        case WM_CLOSE:
            // Closing from the task bar asks the form, which may refuse;
            // the logic decides when the program ends.
            if (ui) {
                if (HWND form = ui->activeForm()) ::PostMessageA(form, WM_CLOSE, 0, 0);
            }
            return 0;
        default:
            break;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

void registerWindowClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSA wc{};
    wc.hInstance = instance();
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hIcon = ::LoadIconA(instance(), MAKEINTRESOURCEA(1));
    if (!wc.hIcon) wc.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);

    wc.lpfnWndProc = applicationProc;
    wc.lpszClassName = kApplicationClass;
    ::RegisterClassA(&wc);

    wc.lpfnWndProc = formProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    ::RegisterClassA(&wc);

    wc.lpfnWndProc = panelProc;
    wc.hIcon = nullptr;
    wc.lpszClassName = kPanelClass;
    ::RegisterClassA(&wc);
}

// ---- ChildPeer --------------------------------------------------------------------

void ChildPeer::changed(Control& control, Prop what) {
    if (!hwnd_ || mirrorCommon(hwnd_, fill_, control, what)) return;
    switch (what) {
        case Prop::Bounds:
            ::MoveWindow(hwnd_, control.left(), control.top(), control.width(), control.height(), TRUE);
            break;
        case Prop::Visible:
            ::ShowWindow(hwnd_, control.visible() ? SW_SHOWNA : SW_HIDE);
            break;
        case Prop::Progress:
            if (control.kind() == ControlKind::ProgressBar) {
                auto& bar = static_cast<ProgressBar&>(control);
                ::SendMessageA(hwnd_, PBM_SETRANGE32, WPARAM(bar.min()), LPARAM(bar.max()));
                ::SendMessageA(hwnd_, PBM_SETPOS, WPARAM(bar.position()), 0);
            }
            break;
        case Prop::Repaint:
            ::InvalidateRect(hwnd_, nullptr, TRUE);
            ::UpdateWindow(hwnd_);
            break;
        case Prop::ZOrder:
            ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            break;
        case Prop::Style:  // a panel's bevel
            ::InvalidateRect(hwnd_, nullptr, TRUE);
            break;
        default:
            break;  // the form's own properties
    }
}

void ChildPeer::paint(HDC dc) const {
    RECT r;
    ::GetClientRect(hwnd_, &r);
    if (picture_) {
        MemoryDC memory(dc);
        if (memory.get()) {
            SelectObjectScope select(memory.get(), picture_.get());
            // A plain image control of old makes no difference: it stretches.
            const auto* image = dynamic_cast<const Image*>(model_);
            if (!image || image->stretched) {
                ::SetStretchBltMode(dc, COLORONCOLOR);
                ::StretchBlt(dc, 0, 0, r.right, r.bottom, memory.get(), 0, 0, pictureSize_.cx,
                             pictureSize_.cy, SRCCOPY);
            } else {
                const int x = image->centred ? (r.right - pictureSize_.cx) / 2 : 0;
                const int y = image->centred ? (r.bottom - pictureSize_.cy) / 2 : 0;
                ::BitBlt(dc, x, y, pictureSize_.cx, pictureSize_.cy, memory.get(), 0, 0, SRCCOPY);
            }
        }
    }
    // A panel's bevel lies inside its bounds, around its children.
    if (const auto* panel = dynamic_cast<const Panel*>(model_)) {
        if (panel->bevelOuter() != Bevel::None)
            ::DrawEdge(dc, &r, panel->bevelOuter() == Bevel::Lowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER,
                       BF_RECT);
    }
}

// ---- FormPeer ---------------------------------------------------------------------

Result FormPeer::create(HWND owner) {
    Form& f = *model_;
    DWORD style = 0, exStyle = 0;
    formStyles(f, style, exStyle);
    // The client size the model holds (what was asked, or the size given
    // before the window existed), with the frame around it.
    RECT r{0, 0, f.clientWidth(), f.clientHeight()};
    ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    // The form's font is an ANSI one, as its texts are.
    font_.reset(::CreateFontA(f.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, f.fontName.c_str()));
    g_creating = this;
    ::SetLastError(0);
    window_.reset(::CreateWindowExA(exStyle, kFormClass, f.text().c_str(), style, f.left(), f.top(),
                                    r.right - r.left, r.bottom - r.top, owner, nullptr, instance(), this));
    g_creating = nullptr;
    return window_ ? 0 : systemError();
}

void FormPeer::createChildren(Control& parent, HWND parentWindow, int& nextId) {
    for (Control* c : parent.children()) {
        const char* cls = kPanelClass;
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        switch (c->kind()) {
            case ControlKind::Label:
                cls = "STATIC";
                style |= SS_NOPREFIX;
                style |= static_cast<Label*>(c)->centred ? (SS_CENTER | SS_CENTERIMAGE) : SS_LEFT;
                break;
            case ControlKind::Button:
                cls = "BUTTON";
                style |= BS_PUSHBUTTON;
                break;
            case ControlKind::ProgressBar:
                cls = PROGRESS_CLASSA;
                break;
            case ControlKind::Memo: {
                cls = "EDIT";
                style |= ES_MULTILINE | ES_AUTOVSCROLL;
                const auto* memo = dynamic_cast<const Memo*>(c);
                if (!memo || memo->readOnly) style |= ES_READONLY;
                if (!memo || memo->verticalScrollBar) style |= WS_VSCROLL;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            }
            default:
                style |= WS_CLIPCHILDREN;
                break;
        }
        if (c->visible()) style |= WS_VISIBLE;
        if (!c->enabled()) style |= WS_DISABLED;
        if (c->tabOrder >= 0 && isFocusable(c->kind())) style |= WS_TABSTOP;
        auto peer = std::make_unique<ChildPeer>(*this, *c);
        const bool own = isContainer(c->kind());
        HWND h = ::CreateWindowExA(exStyle, cls, c->text().c_str(), style, c->left(), c->top(), c->width(),
                                   c->height(), parentWindow, reinterpret_cast<HMENU>(INT_PTR(nextId++)),
                                   instance(), own ? peer.get() : nullptr);
        peer->attach(h);
        // Siblings overlap as the form lays them out: a control made later
        // lies in front of those made before it (the movie panel in front of
        // the picture that shares its place), while the system would leave
        // the first one made in front.
        if (h) ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (h) ::SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font()), FALSE);
        c->attachPeer(peer.get());
        if (c->kind() == ControlKind::ProgressBar) peer->changed(*c, Prop::Progress);
        children_.push_back(std::move(peer));
        if (h) createChildren(*c, h, nextId);
    }
}

void FormPeer::tabList(const Control& parent, std::vector<const Control*>& out) const {
    std::vector<const Control*> stops;
    for (const Control* c : parent.children())
        if (c->tabOrder >= 0 && c->visible() && c->enabled()) stops.push_back(c);
    std::stable_sort(stops.begin(), stops.end(),
                     [](const Control* a, const Control* b) { return a->tabOrder < b->tabOrder; });
    for (const Control* c : stops) {
        if (isFocusable(c->kind())) out.push_back(c);
        tabList(*c, out);
    }
}

bool FormPeer::tab(HWND from, bool backwards) {
    if (!model_) return false;
    std::vector<const Control*> order;
    tabList(*model_, order);
    if (order.empty()) return false;
    size_t at = order.size();  // from no control in the list: start at the ends
    for (size_t i = 0; i < order.size(); ++i) {
        ChildPeer* peer = childFor(*order[i]);
        if (peer && peer->hwnd() && (peer->hwnd() == from || ::IsChild(peer->hwnd(), from))) at = i;
    }
    size_t next = 0;
    if (at == order.size())
        next = backwards ? order.size() - 1 : 0;
    else
        next = backwards ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
    if (ChildPeer* peer = childFor(*order[next])) ::SetFocus(peer->hwnd());
    return true;
}

void FormPeer::report() {
    HWND h = window_.get();
    if (!reporting_ || !model_ || !h || ::IsIconic(h)) return;
    RECT outer, client;
    if (!::GetWindowRect(h, &outer) || !::GetClientRect(h, &client)) return;
    model_->recordBounds(outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
                         client.right, client.bottom);
}

void FormPeer::applyStyle() {
    HWND h = window_.get();
    DWORD style = 0, exStyle = 0;
    formStyles(*model_, style, exStyle);
    const DWORD current = DWORD(::GetWindowLongA(h, GWL_STYLE));
    ::SetWindowLongA(h, GWL_STYLE, LONG((current & ~kFrameStyles) | style));
    // Top-most is a place in the z-order: only SetWindowPos changes it.
    const bool wasTopMost = (::GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED;
    if (wasTopMost == model_->topMost()) flags |= SWP_NOZORDER;
    ::SetWindowPos(h, model_->topMost() ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    if (!model_->topMost() && (::GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
        // Wine keeps an owned window above its owner by replacing "not top-most"
        // with the window just above the owner, which may be this one: the
        // window is let go of its owner for the move and taken back after.
        HWND owner = ::GetWindow(h, GW_OWNER);
        ::SetWindowLongPtrA(h, GWLP_HWNDPARENT, 0);
        ::SetWindowPos(h, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::SetWindowLongPtrA(h, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    }
    report();  // the frame took or gave back client area
}

void FormPeer::applyClientSize() {
    HWND h = window_.get();
    RECT r{0, 0, model_->askedClientWidth(), model_->askedClientHeight()};
    ::AdjustWindowRectEx(&r, DWORD(::GetWindowLongA(h, GWL_STYLE)), FALSE,
                         DWORD(::GetWindowLongA(h, GWL_EXSTYLE)));
    ::SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    report();
}

void FormPeer::changed(Control& control, Prop what) {
    HWND h = window_.get();
    if (!h || mirrorCommon(h, fill_, control, what)) return;
    switch (what) {
        case Prop::Bounds:
            // The system answers with WM_WINDOWPOSCHANGED, which reports the
            // result (the minimum size applied) to the model.
            ::SetWindowPos(h, nullptr, control.left(), control.top(), control.width(), control.height(),
                           SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        case Prop::Visible:
            ::ShowWindow(h, control.visible() ? SW_SHOW : SW_HIDE);
            break;
        case Prop::Repaint:
            ::RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            break;
        case Prop::ZOrder:
            ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            break;
        case Prop::Style:
            applyStyle();
            break;
        case Prop::ClientSize:
            applyClientSize();
            break;
        default:
            // Progress: none on a form. Limits: asked for by WM_GETMINMAXINFO;
            // the model resizes a smaller window itself.
            break;
    }
}

bool FormPeer::controlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && lParam) {
                ChildPeer* from = childForWindow(reinterpret_cast<HWND>(lParam));
                if (from && from->model() && from->model()->kind() == ControlKind::Button) {
                    static_cast<Button*>(from->model())->click();
                    result = 0;
                    return true;
                }
            }
            return false;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ChildPeer* from = childForWindow(reinterpret_cast<HWND>(lParam));
            if (!from || !from->model()) return false;
            if (from->model()->kind() == ControlKind::Memo) {
                // A read-only memo asks here too: it keeps a text box's colours.
                ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
                ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
                result = reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
                return true;
            }
            ::SetBkColor(dc, from->fill().rgb());
            ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
            result = reinterpret_cast<LRESULT>(from->fill().brush());
            return true;
        }
        default:
            return false;
    }
}

LRESULT FormPeer::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (controlMessage(message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_GETMINMAXINFO:
            if (model_) {
                auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
                if (model_->minWidth() > 0) limits->ptMinTrackSize.x = model_->minWidth();
                if (model_->minHeight() > 0) limits->ptMinTrackSize.y = model_->minHeight();
                return 0;
            }
            break;
        case WM_WINDOWPOSCHANGED:
            report();
            break;  // on to DefWindowProc, which sends WM_SIZE and WM_MOVE
        case WM_ERASEBKGND: {
            RECT r;
            ::GetClientRect(hwnd, &r);
            ::FillRect(reinterpret_cast<HDC>(wParam), &r, fill_.brush());
            return 1;
        }
        case WM_PAINT:
            ui_.countPaint();
            break;
        case WM_SETCURSOR:
            if (ui_.screenCursor()) {
                ::SetCursor(reinterpret_cast<HCURSOR>(ui_.screenCursor()));
                return TRUE;
            }
            break;
        case WM_SYSCOMMAND:
            // The minimize box minimizes the application: its forms go with it.
            if ((wParam & 0xFFF0) == SC_MINIMIZE) {
                ui_.minimizeApplication();
                return 0;
            }
            break;
        case WM_SHOWWINDOW:
            if (wParam && lParam == 0 && !returning_) shown();
            break;
        case WM_CLOSE:
            closeRequested();
            return 0;
        default:
            break;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

void FormPeer::shown() {
    ui_.formShown();
    if (model_ && model_->onShow) {
        // Copied: the handler may replace itself.
        std::function<void()> onShow = model_->onShow;
        onShow();
    }
}

void FormPeer::closeRequested() {
    if (!model_) return;
    if (model_->onCloseQuery) {
        std::function<bool()> query = model_->onCloseQuery;
        if (!query()) return;
    }
    if (model_) model_->setVisible(false);  // the query may have released the form
}

void FormPeer::released(Control&) {
    model_ = nullptr;
    ui_.formReleased(this);  // destroys this peer and its window
}

}  // namespace ssi::win32
