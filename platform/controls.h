// Windows and controls as small model objects. The installer's logic sets their
// properties; native tests read them; a peer of the seam's implementation
// mirrors every change onto the real window (creation-time styles included)
// and reports the sizes the system gives back to the model.
//
// Geometry follows the toolkit the installer's forms were designed with:
// a control's bounds are relative to its parent's client area; a form's
// bounds are its outer rectangle on the screen, its client size is what the
// frame leaves. Anchors keep a child's distance to the edges it is anchored
// to when its parent's client area changes size; a client-aligned child fills
// its parent's client area.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/result_codes.h"

namespace ssi {

class Control;
class Ui;

enum class Prop {
    Text,
    Bounds,
    Visible,
    Enabled,
    Progress,
    Repaint,
    Color,
    Focus,
    ZOrder,    // brought to the front of its siblings
    Style,     // form: border, border icons, top-most
    Limits,    // form: minimum size
    ClientSize // form: a new client size was asked for
};

// Receives every change of one model; the seam's implementations supply it.
class ControlPeer {
public:
    virtual ~ControlPeer() = default;
    virtual void changed(Control& control, Prop what) = 0;
    // The model is being destroyed: the peer must not touch it again.
    virtual void released(Control& control) { (void)control; }
};

enum class ControlKind { Form, Label, Button, ProgressBar, Panel, Memo, Image, Host };

// Anchors, as bits.
namespace anchor {
constexpr unsigned kLeft = 1;
constexpr unsigned kTop = 2;
constexpr unsigned kRight = 4;
constexpr unsigned kBottom = 8;
constexpr unsigned kDefault = kLeft | kTop;
}  // namespace anchor

// Colours: an RGB value 0x00BBGGRR, or a system colour (high bit set, the low
// byte its index) that follows the user's scheme.
namespace color {
constexpr uint32_t kSystem = 0x80000000u;
constexpr uint32_t kWindow = kSystem | 5;       // COLOR_WINDOW
constexpr uint32_t kWindowText = kSystem | 8;   // COLOR_WINDOWTEXT
constexpr uint32_t kBtnFace = kSystem | 15;     // COLOR_BTNFACE
constexpr uint32_t kWhite = 0x00FFFFFFu;
constexpr uint32_t kBlack = 0x00000000u;
}  // namespace color

enum class Align { None, Client };

class Control {
public:
    Control(ControlKind kind, std::string name) : kind_(kind), name_(std::move(name)) {}
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    ControlKind kind() const { return kind_; }
    const std::string& name() const { return name_; }

    // ---- nesting ----------------------------------------------------------
    // Adds a child (in creation order); children are never removed.
    void add(Control& child);
    const std::vector<Control*>& children() const { return children_; }
    Control* parent() const { return parent_; }

    const std::string& text() const { return text_; }
    void setText(const std::string& text);

    // ---- geometry ---------------------------------------------------------
    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    virtual void setBounds(int left, int top, int width, int height);
    void setPosition(int left, int top) { setBounds(left, top, width_, height_); }
    void setSize(int width, int height) { setBounds(left_, top_, width, height); }
    // The area children are placed in (a form's client area; a container's
    // size less its border).
    virtual int clientWidth() const { return width_ - 2 * inset; }
    virtual int clientHeight() const { return height_ - 2 * inset; }
    unsigned anchors = anchor::kDefault;
    Align align = Align::None;
    int inset = 0;      // border width inside the bounds (a bevelled panel: 1)
    int minHeight = 0;  // setBounds holds the height at least here
    int tabOrder = -1;  // place in its parent's tab order (-1: not a tab stop)

    // ---- state ------------------------------------------------------------
    bool visible() const { return visible_; }
    void setVisible(bool visible);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    uint32_t color() const { return color_; }
    void setColor(uint32_t color);
    // Paints the control now (the text of a label shows before the next message).
    void repaint() { notify(Prop::Repaint); }
    // Gives the control the keyboard focus.
    void focus() { notify(Prop::Focus); }
    void bringToFront() { notify(Prop::ZOrder); }

