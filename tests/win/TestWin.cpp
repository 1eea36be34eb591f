// The Windows platform layer on the real system calls (under Wine in CI): the contract of every
// real event loop, and what the message queue adds (an exception from a tick comes out of the
// wait: it must not cross DispatchMessage); the environment as UTF-16 reaching the program whole.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>

#include "platform/process/ProgramProcess.h"
#include "platform/win/WidePath.h"
#include "platform/win/Win32EventLoop.h"
#include "tests/support/EventLoopContract.h"

namespace orvex::platform {

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, EventLoopContract, Win32EventLoop);

namespace {

using std::chrono::milliseconds;
using Win32EventLoopTest = EventLoopContract<Win32EventLoop>;

TEST_F(Win32EventLoopTest, ExceptionFromATickLeavesTheWaitAndTheTimerTicksOn) {
    auto timer = loop.createTimer([&] {
        if (++ticks == 1) throw std::runtime_error("tick failed");
    });
    timer->setInterval(1);
    timer->setEnabled(true);
    EXPECT_THROW(loop.waitUntil(loop.now() + milliseconds(2000)), std::runtime_error);
    while (ticks < 3) waitMs(5);
}

// A folder named in any script, and a value longer than the first buffer; the empty value: the
// variable is not set.
TEST(EnvironmentVariable, ValuesOutsideTheAnsiCodePageArriveAsUtf8) {
    const std::string folder = "C:\\Users\\J\xC3\xBCrgen \xE5\xB1\xB1\xE7\x94\xB0\\sim";
    for (const std::string& value : {folder, folder + std::string(300, 'x'), std::string()}) {
        SCOPED_TRACE(value.size());
        const std::wstring wide = win::widen(value);
        ASSERT_TRUE(SetEnvironmentVariableW(L"ORVEXCARD_TEST_VALUE", value.empty() ? nullptr : wide.c_str()));
        EXPECT_EQ(environmentVariable("ORVEXCARD_TEST_VALUE"), value);
    }
}

}  // namespace
}  // namespace orvex::platform
