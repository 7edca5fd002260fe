// The player panel of the real installer window with the stand-in player
// registered: the control is made, placed, configured, started, stopped and
// taken down through our own OLE site, and the player's log says what it was
// asked. The panel's decisions themselves are tested over the test double.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "app/installer_window.h"
#include "platform/win32/win32_os.h"
#include "tests/support/swf_movies.h"
#include "tests/wine/wine_test_support.h"

namespace ssi {
namespace {

using namespace movies;
using wintest::freshDir;
using wintest::readFile;
using wintest::writeFile;
using Lines = std::vector<std::string>;

constexpr char kPlayerWindowClass[] = "PlayerStandinWindow";

Lines linesOf(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Whether `wanted` occurs in `lines` in this order (other lines between).
bool inOrder(const Lines& lines, const Lines& wanted) {
    size_t next = 0;
    for (const std::string& line : lines)
        if (next < wanted.size() && line == wanted[next]) ++next;
    return next == wanted.size();
}

// The installer window on the real seam, on screen, with the stand-in
// player 7 registered and logging into a file of its own; every panel
// starts with an empty cache, so that the player is asked afresh.
struct PanelOnWine : ::testing::Test {
    wintest::RegisteredPlayer player;
    std::string dir = freshDir("flash-panel");
    std::string log = dir + "player.log";
    win32::Win32Os os;
    FlashVersionCache cache;
    std::unique_ptr<TInstallerForm> form;

    void SetUp() override {
        ASSERT_TRUE(player.registered());
        ::SetEnvironmentVariableA("PLAYER_STANDIN_LOG", log.c_str());
        form = std::make_unique<TInstallerForm>(os);
        ASSERT_EQ(os.ui().realize(*form), 0);
        form->moviePanel1.versionCache = &cache;
        form->setPosition(20, 20);
        os.ui().processMessages();
    }
    void TearDown() override {
        form.reset();
        ::SetEnvironmentVariableA("PLAYER_STANDIN_LOG", nullptr);
    }

    TFlashPanel& panel() { return form->moviePanel1; }
    HWND panelWindow() { return os.ui().windowOf(panel()); }
    HWND playerWindow() { return ::FindWindowExA(panelWindow(), nullptr, kPlayerWindowClass, nullptr); }
    Lines logLines() { return linesOf(readFile(log)); }
    // The log's lines after the first `from`.
    Lines logSince(size_t from) {
        Lines all = logLines();
        return Lines(all.begin() + long(std::min(from, all.size())), all.end());
    }
    // What a new control is asked, from its making to its movie's start: it
    // is placed over the whole panel as the panel is at that moment.
    Lines startedWith(const std::string& path) {
        const std::string place =
            "inplace 0 0 " + std::to_string(panel().width()) + " " + std::to_string(panel().height());
        Lines made{
            "create",           "site",          place, "put ScaleMode 0", "SetVariable Align AlClient",
            "put WMode Opaque", "put Menu false"};
        made.insert(made.end(), {"verb -3", "put Movie " + path, "Play", "verb -1"});
        return made;
    }
    std::string movie(const std::string& name, const std::string& bytes) {
        writeFile(dir + name, bytes);
        return dir + name;
    }
};

TEST_F(PanelOnWine, TheSameMoviePlaysOnceUntilStoppedThenAgainInANewControl) {
    const std::string sky = movie("sky.swf", fws(6, sampleBody(300)));
    ASSERT_EQ(panel().playMovie(sky), 0);
    EXPECT_TRUE(inOrder(logLines(), startedWith(sky))) << readFile(log);
    HWND first = playerWindow();
    ASSERT_TRUE(first) << "the control's window inside the panel";
    EXPECT_TRUE(::IsWindowVisible(first));
    RECT r;
    ::GetClientRect(first, &r);
    EXPECT_EQ(r.right, panel().width());
    EXPECT_EQ(r.bottom, panel().height());

    // In front of the picture preview that shares its place: the player's
    // own dark field shows in the middle of the panel.
    POINT centre{panel().width() / 2, panel().height() / 2};
    ::ClientToScreen(panelWindow(), &centre);
    EXPECT_EQ(::WindowFromPoint(centre), first);
    ::UpdateWindow(first);
    {
        win32::WindowDC dc(panelWindow());
        EXPECT_EQ(::GetPixel(dc.get(), panel().width() / 2, panel().height() / 2), RGB(18, 22, 38));
    }

    // Again with the same path: nothing reaches the control.
    const size_t seen = logLines().size();
    EXPECT_EQ(panel().playMovie(sky), 0);
    EXPECT_EQ(logLines().size(), seen) << readFile(log);
    EXPECT_EQ(playerWindow(), first);

    // Focus: the panel, then the control, which takes it in its own window.
    panel().focusMovie();
    EXPECT_TRUE(inOrder(logSince(seen), {"verb -4", "uiactivate"})) << readFile(log);
    EXPECT_EQ(::GetFocus(), first);

    // Stopped: the control stops, goes, and the panel shows black where it was.
    const size_t beforeStop = logLines().size();
    panel().stopMovie();
    EXPECT_TRUE(inOrder(logSince(beforeStop), {"StopPlay", "deactivate", "close", "site none", "release"}))
        << readFile(log);
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_FALSE(playerWindow());
    ::RedrawWindow(panelWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    {
        win32::WindowDC dc(panelWindow());
        EXPECT_EQ(::GetPixel(dc.get(), panel().width() / 2, panel().height() / 2), RGB(0, 0, 0));
    }

    const size_t beforeAgain = logLines().size();
    EXPECT_EQ(panel().playMovie(sky), 0);
    EXPECT_TRUE(inOrder(logSince(beforeAgain), startedWith(sky))) << readFile(log);
    EXPECT_TRUE(::IsWindowVisible(playerWindow()));
}

TEST_F(PanelOnWine, ACompressedMoviePlaysFromItsOwnFileWhileItsCopyLastsAsLongAsThePanel) {
    const std::string packed = movie("packed.swf", cws(6, sampleBody(5000)));
    ASSERT_EQ(panel().playMovie(packed), 0);
    EXPECT_TRUE(inOrder(logLines(), {"put Movie " + packed, "Play"})) << readFile(log);
    const std::string folder = panel().swf.tempFolder;
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(readFile(folder + "unCompressedSWF.swf"), fws(6, sampleBody(5000)));
    panel().stopMovie();
    EXPECT_EQ(::GetFileAttributesA((folder + "unCompressedSWF.swf").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u)
        << "still there after the movie stopped";

    form.reset();
    EXPECT_EQ(::GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "gone with the panel";
    EXPECT_EQ(readFile(packed).substr(0, 3), "CWS") << "the movie itself is untouched";
}

TEST_F(PanelOnWine, AMovieNewerThanThePlayerIsRefusedWithoutAControl) {
    const std::string newer = movie("newer.swf", fws(8, sampleBody(100)));
    EXPECT_EQ(panel().playMovie(newer), rc::kFlashPlayerTooOld);
    EXPECT_FALSE(panel().hasControl());
    EXPECT_FALSE(playerWindow());
    EXPECT_EQ(logLines(), (Lines{"create", "FlashVersion", "release"})) << "only the version was asked";
}

TEST_F(PanelOnWine, AMissingMovieIsHandedToTheControlUninspected) {
    const std::string missing = dir + "absent.swf";
    EXPECT_EQ(panel().playMovie(missing), 0);
    EXPECT_TRUE(inOrder(logLines(), startedWith(missing))) << readFile(log);
    EXPECT_TRUE(::IsWindowVisible(playerWindow()));
    EXPECT_TRUE(panel().swf.tempFolder.empty()) << "nothing was inflated";
}

}  // namespace
}  // namespace ssi
