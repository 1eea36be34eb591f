// The state words of both drivers' polling ticks, one stateChange per change,
// the card reset on coming online and the polling intervals.
#include "ReaderTestBase.h"

namespace orvex::test {
namespace {

class ReaderStates : public ReaderTestBase {
protected:
    void step(reader& driver, const std::string& word) {
        tick();
        EXPECT_EQ(driver.cardState(), word) << "tick " << ++ticks_;
    }
    int ticks_ = 0;
};

TEST_F(ReaderStates, SCMTickFollowsTheStateTable) {
    mcard->cardInserted = false;
    auto driver = started(makeSCM(), "Test Reader 0");
    step(*driver, "wait");  // started, no card: not logged
    mcard->cardInserted = true;
    step(*driver, "detect");
    const auto connect = mcard->callsOf("MCardConnect").at(0);
    EXPECT_EQ(connect.numbers[1], 1);   // connect mode
    EXPECT_EQ(connect.numbers[2], 15);  // card type
    step(*driver, "active");
    step(*driver, "active");
    mcard->script("MCardWaitForCardState", {.code = mc::MCARD_E_UNKNOWN_CARD, .value = 0});
    step(*driver, "wait");  // removed: closed, so the next card is connected anew
    mcard->script("MCardConnect", {.code = mc::MCARD_E_UNKNOWN_CARD});
    step(*driver, "failed");
    step(*driver, "detect");  // retried
    EXPECT_EQ(mcard->count("MCardConnect"), 3);
    mcard->script("MCardWaitForCardState", {.code = mc::MCARD_E_UNKNOWN_CARD, .value = 0});
    step(*driver, "wait");
    mcard->cardType = 3;
    const int disconnects = mcard->count("MCardDisconnect");
    step(*driver, "failed");  // wrong type: disconnected at once
    EXPECT_EQ(mcard->count("MCardDisconnect"), disconnects + 1);
    mcard->cardType = 15;
    step(*driver, "detect");
    mcard->readers = {"Other Reader"};
    step(*driver, "failed");  // reader gone: its context is shut
    EXPECT_EQ(mcard->count("MCardShutdown"), 1);
    EXPECT_EQ(logCount("readerSCM.isCardInserted: failed, MCARD_E_UNKNOWN_CARD (0xA0100805)"), 2);
    EXPECT_EQ(logCount("readerSCM.connectCard: failed, MCARD_E_UNKNOWN_CARD (0xA0100805)"), 1);
    EXPECT_EQ(logCount("readerSCM.connectCard: failed, wrong card type, MCARD_S_SUCCESS (0x0)"), 1);
    EXPECT_EQ(events, (Lines{"state:wait", "state:detect", "state:active", "state:wait", "state:failed",
                             "state:detect", "state:wait", "state:failed", "state:detect", "state:failed"}));
}

TEST_F(ReaderStates, SCMNotStartedIsDisconnectedAndAReaderPluggedInAgainIsOpenedOnTheNextTick) {
    auto idle = makeSCM();
    record(*idle);
    step(*idle, "disconnected");
    EXPECT_EQ(events, Lines{"state:disconnected"});
    idle.reset();
    mcard->script("MCardInitialize", {.code = 0});  // the driver check
    mcard->script("MCardInitialize", {.code = mc::MCARD_E_NOT_INITIALIZED});
    auto driver = makeSCM();
    EXPECT_TRUE(driver->Start("Test Reader 0"));
    EXPECT_TRUE(driver->isRunning());
    EXPECT_EQ(logCount("  FAILED: initialize (ret=" +
                       std::to_string(static_cast<int32_t>(mc::MCARD_E_NOT_INITIALIZED)) + ")"), 1);
    mcard->calls.clear();
    step(*driver, "detect");
    EXPECT_EQ(mcard->count("MCardInitialize"), 1);
}

TEST_F(ReaderStates, ChipdriveTickFollowsTheStateTableAndResetsOnlyWhenComingOnline) {
    auto driver = started(makeChipdrive());
    step(*driver, "active");  // from no word yet: no reset
    step(*driver, "active");
    scard->script("Device,Info,Status", {.code = 3});
    step(*driver, "failed");
    step(*driver, "active");  // failed -> active: reset
    EXPECT_EQ(scard->count("Card,reset"), 1);
    scard->deviceStatus = "error 17";
    step(*driver, "failed");
    scard->deviceStatus = "ok";
    scard->script("Device,Info,Status", {.code = -4});  // a code with an ordinary answer
    EXPECT_TRUE(driver->deviceConnected());
    scard->script("Device,Info,Status", {.output = "errorneous"});
    EXPECT_FALSE(driver->deviceConnected());
    scard->script("Card,Info,Status", {.code = 2});
    step(*driver, "failed");
    for (const std::string word : {"valid", "activelocked", "active", "invalid", "locked", "error", "no card",
                                   "wait", "active"}) {
        scard->cardStatus = word;
        step(*driver, word);
    }
    EXPECT_EQ(scard->count("Card,reset"), 2);  // failed -> valid; not activelocked or wait -> active
    scard->unavailable = true;  // the library lost while running
    step(*driver, "failed");
    EXPECT_EQ(events, (Lines{"state:active", "state:failed", "state:active", "state:failed", "state:valid",
                             "state:activelocked", "state:active", "state:invalid", "state:locked",
                             "state:error", "state:no card", "state:wait", "state:active", "state:failed"}));
    EXPECT_EQ(driver->readOffset(0, 4, false), "failed");
}

TEST_F(ReaderStates, ChipdriveNotStartedIsDisconnectedAndUnlocksOnlyOnEntering) {
    auto driver = makeChipdrive();
    scard->calls.clear();
    step(*driver, "disconnected");
    step(*driver, "disconnected");
    EXPECT_EQ(scard->commands(), (Lines{"Device,Info,Status", "Card,Unlock", "Device,Info,Status"}));
    EXPECT_EQ(driver->cardConnected(), "");
    driver->Start("");
    EXPECT_EQ(scard->count("Card,Reset"), 1);  // Start's, not the tick's "Card,reset"
    scard->cardStatus = "valid";
    step(*driver, "valid");  // disconnected -> valid: reset
    EXPECT_EQ(scard->count("Card,reset"), 1);
}

TEST_F(ReaderStates, ActiveLockedWhileAReadOrWriteRuns) {
    auto scm = started(makeSCM(), "Test Reader 0");
    tick(2);
    auto chipdrive = started(makeChipdrive());
    Lines seen;
    for (reader* r : std::initializer_list<reader*>{scm.get(), chipdrive.get()})
        r->EventSource().subscribe({nullptr, [&seen, r] { seen.push_back(r->cardConnected()); }, nullptr});
    scm->readOffset(0, 16, false);
    int32_t length = 4;
    chipdrive->writeOffset(0, length, "abcd", false);
    EXPECT_EQ(seen, (Lines{"activelocked", "activelocked"}));
    EXPECT_EQ(scm->cardConnected(), "active");
    EXPECT_EQ(chipdrive->cardConnected(), "active");
}

TEST_F(ReaderStates, PollingIntervalsFromTheSettingsOnlineOnlyWithAUsableCard) {
    const std::pair<const char*, int> rows[] = {{"250", 250},   {"1", 1},      {"32767", 32767},
                                                {"0", 500},     {"-20", 500},  {"32768", 500},
                                                {"70000", 500}, {"fast", 500}, {"", 500}};
    for (const auto& [setting, expected] : rows) {  // out of range or not a number: 500
        setInterval("omsc.idleTimerInterval", setting);
        const std::string line = " idleTimerInterval=" + std::to_string(expected) + ", onlineTimerInterval=500";
        const int before = logCount(line);
        EXPECT_EQ(makeChipdrive()->pollingInterval(), expected) << '"' << setting << '"';
        EXPECT_EQ(logCount(line), before + 1) << '"' << setting << '"';
    }
    setInterval("omsc.idleTimerInterval", "300");
    setInterval("omsc.onlineTimerInterval", "100");
    auto driver = started(makeChipdrive());
    EXPECT_EQ(driver->pollingInterval(), 300);
    loop.advance(milliseconds(300));
    EXPECT_EQ(driver->pollingInterval(), 100);
    scard->cardStatus = "locked";
    loop.advance(milliseconds(100));
    EXPECT_EQ(driver->pollingInterval(), 300);
}

}  // namespace
}  // namespace orvex::test
