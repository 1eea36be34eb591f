#pragma once
// Pauses the caller while the user interface stays alive.
#include "platform/eventloop/EventLoop.h"

namespace orvex {

// Returns once seconds have passed on the loop's clock, letting pending events
// run meanwhile. Each call waits for its own time; a wait nested in a handler
// ends the outer one too once the outer's time has passed. Negative or
// non-finite times do not wait.
void waitSeconds(platform::EventLoop& loop, double seconds);

}  // namespace orvex
