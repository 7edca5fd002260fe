#include "platform/win32/win32_ui.h"

#include <algorithm>

#include "platform/win32/control_site.h"
#include "platform/win32/jpeg_image.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_util.h"
#include "platform/win32/window_peers.h"

namespace ssi::win32 {

// ---- Win32Ui: windows ----------------------------------------------------------

Win32Ui::Win32Ui(System& system) : system_(system) {
    registerWindowClasses();
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
    // A stretched picture needs no more pixels than its control shows (the
    // stretch wins over centring, as in the painting); one that is not
    // stretched is shown as it is.
    SIZE cover{0, 0};
    if (image.kind() == ControlKind::Image && static_cast<Image&>(image).stretched)
        cover = SIZE{image.width(), image.height()};
    if (Result e = loadPictureFile(path, bitmap, size, cover)) return e;
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

// ---- Win32Ui: cursor and screen ------------------------------------------------------

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

BoxAnswer Win32Ui::showBox(BoxKind kind, BoxButtons buttons, const std::string& text) {
    return showMessageBox(system_, appWindow_.get(), kind, buttons, text, filter_);
}

}  // namespace ssi::win32
