#pragma once
// A repeating timer whose ticks arrive on the user-interface thread. A tick is
// never delivered while the previous tick of the same timer is still running
// (one that falls due meanwhile is dropped), and never after the timer was
// disabled or destroyed.
#include <cstdint>

namespace orvex::platform {

class LoopTimer {
public:
    virtual ~LoopTimer() = default;
    // Restarts the period; 0 or less means no ticks.
    virtual void setInterval(int32_t milliseconds) = 0;
    virtual void setEnabled(bool enabled) = 0;
    // One tick as soon as the loop runs again, then ticks every period (at
    // least 1 ms) while enabled. A loop that cannot run a timer "now" waits
    // its shortest period, 1 ms.
    virtual void tickSoon() {
        setInterval(1);
        setEnabled(true);
    }
};

}  // namespace orvex::platform
