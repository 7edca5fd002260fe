// Windows, timers and the message pump on the real system. Win32Ui is one
// service split by concern: win32_ui.cpp (forms, pictures, controls, the
// application), message_loop.cpp (the message loop and timers); the peers
// and window procedures it drives are in window_peers.h.
//
// The application window is what the task bar shows for the program: an
// unowned top-level window of no size carrying the application title, made
// visible when a form is first shown. Every form and message box is owned by
// it, so they get no task-bar buttons of their own; it also receives the
// timer ticks.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/os.h"
#include "platform/win32/handles.h"

namespace ssi::win32 {

class FormPeer;
using MessageFilter = std::function<bool(InputEvent event)>;

class Win32Ui : public Ui {
public:
    // `system` supplies the message boxes' texts (the program's string table).
    explicit Win32Ui(System& system);
    ~Win32Ui() override;
    Win32Ui(const Win32Ui&) = delete;
    Win32Ui& operator=(const Win32Ui&) = delete;

    BoxAnswer showBox(BoxKind kind, BoxButtons buttons, const std::string& text) override;
    uintptr_t cursor() override { return screenCursor_; }
    void setCursor(uintptr_t cursor) override;
    uintptr_t hourglassCursor() override;
    void processMessages() override;
    void handleMessage() override;
    void wake() override;
    void runMessageLoop() override;
    void terminate() override;
    bool terminated() override { return terminated_; }
    void setMessageFilter(MessageFilter discard) override {
        filter_ = std::move(discard);
    }
    [[nodiscard]] Result realize(Form& form) override;
    [[nodiscard]] Result loadPicture(Control& image, const std::string& path) override;
    [[nodiscard]] Result createControl(Control& host, const std::string& classId, int width, int height,
                                       std::unique_ptr<HostedControl>& out) override;
    [[nodiscard]] Result startTimer(Timer& timer) override;
    void stopTimer(Timer& timer) override;
    int screenWidth() override;
    int screenHeight() override;
    void setApplicationTitle(const std::string& title) override;
    std::string applicationTitle() override;
    void bringApplicationToFront() override;
    void minimizeApplication() override;
    bool applicationActive() override;

    // ---- for the Win32 layer and its tests --------------------------------
    HWND applicationWindow() const { return appWindow_.get(); }
    // The window of a realised control or form (nullptr when it has none).
    HWND windowOf(const Control& control) const;
    // Paint messages the forms have handled so far.
    unsigned long paintsHandled() const { return paints_; }

    // ---- called by the window procedures and peers ------------------------
    void countPaint() { ++paints_; }
    void timerMessage(UINT_PTR id);
    void formShown();
    void applicationMinimized(bool minimized);
    void formReleased(FormPeer* peer);
    uintptr_t screenCursor() const { return screenCursor_; }
    // The form to hand the activation to: the last active visible one.
    HWND activeForm() const;

private:
    // Dispatches a message unless the filter discards it.
    void dispatch(MSG& msg);

    struct RunningTimer {
        Timer* timer;
        WindowTimer handle;
    };

    System& system_;
    bool terminated_ = false;
    unsigned long paints_ = 0;
    uintptr_t screenCursor_ = 0;
    MessageFilter filter_;
    Window appWindow_;
    Module comctl_;
    bool commonControlsReady_ = false;
    bool oleReady_ = false;  // OleInitialize succeeded and is undone on destruction
    std::vector<std::unique_ptr<FormPeer>> forms_;
    std::map<UINT_PTR, RunningTimer> timers_;
    UINT_PTR nextTimerId_ = 1;
};

}  // namespace ssi::win32