    ControlPeer* peer() const { return peer_; }
    void attachPeer(ControlPeer* peer) { peer_ = peer; }

protected:
    void notify(Prop what) {
        if (peer_) peer_->changed(*this, what);
    }
    // Re-places the children after the client area went from old to new size.
    void layOutChildren(int oldClientWidth, int oldClientHeight);
    // Sets the bounds without telling the peer (the system already has them).
    void storeBounds(int left, int top, int width, int height) {
        left_ = left;
        top_ = top;
        width_ = width;
        height_ = height;
    }

private:
    ControlKind kind_;
    std::string name_;
    std::string text_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    uint32_t color_ = color::kBtnFace;
    Control* parent_ = nullptr;
    std::vector<Control*> children_;
    ControlPeer* peer_ = nullptr;
};

class Label : public Control {
public:
    explicit Label(std::string name) : Control(ControlKind::Label, std::move(name)) {}
    bool centred = false;  // text centred horizontally and vertically
};

// How a panel's edge is drawn.
enum class Bevel { None, Lowered, Raised };

class Button : public Control {
public:
    explicit Button(std::string name) : Control(ControlKind::Button, std::move(name)) {}
    std::function<void()> onClick;
    // A click reaches the handler only while the button can be pressed.
    void click() {
        if (enabled() && visible() && onClick) onClick();
    }
};

class ProgressBar : public Control {
public:
    explicit ProgressBar(std::string name) : Control(ControlKind::ProgressBar, std::move(name)) {}
    int min() const { return min_; }
    int max() const { return max_; }
    int position() const { return position_; }
    int step() const { return step_; }
    void setRange(int min, int max);
    void setPositionValue(int position);
    void setStep(int step) { step_ = step; }
    // Advances by one step; like the common control, wraps to the minimum past the maximum.
    void stepIt();

private:
    int min_ = 0, max_ = 100, position_ = 0, step_ = 1;
};

// A container or content control (panel, memo, image, an embedded control's
// host), mirrored as a child window.
class Panel : public Control {
public:
    explicit Panel(std::string name, ControlKind kind = ControlKind::Panel) : Control(kind, std::move(name)) {}
    // The outer bevel; a drawn one takes one pixel on each side (inset).
    Bevel bevelOuter() const { return bevelOuter_; }
    void setBevelOuter(Bevel bevel) {
        bevelOuter_ = bevel;
        inset = bevel == Bevel::None ? 0 : 1;
        notify(Prop::Style);
    }

private:
    Bevel bevelOuter_ = Bevel::None;
};

// A picture: shown centred, or stretched to fill the control.
class Image : public Control {
public:
    explicit Image(std::string name) : Control(ControlKind::Image, std::move(name)) {}
    bool centred = false;
    bool stretched = false;
};

// A multi-line text box; its text is the lines joined by CR LF.
class Memo : public Control {
public:
    explicit Memo(std::string name) : Control(ControlKind::Memo, std::move(name)) {}
    bool readOnly = false;
    bool verticalScrollBar = false;
};

// A message-driven timer: ticks are delivered by the message handling of the
// seam that started it, never by another thread.
class Timer {
public:
    Timer(Ui& ui, std::string name, unsigned intervalMs)
        : ui_(ui), name_(std::move(name)), interval_(intervalMs) {}
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    const std::string& name() const { return name_; }
    unsigned interval() const { return interval_; }
    bool enabled() const { return enabled_; }
    // Enabling starts the ticks; when the system cannot start them the timer
    // stays disabled and the error is returned.
    [[nodiscard]] Result setEnabled(bool enabled);
    // Called by the seam for each tick while enabled.
    void tick() {
        ++ticks_;
        if (onTimer) onTimer();
    }
    unsigned long ticks() const { return ticks_; }
    std::function<void()> onTimer;

private:
    Ui& ui_;
    std::string name_;
    unsigned interval_;
    bool enabled_ = false;
    unsigned long ticks_ = 0;
};

enum class BorderStyle { Sizeable, Single };

class Form : public Control {
public:
    explicit Form(std::string name) : Control(ControlKind::Form, std::move(name)) {}

    // ---- properties the window is created with; changing them later
    //      changes the real window too ----------------------------------------
    BorderStyle border() const { return border_; }
    void setBorder(BorderStyle border);
    bool systemMenuOnly() const { return systemMenuOnly_; }  // border icons: system menu only
    void setSystemMenuOnly(bool only);
    bool topMost() const { return topMost_; }
    void setTopMost(bool topMost);
    // Minimum outer size (0: none); size changes, the user's included, stop there.
    int minWidth() const { return minWidth_; }
    int minHeight() const { return minHeight_; }
    void setMinSize(int width, int height);

    // Outer bounds, held at the minimum size.
    void setBounds(int left, int top, int width, int height) override;
    // The client area. Before the window exists it is what was asked for.
    int clientWidth() const override { return clientWidth_; }
    int clientHeight() const override { return clientHeight_; }
    // Asks for a client size: the outer size becomes it plus the frame.
    void setClientSize(int width, int height);
    bool clientSizeAsked() const { return clientSizeAsked_; }
    // The client size last asked for (what a peer creates the window with).
    int askedClientWidth() const { return askedClientWidth_; }
    int askedClientHeight() const { return askedClientHeight_; }

    // Called by peers with the rectangle and client size the system gave
    // the window (after any size change, the user's included): updates the
    // model without echo, lays the children out and runs onResize when the
    // size changed. The first report, when the window has just been made,
    // only records: the children were placed for the size that was asked.
    void recordBounds(int left, int top, int width, int height, int clientWidth, int clientHeight);

    // The native window handle once it exists (0 before).
    uintptr_t handle = 0;
    // Runs when the window becomes visible.
    std::function<void()> onShow;
    // Runs when the user or the program asks to close the window; false refuses.
    std::function<bool()> onCloseQuery;
    // Runs after every change of the window's size.
    std::function<void()> onResize;
    // The font every control of the window uses (height in pixels, negative:
    // the character height without internal leading, at 96 pixels per inch).
    std::string fontName = "MS Sans Serif";
    int fontHeight = -11;

private:
    BorderStyle border_ = BorderStyle::Sizeable;
    bool systemMenuOnly_ = false;
    bool topMost_ = false;
    int minWidth_ = 0, minHeight_ = 0;
    int clientWidth_ = 0, clientHeight_ = 0;
    int askedClientWidth_ = 0, askedClientHeight_ = 0;
    bool clientSizeAsked_ = false;
    bool recorded_ = false;
};

}  // namespace ssi
