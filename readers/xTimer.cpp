#include "readers/xTimer.h"

#include <utility>

namespace orvex {

xTimer::xTimer(platform::EventLoop& loop, std::function<void()> onTimer)
    : onTimer_(std::move(onTimer)),
      timer_(loop.createTimer([this] { CTimer_Timer(); })),
      soon_(loop.createTimer([this] { soonTimer(); })) {
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

void xTimer::tickSoon() { soon_->tickSoon(); }

// A tick that was already on its way when the timer was switched off is
// dropped here, and so is one that would run inside another.
void xTimer::CTimer_Timer() {
    if (!enabled_ || interval_ <= 0 || !onTimer_ || ticking_) return;
    // The owner may release the timer from inside its handler.
    const std::weak_ptr<const int> alive = life_;
    const std::function<void()> onTimer = onTimer_;
    ticking_ = true;
    onTimer();
    if (!alive.expired()) ticking_ = false;
}

// The extra tick waits while a tick runs, then comes once.
void xTimer::soonTimer() {
    if (ticking_) return;
    soon_->setEnabled(false);
    CTimer_Timer();
}

}  // namespace orvex
