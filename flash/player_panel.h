// The Flash panel: a panel that hosts one player control and plays the
// preview movie in it. It fills its parent and is white until a movie stops.
//
// Life of the panel: no control -> (playMovie) a control playing swfFilename
// -> (playMovie with another path) the old control stopped and freed, a new
// one playing -> (stopMovie) no control, black, no movie name -> (destructor)
// its temporary folder deleted. The control is given the panel's size once,
// when it is made, and keeps it.
#pragma once

#include <memory>
#include <string>

#include "flash/swf_movie.h"
#include "flash/player_detection.h"
#include "platform/controls.h"
#include "platform/os.h"

namespace ssi {

// Asking the installed player for its version before a movie plays: each
// attempt after kFlashQueryWaitMs, so that a player being installed in the
// background has time to arrive.
constexpr int kFlashPanelQueryAttempts = 1000;
// Making the control, without waiting between attempts.
constexpr int kFlashCreateAttempts = 10000;

class TFlashPanel : public Panel {
public:
    TFlashPanel(Os& os, std::string name);
    // Deletes the panel's temporary folder (when it made one); the control
    // goes with the panel.
    ~TFlashPanel() override;

    // The movie shown; empty when none.
    const std::string& swfFilename() const { return swf.swfFilename; }

    // Inspects the movie, checks the installed player against the movie's
    // SWF version and starts it in a new control: 0; -404, -405, -406 or
    // the inspection's other codes; -402 when no player answered; -410 when
    // the movie is newer than the player; -403 when no control could be
    // made. The same path as the current movie (or an empty one) changes
    // nothing and gives 0. A missing file is handed to the control
    // uninspected.
    [[nodiscard]] Result playMovie(const std::string& path);
    // Stops and frees the control; the panel turns black and forgets the
    // movie, so that the same one can play again.
    void stopMovie();
    // When the panel is visible and has a control: repaints the panel, gives
    // it the keyboard focus, then the control.
    void focusMovie();

    bool hasControl() const { return control_ != nullptr; }

    // The movie inspection state (signature, version, temporary folder).
    SwfInspector swf;
    // Where the player's version is remembered: the process's, unless a
    // test gives its own.
    FlashVersionCache* versionCache;

private:
    [[nodiscard]] Result checkPlayerVersion();
    void releaseFlashControl();
    [[nodiscard]] Result createFlashControl();
    void loadAndPlay();

    Os& os_;
    std::unique_ptr<HostedControl> control_;
};

}  // namespace ssi
