// The command line's own loop keeps the promises every real loop keeps.
#include "platform/eventloop/SteadyEventLoop.h"
#include "tests/support/EventLoopContract.h"

namespace orvex::platform {

INSTANTIATE_TYPED_TEST_SUITE_P(Steady, EventLoopContract, SteadyEventLoop);

// A tick asked for soon runs at the loop's next turn, without a sleep of a
// period first, and only once.
TEST(SteadyEventLoop, ATickAskedForSoonRunsAtTheNextTurn) {
    SteadyEventLoop loop;
    int ticks = 0;
    std::unique_ptr<LoopTimer> timer;
    timer = loop.createTimer([&] {
        ++ticks;
        timer->setEnabled(false);
    });
    timer->tickSoon();
    loop.processEvents();
    EXPECT_EQ(ticks, 1);
    loop.processEvents();
    EXPECT_EQ(ticks, 1);
}

}  // namespace orvex::platform
