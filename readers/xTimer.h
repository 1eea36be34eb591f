#pragma once
// The polling timer a reader driver owns. Its ticks arrive on the
// user-interface thread; a new xTimer is enabled but silent until its owner
// gives it an interval above 0.
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

private:
    void CTimer_Timer();

    std::function<void()> onTimer_;
    std::unique_ptr<platform::LoopTimer> timer_;
    int32_t interval_ = 0;
    bool enabled_ = false;
};

}  // namespace orvex
