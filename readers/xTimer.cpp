#include "readers/xTimer.h"

#include <utility>

namespace orvex {

xTimer::xTimer(platform::EventLoop& loop, std::function<void()> onTimer)
    : onTimer_(std::move(onTimer)), timer_(loop.createTimer([this] { CTimer_Timer(); })) {
    setInterval(0);
    setEnabled(true);
}

void xTimer::setInterval(int32_t milliseconds) {
    interval_ = milliseconds;
    timer_->setInterval(milliseconds);
}

void xTimer::setEnabled(bool enabled) {
    enabled_ = enabled;
    timer_->setEnabled(enabled);
}

// A tick that was already on its way when the timer was switched off is
// dropped here.
void xTimer::CTimer_Timer() {
    if (enabled_ && interval_ > 0 && onTimer_) onTimer_();
}

}  // namespace orvex
