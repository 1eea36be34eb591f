// xTimer, waitSeconds and the virtual loop they run on.
#include <cmath>
#include <limits>

#include "ReaderTestBase.h"
#include "readers/modWait.h"
#include "readers/xTimer.h"

namespace orvex::test {
namespace {

class TimersAndWaits : public ReaderTestBase {
protected:
    int ticks = 0;
};

TEST_F(TimersAndWaits, TimerTicksOnlyWithAnIntervalAndWhileEnabled) {
    xTimer timer(loop, [&] { ++ticks; });
    EXPECT_TRUE(timer.Enabled());
    loop.advance(milliseconds(5000));
    EXPECT_EQ(ticks, 0);
    timer.setInterval(500);
    loop.advance(milliseconds(1999));
    EXPECT_EQ(ticks, 3);
    timer.setInterval(0);
    loop.advance(milliseconds(5000));
    EXPECT_EQ(ticks, 3);
    timer.setInterval(100);
    timer.setEnabled(false);
    loop.advance(milliseconds(1000));
    EXPECT_EQ(ticks, 3);
    timer.setEnabled(true);
    loop.advance(milliseconds(100));
    EXPECT_EQ(ticks, 4);
}

TEST_F(TimersAndWaits, TimersFireInTheOrderTheyFallDue) {
    std::vector<std::pair<char, long>> fired;
    xTimer slow(loop, [&] { fired.push_back({'s', static_cast<long>(loop.now().count())}); });
    xTimer fast(loop, [&] { fired.push_back({'f', static_cast<long>(loop.now().count())}); });
    slow.setInterval(300);
    fast.setInterval(200);
    loop.advance(milliseconds(600));
    EXPECT_EQ(fired, (std::vector<std::pair<char, long>>{{'f', 200}, {'s', 300}, {'f', 400}, {'s', 600}, {'f', 600}}));
}

TEST_F(TimersAndWaits, TickIsNotReenteredWhileItsHandlerWaits) {
    int depth = 0;
    int deepest = 0;
    xTimer timer(loop, [&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        waitSeconds(loop, 1.0);
        --depth;
    });
    timer.setInterval(100);
    loop.advance(milliseconds(3000));
    EXPECT_EQ(deepest, 1);
    EXPECT_GT(ticks, 1);
}

TEST_F(TimersAndWaits, TimerDestroyedInItsOwnTickStopsCleanly) {
    auto timer = std::make_unique<xTimer>(loop, [] {});
    timer = std::make_unique<xTimer>(loop, [&] {
        ++ticks;
        timer.reset();
    });
    timer->setInterval(100);
    loop.advance(milliseconds(1000));
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(loop.activeTimers(), 0);
}

TEST_F(TimersAndWaits, WaitReturnsAtItsOwnTimeWithEventsAndShorterInnerWaitsRunMeanwhile) {
    for (const double seconds : {-1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        waitSeconds(loop, seconds);  // no wait at all
    }
    EXPECT_TRUE(loop.waits().empty());
    bool clicked = false;
    milliseconds innerEnd{};
    loop.post([&] { clicked = true; });
    loop.post([&] {
        waitSeconds(loop, 0.4);
        innerEnd = loop.now();
    });
    waitSeconds(loop, 0.5);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(innerEnd, milliseconds(400));
    EXPECT_EQ(loop.now(), milliseconds(500));
}

TEST_F(TimersAndWaits, OuterWaitWhoseTimePassedEndsWithTheInner) {
    xTimer trigger(loop, [&] {
        trigger.setInterval(0);
        waitSeconds(loop, 0.4);
    });
    trigger.setInterval(300);
    xTimer other(loop, [&] { ++ticks; });
    other.setInterval(650);
    waitSeconds(loop, 0.5);
    EXPECT_EQ(loop.now(), milliseconds(700));
    EXPECT_EQ(ticks, 1);  // at 650, inside the inner wait; none after it
}

}  // namespace
}  // namespace orvex::test
