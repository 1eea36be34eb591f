#include "platform/eventloop/programLoop.h"
#include "platform/win/Win32EventLoop.h"

namespace orvex::platform {

std::unique_ptr<EventLoop> makeProgramLoop(int&, char**) { return std::make_unique<Win32EventLoop>(); }

// Each thread has its own message queue.
std::unique_ptr<EventLoop> makeThreadLoop() { return std::make_unique<Win32EventLoop>(); }

}  // namespace orvex::platform
