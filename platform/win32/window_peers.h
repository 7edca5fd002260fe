// The peers that mirror form and control models onto real windows, and
// the window procedures that hand the system's messages to them.
//
// Each realised form gets a FormPeer that owns its window and one ChildPeer
// per control below it (a panel's children are child windows of the panel's
// window). The peers mirror every model change onto the real windows,
// creation-time styles included, and report the sizes the system gives back
// to the model (Form::recordBounds), the user's resizing included.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/controls.h"
#include "platform/os.h"
#include "platform/win32/handles.h"

namespace ssi::win32 {

class Win32Ui;
class FormPeer;

constexpr char kApplicationClass[] = "SsiApplication";
constexpr int kFirstControlId = 100;

HINSTANCE instance();
HFONT guiFont();
// Registers the window classes of the application window, forms and panels (once).
void registerWindowClasses();

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

    [[nodiscard]] Result create(HWND owner);
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
    void released(Control&) override;
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
    // WM_SHOWWINDOW for a new showing: the application counts it and the
    // form's onShow runs.
    void shown();
    // WM_CLOSE: the form's onCloseQuery decides, then the form is hidden.
    void closeRequested();
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

}  // namespace ssi::win32
