// Windows and controls as small model objects. The installer's logic sets their
// properties; native tests read them; the Win32 layer attaches a peer to each
// model and mirrors every change onto the real window or control.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ssi {

class Control;
class Os;

enum class Prop { Text, Bounds, Visible, Enabled, Progress, Repaint };

// Receives every change of one model; the Win32 layer implements it.
class ControlPeer {
public:
    virtual ~ControlPeer() = default;
    virtual void changed(Control& control, Prop what) = 0;
    // The model is being destroyed: the peer must not touch it again.
    virtual void released(Control& control) { (void)control; }
};

enum class ControlKind { Form, Label, Button, ProgressBar, Panel, Memo, Image };

class Control {
public:
    Control(ControlKind kind, std::string name) : kind_(kind), name_(std::move(name)) {}
    virtual ~Control() {
        if (peer_) peer_->released(*this);
    }
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    ControlKind kind() const { return kind_; }
    const std::string& name() const { return name_; }

    const std::string& text() const { return text_; }
    void setText(const std::string& text) {
        text_ = text;
        notify(Prop::Text);
    }

    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void setBounds(int left, int top, int width, int height) {
        left_ = left;
        top_ = top;
        width_ = width;
        height_ = height;
        notify(Prop::Bounds);
    }
    void setPosition(int left, int top) { setBounds(left, top, width_, height_); }
    // Used by peers to report the size the system gave the window, without echo.
    void recordSize(int width, int height) {
        width_ = width;
        height_ = height;
    }

    bool visible() const { return visible_; }
    void setVisible(bool visible) {
        visible_ = visible;
        notify(Prop::Visible);
    }
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled) {
        enabled_ = enabled;
        notify(Prop::Enabled);
    }
    // Paint the control now (the text of a label shows before the next message).
    void repaint() { notify(Prop::Repaint); }

    ControlPeer* peer() const { return peer_; }
    void attachPeer(ControlPeer* peer) { peer_ = peer; }

protected:
    void notify(Prop what) {
        if (peer_) peer_->changed(*this, what);
    }

private:
    ControlKind kind_;
    std::string name_;
    std::string text_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    ControlPeer* peer_ = nullptr;
};

class Label : public Control {
public:
    explicit Label(std::string name) : Control(ControlKind::Label, std::move(name)) {}
    bool centred = false;        // text centred horizontally and vertically
    bool buttonFaceBackground = false;
};

class Button : public Control {
public:
    explicit Button(std::string name) : Control(ControlKind::Button, std::move(name)) {}
    std::function<void()> onClick;
    void click() {
        if (enabled() && onClick) onClick();
    }
};

class ProgressBar : public Control {
public:
    explicit ProgressBar(std::string name) : Control(ControlKind::ProgressBar, std::move(name)) {}
    int min() const { return min_; }
    int max() const { return max_; }
    int position() const { return position_; }
    int step() const { return step_; }
    void setRange(int min, int max) {
        min_ = min;
        max_ = max;
        if (position_ > max_) position_ = max_;
        if (position_ < min_) position_ = min_;
        notify(Prop::Progress);
    }
    void setPositionValue(int position) {
        position_ = position < min_ ? min_ : (position > max_ ? max_ : position);
        notify(Prop::Progress);
    }
    void setStep(int step) { step_ = step; }
    // Advance by one step; like the common control, wraps to the minimum past the maximum.
    void stepIt() {
        int next = position_ + step_;
        position_ = next > max_ ? min_ + (next - max_) : next;
        notify(Prop::Progress);
    }

private:
    int min_ = 0, max_ = 100, position_ = 0, step_ = 1;
};

// A generic container or content control (panel, memo, image), mirrored as a
// plain child window; later parts of the installer window give them content.
class Panel : public Control {
public:
    explicit Panel(std::string name, ControlKind kind = ControlKind::Panel)
        : Control(kind, std::move(name)) {}
};

// A message-driven timer: ticks are delivered by the message handling of the
// Os that started it, never by another thread.
class Timer {
public:
    Timer(Os& os, std::string name, unsigned intervalMs)
        : os_(os), name_(std::move(name)), interval_(intervalMs) {}
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    const std::string& name() const { return name_; }
    unsigned interval() const { return interval_; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    // Called by the Os for each tick while enabled.
    void tick() {
        ++ticks_;
        if (onTimer) onTimer();
    }
    unsigned long ticks() const { return ticks_; }
    std::function<void()> onTimer;

private:
    Os& os_;
    std::string name_;
    unsigned interval_;
    bool enabled_ = false;
    unsigned long ticks_ = 0;
};

enum class BorderStyle { Sizeable, Single };

class Form : public Control {
public:
    explicit Form(std::string name) : Control(ControlKind::Form, std::move(name)) {}

    // Size of the client area that the window is created with; the outer
    // width() and height() follow from it once the window exists.
    int clientWidth = 0;
    int clientHeight = 0;
    BorderStyle border = BorderStyle::Single;
    bool systemMenuOnly = true;  // border icons: system menu only
    bool topMost = false;

    void add(Control& control) { children_.push_back(&control); }
    const std::vector<Control*>& children() const { return children_; }

    // Called by the Win32 layer with the native window handle once it exists.
    uintptr_t handle = 0;
    // Run when the window is shown.
    std::function<void()> onShow;
    // Run when the user asks to close the window; return false to refuse.
    std::function<bool()> onCloseQuery;

private:
    std::vector<Control*> children_;
};

}  // namespace ssi
