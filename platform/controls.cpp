#include "platform/controls.h"

#include <algorithm>

#include "platform/os.h"

namespace ssi {

Control::~Control() {
    if (peer_) peer_->released(*this);
}

void Control::add(Control& child) {
    child.parent_ = this;
    children_.push_back(&child);
}

void Control::setText(const std::string& text) {
    text_ = text;
    notify(Prop::Text);
}

void Control::setBounds(int left, int top, int width, int height) {
    height = std::max(height, minHeight);
    const int oldClientWidth = clientWidth(), oldClientHeight = clientHeight();
    storeBounds(left, top, width, height);
    notify(Prop::Bounds);
    layOutChildren(oldClientWidth, oldClientHeight);
}

void Control::setVisible(bool visible) {
    visible_ = visible;
    notify(Prop::Visible);
}

void Control::setEnabled(bool enabled) {
    enabled_ = enabled;
    notify(Prop::Enabled);
}

void Control::setColor(uint32_t color) {
    color_ = color;
    notify(Prop::Color);
}

void Control::layOutChildren(int oldClientWidth, int oldClientHeight) {
    const int dw = clientWidth() - oldClientWidth, dh = clientHeight() - oldClientHeight;
    if (dw == 0 && dh == 0) return;
    for (Control* c : children_) {
        if (c->align == Align::Client) {
            c->setBounds(inset, inset, clientWidth(), clientHeight());
            continue;
        }
        int l = c->left(), t = c->top(), w = c->width(), h = c->height();
        if (c->anchors & anchor::kRight) {
            if (c->anchors & anchor::kLeft)
                w += dw;
            else
                l += dw;
        }
        if (c->anchors & anchor::kBottom) {
            if (c->anchors & anchor::kTop)
                h += dh;
            else
                t += dh;
        }
        if (l != c->left() || t != c->top() || w != c->width() || h != c->height()) c->setBounds(l, t, w, h);
    }
}

// ---- ProgressBar ------------------------------------------------------------------

void ProgressBar::setRange(int min, int max) {
    min_ = min;
    max_ = max;
    position_ = std::clamp(position_, min_, std::max(min_, max_));
    notify(Prop::Progress);
}

void ProgressBar::setPositionValue(int position) {
    position_ = std::clamp(position, min_, std::max(min_, max_));
    notify(Prop::Progress);
}

void ProgressBar::stepIt() {
    const int next = position_ + step_;
    position_ = next > max_ ? min_ + (next - max_) : next;
    notify(Prop::Progress);
}

// ---- Timer ------------------------------------------------------------------------

Timer::~Timer() {
    if (enabled_) ui_.stopTimer(*this);
}

Result Timer::setEnabled(bool enabled) {
    if (enabled == enabled_) return rc::kOk;
    if (enabled) {
        if (Result e = ui_.startTimer(*this)) return e;
        enabled_ = true;
    } else {
        enabled_ = false;
        ui_.stopTimer(*this);
    }
    return rc::kOk;
}

// ---- Form -------------------------------------------------------------------------

void Form::setBorder(BorderStyle border) {
    border_ = border;
    notify(Prop::Style);
}

void Form::setSystemMenuOnly(bool only) {
    systemMenuOnly_ = only;
    notify(Prop::Style);
}

void Form::setTopMost(bool topMost) {
    topMost_ = topMost;
    notify(Prop::Style);
}

void Form::setMinSize(int width, int height) {
    minWidth_ = width;
    minHeight_ = height;
    notify(Prop::Limits);
    if (this->width() < minWidth_ || this->height() < minHeight_) setBounds(left(), top(), this->width(), this->height());
}

void Form::setBounds(int left, int top, int width, int height) {
    width = std::max(width, minWidth_);
    height = std::max(height, minHeight_);
    if (!handle && !clientSizeAsked_) {
        // No frame is known before the window exists: the size stands for
        // the client area until the system says otherwise.
        const int oldClientWidth = clientWidth_, oldClientHeight = clientHeight_;
        clientWidth_ = width;
        clientHeight_ = height;
        storeBounds(left, top, width, height);
        notify(Prop::Bounds);
        layOutChildren(oldClientWidth, oldClientHeight);
        return;
    }
    // The peer reports the resulting client size through recordBounds.
    storeBounds(left, top, width, height);
    notify(Prop::Bounds);
}

void Form::setClientSize(int width, int height) {
    clientSizeAsked_ = true;
    askedClientWidth_ = width;
    askedClientHeight_ = height;
    if (handle) {
        notify(Prop::ClientSize);  // the peer reports the result through recordBounds
        return;
    }
    const int oldClientWidth = clientWidth_, oldClientHeight = clientHeight_;
    clientWidth_ = width;
    clientHeight_ = height;
    storeBounds(left(), top(), width, height);
    layOutChildren(oldClientWidth, oldClientHeight);
}

void Form::recordBounds(int left, int top, int width, int height, int clientWidth, int clientHeight) {
    const bool sized = width != this->width() || height != this->height() || clientWidth != clientWidth_ ||
                       clientHeight != clientHeight_;
    const int oldClientWidth = clientWidth_, oldClientHeight = clientHeight_;
    storeBounds(left, top, width, height);
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
    const bool first = !recorded_;
    recorded_ = true;
    if (!sized || first) return;
    layOutChildren(oldClientWidth, oldClientHeight);
    if (onResize) {
        // Copied: the handler may replace itself.
        std::function<void()> resized = onResize;
        resized();
    }
}

}  // namespace ssi
