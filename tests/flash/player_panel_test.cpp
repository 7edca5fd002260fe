// The player panel (flash/player_panel) over the test double, in the installer window it lives in:
// what the control goes through for one movie, every failure of playMovie,
// replacing and stopping movies, compressed and missing movies, the focus.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "app/installer_window.h"
#include "platform/fake/fake_os.h"
#include "tests/support/fake_player.h"
#include "tests/support/swf_movies.h"

using namespace ssi;
using namespace ssi::movies;

namespace {

const std::string kMovie = "C:\\TEMP\\QDX1\\installer.swf";
const std::string kOther = "C:\\TEMP\\QDX1\\other.swf";
const std::string kFolder = "C:\\TEMP\\FlashPanel1\\";

using Log = std::vector<std::string>;

// What a new control goes through before its movie plays.
Log configured() {
    return {"create", "put ScaleMode 0", "call SetVariable Align AlClient", "put WMode Opaque", "put Menu false"};
}
Log started(const std::string& movie) {
    Log log = configured();
    log.insert(log.end(), {"verb -3", "put Movie " + movie, "call Play", "verb -1"});
    return log;
}

// The installer window on the double, with a player of its own.
struct Rig {
    FakeOs os;
    FlashVersionCache cache;
    std::unique_ptr<TInstallerForm> form = std::make_unique<TInstallerForm>(os);
    TFlashPanel& panel = form->moviePanel1;

    Rig() {
        EXPECT_EQ(os.ui().realize(*form), 0);
        panel.versionCache = &cache;
        installPlayer(7);
    }

