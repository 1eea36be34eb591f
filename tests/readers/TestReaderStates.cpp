// The state words of both drivers' polling ticks, one stateChange per change,
// the card reset on coming online and the polling intervals.
#include <gtest/gtest.h>

#include "ReaderTestBase.h"

namespace orvex::test {
namespace {

namespace mc = platform::mcard;

class SCMStates : public ReaderTestBase {
protected:
    std::unique_ptr<readerSCM> startedDriver() {
        auto driver = makeSCM();
        recorder.attach(*driver);
        EXPECT_TRUE(driver->Start("Test Reader 0"));
        return driver;
    }
    void tick() { loop.advance(milliseconds(500)); }
};

TEST_F(SCMStates, ReaderMissingFromTheListIsFailedAndShutsTheContext) {
    auto driver = startedDriver();
    mcard->readers = {"Other Reader"};
    tick();
    EXPECT_EQ(driver->cardState(), "failed");
    EXPECT_EQ(mcard->count("MCardShutdown"), 2);  // the driver check's and this one
}

TEST_F(SCMStates, ListedButNotStartedIsDisconnected) {
    auto driver = makeSCM();
    recorder.attach(*driver);
    tick();
    EXPECT_EQ(driver->cardState(), "disconnected");
    EXPECT_EQ(recorder.events, std::vector<std::string>{"state:disconnected"});
}

TEST_F(SCMStates, StartedWithoutCardWaits) {
    mcard->cardInserted = false;
    auto driver = startedDriver();
    tick();
    EXPECT_EQ(driver->cardState(), "wait");
    EXPECT_EQ(logCount("readerSCM.isCardInserted: failed, MCARD_E_UNKNOWN_CARD (0xA0100805)"), 0);
}

TEST_F(SCMStates, InsertedCardIsDetectedThenActive) {
    auto driver = startedDriver();
    tick();
    EXPECT_EQ(driver->cardState(), "detect");
    tick();
    EXPECT_EQ(driver->cardState(), "active");
    tick();
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"state:detect", "state:active"}));
    const auto connect = mcard->callsOf("MCardConnect").at(0);
    EXPECT_EQ(connect.numbers[1], 1);   // connect mode
    EXPECT_EQ(connect.numbers[2], 15);  // card type
}

TEST_F(SCMStates, CardThatCannotBeConnectedIsFailedAndRetried) {
    auto driver = startedDriver();
    mcard->script("MCardConnect", MAnswer::returning(mc::MCARD_E_UNKNOWN_CARD));
    tick();
    EXPECT_EQ(driver->cardState(), "failed");
    EXPECT_EQ(logCount("readerSCM.connectCard: failed, MCARD_E_UNKNOWN_CARD (0xA0100805)"), 1);
    tick();
    EXPECT_EQ(driver->cardState(), "detect");
}

TEST_F(SCMStates, WrongCardTypeIsDisconnectedAtOnce) {
    auto driver = startedDriver();
    mcard->cardType = 3;
    tick();
    EXPECT_EQ(driver->cardState(), "failed");
    EXPECT_EQ(logCount("readerSCM.connectCard: failed, wrong card type, MCARD_S_SUCCESS (0x0)"), 1);
    EXPECT_EQ(mcard->count("MCardDisconnect"), 1);
}

TEST_F(SCMStates, RemovedCardIsClosedSoTheNextOneIsConnectedAnew) {
    auto driver = startedDriver();
    tick();
    tick();
    mcard->script("MCardWaitForCardState", MAnswer::returning(mc::MCARD_E_UNKNOWN_CARD).withValue(0));
    tick();
    EXPECT_EQ(driver->cardState(), "wait");
    EXPECT_EQ(logCount("readerSCM.isCardInserted: failed, MCARD_E_UNKNOWN_CARD (0xA0100805)"), 1);
    tick();
    EXPECT_EQ(driver->cardState(), "detect");
    EXPECT_EQ(mcard->count("MCardConnect"), 2);
}

TEST_F(SCMStates, CardInUseByAReadIsActiveLocked) {
    auto driver = startedDriver();
    tick();
    tick();
    std::string seen;
    driver->EventSource().subscribe(onMaxChange([&] { seen = driver->cardConnected(); }));
    driver->readOffset(0, 16, false);
    EXPECT_EQ(seen, "activelocked");
    EXPECT_EQ(driver->cardConnected(), "active");
}

TEST_F(SCMStates, ReaderPluggedInAgainIsOpenedOnTheNextTick) {
    mcard->script("MCardInitialize", MAnswer::returning(0));  // the driver check
    mcard->script("MCardInitialize", MAnswer::returning(mc::MCARD_E_NOT_INITIALIZED));
    auto driver = startedDriver();
    EXPECT_TRUE(driver->isRunning());
    EXPECT_EQ(logCount("  FAILED: initialize (ret=" +
                       std::to_string(static_cast<int32_t>(mc::MCARD_E_NOT_INITIALIZED)) + ")"),
              1);
    tick();
    EXPECT_EQ(mcard->count("MCardInitialize"), 3);
    EXPECT_EQ(driver->cardState(), "detect");
}

class ChipdriveStates : public ReaderTestBase {
protected:
    std::unique_ptr<readerChipdrive> startedDriver() {
        auto driver = makeChipdrive();
        recorder.attach(*driver);
        EXPECT_TRUE(driver->Start(""));
        return driver;
    }
    void tick() { loop.advance(milliseconds(500)); }
};

