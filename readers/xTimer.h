#pragma once
// The polling timer a reader driver owns. Its ticks arrive on the
// user-interface thread; a new xTimer is enabled but silent until its owner
// gives it an interval above 0. tickSoon() adds one tick right away, outside
// the period, for an owner that wants a state now rather than after an
// interval; ticks never nest, a tick due while another runs is dropped.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/eventloop/EventLoop.h"

namespace orvex {

class xTimer {
public:
    // onTimer is the owner's handler of the Timer event.
    xTimer(platform::EventLoop& loop, std::function<void()> onTimer);

    int32_t Interval() const { return interval_; }
    void setInterval(int32_t milliseconds);
    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    // One extra tick as soon as the loop runs again (once, however often it
    // is asked for before it comes); only while the timer is running.
    void tickSoon();

private:
    void CTimer_Timer();
    void soonTimer();

    std::function<void()> onTimer_;
    std::unique_ptr<platform::LoopTimer> timer_;
    std::unique_ptr<platform::LoopTimer> soon_;
    int32_t interval_ = 0;
    bool enabled_ = false;
    bool ticking_ = false;
    std::shared_ptr<const int> life_ = std::make_shared<const int>(0);
};

}  // namespace orvex
