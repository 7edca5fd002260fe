#include "platform/win32/win32_ui.h"

// after windows.h
#include <commctrl.h>

#include <algorithm>

#include "platform/win32/control_site.h"
#include "platform/win32/jpeg_image.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_util.h"

namespace ssi::win32 {

namespace {
constexpr char kFormClass[] = "SsiForm";
constexpr char kPanelClass[] = "SsiPanel";
constexpr char kApplicationClass[] = "SsiApplication";
constexpr int kFirstControlId = 100;

HINSTANCE instance() {
    return ::GetModuleHandleA(nullptr);
}
HFONT guiFont() {
    return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

// A model colour as the system paints it: an RGB value with a brush of our
// own, or a system colour with the system's shared brush.
class Fill {
public:
    void set(uint32_t color) {
        owned_.reset();
        if (color & color::kSystem) {
            const int index = int(color & 0xFF);
            rgb_ = ::GetSysColor(index);
            brush_ = ::GetSysColorBrush(index);
        } else {
            rgb_ = COLORREF(color & 0x00FFFFFF);
            owned_.reset(::CreateSolidBrush(rgb_));
            brush_ = static_cast<HBRUSH>(owned_.get());
        }
    }
    COLORREF rgb() const { return rgb_; }
    HBRUSH brush() const { return brush_; }

private:
    GdiObject owned_;
    HBRUSH brush_ = nullptr;
    COLORREF rgb_ = 0;
};

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

// ---- peers -----------------------------------------------------------------------

class ChildPeer : public ControlPeer {
public:
    ChildPeer(FormPeer& form, Control& model) : form_(form), model_(&model) { fill_.set(model.color()); }

    void changed(Control& control, Prop what) override;
    void released(Control&) override { model_ = nullptr; }

    FormPeer& form() const { return form_; }
    Control* model() const { return model_; }
    HWND hwnd() const { return hwnd_; }
    // The window is created by FormPeer and destroyed with the form's window,
    // which owns every window below it.
    void attach(HWND hwnd) { hwnd_ = hwnd; }
    const Fill& fill() const { return fill_; }

    // The picture an image control shows (stretched, centred or at its
    // top-left corner, as the model says).
    void setPicture(GdiObject bitmap, SIZE size) {
        picture_ = std::move(bitmap);
        pictureSize_ = size;
        ::InvalidateRect(hwnd_, nullptr, TRUE);
    }
    void paint(HDC dc) const;

private:
    FormPeer& form_;
    Control* model_;
    HWND hwnd_ = nullptr;
    Fill fill_;
    GdiObject picture_;
    SIZE pictureSize_{0, 0};
};

class FormPeer : public ControlPeer {
public:
    FormPeer(Win32Ui& ui, Form& model) : ui_(ui), model_(&model) { fill_.set(model.color()); }
    ~FormPeer() override {
        if (window_) ::SetWindowLongPtrA(window_.get(), GWLP_USERDATA, 0);
        for (auto& child : children_) {
            if (child->hwnd()) ::SetWindowLongPtrA(child->hwnd(), GWLP_USERDATA, 0);
            if (child->model()) child->model()->attachPeer(nullptr);
        }
        if (model_) {
            model_->attachPeer(nullptr);
            model_->handle = 0;
        }
        window_.reset();  // destroys the child windows too
    }
    FormPeer(const FormPeer&) = delete;
    FormPeer& operator=(const FormPeer&) = delete;

    Result create(HWND owner);
    // Creates the windows of every control below `parent`, depth first.
    void createChildren(Control& parent, HWND parentWindow, int& nextId);
    // The model learns the size the system gave the window; from here on
    // every change is reported.
    void startReporting() {
        reporting_ = true;
        report();
    }

    HWND hwnd() const { return window_.get(); }
    Form* model() const { return model_; }
    // The font of every control of the window (the model's, or the system's
    // when it cannot be made).
    HFONT font() const { return font_ ? static_cast<HFONT>(font_.get()) : guiFont(); }
    bool contains(HWND hwnd) const {
        for (HWND w = hwnd; w; w = ::GetParent(w))
            if (w == window_.get()) return true;
        return false;
    }
    // Moves the keyboard focus from `from` to the next control in the tab
    // order (or the one before); false when the window has none.
    bool tab(HWND from, bool backwards);
    ChildPeer* childFor(const Control& control) const {
        for (auto& c : children_)
            if (c->model() == &control) return c.get();
        return nullptr;
    }
    ChildPeer* childForWindow(HWND hwnd) const {
        for (auto& c : children_)
            if (c->hwnd() == hwnd) return c.get();
        return nullptr;
    }

    void changed(Control& control, Prop what) override;
    void released(Control&) override {
        model_ = nullptr;
        ui_.formReleased(this);  // destroys this peer and its window
    }
    // The application was minimized or restored: a visible form goes and
    // comes back with it, its model still visible all the while.
    void hideWithApplication() {
        if (!::IsWindowVisible(window_.get())) return;
        hiddenWithApplication_ = true;
        ::ShowWindow(window_.get(), SW_HIDE);
    }
    void showWithApplication() {
        if (!hiddenWithApplication_) return;
        hiddenWithApplication_ = false;
        if (!model_ || !model_->visible()) return;
        returning_ = true;
        ::ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
        returning_ = false;
    }

    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Messages that controls send to their parent, form or panel alike.
    bool controlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    void report();
    void applyStyle();
    void applyClientSize();

    Win32Ui& ui_;
    Form* model_;
    // Focusable controls in tab order: depth first, siblings by tabOrder,
    // leaving out what is hidden, disabled or no tab stop.
    void tabList(const Control& parent, std::vector<const Control*>& out) const;

    Window window_;
    GdiObject font_;
    Fill fill_;
    bool reporting_ = false;
    bool hiddenWithApplication_ = false;
    bool returning_ = false;                            // shown again with the application: not a new showing
    std::vector<std::unique_ptr<ChildPeer>> children_;  // every control below the form
};

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

void registerClasses() {
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

}  // namespace

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
            if (wParam && lParam == 0 && !returning_) {
                ui_.formShown();
                if (model_ && model_->onShow) {
                    // Copied: the handler may replace itself.
                    std::function<void()> onShow = model_->onShow;
                    onShow();
                }
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

// ---- Win32Ui: windows ----------------------------------------------------------

Win32Ui::Win32Ui(System& system) : system_(system) {
    registerClasses();
    // Centred and of no size: nothing of it shows but its task-bar button.
    appWindow_.reset(::CreateWindowExA(
        0, kApplicationClass, "", WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
        ::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr,
        instance(), this));
}

Win32Ui::~Win32Ui() {
    timers_.clear();
    forms_.clear();
    if (appWindow_) ::SetWindowLongPtrA(appWindow_.get(), GWLP_USERDATA, 0);
    if (oleReady_) ::OleUninitialize();
}

Result Win32Ui::realize(Form& form) {
    if (form.peer()) return 0;  // already has its window
    if (!appWindow_) return oserr::kInvalidWindowHandle;
    auto peer = std::make_unique<FormPeer>(*this, form);
    if (!commonControlsReady_) {
        // Progress bars are common controls: comctl32 is loaded by full path
        // when a form first needs it, so the program does not import it.
        std::string path = fetchString([](char* b, DWORD n) { return ::GetSystemDirectoryA(b, n); });
        if (!path.empty() && path.back() != '\\') path += '\\';
        comctl_.reset(::LoadLibraryA((path + "comctl32.dll").c_str()));
        using InitFn = void(WINAPI*)();
        if (comctl_) {
            if (auto init = reinterpret_cast<InitFn>(::GetProcAddress(comctl_.get(), "InitCommonControls")))
                init();
            commonControlsReady_ = true;
        }
    }
    if (Result e = peer->create(appWindow_.get())) return e;
    FormPeer* raw = peer.get();
    forms_.push_back(std::move(peer));
    form.handle = reinterpret_cast<uintptr_t>(raw->hwnd());
    form.attachPeer(raw);
    int nextId = kFirstControlId;
    raw->createChildren(form, raw->hwnd(), nextId);
    raw->startReporting();
    if (form.visible()) ::ShowWindow(raw->hwnd(), SW_SHOW);
    return 0;
}

void Win32Ui::formReleased(FormPeer* peer) {
    auto it = std::find_if(forms_.begin(), forms_.end(), [&](const auto& p) { return p.get() == peer; });
    if (it == forms_.end()) return;
    std::unique_ptr<FormPeer> dying = std::move(*it);
    forms_.erase(it);
}

void Win32Ui::formShown() {
    // The task-bar button appears with the program's first window.
    if (appWindow_ && !::IsWindowVisible(appWindow_.get())) ::ShowWindow(appWindow_.get(), SW_SHOWNOACTIVATE);
}

HWND Win32Ui::activeForm() const {
    HWND popup = ::GetLastActivePopup(appWindow_.get());
    if (popup && popup != appWindow_.get() && ::IsWindowVisible(popup)) return popup;
    for (auto it = forms_.rbegin(); it != forms_.rend(); ++it)
        if (::IsWindowVisible((*it)->hwnd())) return (*it)->hwnd();
    return nullptr;
}

HWND Win32Ui::windowOf(const Control& control) const {
    for (auto& f : forms_) {
        if (f->model() == &control) return f->hwnd();
        if (ChildPeer* c = f->childFor(control)) return c->hwnd();
    }
    return nullptr;
}

Result Win32Ui::loadPicture(Control& image, const std::string& path) {
    ChildPeer* target = nullptr;
    for (auto& f : forms_)
        if ((target = f->childFor(image))) break;
    if (!target || !target->hwnd()) return oserr::kInvalidWindowHandle;
    GdiObject bitmap;
    SIZE size{0, 0};
    if (Result e = loadPictureFile(path, bitmap, size)) return e;
    target->setPicture(std::move(bitmap), size);
    return 0;
}

Result Win32Ui::createControl(Control& host, const std::string& classId, int width, int height,
                              std::unique_ptr<HostedControl>& out) {
    out.reset();
    HWND window = windowOf(host);
    if (!window) return oserr::kInvalidWindowHandle;
    if (!oleReady_) {
        // Embedded controls expect OLE, not only COM, on the thread that hosts them.
        const HRESULT hr = ::OleInitialize(nullptr);
        if (SUCCEEDED(hr))
            oleReady_ = true;
        else if (hr != RPC_E_CHANGED_MODE)  // initialised otherwise already: usable all the same
            return comError(hr);
    }
    WideText text = widen(classId);
    CLSID id;
    const HRESULT hr = ::CLSIDFromString(text.data(), &id);
    if (FAILED(hr)) return comError(hr);
    return createHostedControl(window, id, RECT{0, 0, width, height}, out);
}

// ---- Win32Ui: messages, timers, cursor ---------------------------------------------

void Win32Ui::dispatch(MSG& msg) {
    if (filter_) {
        // Copied: the filter may replace itself.
        MessageFilter discard = filter_;
        if (discard(msg.message)) return;
    }
    // The Tab key moves the focus through a form in its controls' tab order.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
        for (auto& form : forms_)
            if (form->contains(msg.hwnd) && form->tab(msg.hwnd, ::GetKeyState(VK_SHIFT) < 0)) return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
}

void Win32Ui::processMessages() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            continue;
        }
        dispatch(msg);
    }
}

void Win32Ui::handleMessage() {
    MSG msg;
    const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        terminated_ = true;
        return;
    }
    dispatch(msg);
}