TEST_F(ChipdriveStates, DeviceStatusFailureOrErrorAnswerIsFailed) {
    auto driver = startedDriver();
    scard->script("Device,Info,Status", SAnswer::returning(3));
    tick();
    EXPECT_EQ(driver->cardState(), "failed");
    tick();
    EXPECT_EQ(driver->cardState(), "active");
    scard->deviceStatus = "error 17";
    tick();
    EXPECT_EQ(driver->cardState(), "failed");
}

TEST_F(ChipdriveStates, NegativeDeviceCodeWithOrdinaryAnswerCountsAsConnected) {
    auto driver = startedDriver();
    scard->script("Device,Info,Status", SAnswer::returning(-4));
    EXPECT_TRUE(driver->deviceConnected());
    scard->script("Device,Info,Status", SAnswer::returning(0).withOutput("errorneous"));
    EXPECT_FALSE(driver->deviceConnected());
}

TEST_F(ChipdriveStates, NotStartedIsDisconnectedAndUnlocksOnlyOnEntering) {
    auto driver = makeChipdrive();
    recorder.attach(*driver);
    scard->clearCalls();
    tick();
    tick();
    EXPECT_EQ(driver->cardState(), "disconnected");
    EXPECT_EQ(scard->commands(), (std::vector<std::string>{"Device,Info,Status", "Card,Unlock",
                                                           "Device,Info,Status"}));
    EXPECT_EQ(driver->cardConnected(), "");
}

TEST_F(ChipdriveStates, CardStatusFailureIsFailed) {
    auto driver = startedDriver();
    scard->script("Card,Info,Status", SAnswer::returning(2));
    tick();
    EXPECT_EQ(driver->cardState(), "failed");
}

TEST_F(ChipdriveStates, ActiveAnswerBecomesActiveLockedDuringAWrite) {
    auto driver = startedDriver();
    std::string seen;
    driver->EventSource().subscribe(onMaxChange([&] { seen = driver->cardConnected(); }));
    int32_t length = 4;
    driver->writeOffset(0, length, "abcd", false);
    EXPECT_EQ(seen, "activelocked");
    EXPECT_EQ(driver->cardConnected(), "active");
}

TEST_F(ChipdriveStates, OtherAnswersPassThroughTrimmed) {
    auto driver = startedDriver();
    for (const std::string word : {"valid", "invalid", "locked", "error", "no card"}) {
        scard->cardStatus = word;
        tick();
        EXPECT_EQ(driver->cardState(), word);
    }
}

TEST_F(ChipdriveStates, RepeatedWordRaisesNoSecondStateChange) {
    auto driver = startedDriver();
    tick();
    tick();
    tick();
    EXPECT_EQ(recorder.events, std::vector<std::string>{"state:active"});
}

TEST_F(ChipdriveStates, CardIsResetOnlyWhenComingOnlineFromFailedOrDisconnected) {
    auto driver = makeChipdrive();
    tick();  // disconnected
    driver->Start("");
    scard->cardStatus = "valid";
    tick();  // disconnected -> valid: reset
    EXPECT_EQ(scard->count("Card,reset"), 1);
    scard->cardStatus = "wait";
    tick();
    scard->cardStatus = "active";
    tick();  // wait -> active: no reset
    EXPECT_EQ(scard->count("Card,reset"), 1);
    scard->script("Card,Info,Status", SAnswer::returning(9));
    tick();  // failed
    tick();  // failed -> active: reset
    EXPECT_EQ(scard->count("Card,reset"), 2);
    EXPECT_EQ(scard->count("Card,Reset"), 1);  // Start's, a different command
}

TEST_F(ChipdriveStates, ActiveLockedAndBackRaisesTwoChanges) {
    auto driver = startedDriver();
    tick();
    scard->cardStatus = "activelocked";
    tick();
    scard->cardStatus = "active";
    tick();
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"state:active", "state:activelocked",
                                                         "state:active"}));
    EXPECT_EQ(scard->count("Card,reset"), 0);
}

TEST_F(ChipdriveStates, PollingUsesTheOnlineIntervalOnlyWithAUsableCard) {
    setInterval("omsc.idleTimerInterval", "300");
    setInterval("omsc.onlineTimerInterval", "100");
    auto driver = startedDriver();
    EXPECT_EQ(driver->pollingInterval(), 300);
    loop.advance(milliseconds(300));
    EXPECT_EQ(driver->pollingInterval(), 100);
    scard->cardStatus = "locked";
    loop.advance(milliseconds(100));
    EXPECT_EQ(driver->pollingInterval(), 300);
}

class IntervalSettings : public ReaderTestBase, public ::testing::WithParamInterface<std::pair<const char*, int>> {};

TEST_P(IntervalSettings, OutOfRangeOrNonNumericFallsBackTo500) {
    setInterval("omsc.idleTimerInterval", GetParam().first);
    auto driver = makeChipdrive();
    EXPECT_EQ(driver->pollingInterval(), GetParam().second);
    EXPECT_EQ(logCount(" idleTimerInterval=" + std::to_string(GetParam().second) +
                       ", onlineTimerInterval=500"),
              1);
}

INSTANTIATE_TEST_SUITE_P(Values, IntervalSettings,
                         ::testing::Values(std::pair{"250", 250}, std::pair{"1", 1},
                                           std::pair{"32767", 32767}, std::pair{"0", 500},
                                           std::pair{"-20", 500}, std::pair{"32768", 500},
                                           std::pair{"70000", 500}, std::pair{"fast", 500},
                                           std::pair{"", 500}));

}  // namespace
}  // namespace orvex::test
