// Win32Os: windows, controls, timers, message pumping, cursor and the
// application window. Each realised form gets a FormPeer that owns its window
// and one ChildPeer per control; the peers mirror every model change onto the
// real window and turn window messages into model events.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>

#include "platform/win32/jpeg_image.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/win32_os.h"

namespace ssi::win32 {

namespace {
constexpr char kFormClass[] = "SsiForm";
constexpr char kPanelClass[] = "SsiPanel";
constexpr char kApplicationClass[] = "SsiApplication";
constexpr int kFirstControlId = 100;

HINSTANCE instance() { return ::GetModuleHandleA(nullptr); }
HFONT guiFont() { return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)); }

}  // namespace

class FormPeer;

class ChildPeer : public ControlPeer {
public:
    ChildPeer(Control& model, HWND hwnd) : model_(&model), hwnd_(hwnd) {}

    void changed(Control& control, Prop what) override {
        if (!hwnd_) return;
        switch (what) {
            case Prop::Text:
                ::SetWindowTextA(hwnd_, control.text().c_str());
                break;
            case Prop::Bounds:
                ::MoveWindow(hwnd_, control.left(), control.top(), control.width(), control.height(), TRUE);
                break;
            case Prop::Visible:
                ::ShowWindow(hwnd_, control.visible() ? SW_SHOWNA : SW_HIDE);
                break;
            case Prop::Enabled:
                ::EnableWindow(hwnd_, control.enabled());
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
        }
    }
    void released(Control&) override { model_ = nullptr; }

    Control* model() const { return model_; }
    HWND hwnd() const { return hwnd_; }

    // The picture an image control shows, painted at its top-left corner.
    void setPicture(GdiObject bitmap, SIZE size) {
        picture_ = std::move(bitmap);
        pictureSize_ = size;
        ::InvalidateRect(hwnd_, nullptr, TRUE);
    }
    void paint(HDC dc) const {
        if (!picture_) return;
        HDC memory = ::CreateCompatibleDC(dc);
        if (!memory) return;
        {
            SelectObjectScope select(memory, picture_.get());
            ::BitBlt(dc, 0, 0, pictureSize_.cx, pictureSize_.cy, memory, 0, 0, SRCCOPY);
        }
        ::DeleteDC(memory);
    }

private:
    Control* model_;
    HWND hwnd_;
    GdiObject picture_;
    SIZE pictureSize_{0, 0};
};

class FormPeer : public ControlPeer {
public:
    FormPeer(Win32Os& os, Form& model) : os_(os), model_(&model) {}
    ~FormPeer() override {
        if (window_) ::SetWindowLongPtrA(window_.get(), GWLP_USERDATA, 0);
        for (auto& child : children_)
            if (child->model()) child->model()->attachPeer(nullptr);
        if (model_) {
            model_->attachPeer(nullptr);
            model_->handle = 0;
        }
        window_.reset();  // destroys the child windows too
    }
    FormPeer(const FormPeer&) = delete;
    FormPeer& operator=(const FormPeer&) = delete;

    void create(HWND owner);
    void createChildren();

    HWND hwnd() const { return window_.get(); }
    Form* model() const { return model_; }
    ChildPeer* childFor(const Control& control) const {
        for (auto& c : children_)
            if (c->model() == &control) return c.get();
        return nullptr;
    }

    void changed(Control& control, Prop what) override {
        HWND h = window_.get();
        if (!h) return;
        switch (what) {
            case Prop::Text:
                ::SetWindowTextA(h, control.text().c_str());
                break;
            case Prop::Bounds:
                ::SetWindowPos(h, nullptr, control.left(), control.top(), control.width(), control.height(),
                               SWP_NOZORDER | SWP_NOACTIVATE);
                break;
            case Prop::Visible:
                ::ShowWindow(h, control.visible() ? SW_SHOW : SW_HIDE);
                break;
            case Prop::Enabled:
                ::EnableWindow(h, control.enabled());
                break;
            case Prop::Progress:
                break;
            case Prop::Repaint:
                ::RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                break;
        }
    }
    void released(Control&) override {
        model_ = nullptr;
        os_.formReleased(this);  // destroys this peer and its window
    }

    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    Win32Os& os_;
    Form* model_;
    Window window_;
    std::vector<std::unique_ptr<ChildPeer>> children_;
};

