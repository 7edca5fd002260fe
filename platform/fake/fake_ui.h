// The test double's user interface: forms realised as models only (the
// frame sizes and the screen come from FakeOs fields), message boxes
// recorded and answered from a script, and a message loop that runs posted
// events and timer ticks. A loop or a wait that nothing could ever end throws
// FakeOsStuck instead of hanging or returning.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/controls.h"
#include "platform/os.h"

namespace ssi {

class FakeOs;

struct RecordedBox {
    BoxKind kind;
    BoxButtons buttons;
    std::string text;
};

// Mirrors a realised form's model changes the way a window would.
class FakePeer : public ControlPeer {
public:
    explicit FakePeer(FakeOs& os) : os_(os) {}
    void changed(Control& control, Prop what) override;
    void released(Control& control) override;

private:
    FakeOs& os_;
};

class FakeUi : public Ui {
public:
    explicit FakeUi(FakeOs& os) : os_(os), peer_(os) {}

    BoxAnswer showBox(BoxKind kind, BoxButtons buttons, const std::string& text) override;
    uintptr_t cursor() override;
    void setCursor(uintptr_t c) override;
    uintptr_t hourglassCursor() override { return 2; }
    void processMessages() override;
    void handleMessage() override;
    void wake() override;
    void runMessageLoop() override;
    void terminate() override;
    bool terminated() override;
    void setMessageFilter(std::function<bool(InputEvent event)> discard) override { filter_ = std::move(discard); }
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

    // ---- for FakeOs and the peer ------------------------------------------------
    void post(std::function<void()> handler, InputEvent event);
    // Reports the form's outer rectangle with the client size its frame leaves.
    void report(Form& form, int left, int top, int width, int height);
    // The frame's width and height: outer size minus client size.
    void frameOf(const Form& form, int& w, int& h) const;
    // Whether the form's window is showing (onShow runs when it turns so).
    bool& shown(const Control& form) { return forms_[&form]; }
    void forget(const Control& form) { forms_.erase(&form); }

private:
    // Delivers one queued message or timer tick; false when there is none.
    bool deliverOne();
    // Runs a queued message unless the filter discards it.
    void deliver(std::pair<InputEvent, std::function<void()>> message);
    void attach(Control& control);

    // Timer ticks in a row with nothing posted between them: a loop that only
    // ever ticks would never end, and a test would hang instead of failing.
    static constexpr unsigned long kTicksWithoutProgress = 1000000;

    FakeOs& os_;
    FakePeer peer_;
    std::map<const Control*, bool> forms_;  // realised forms: whether showing
    std::deque<std::pair<InputEvent, std::function<void()>>> queue_;
    std::function<bool(InputEvent)> filter_;
    unsigned long ticksInARow_ = 0;
    size_t nextTimer_ = 0;
};

}  // namespace ssi
