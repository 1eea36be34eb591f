#pragma once
// An event loop on the system's monotonic clock for a thread that has no
// window system to serve: the command line and each of its batch threads.
// Its only events are its own timers; a wait sleeps until the next timer is
// due or the wait ends, whichever comes first.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/eventloop/EventLoop.h"

namespace orvex::platform {

class SteadyEventLoop final : public EventLoop {
public:
    SteadyEventLoop();

    void processEvents() override;
    std::unique_ptr<LoopTimer> createTimer(std::function<void()> onTick) override;
    void waitUntil(LoopTime due) override;
    LoopTime now() const override;

    // Used by the timers this loop hands out.
    void setTimerInterval(int id, int32_t milliseconds);
    void setTimerEnabled(int id, bool enabled);
    void setTimerDueNow(int id);
    void removeTimer(int id);

private:
    struct Slot {
        std::function<void()> onTick;
        int32_t interval = 0;
        bool enabled = false;
        bool firing = false;
        LoopTime due{0};
    };

    // Fires every timer due by now once; false when none was.
    bool fireDue();
    // When the next timer falls due, or never.
    LoopTime nextDue() const;

    std::chrono::steady_clock::time_point start_;
    std::map<int, Slot> timers_;
    int nextId_ = 1;
};

}  // namespace orvex::platform
