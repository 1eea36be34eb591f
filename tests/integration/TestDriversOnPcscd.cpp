// Both reader drivers on a real pcscd with the card emulator. The drivers' loop
// runs on a virtual clock, so the test waits for pcscd to see a card first.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

#include "PcscdTest.h"
#include "platform/eventloop/VirtualEventLoop.h"
#include "platform/mcard/MCardApi.h"
#include "platform/pcsc/PcscBackend.h"
#include "platform/scard32/SCard32Api.h"
#include "readers/readerChipdrive.h"
#include "readers/readerSCM.h"

namespace orvex::test {
namespace {

class DriverOnPcscd : public PcscdTest, public ::testing::WithParamInterface<bool> {};  // true: SCM

// Without a card the driver waits and takes one on insertion (the SCM driver
// shows "detect" on the query that connects it). A card another client holds
// in a transaction: taking it gives up after the bounded wait on the loop's
// clock instead of waiting inside the client library, keeps the connection,
// and succeeds once the card is free; the whole card then written and read
// back. After a pull the driver waits again, and a write that a pull breaks
// off returns 0. The deadline only guards against hanging.
TEST_P(DriverOnPcscd, TakesHoldsWritesAndLosesTheCard) {
    const bool scm = GetParam();
    platform::VirtualEventLoop loop;
    startCard();
    ASSERT_TRUE(pullCard());
    std::unique_ptr<reader> driver;
    if (scm) driver = std::make_unique<readerSCM>(platform::makeMCardApi(), loop);
    else driver = std::make_unique<readerChipdrive>(platform::makeSCard32Api(), loop);
    ASSERT_TRUE(driver->Start(readerName()));
    EXPECT_TRUE(driver->deviceConnected());
    EXPECT_EQ(driver->cardConnected(), "wait");
    ASSERT_TRUE(insertCard());
    EXPECT_TRUE(!scm || driver->cardConnected() == "detect");
    EXPECT_EQ(driver->cardConnected(), "active");

    platform::PcscBackend other;
    ASSERT_TRUE(other.beginExclusive(readerName()).ok());
    auto attempt = std::async(std::launch::async, [&] { return driver->beginExclusive().held(); });
    const bool returned = attempt.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    other.endExclusive(readerName());  // also lets a waiting call return
    ASSERT_TRUE(returned) << "taking the card waited for the other program";
    EXPECT_FALSE(attempt.get());
    EXPECT_TRUE(driver->cardHeldElsewhere());
    const std::string pattern = cardPattern(scm ? 5 : 6);
    int32_t length = static_cast<int32_t>(pattern.size());
    {
        const ExclusiveCard hold = driver->beginExclusive();
        ASSERT_TRUE(hold.held());
        EXPECT_EQ(driver->writeOffset(0, length, pattern, false), length);
    }
    EXPECT_TRUE(readFileBytes(imagePath_) == pattern) << "the emulated card holds other bytes";
    EXPECT_TRUE(driver->readOffset(0, length, false) == pattern) << "card content differs from what was written";
    ASSERT_TRUE(pullCard());
    EXPECT_EQ(driver->cardConnected(), "wait");

    emulator_.stop();
    startCard(3);
    EXPECT_TRUE(!scm || driver->cardConnected() == "detect");
    EXPECT_EQ(driver->cardConnected(), "active");
    length = 1300;
    EXPECT_EQ(driver->writeOffset(0, length, cardPattern(7).substr(0, 1300), false), 0);
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverOnPcscd, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "SCM" : "Chipdrive"; });

}  // namespace
}  // namespace orvex::test
