#pragma once
// An event loop on a virtual clock, for tests: time moves only when a test
// advances it or when a wait runs, and due timers fire in the order of their
// due times. Posted events stand for clicks and other input: they run at the
// next processEvents() or inside the next wait.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/eventloop/EventLoop.h"

namespace orvex::platform {

class VirtualEventLoop final : public EventLoop {
public:
    struct Wait {
        LoopTime start;
        LoopTime due;
    };

    void processEvents() override;
    std::unique_ptr<LoopTimer> createTimer(std::function<void()> onTick) override;
    void waitUntil(LoopTime due) override;
    LoopTime now() const override { return now_; }

    // Moves the clock forward, firing every timer that falls due on the way.
    void advance(LoopTime by);
    // Runs event at the next processEvents() or inside the next wait.
    void post(std::function<void()> event);

    int processEventsCalls() const { return processEventsCalls_; }
    const std::vector<Wait>& waits() const { return waits_; }
    // Timers that are enabled and have an interval.
    int activeTimers() const;

    // Used by the timers this loop hands out.
    void setTimerInterval(int id, int32_t milliseconds);
    void setTimerEnabled(int id, bool enabled);
    void removeTimer(int id);

private:
    struct Slot {
        std::function<void()> onTick;
        int32_t interval = 0;
        bool enabled = false;
        bool firing = false;
        LoopTime due{0};
    };

    void runUntil(LoopTime target);
    void runPosted();
    // The timer due first at or before target, or 0.
    int nextDue(LoopTime target) const;
    void fire(int id);

    LoopTime now_{0};
    std::map<int, Slot> timers_;
    int nextId_ = 1;
    std::deque<std::function<void()>> posted_;
    std::vector<Wait> waits_;
    int processEventsCalls_ = 0;
};

}  // namespace orvex::platform
