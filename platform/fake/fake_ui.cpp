#include "platform/fake/fake_ui.h"

#include <algorithm>

#include "core/names.h"
#include "platform/fake/fake_os.h"

namespace ssi {

// ---- FakePeer ------------------------------------------------------------------------------

void FakePeer::changed(Control& control, Prop what) {
    FakeUi& ui = os_.fakeUi();
    if (what == Prop::Focus) {
        os_.focused = &control;
        os_.focusHistory.push_back(control.name());
        return;
    }
    if (control.kind() != ControlKind::Form) return;
    Form& form = static_cast<Form&>(control);
    switch (what) {
        case Prop::Visible: {
            // onShow runs only when the window really turns visible.
            bool& showing = ui.shown(form);
            const bool was = showing;
            showing = form.visible();
            if (form.visible() && !was) {
                os_.shownForms.push_back(form.name());
                if (form.onShow) {
                    std::function<void()> onShow = form.onShow;
                    onShow();
                }
            }
            break;
        }
        case Prop::Bounds:
        case Prop::Style:
            ui.report(form, form.left(), form.top(), form.width(), form.height());
            break;
        case Prop::ClientSize: {
            int fw = 0, fh = 0;
            ui.frameOf(form, fw, fh);
            ui.report(form, form.left(), form.top(), std::max(form.askedClientWidth() + fw, form.minWidth()),
                      std::max(form.askedClientHeight() + fh, form.minHeight()));
            break;
        }
        default:
            break;
    }
}

void FakePeer::released(Control& control) {
    if (os_.focused == &control) os_.focused = nullptr;
    if (control.kind() != ControlKind::Form) return;
    auto& r = os_.realized;
    r.erase(std::remove(r.begin(), r.end(), &control), r.end());
    os_.fakeUi().forget(control);
}

// ---- forms ----------------------------------------------------------------------------------

void FakeUi::frameOf(const Form& form, int& w, int& h) const {
    if (form.border() == BorderStyle::Sizeable) {
        w = os_.sizeableFrameWidth;
        h = os_.sizeableFrameHeight;
    } else {
        w = os_.singleFrameWidth;
        h = os_.singleFrameHeight;
    }
}

void FakeUi::report(Form& form, int left, int top, int width, int height) {
    int fw = 0, fh = 0;
    frameOf(form, fw, fh);
    form.recordBounds(left, top, width, height, std::max(0, width - fw), std::max(0, height - fh));
}

void FakeUi::attach(Control& control) {
    control.attachPeer(&peer_);
    for (Control* child : control.children()) attach(*child);
}

Result FakeUi::realize(Form& form) {
    if (Result e = os_.injected(Op::Realize, form.name())) return e;
    if (form.handle) return 0;
    os_.realized.push_back(&form);
    form.handle = os_.realized.size() + 0x1000;
    attach(form);
    int fw = 0, fh = 0;
    frameOf(form, fw, fh);
    const int w = form.clientSizeAsked() ? form.askedClientWidth() + fw : form.width();
    const int h = form.clientSizeAsked() ? form.askedClientHeight() + fh : form.height();
    report(form, form.left(), form.top(), w, h);
    if (form.visible()) peer_.changed(form, Prop::Visible);
    return 0;
}

Result FakeUi::loadPicture(Control& image, const std::string& path) {
    if (Result e = os_.injected(Op::LoadPicture, path)) return e;
    if (!os_.exists(path)) return oserr::kFileNotFound;
    const std::string head = os_.readFile(path).substr(0, 2);
    if (head != "\xFF\xD8" && head != "BM") return oserr::kInvalidData;
    os_.pictures[image.name()] = path;
    return 0;
}

Result FakeUi::createControl(Control& host, const std::string& classId, int width, int height,
                             std::unique_ptr<HostedControl>& out) {
    out.reset();
    if (Result e = os_.injected(Op::CreateControl, classId)) return e;
    if (!host.peer()) return oserr::kInvalidWindowHandle;  // not realised
    for (const auto& c : os_.hostedClasses) {
        if (lowerCase(c.first) != lowerCase(classId) || !c.second) continue;
        std::unique_ptr<FakeHostedControl> control = c.second();
        if (!control) return oserr::kGenFailure;
        control->classId = classId;
        control->host = &host;
        control->width = width;
        control->height = height;
        control->os = &os_;
        os_.hostedControls.push_back(control.get());
        ++os_.controlsCreated;
        os_.hostLog.push_back("create");
        out = std::move(control);
        return 0;
    }
    return oserr::kModNotFound;
}

// ---- message boxes and the cursor ---------------------------------------------------------------

BoxAnswer FakeUi::showBox(BoxKind kind, BoxButtons buttons, const std::string& text) {
    os_.boxes.push_back({kind, buttons, text});
    if (os_.onBox) {
        RecordedBox box = os_.boxes.back();
        os_.onBox(box);
    }
    if (!os_.answers.empty()) {
        BoxAnswer a = os_.answers.front();
        os_.answers.pop_front();
        return a;
    }
    switch (buttons) {
        case BoxButtons::Abort: return BoxAnswer::Abort;
        case BoxButtons::Ok: return BoxAnswer::Ok;
        case BoxButtons::YesNo: return BoxAnswer::Yes;
        case BoxButtons::OkCancel: return BoxAnswer::Ok;
    }
    return BoxAnswer::Ok;
}

uintptr_t FakeUi::cursor() {
    return os_.currentCursor;
}

void FakeUi::setCursor(uintptr_t c) {
    os_.currentCursor = c;
}

// ---- the message loop and timers ------------------------------------------------------------------

void FakeUi::post(std::function<void()> handler, InputEvent event) {
    queue_.emplace_back(event, std::move(handler));
}

void FakeUi::deliver(std::pair<InputEvent, std::function<void()>> message) {
    if (filter_ && filter_(message.first)) {
        os_.discardedEvents.push_back(message.first);
        return;
    }
    if (message.second) message.second();
}

bool FakeUi::deliverOne() {
    if (!queue_.empty()) {
        ticksInARow_ = 0;
        auto message = std::move(queue_.front());
        queue_.pop_front();
        deliver(std::move(message));
        return true;
    }
    if (!os_.runningTimers.empty()) {
        if (++ticksInARow_ > kTicksWithoutProgress)
            throw FakeOsStuck("the message loop would never end: only timers tick, nothing is posted and "
                              "nothing terminated the application");
        // Each running timer in turn, as the system serves them.
        os_.runningTimers[nextTimer_++ % os_.runningTimers.size()]->tick();
        return true;
    }
    return false;
}

void FakeUi::processMessages() {
    ++os_.processMessagesCalls;
    if (os_.onProcessMessages) os_.onProcessMessages();
    // Everything already queued; ticks are not due yet.
    size_t pending = queue_.size();
    while (pending-- > 0 && !queue_.empty()) {
        auto message = std::move(queue_.front());
        queue_.pop_front();
        deliver(std::move(message));
    }
}

void FakeUi::handleMessage() {
    ++os_.handledMessages;
    if (os_.onProcessMessages) os_.onProcessMessages();
    if (!deliverOne()) throw FakeOsStuck("handleMessage would wait forever: no message is queued and no timer runs");
}

void FakeUi::wake() {
    post(nullptr, InputEvent::Other);
}

void FakeUi::runMessageLoop() {
    while (!os_.isTerminated) {
        if (deliverOne()) continue;
        if (os_.onIdle) {
            std::function<void()> move = std::move(os_.onIdle);
            os_.onIdle = nullptr;
            move();
            continue;
        }
        throw FakeOsStuck(
                "the message loop would never end: nothing is queued, no timer runs and nothing "
                "terminated the application");
    }
}

void FakeUi::terminate() {
    os_.isTerminated = true;
}

bool FakeUi::terminated() {
    return os_.isTerminated;
}

Result FakeUi::startTimer(Timer& timer) {
    if (Result e = os_.injected(Op::StartTimer, timer.name())) return e;
    if (std::find(os_.runningTimers.begin(), os_.runningTimers.end(), &timer) == os_.runningTimers.end())
        os_.runningTimers.push_back(&timer);
    return 0;
}

void FakeUi::stopTimer(Timer& timer) {
    auto& t = os_.runningTimers;
    t.erase(std::remove(t.begin(), t.end(), &timer), t.end());
}

// ---- the screen and the application ----------------------------------------------------------------

int FakeUi::screenWidth() {
    return os_.screenW;
}

int FakeUi::screenHeight() {
    return os_.screenH;
}

void FakeUi::setApplicationTitle(const std::string& title) {
    os_.appTitle = title;
}

std::string FakeUi::applicationTitle() {
    return os_.appTitle;
}

void FakeUi::bringApplicationToFront() {
    ++os_.broughtToFront;
}

void FakeUi::minimizeApplication() {
    ++os_.minimized;
}

bool FakeUi::applicationActive() {
    return os_.active;
}

}  // namespace ssi