void Win32Ui::wake() {
    if (!appWindow_ || !::PostMessageA(appWindow_.get(), WM_NULL, 0, 0))
        ::PostThreadMessageA(::GetCurrentThreadId(), WM_NULL, 0, 0);
}

void Win32Ui::runMessageLoop() {
    while (!terminated_) handleMessage();
}

void Win32Ui::terminate() {
    if (!terminated_) ::PostQuitMessage(0);
    terminated_ = true;
}

Result Win32Ui::startTimer(Timer& timer) {
    for (auto& entry : timers_)
        if (entry.second.timer == &timer) return 0;
    const UINT_PTR id = nextTimerId_++;
    ::SetLastError(0);
    if (!::SetTimer(appWindow_.get(), id, timer.interval() ? timer.interval() : 1, nullptr))
        return systemError();
    timers_.emplace(id, RunningTimer{&timer, WindowTimer(appWindow_.get(), id)});
    return 0;
}

void Win32Ui::stopTimer(Timer& timer) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.timer == &timer) {
            timers_.erase(it);  // kills the system's timer
            return;
        }
    }
}

void Win32Ui::timerMessage(UINT_PTR id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;  // stopped after the tick was queued
    it->second.timer->tick();
}

void Win32Ui::setCursor(uintptr_t cursor) {
    screenCursor_ = cursor;
    ::SetCursor(cursor ? reinterpret_cast<HCURSOR>(cursor) : ::LoadCursorA(nullptr, IDC_ARROW));
}