    // The installed player (tests/support/fake_player.h); `without` leaves one member out.
    void installPlayer(int major, const std::string& without = "") { test::installPlayer(os, major, -1, without); }
    void removePlayer() { test::removePlayer(os); }
    FakeHostedControl* control() { return os.hostedControls.empty() ? nullptr : os.hostedControls.back(); }
};

struct FlashPanelTest : ::testing::Test, Rig {};

TEST_F(FlashPanelTest, AMoviePlaysInANewControlOfThePanelsSize) {
    os.writeFile(kMovie, fws(7, "body"));
    EXPECT_EQ(panel.playMovie(kMovie), 0);
    EXPECT_EQ(os.hostLog, started(kMovie));
    ASSERT_TRUE(control());
    EXPECT_EQ(control()->host, &panel);
    EXPECT_EQ(control()->width, 350);
    EXPECT_EQ(control()->height, 150);
    EXPECT_EQ(panel.swfFilename(), kMovie);
    EXPECT_EQ(os.sleptMs, 500u) << "one wait before the player answered";
}

// Every row of the panel's failure table, and the two ways a control can be
// unusable: none leaves a control in the panel.
TEST_F(FlashPanelTest, FailuresLeaveThePanelEmpty) {
    struct Row {
        const char* what;
        std::function<void(Rig&)> arrange;
        Result expected;
        int controlsCreated;
    };
    const Row rows[] = {
        {"not a movie", [](Rig& t) { t.os.writeFile(kMovie, "GIF89a..."); }, rc::kSwfBadSignature, 0},
        {"version 9", [](Rig& t) { t.os.writeFile(kMovie, fws(9, "body")); }, rc::kSwfTooNew, 0},
        {"version 2", [](Rig& t) { t.os.writeFile(kMovie, fws(2, "body")); }, rc::kSwfTooOld, 0},
        {"no temporary folder",
         [](Rig& t) {
             t.os.writeFile(kMovie, cws(6, "body"));
             t.os.failOn(Op::CreateDirectory, "", oserr::kAccessDenied);
         },
         oserr::kAccessDenied, 0},
        {"damaged compressed movie",
         [](Rig& t) { t.os.writeFile(kMovie, "CWS\x06" + le32(12) + "not zlib"); }, rc::kSwfInflateFailed,
         0},
        {"no player answers",
         [](Rig& t) {
             t.os.writeFile(kMovie, fws(6, "body"));
             t.removePlayer();
         },
         rc::kFlashNotInstallable, 0},
        {"movie newer than the player",
         [](Rig& t) {
             t.os.writeFile(kMovie, fws(8, "body"));
             t.installPlayer(7);
         },
         rc::kFlashPlayerTooOld, 0},
        {"the control cannot be made",
         [](Rig& t) {
             t.os.writeFile(kMovie, fws(6, "body"));
             t.os.hostedClasses.clear();
         },
         rc::kFlashControlNotCreated, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Rig t;
        row.arrange(t);
        EXPECT_EQ(t.panel.playMovie(kMovie), row.expected);
        EXPECT_FALSE(t.panel.hasControl());
        EXPECT_TRUE(t.os.hostedControls.empty());
        EXPECT_EQ(t.os.controlsCreated, row.controlsCreated);
        EXPECT_EQ(t.panel.swfFilename(), kMovie) << "the path is taken before anything can fail";
    }
}

// A control that lacks one of the settings members stays in the panel and
// plays its movie: the other settings are still made.
TEST(FlashPanelSettings, AControlLackingASettingsMemberStaysAndPlays) {
    for (const std::string missing : {"scalemode", "setvariable", "wmode", "menu"}) {
        SCOPED_TRACE(missing);
        Rig t;
        t.installPlayer(7, missing);
        t.os.writeFile(kMovie, fws(6, "body"));
        EXPECT_EQ(t.panel.playMovie(kMovie), 0);
        EXPECT_TRUE(t.panel.hasControl());
        EXPECT_EQ(t.os.controlsCreated, 1);
        Log log = t.os.hostLog;
        for (const char* step : {"verb -3", "call Play", "verb -1"})
            EXPECT_NE(std::find(log.begin(), log.end(), step), log.end()) << step;
        EXPECT_NE(std::find(log.begin(), log.end(), "put Movie " + kMovie), log.end());
    }
}

TEST_F(FlashPanelTest, RetriesAreCountedAsDesigned) {
    os.writeFile(kMovie, fws(6, "body"));
    removePlayer();
    EXPECT_EQ(panel.playMovie(kMovie), rc::kFlashNotInstallable);
    EXPECT_EQ(os.sleptMs, 1000u * 500u) << "1000 queries, each after 500 ms";

    installPlayer(7);
    os.hostedClasses.clear();
    int attempts = 0;
    os.inject = [&](Op op, const std::string&) -> Result {
        if (op == Op::CreateControl) ++attempts;
        return 0;
    };
    const uint64_t slept = os.sleptMs;
    EXPECT_EQ(panel.playMovie(kOther), rc::kFlashControlNotCreated);
    EXPECT_EQ(attempts, 10000);
    EXPECT_EQ(os.sleptMs - slept, 500u) << "no waiting between attempts at making the control";

    // A control that was made but could not be placed in the panel ends the attempts at once.
    installPlayer(7);
    attempts = 0;
    os.inject = [&](Op op, const std::string&) -> Result {
        return op == Op::CreateControl && ++attempts ? rc::kControlNotSited : 0;
    };
    panel.stopMovie();
    EXPECT_EQ(panel.playMovie(kOther), rc::kFlashControlNotCreated);
    EXPECT_EQ(attempts, 1);
}

TEST_F(FlashPanelTest, TheSameMovieTwiceChangesNothingAndPlaysAgainAfterStopMovie) {
    os.writeFile(kMovie, fws(6, "body"));
    ASSERT_EQ(panel.playMovie(kMovie), 0);
    const size_t logged = os.hostLog.size();
    EXPECT_EQ(panel.playMovie(kMovie), 0);
    EXPECT_EQ(panel.playMovie(""), 0);
    EXPECT_EQ(os.hostLog.size(), logged);
    EXPECT_EQ(os.controlsCreated, 1);

    const int handled = os.handledMessages;
    panel.stopMovie();
    EXPECT_FALSE(panel.hasControl());
    EXPECT_EQ(panel.color(), color::kBlack);
    EXPECT_EQ(panel.swfFilename(), "");
    EXPECT_EQ(os.handledMessages - handled, 1) << "one message handled after the control went";
    EXPECT_EQ(Log(os.hostLog.begin() + long(logged), os.hostLog.end()), (Log{"call StopPlay", "release"}));

    os.hostLog.clear();
    EXPECT_EQ(panel.playMovie(kMovie), 0);
    EXPECT_EQ(os.hostLog, started(kMovie));
    EXPECT_EQ(os.objectsCreated, 1) << "the player's version is asked once per process";
}

TEST_F(FlashPanelTest, AnotherMovieReplacesTheControlEvenWhenTheOldOneCannotStop) {
    os.writeFile(kMovie, fws(6, "body"));
    os.writeFile(kOther, fws(7, "other"));
    ASSERT_EQ(panel.playMovie(kMovie), 0);
    FakeHostedControl* first = control();
    first->members.methods["stopplay"] = [](const std::vector<Variant>&, Variant&) { return oserr::kGenFailure; };
    os.hostLog.clear();
    EXPECT_EQ(panel.playMovie(kOther), 0);
    Log expected{"call StopPlay", "release"};
    for (const std::string& line : started(kOther)) expected.push_back(line);
    EXPECT_EQ(os.hostLog, expected);
    EXPECT_EQ(os.hostedControls.size(), 1u);

    // Refused before the old control is touched: it keeps playing.
    os.writeFile(kMovie, fws(8, "newer"));
    os.hostLog.clear();
    EXPECT_EQ(panel.playMovie(kMovie), rc::kFlashPlayerTooOld);
    EXPECT_TRUE(os.hostLog.empty());
    EXPECT_TRUE(panel.hasControl());
}

TEST_F(FlashPanelTest, ACompressedMoviePlaysFromItsOwnFileAndItsCopyLastsAsLongAsThePanel) {
    os.writeFile(kMovie, cws(6, sampleBody(5000)));
    EXPECT_EQ(panel.playMovie(kMovie), 0);
    EXPECT_EQ(os.hostLog, started(kMovie)) << "the control gets the movie, not the inflated copy";
    EXPECT_EQ(os.readFile(kFolder + "unCompressedSWF.swf"), fws(6, sampleBody(5000)));
    panel.stopMovie();
    EXPECT_TRUE(os.exists(kFolder + "unCompressedSWF.swf")) << "stopping keeps the folder";
    form.reset();
    EXPECT_FALSE(os.exists(kFolder));
}

TEST_F(FlashPanelTest, APanelThatNeverInflatedDeletesNoFolder) {
    os.makeDirs(kFolder);  // someone else's
    os.writeFile(kMovie, fws(6, "body"));
    ASSERT_EQ(panel.playMovie(kMovie), 0);
    form.reset();
    EXPECT_TRUE(os.exists(kFolder));
    EXPECT_EQ(os.hostLog.back(), "release");
}

TEST_F(FlashPanelTest, AMissingMovieGoesToTheControlUninspected) {
    // Refused for its version first: that version must not stick to the next movie.
    os.writeFile(kOther, fws(8, "body"));
    ASSERT_EQ(panel.playMovie(kOther), rc::kFlashPlayerTooOld);
    os.failOn(Op::OpenFile, "", oserr::kAccessDenied);
    EXPECT_EQ(panel.playMovie(kMovie), 0);
    EXPECT_EQ(os.hostLog, started(kMovie));
    EXPECT_FALSE(os.exists(kFolder));
}

TEST_F(FlashPanelTest, FailuresWhileStartingTheMovieAreSwallowed) {
    os.writeFile(kMovie, fws(6, "body"));
    os.failOn(Op::DoVerb, "", oserr::kGenFailure);
    os.failOn(Op::ComPut, "Movie", oserr::kGenFailure);
    os.failOn(Op::ComCall, "Play", oserr::kGenFailure);
    EXPECT_EQ(panel.playMovie(kMovie), 0);
    EXPECT_EQ(os.hostLog, started(kMovie)) << "every step is tried";
    EXPECT_TRUE(panel.hasControl());
}

TEST_F(FlashPanelTest, AControlThatRefusesASettingIsKeptWithoutTheRest) {
    os.writeFile(kMovie, fws(6, "body"));
    os.failOn(Op::ComPut, "WMode", oserr::kGenFailure);
    EXPECT_EQ(panel.playMovie(kMovie), 0);
    EXPECT_EQ(os.hostLog, (Log{"create", "put ScaleMode 0", "call SetVariable Align AlClient", "put WMode Opaque",
                               "verb -3", "put Movie " + kMovie, "call Play", "verb -1"}));
    EXPECT_EQ(os.controlsCreated, 1);
}

TEST_F(FlashPanelTest, FocusGoesToThePanelThenTheControlOnlyWhenBothAreThere) {
    os.writeFile(kMovie, fws(6, "body"));
    panel.focusMovie();
    EXPECT_TRUE(os.focusHistory.empty()) << "no control";

    ASSERT_EQ(panel.playMovie(kMovie), 0);
    panel.setVisible(false);
    panel.focusMovie();
    EXPECT_TRUE(os.focusHistory.empty()) << "hidden";

    panel.setVisible(true);
    panel.focusMovie();
    EXPECT_EQ(os.focusHistory, (Log{"moviePanel1", "moviePanel1/control"}));

    os.failOn(Op::FocusControl, "", oserr::kGenFailure);
    panel.focusMovie();  // ignored
    EXPECT_EQ(os.focusHistory.size(), 3u);
}

}  // namespace
