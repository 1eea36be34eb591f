// xTimer, waitSeconds and the virtual loop they run on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "platform/eventloop/VirtualEventLoop.h"
#include "readers/modWait.h"
#include "readers/xTimer.h"

namespace orvex {
namespace {

using platform::VirtualEventLoop;
using std::chrono::milliseconds;

TEST(xTimerTicks, NewTimerStaysSilentUntilItHasAnInterval) {
    VirtualEventLoop loop;
    int ticks = 0;
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
}

TEST(xTimerTicks, DisabledTimerPassesNoTickOn) {
    VirtualEventLoop loop;
    int ticks = 0;
    xTimer timer(loop, [&] { ++ticks; });
    timer.setInterval(100);
    timer.setEnabled(false);
    loop.advance(milliseconds(1000));
    EXPECT_EQ(ticks, 0);
    timer.setEnabled(true);
    loop.advance(milliseconds(100));
    EXPECT_EQ(ticks, 1);
}

TEST(xTimerTicks, TimersFireInTheOrderTheyFallDue) {
    VirtualEventLoop loop;
    std::vector<std::pair<char, long>> fired;
    xTimer slow(loop, [&] { fired.push_back({'s', static_cast<long>(loop.now().count())}); });
    xTimer fast(loop, [&] { fired.push_back({'f', static_cast<long>(loop.now().count())}); });
    slow.setInterval(300);
    fast.setInterval(200);
    loop.advance(milliseconds(600));
    const std::vector<std::pair<char, long>> expected{{'f', 200}, {'s', 300}, {'f', 400}, {'s', 600}, {'f', 600}};
    EXPECT_EQ(fired, expected);
}

TEST(xTimerTicks, TickIsNotReenteredWhileItsHandlerWaits) {
    VirtualEventLoop loop;
    int depth = 0;
    int deepest = 0;
    int ticks = 0;
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

TEST(xTimerTicks, TimerDestroyedInItsOwnTickStopsCleanly) {
    VirtualEventLoop loop;
    int ticks = 0;
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

TEST(waitSecondsBehaviour, ReturnsAtItsOwnTimeWithEventsHandledMeanwhile) {
    VirtualEventLoop loop;
    bool clicked = false;
    loop.post([&] { clicked = true; });
    waitSeconds(loop, 0.5);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(loop.now(), milliseconds(500));
}

TEST(waitSecondsBehaviour, ShorterInnerWaitDoesNotEndTheOuterEarly) {
    VirtualEventLoop loop;
    milliseconds innerEnd{};
    loop.post([&] {
        waitSeconds(loop, 0.4);
        innerEnd = loop.now();
    });
    waitSeconds(loop, 0.5);
    EXPECT_EQ(innerEnd, milliseconds(400));
    EXPECT_EQ(loop.now(), milliseconds(500));
}

TEST(waitSecondsBehaviour, OuterWaitWhoseTimePassedEndsWithTheInner) {
    VirtualEventLoop loop;
    int laterTicks = 0;
    xTimer trigger(loop, [&] {
        trigger.setInterval(0);
        waitSeconds(loop, 0.4);
    });
    trigger.setInterval(300);
    xTimer other(loop, [&] { ++laterTicks; });
    other.setInterval(650);
    waitSeconds(loop, 0.5);
    EXPECT_EQ(loop.now(), milliseconds(700));
    EXPECT_EQ(laterTicks, 1);  // at 650, inside the inner wait; none after it
}

TEST(waitSecondsBehaviour, NegativeOrNonFiniteTimesDoNotWait) {
    VirtualEventLoop loop;
    waitSeconds(loop, -1.0);
    waitSeconds(loop, std::nan(""));
    waitSeconds(loop, std::numeric_limits<double>::infinity());
    EXPECT_EQ(loop.now(), milliseconds(0));
    EXPECT_TRUE(loop.waits().empty());
}

}  // namespace
}  // namespace orvex