uintptr_t Win32Ui::hourglassCursor() {
    return reinterpret_cast<uintptr_t>(::LoadCursorA(nullptr, IDC_WAIT));
}

int Win32Ui::screenWidth() {
    return ::GetSystemMetrics(SM_CXSCREEN);
}
int Win32Ui::screenHeight() {
    return ::GetSystemMetrics(SM_CYSCREEN);
}

// ---- Win32Ui: the application -------------------------------------------------------

void Win32Ui::setApplicationTitle(const std::string& title) {
    ::SetWindowTextA(appWindow_.get(), title.c_str());
}

std::string Win32Ui::applicationTitle() {
    int n = ::GetWindowTextLengthA(appWindow_.get());
    std::string text(size_t(n) + 1, '\0');
    n = ::GetWindowTextA(appWindow_.get(), text.data(), n + 1);
    text.resize(size_t(n > 0 ? n : 0));
    return text;
}

void Win32Ui::bringApplicationToFront() {
    if (::IsIconic(appWindow_.get())) ::ShowWindow(appWindow_.get(), SW_RESTORE);
    if (HWND target = activeForm()) ::SetForegroundWindow(target);
}

void Win32Ui::minimizeApplication() {
    ::ShowWindow(appWindow_.get(), SW_MINIMIZE);
}

void Win32Ui::applicationMinimized(bool minimized) {
    // Windows hides owned windows with their minimized owner; Wine does not:
    // the forms are hidden and shown here, the same on both.
    for (auto& form : forms_) {
        if (minimized)
            form->hideWithApplication();
        else
            form->showWithApplication();
    }
}

bool Win32Ui::applicationActive() {
    HWND foreground = ::GetForegroundWindow();
    if (!foreground) return false;
    DWORD process = 0;
    ::GetWindowThreadProcessId(foreground, &process);
    return process == ::GetCurrentProcessId();
}

BoxAnswer Win32Ui::messageBox(BoxKind kind, BoxButtons buttons, const std::string& text) {
    return showMessageBox(system_, appWindow_.get(), kind, buttons, text, filter_);
}

}  // namespace ssi::win32
