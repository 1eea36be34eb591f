#include "readers/modWait.h"

#include <cmath>

namespace orvex {
namespace {

// Longer than any pause the readers ask for, short enough to never overflow.
constexpr double kLongestWaitSeconds = 24.0 * 3600.0;

}  // namespace

void waitSeconds(platform::EventLoop& loop, double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0.0) return;
    if (seconds > kLongestWaitSeconds) seconds = kLongestWaitSeconds;
    const auto milliseconds = std::llround(seconds * 1000.0);
    loop.waitUntil(loop.now() + platform::LoopTime(milliseconds));
}

}  // namespace orvex
