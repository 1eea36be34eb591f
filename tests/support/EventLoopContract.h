#pragma once
// What every real event loop promises its readers, on the real clock; each loop's test program instantiates it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "platform/eventloop/EventLoop.h"

namespace orvex::platform {

template <typename Loop>
class EventLoopContract : public ::testing::Test {
protected:
    void waitMs(int ms) { loop.waitUntil(loop.now() + std::chrono::milliseconds(ms)); }
    Loop loop;
    int ticks = 0;
};

TYPED_TEST_SUITE_P(EventLoopContract);

TYPED_TEST_P(EventLoopContract, TimerTicksOnlyWithIntervalAndWhileEnabled) {
    auto timer = this->loop.createTimer([this] { ++this->ticks; });
    timer->setEnabled(true);
    timer->setInterval(0);
    this->waitMs(30);
    EXPECT_EQ(this->ticks, 0);
    timer->setInterval(5);
    while (this->ticks < 3) this->waitMs(5);
    timer->setEnabled(false);
    const int stopped = this->ticks;
    this->waitMs(30);
    EXPECT_EQ(this->ticks, stopped);
}

TYPED_TEST_P(EventLoopContract, TickIsNotReenteredAndMayDestroyItsTimer) {
    int depth = 0, deepest = 0;
    std::unique_ptr<LoopTimer> timer = this->loop.createTimer([&] {
        deepest = std::max(deepest, ++depth);
        this->waitMs(20);
        --depth;
        if (++this->ticks == 3) timer.reset();
    });
    timer->setInterval(2);
    timer->setEnabled(true);
    while (timer) this->waitMs(5);
    this->waitMs(20);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(this->ticks, 3);
}

// Polling goes on while a program waits for a card: one long wait sees many
// ticks, and a handler's short wait inside it does not end it early.
TYPED_TEST_P(EventLoopContract, TimerTicksDuringOneLongWait) {
    auto timer = this->loop.createTimer([this] {
        if (++this->ticks == 1) this->waitMs(5);
    });
    timer->setInterval(10);
    timer->setEnabled(true);
    const LoopTime due = this->loop.now() + std::chrono::milliseconds(200);
    this->loop.waitUntil(due);
    EXPECT_GE(this->loop.now(), due);
    EXPECT_GE(this->ticks, 3);
}

REGISTER_TYPED_TEST_SUITE_P(EventLoopContract, TimerTicksOnlyWithIntervalAndWhileEnabled,
                            TickIsNotReenteredAndMayDestroyItsTimer, TimerTicksDuringOneLongWait);

}  // namespace orvex::platform
