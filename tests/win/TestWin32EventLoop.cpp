// The Windows event loop: the contract of every real loop, and what the
// message queue adds: an exception from a tick comes out of the wait (it must
// not cross DispatchMessage).
#include <stdexcept>

#include "platform/win/Win32EventLoop.h"
#include "tests/support/EventLoopContract.h"

namespace orvex::platform {

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, EventLoopContract, Win32EventLoop);

namespace {

using std::chrono::milliseconds;

TEST(Win32EventLoop, ExceptionFromATickLeavesTheWaitAndTheTimerTicksOn) {
    Win32EventLoop loop;
    int ticks = 0;
    auto timer = loop.createTimer([&] {
        if (++ticks == 1) throw std::runtime_error("tick failed");
    });
    timer->setInterval(1);
    timer->setEnabled(true);
    EXPECT_THROW(loop.waitUntil(loop.now() + milliseconds(2000)), std::runtime_error);
    while (ticks < 3) loop.waitUntil(loop.now() + milliseconds(5));
}

}  // namespace
}  // namespace orvex::platform
