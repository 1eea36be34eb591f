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
    const LoopTime due = loop.now() + milliseconds(20);
    loop.waitUntil(due);
    EXPECT_TRUE(clicked);
    EXPECT_GE(loop.now(), due);

    std::vector<int> order;
    LoopTime innerDue{};
    QTimer::singleShot(5, [&] {
        innerDue = loop.now() + milliseconds(40);
        loop.waitUntil(innerDue);
        order.push_back(1);
    });
    waitMs(10);
    order.push_back(2);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_GE(loop.now(), innerDue);
}

TEST_F(QtEventLoopBehaviour, TickIsNotReenteredWhileItsHandlerWaits) {
    int depth = 0;
    int deepest = 0;
    auto timer = loop.createTimer([&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        waitMs(20);
        --depth;
    });
    timer->setInterval(2);
    timer->setEnabled(true);
    while (ticks < 3) waitMs(5);
    timer.reset();
    EXPECT_EQ(deepest, 1);
}

TEST_F(QtEventLoopBehaviour, TimerDestroyedInItsOwnTick) {
    std::unique_ptr<LoopTimer> timer = loop.createTimer([&] {
        ++ticks;
        timer.reset();
    });
    timer->setInterval(2);
    timer->setEnabled(true);
    while (timer) waitMs(5);
    waitMs(20);
    EXPECT_EQ(ticks, 1);
}

}  // namespace
}  // namespace orvex::platform

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
