#pragma once
// The one user-interface thread as the readers see it. Everything the readers
// do runs on it; other work (ticks, clicks) can only run where a reader lets
// pending events run: processEvents() and waitUntil().
#include <chrono>
#include <functional>
#include <memory>

#include "platform/eventloop/LoopTimer.h"

namespace orvex::platform {

// Monotonic time of the loop, from an arbitrary start.
using LoopTime = std::chrono::milliseconds;

class EventLoop {
public:
    virtual ~EventLoop() = default;

    // Runs the events that are pending now and returns.
    virtual void processEvents() = 0;
    // A timer whose ticks call onTick on this thread; silent until it is
    // given an interval and enabled.
    virtual std::unique_ptr<LoopTimer> createTimer(std::function<void()> onTick) = 0;
    // Returns once now() has reached due, letting events run meanwhile and
    // sleeping while there are none. A handler that waits itself nests: an
    // outer wait whose time passed meanwhile returns as soon as the inner one
    // has returned.
    virtual void waitUntil(LoopTime due) = 0;
    virtual LoopTime now() const = 0;
};

}  // namespace orvex::platform
