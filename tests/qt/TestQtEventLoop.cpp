// The Qt event loop's timers: ticks only with an interval and while enabled,
// no tick inside a tick whose handler waits, a timer that goes away inside its
// own tick. Waits that let events run are in every window and command-line test.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>

#include "platform/qt/QtEventLoop.h"

namespace orvex::platform {
namespace {

using std::chrono::milliseconds;

class QtEventLoopBehaviour : public ::testing::Test {
protected:
    void waitMs(int ms) { loop.waitUntil(loop.now() + milliseconds(ms)); }
    QtEventLoop loop;
    int ticks = 0;
};

TEST_F(QtEventLoopBehaviour, TimerTicksOnlyWithIntervalAndWhileEnabled) {
    auto timer = loop.createTimer([&] { ++ticks; });
    timer->setEnabled(true);
    timer->setInterval(0);
    waitMs(30);
    EXPECT_EQ(ticks, 0);
    timer->setInterval(5);
    while (ticks < 3) waitMs(5);
    timer->setEnabled(false);
    const int stopped = ticks;
    waitMs(30);
    EXPECT_EQ(ticks, stopped);
}

// A tick is not entered again while its handler waits, and a timer may go
// away inside its own tick.
TEST_F(QtEventLoopBehaviour, TickIsNotReenteredAndMayDestroyItsTimer) {
    int depth = 0, deepest = 0;
    std::unique_ptr<LoopTimer> timer = loop.createTimer([&] {
        deepest = std::max(deepest, ++depth);
        waitMs(20);
        --depth;
        if (++ticks == 3) timer.reset();
    });
    timer->setInterval(2);
    timer->setEnabled(true);
    while (timer) waitMs(5);
    waitMs(20);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(ticks, 3);
}

}  // namespace
}  // namespace orvex::platform

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
