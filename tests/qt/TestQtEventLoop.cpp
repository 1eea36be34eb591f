// The Qt event loop: ticks on the main thread, waits that let events run and
// nest, timers that go away inside their own tick. Orders and counts only.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <memory>
#include <vector>

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

TEST_F(QtEventLoopBehaviour, WaitRunsQueuedEventsAndNestedWaitsReturnInnerFirstEachAfterItsOwnTime) {
    bool clicked = false;
    QTimer::singleShot(0, [&] { clicked = true; });
    std::vector<int> order;
    LoopTime innerDue{};
    QTimer::singleShot(5, [&] {
        innerDue = loop.now() + milliseconds(40);
        loop.waitUntil(innerDue);
        order.push_back(1);
    });
    waitMs(10);
    order.push_back(2);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_GE(loop.now(), innerDue);
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
