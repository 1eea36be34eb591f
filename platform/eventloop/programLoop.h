#pragma once
// The event loop a program without a window runs on, on this system: the
// monotonic clock on POSIX systems, the thread's message queue on Windows.
// Make it first thing in main(); a thread of the program that runs readers
// of its own makes its own loop on that thread.
#include <memory>

#include "platform/eventloop/EventLoop.h"

namespace orvex::platform {

std::unique_ptr<EventLoop> makeProgramLoop(int& argc, char** argv);
// The loop of a further thread of the program, made and used on that thread
// only (after makeProgramLoop on the main thread).
std::unique_ptr<EventLoop> makeThreadLoop();

}  // namespace orvex::platform
