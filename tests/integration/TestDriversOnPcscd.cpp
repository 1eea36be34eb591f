// Both reader drivers on a real pcscd with the card emulator. The drivers' loop
// runs on a virtual clock, so the tests wait for pcscd to see a card first.
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
#include "support/TestEnvironment.h"

namespace orvex::test {
namespace {

enum class Driver { SCM, Chipdrive };

class DriverOnPcscdTest : public PcscdTest, public ::testing::WithParamInterface<Driver> {
protected:
    std::unique_ptr<reader> startDriver() {
        std::unique_ptr<reader> driver;
        if (GetParam() == Driver::SCM) driver = std::make_unique<readerSCM>(platform::makeMCardApi(), loop);
        else driver = std::make_unique<readerChipdrive>(platform::makeSCard32Api(), loop);
        EXPECT_TRUE(driver->Start(readerName()));
        return driver;
    }
    // The SCM driver shows "detect" on the query that connects the card; the
    // text-command library reports the card as it is, so "active" at once.
    void expectCardTaken(reader& driver) {
        EXPECT_TRUE(GetParam() != Driver::SCM || driver.cardConnected() == "detect");
        EXPECT_EQ(driver.cardConnected(), "active");
    }

    platform::VirtualEventLoop loop;
};

TEST_P(DriverOnPcscdTest, WaitsWithoutACardTakesOneOnInsertionAndWaitsAgainAfterThePull) {
    startCard();
    ASSERT_TRUE(pullCard());
    auto driver = startDriver();
    EXPECT_TRUE(driver->deviceConnected());
    EXPECT_EQ(driver->cardConnected(), "wait");
    ASSERT_TRUE(insertCard());
    expectCardTaken(*driver);
    ASSERT_TRUE(pullCard());
    EXPECT_EQ(driver->cardConnected(), "wait");
}

TEST_P(DriverOnPcscdTest, WritesAndReadsBackAWholeCard) {
    startCard();
    auto driver = startDriver();
    expectCardTaken(*driver);
    const std::string pattern = cardPattern(GetParam() == Driver::SCM ? 5 : 6);
    int32_t length = static_cast<int32_t>(pattern.size());
    EXPECT_EQ(driver->writeOffset(0, length, pattern, false), length);
    EXPECT_TRUE(readFileBytes(imagePath_) == pattern) << "the emulated card holds other bytes";
    EXPECT_TRUE(driver->readOffset(0, length, false) == pattern) << "card content differs from what was written";
}

TEST_P(DriverOnPcscdTest, AWriteBrokenOffByAPullReturnsZero) {
    startCard(3);
    auto driver = startDriver();
    expectCardTaken(*driver);
    const std::string data = cardPattern(7).substr(0, 1300);
    int32_t length = static_cast<int32_t>(data.size());
    EXPECT_EQ(driver->writeOffset(0, length, data, false), 0);
}

// Another client of the service holds the card in a transaction: taking the
// card gives up after the bounded wait on the loop's clock instead of waiting
// inside the client library, keeps the connection, and succeeds once the card
// is free. The deadline only guards against hanging.
TEST_P(DriverOnPcscdTest, GivesUpOnACardAnotherProgramHoldsAndTakesItOnceFree) {
    startCard();
    auto driver = startDriver();
    expectCardTaken(*driver);
    platform::PcscBackend other;
    ASSERT_TRUE(other.beginExclusive(readerName()).ok());
    auto attempt = std::async(std::launch::async, [&] { return driver->beginExclusive().held(); });
    const bool returned = attempt.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    other.endExclusive(readerName());  // also lets a waiting call return
    ASSERT_TRUE(returned) << "taking the card waited for the other program";
    EXPECT_FALSE(attempt.get());
    EXPECT_TRUE(driver->cardHeldElsewhere());
    const ExclusiveCard hold = driver->beginExclusive();
    ASSERT_TRUE(hold.held());
    const std::string data = cardPattern(8).substr(0, 100);
    int32_t length = static_cast<int32_t>(data.size());
    EXPECT_EQ(driver->writeOffset(0, length, data, false), length);
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverOnPcscdTest, ::testing::Values(Driver::SCM, Driver::Chipdrive),
                         [](const auto& info) { return info.param == Driver::SCM ? "SCM" : "Chipdrive"; });

}  // namespace
}  // namespace orvex::test
