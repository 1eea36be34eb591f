#include "platform/eventloop/SteadyEventLoop.h"
#include "platform/eventloop/programLoop.h"

namespace orvex::platform {

std::unique_ptr<EventLoop> makeProgramLoop(int&, char**) { return std::make_unique<SteadyEventLoop>(); }

std::unique_ptr<EventLoop> makeThreadLoop() { return std::make_unique<SteadyEventLoop>(); }

}  // namespace orvex::platform
