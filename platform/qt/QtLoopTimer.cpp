#include "platform/qt/QtLoopTimer.h"

#include <utility>

namespace orvex::platform {

QtLoopTimer::QtLoopTimer(std::function<void()> onTick) : onTick_(std::move(onTick)) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
}

void QtLoopTimer::setInterval(int32_t milliseconds) {
    interval_ = milliseconds;
    apply();
}

void QtLoopTimer::setEnabled(bool enabled) {
    enabled_ = enabled;
    apply();
}

// QTimer treats 0 as "as often as possible"; here it means no ticks.
void QtLoopTimer::apply() {
    if (enabled_ && interval_ > 0) {
        timer_.start(interval_);
    } else {
        timer_.stop();
    }
}

void QtLoopTimer::tick() {
    if (enabled_ && interval_ > 0 && onTick_) onTick_();
}

}  // namespace orvex::platform
