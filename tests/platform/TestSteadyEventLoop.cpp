// The command line's own loop keeps the promises every real loop keeps.
#include "platform/eventloop/SteadyEventLoop.h"
#include "tests/support/EventLoopContract.h"

namespace orvex::platform {

INSTANTIATE_TYPED_TEST_SUITE_P(Steady, EventLoopContract, SteadyEventLoop);

}  // namespace orvex::platform
