#include "flash/player_panel.h"

#include "core/trace.h"
#include "platform/file_utils.h"

namespace ssi {

namespace {

// The settings every new control gets before a movie: the whole movie shown
// inside the control, the movie's Align variable, opaque drawing, no player
// menu. The first refusal ends them (logged): a control that lacks a member,
// or refuses a value, stays and plays with what it has.
void configureControl(HostedControl& control) {
    Variant ignored;
    Result result = control.put("ScaleMode", Variant::ofInt(0));
    if (result == rc::kOk)
        result = control.call("SetVariable", {Variant::ofString("Align"), Variant::ofString("AlClient")}, ignored);
    if (result == rc::kOk) result = control.put("WMode", Variant::ofString("Opaque"));
    if (result == rc::kOk) result = control.put("Menu", Variant::ofBool(false));
    if (result != rc::kOk) logMessage("a control setting failed with " + std::to_string(result));
}

}  // namespace

TFlashPanel::TFlashPanel(Os& os, std::string name)
    : Panel(std::move(name)), swf(os), versionCache(&processFlashVersionCache()), os_(os) {
    align = Align::Client;
    setBevelOuter(Bevel::None);
    setColor(color::kWhite);
}

TFlashPanel::~TFlashPanel() {
    setSize(0, 0);
    if (!swf.tempFolder.empty())
        ignoreResult(deleteDirTree(os_, swf.tempFolder),
                     "a movie copy that cannot go stays in the temporary folder");
}

Result TFlashPanel::playMovie(const std::string& path) {
    logEnterWith("playMovie", path);
    if (path.empty() || path == swf.swfFilename) return rc::kOk;
    swf.swfFilename = path;
    // The version compared with the player is this movie's, never one left
    // from an earlier movie when this one turns out to be missing.
    swf.swfVersion = 0;
    Result result = swf.inspectMovie();
    if (result == rc::kOk) result = checkPlayerVersion();
    if (result == rc::kOk) releaseFlashControl();
    if (result == rc::kOk) result = createFlashControl();
    if (result == rc::kOk) loadAndPlay();
    logLeaveWith("playMovie", result);
    return result;
}

Result TFlashPanel::checkPlayerVersion() {
    const FlashQuery query = queryFlashControlVersion(os_, *versionCache, kFlashPanelQueryAttempts);
    if (query.result == rc::kOk && query.found && swf.swfVersion > query.major) return rc::kFlashPlayerTooOld;
    return query.result;
}

void TFlashPanel::releaseFlashControl() {
    if (!control_) return;
    Variant ignored;
    // A control that cannot stop is freed all the same: keeping it would
    // leave it playing in a panel that no longer shows a movie.
    if (control_->call("StopPlay", {}, ignored) != rc::kOk) logMessage("StopPlay failed");
    control_.reset();
    // Lets the freed control's last messages through. The queue is never
    // empty here, so this cannot wait for a message that never comes.
    os_.ui().wake();
    os_.ui().handleMessage();
}

Result TFlashPanel::createFlashControl() {
    for (int attempt = 0; attempt < kFlashCreateAttempts && !control_; ++attempt) {
        std::unique_ptr<HostedControl> created;
        const Result made = os_.ui().createControl(*this, kFlashClassId, width(), height(), created);
        // An attempt that failed after the control was made ends the
        // attempts: making it again would fail the same way.
        if (made == rc::kControlNotSited) break;
        if (made != rc::kOk) continue;
        configureControl(*created);
        control_ = std::move(created);
        break;
    }
    return control_ ? rc::kOk : rc::kFlashControlNotCreated;
}

void TFlashPanel::loadAndPlay() {
    // Each step is tried whatever became of the one before; none of them
    // has a result for the caller.
    Variant ignored;
    const Result steps[] = {
        control_->doVerb(oleverb::kHide),
        control_->put("Movie", Variant::ofString(swf.swfFilename)),
        control_->call("Play", {}, ignored),
        control_->doVerb(oleverb::kShow),
    };
    for (Result step : steps)
        if (step != rc::kOk) logMessage("loadAndPlay: step failed with " + std::to_string(step));
}

void TFlashPanel::stopMovie() {
    releaseFlashControl();
    setColor(color::kBlack);
    swf.swfFilename.clear();
}

void TFlashPanel::focusMovie() {
    if (!visible() || !control_) return;
    repaint();
    focus();
    ignoreResult(control_->focus(), "a control that takes no focus still plays");
}

}  // namespace ssi