// ---- window procedures -------------------------------------------------------

namespace {

LRESULT CALLBACK formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* peer = reinterpret_cast<FormPeer*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (peer) return peer->handle(hwnd, message, wParam, lParam);
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK panelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        if (auto* peer = reinterpret_cast<ChildPeer*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA)))
            peer->paint(dc);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK applicationProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (message == WM_TIMER) {
        if (auto* os = reinterpret_cast<Win32Os*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA))) {
            os->timerMessage(wParam);
            return 0;
        }
    }
    if (message == WM_CLOSE) return 0;  // the logic decides when the program ends
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

void registerClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSA wc{};
    wc.hInstance = instance();
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hIcon = ::LoadIconA(instance(), MAKEINTRESOURCEA(1));
    if (!wc.hIcon) wc.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);

    wc.lpfnWndProc = formProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    ::RegisterClassA(&wc);

    wc.lpfnWndProc = panelProc;
    wc.hIcon = nullptr;
    wc.lpszClassName = kPanelClass;
    ::RegisterClassA(&wc);

    wc.lpfnWndProc = applicationProc;
    wc.lpszClassName = kApplicationClass;
    ::RegisterClassA(&wc);
}

}  // namespace

LRESULT FormPeer::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            os_.countPaint();
            break;
        case WM_SETCURSOR:
            if (os_.screenCursor()) {
                ::SetCursor(reinterpret_cast<HCURSOR>(os_.screenCursor()));
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC: {
            // Labels on the button face; a read-only memo (which asks through
            // this message too) keeps the window colour of a text box.
            HDC dc = reinterpret_cast<HDC>(wParam);
            char cls[8] = {};
            ::GetClassNameA(reinterpret_cast<HWND>(lParam), cls, sizeof cls);
            const int back = lstrcmpiA(cls, "Edit") == 0 ? COLOR_WINDOW : COLOR_BTNFACE;
            ::SetBkColor(dc, ::GetSysColor(back));
            ::SetTextColor(dc, ::GetSysColor(back == COLOR_WINDOW ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(back));
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && lParam) {
                HWND from = reinterpret_cast<HWND>(lParam);
                for (auto& child : children_) {
                    if (child->hwnd() == from && child->model() &&
                        child->model()->kind() == ControlKind::Button) {
                        static_cast<Button*>(child->model())->click();
                        return 0;
                    }
                }
            }
            break;
        case WM_SHOWWINDOW:
            if (wParam && lParam == 0 && model_ && model_->onShow) {
                // Copied: the handler may replace itself.
                std::function<void()> onShow = model_->onShow;
                onShow();
            }
            break;
        case WM_CLOSE:
            if (model_) {
                if (model_->onCloseQuery) {
                    std::function<bool()> query = model_->onCloseQuery;
                    if (!query()) return 0;
                }
                if (model_) model_->setVisible(false);
            }
            return 0;
        default:
            break;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

void FormPeer::create(HWND owner) {
    Form& f = *model_;
    DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (f.border == BorderStyle::Sizeable) {
        style |= WS_THICKFRAME;
        if (!f.systemMenuOnly) style |= WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    } else {
        style |= WS_BORDER;
        if (!f.systemMenuOnly) style |= WS_MINIMIZEBOX;
    }
    DWORD exStyle = f.topMost ? WS_EX_TOPMOST : 0;
    RECT r{0, 0, f.clientWidth, f.clientHeight};
    ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    window_.reset(::CreateWindowExA(exStyle, kFormClass, f.text().c_str(), style, f.left(), f.top(),
                                    r.right - r.left, r.bottom - r.top, owner, nullptr, instance(), this));
}

void FormPeer::createChildren() {
    int id = kFirstControlId;
    for (Control* c : model_->children()) {
        const char* cls = kPanelClass;
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        switch (c->kind()) {
            case ControlKind::Label: {
                cls = "STATIC";
                style |= SS_NOPREFIX;
                style |= static_cast<Label*>(c)->centred ? (SS_CENTER | SS_CENTERIMAGE) : SS_LEFT;
                break;
            }
            case ControlKind::Button:
                cls = "BUTTON";
                style |= BS_PUSHBUTTON | WS_TABSTOP;
                break;
            case ControlKind::ProgressBar:
                cls = PROGRESS_CLASSA;
                break;
            case ControlKind::Memo:
                cls = "EDIT";
                style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            default:
                break;
        }
        if (c->visible()) style |= WS_VISIBLE;
        if (!c->enabled()) style |= WS_DISABLED;
        HWND h = ::CreateWindowExA(exStyle, cls, c->text().c_str(), style, c->left(), c->top(), c->width(),
                                   c->height(), window_.get(), reinterpret_cast<HMENU>(INT_PTR(id++)), instance(),
                                   nullptr);
        auto peer = std::make_unique<ChildPeer>(*c, h);
        if (h) {
            ::SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(guiFont()), FALSE);
            if (cls == kPanelClass) ::SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(peer.get()));
        }
        c->attachPeer(peer.get());
        if (c->kind() == ControlKind::ProgressBar) peer->changed(*c, Prop::Progress);
        children_.push_back(std::move(peer));
    }
}

