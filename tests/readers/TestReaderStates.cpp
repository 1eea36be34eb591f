// The state words of both drivers' polling ticks, one stateChange per change,
// the card reset on coming online, the polling intervals.
#include "ReaderTestBase.h"

namespace orvex::test {
namespace {

class ReaderStates : public ReaderTestBase {
protected:
    void step(reader& driver, const std::string& word) {
        tick();
        EXPECT_EQ(driver.cardState(), word) << "tick " << ++ticks_;
    }
    void pullSCMCard() { mcard->script("MCardWaitForCardState", {.code = mc::MCARD_E_UNKNOWN_CARD, .value = 0}); }
    int ticks_ = 0;
};

TEST_F(ReaderStates, SCMTickFollowsTheStateTable) {
    step(*makeSCM(), "disconnected");  // not started
    mcard->script("MCardInitialize", {.code = 0});  // the driver check
    mcard->script("MCardInitialize", {.code = mc::MCARD_E_NOT_INITIALIZED});  // Start: the tick opens it
    mcard->cardInserted = false;
    auto driver = started(Driver::SCM);
    step(*driver, "wait");
    EXPECT_EQ(mcard->count("MCardInitialize"), 1);
    mcard->cardInserted = true;
    step(*driver, "detect");
    EXPECT_EQ(mcard->callsOf("MCardConnect").at(0).numbers, (std::vector<int64_t>{7, 1, 15, 0}));
    step(*driver, "active");
    pullSCMCard();
    step(*driver, "wait");  // removed: closed, so the next card is connected anew
    mcard->script("MCardConnect", {.code = mc::MCARD_E_UNKNOWN_CARD});
    step(*driver, "failed");
    step(*driver, "detect");  // retried
    pullSCMCard();
    step(*driver, "wait");
    mcard->cardType = 3;
    step(*driver, "failed");  // wrong type: disconnected at once
    EXPECT_EQ(mcard->count("MCardDisconnect"), 3);
    mcard->cardType = 15;
    step(*driver, "detect");
    mcard->readers = {"Other Reader"};
    step(*driver, "failed");  // reader gone: its context is shut
    EXPECT_EQ(mcard->count("MCardShutdown"), 1);
}

TEST_F(ReaderStates, ChipdriveTickFollowsTheStateTableAndResetsOnlyWhenComingOnline) {
    auto driver = makeChipdrive();
    record(*driver);
    scard->calls.clear();
    step(*driver, "disconnected");  // not started: unlocked once, on entering
    step(*driver, "disconnected");
    EXPECT_EQ(scard->commands(), (Lines{"Device,Info,Status", "Card,Unlock", "Device,Info,Status"}));
    EXPECT_EQ(driver->cardConnected(), "");
    driver->Start("");
    step(*driver, "active");  // disconnected -> active: reset
    EXPECT_EQ(scard->commands("Card,R"), (Lines{"Card,Reset"}));  // Start's; the tick's is "Card,reset"
    scard->script("Device,Info,Status", {.code = 3});
    step(*driver, "failed");
    step(*driver, "active");  // failed -> active: reset
    EXPECT_EQ(scard->count("Card,reset"), 2);
    scard->deviceStatus = "error 17";
    step(*driver, "failed");
    scard->deviceStatus = "ok";
    scard->script("Device,Info,Status", {.code = -4});  // a code with an ordinary answer
    EXPECT_TRUE(driver->deviceConnected());
    scard->script("Card,Info,Status", {.code = 2});
    step(*driver, "failed");
    for (const std::string word : {"valid", "activelocked", "active", "invalid", "wait", "active"}) {
        scard->cardStatus = word;
        step(*driver, word);
    }
    EXPECT_EQ(scard->count("Card,reset"), 3);  // failed -> valid; not activelocked or wait -> active
    scard->unavailable = true;  // the library lost while running
    step(*driver, "failed");
    EXPECT_EQ(events, (Lines{"state:disconnected", "state:active", "state:failed", "state:active", "state:failed", "state:valid",
                             "state:activelocked", "state:active", "state:invalid", "state:wait", "state:active",
                             "state:failed"}));
}

TEST_F(ReaderStates, PollingIntervalsFromTheSettings) {
    const std::pair<const char*, int> rows[] = {{"250", 250}, {"1", 1},       {"32767", 32767}, {"0", 500},
                                                {"-20", 500}, {"32768", 500}, {"fast", 500},    {"", 500}};
    for (const auto& [setting, expected] : rows) {  // out of range or not a number: 500
        setInterval("omsc.idleTimerInterval", setting);
        EXPECT_EQ(makeChipdrive()->pollingInterval(), expected) << '"' << setting << '"';
    }
}

}  // namespace
}  // namespace orvex::test
