// The double's message loop: a loop that the real system would keep waiting
// in for ever fails the test with a clear message instead of hanging it, and
// running timers take their turns.
#include <gtest/gtest.h>

#include <string>

#include "platform/controls.h"
#include "platform/fake/fake_os.h"

namespace ssi {
namespace {

TEST(FakeMessageLoop, ALoopThatCouldNeverEndFailsClearly) {
    struct Case {
        const char* what;
        bool timerRuns;
        const char* message;
    } cases[] = {
        {"nothing queued, no timer", false, "nothing is queued, no timer runs"},
        {"a timer ticks for ever", true, "only timers tick"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeOs os;
        Timer timer(os.ui(), "pauseTimer", 50);
        if (c.timerRuns) {
            ASSERT_EQ(timer.setEnabled(true), 0);
        }
        try {
            os.ui().runMessageLoop();
            ADD_FAILURE() << "the loop returned without terminate()";
        } catch (const FakeOsStuck& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(FakeMessageLoop, RunningTimersTakeTurnsAndAPostedMessageEndsTheLoop) {
    FakeOs os;
    Timer first(os.ui(), "first", 50), second(os.ui(), "second", 50);
    ASSERT_EQ(first.setEnabled(true), 0);
    ASSERT_EQ(second.setEnabled(true), 0);
    second.onTimer = [&] {
        if (second.ticks() == 3) os.post([&] { os.ui().terminate(); });
    };
    os.ui().runMessageLoop();
    EXPECT_EQ(second.ticks(), 3u);
    EXPECT_GE(first.ticks(), 3u) << "the first timer is not starved by the second, nor the second by it";
    EXPECT_LE(first.ticks(), 4u);
}

}  // namespace
}  // namespace ssi