// ---- Win32Os: windows ----------------------------------------------------------

Win32Os::Win32Os() {
    registerClasses();
    // The hidden application window: owner of every form and box, holder of
    // the application title and receiver of timer ticks.
    appWindow_.reset(::CreateWindowExA(WS_EX_TOOLWINDOW, kApplicationClass, "", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                       0, 0, 0, 0, nullptr, nullptr, instance(), this));
}

Win32Os::~Win32Os() {
    for (auto& entry : timers_) ::KillTimer(appWindow_.get(), entry.first);
    timers_.clear();
    forms_.clear();
}

bool Win32Os::ensureCommonControls() {
    if (commonControlsReady_) return true;
    HMODULE comctl = systemLibrary(comctl_, "comctl32.dll");
    if (!comctl) return false;
    using InitFn = void(WINAPI*)();
    if (auto init = reinterpret_cast<InitFn>(::GetProcAddress(comctl, "InitCommonControls"))) init();
    commonControlsReady_ = true;
    return true;
}

void Win32Os::realize(Form& form) {
    if (form.peer()) return;  // already has its window
    auto peer = std::make_unique<FormPeer>(*this, form);
    for (Control* c : form.children())
        if (c->kind() == ControlKind::ProgressBar) ensureCommonControls();
    peer->create(appWindow_.get());
    if (!peer->hwnd()) {
        lastError_ = ::GetLastError();
        return;
    }
    peer->createChildren();
    FormPeer* raw = peer.get();
    forms_.push_back(std::move(peer));
    form.handle = reinterpret_cast<uintptr_t>(raw->hwnd());
    form.attachPeer(raw);
    RECT outer;
    if (::GetWindowRect(raw->hwnd(), &outer)) form.recordSize(outer.right - outer.left, outer.bottom - outer.top);
    if (form.visible()) ::ShowWindow(raw->hwnd(), SW_SHOW);
}

void Win32Os::formReleased(FormPeer* peer) {
    auto it = std::find_if(forms_.begin(), forms_.end(), [&](const auto& p) { return p.get() == peer; });
    if (it == forms_.end()) return;
    std::unique_ptr<FormPeer> dying = std::move(*it);
    forms_.erase(it);
}

