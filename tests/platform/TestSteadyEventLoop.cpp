// The command line's own loop keeps the promises every real loop keeps.
#include <thread>

#include "platform/eventloop/SteadyEventLoop.h"
#include "tests/support/EventLoopContract.h"

namespace orvex::platform {

using std::chrono::milliseconds;

INSTANTIATE_TYPED_TEST_SUITE_P(Steady, EventLoopContract, SteadyEventLoop);

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

// A handler that overran fifteen periods is followed by one tick, not fifteen.
TEST(SteadyEventLoop, TicksMissedDuringALongHandlerAreDropped) {
    SteadyEventLoop loop;
    int ticks = 0;
    auto timer = loop.createTimer([&] {
        if (++ticks == 1) std::this_thread::sleep_for(milliseconds(600));
    });
    timer->setInterval(40);
    timer->setEnabled(true);
    while (ticks == 0) loop.waitUntil(loop.now() + milliseconds(5));
    loop.waitUntil(loop.now() + milliseconds(10));
    EXPECT_LE(ticks, 4);
}

}  // namespace orvex::platform
