#include "platform/win32/message_loop.h"

#include "platform/win32/win32_ui.h"
#include "platform/win32/win32_util.h"
#include "platform/win32/window_peers.h"

namespace ssi::win32 {

InputEvent inputEventOf(UINT message) {
    switch (message) {
        case WM_MOUSEMOVE: return InputEvent::MouseMove;
        case WM_LBUTTONDOWN: return InputEvent::LeftButtonDown;
        case WM_LBUTTONUP: return InputEvent::LeftButtonUp;
        case WM_RBUTTONDOWN: return InputEvent::RightButtonDown;
        case WM_RBUTTONUP: return InputEvent::RightButtonUp;
        case WM_KEYDOWN: return InputEvent::KeyDown;
        case WM_KEYUP: return InputEvent::KeyUp;
        default: return InputEvent::Other;
    }
}

// ---- Win32Ui: messages and timers -----------------------------------------------------

void Win32Ui::dispatch(MSG& msg) {
    if (filter_) {
        // Copied: the filter may replace itself.
        MessageFilter discard = filter_;
        if (discard(inputEventOf(msg.message))) return;
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
    // A timer of no window gets an identifier of the system's choosing, and
    // its ticks would never reach the timer: without the application window
    // there is no timer.
    if (!appWindow_) return oserr::kInvalidWindowHandle;
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

}  // namespace ssi::win32