HWND Win32Os::windowOf(const Control& control) const {
    for (auto& f : forms_) {
        if (f->model() == &control) return f->hwnd();
        if (ChildPeer* c = f->childFor(control)) return c->hwnd();
    }
    return nullptr;
}

bool Win32Os::loadPicture(Control& image, const std::string& path) {
    ChildPeer* target = nullptr;
    for (auto& f : forms_)
        if ((target = f->childFor(image))) break;
    if (!target || !target->hwnd()) {
        lastError_ = ERROR_INVALID_WINDOW_HANDLE;
        return false;
    }
    GdiObject bitmap;
    SIZE size{0, 0};
    std::string error;
    if (!loadPictureFile(path, bitmap, size, error)) {
        lastError_ = ERROR_INVALID_DATA;
        return false;
    }
    target->setPicture(std::move(bitmap), size);
    return true;
}

// ---- Win32Os: messages, timers, cursor ---------------------------------------------

void Win32Os::processMessages() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void Win32Os::handleMessage() {
    MSG msg;
    BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        terminated_ = true;
        return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
}

void Win32Os::runMessageLoop() {
    while (!terminated_) handleMessage();
}

void Win32Os::terminate() {
    if (!terminated_) ::PostQuitMessage(0);
    terminated_ = true;
}

void Win32Os::startTimer(Timer& timer) {
    for (auto& entry : timers_)
        if (entry.second == &timer) return;
    UINT_PTR id = nextTimerId_++;
    if (!::SetTimer(appWindow_.get(), id, timer.interval() ? timer.interval() : 1, nullptr)) {
        lastError_ = ::GetLastError();
        return;
    }
    timers_[id] = &timer;
}

void Win32Os::stopTimer(Timer& timer) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second == &timer) {
            ::KillTimer(appWindow_.get(), it->first);
            timers_.erase(it);
            return;
        }
    }
}

void Win32Os::timerMessage(UINT_PTR id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;  // stopped after the tick was queued
    it->second->tick();
}

uintptr_t Win32Os::cursor() { return screenCursor_; }

void Win32Os::setCursor(uintptr_t cursor) {
    screenCursor_ = cursor;
    ::SetCursor(cursor ? reinterpret_cast<HCURSOR>(cursor) : ::LoadCursorA(nullptr, IDC_ARROW));
}

uintptr_t Win32Os::hourglassCursor() { return reinterpret_cast<uintptr_t>(::LoadCursorA(nullptr, IDC_WAIT)); }

int Win32Os::screenWidth() { return ::GetSystemMetrics(SM_CXSCREEN); }
int Win32Os::screenHeight() { return ::GetSystemMetrics(SM_CYSCREEN); }

void Win32Os::setApplicationTitle(const std::string& title) { ::SetWindowTextA(appWindow_.get(), title.c_str()); }

std::string Win32Os::applicationTitle() {
    int n = ::GetWindowTextLengthA(appWindow_.get());
    std::string text(size_t(n) + 1, '\0');
    n = ::GetWindowTextA(appWindow_.get(), text.data(), n + 1);
    text.resize(size_t(n > 0 ? n : 0));
    return text;
}

void Win32Os::bringApplicationToFront() {
    HWND target = ::GetLastActivePopup(appWindow_.get());
    if (!target || target == appWindow_.get() || !::IsWindowVisible(target)) {
        target = nullptr;
        for (auto it = forms_.rbegin(); it != forms_.rend(); ++it)
            if (::IsWindowVisible((*it)->hwnd())) {
                target = (*it)->hwnd();
                break;
            }
    }
    if (target) ::SetForegroundWindow(target);
}

BoxAnswer Win32Os::messageBox(BoxKind kind, BoxButtons buttons, const std::string& text) {
    return showMessageBox(*this, appWindow_.get(), kind, buttons, text);
}

}  // namespace ssi::win32
