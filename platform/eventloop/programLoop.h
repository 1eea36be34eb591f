#pragma once
// The event loop a program runs on, on this system: Qt's on Linux, the
// thread's message queue on Windows. Make it first thing in main(): argc and
// argv are main's own (Qt takes its options from them).
#include <memory>

#include "platform/eventloop/EventLoop.h"

namespace orvex::platform {

std::unique_ptr<EventLoop> makeProgramLoop(int& argc, char** argv);
// The loop of a further thread of the program, made and used on that thread
// only (after makeProgramLoop on the main thread).
std::unique_ptr<EventLoop> makeThreadLoop();

}  // namespace orvex::platform
