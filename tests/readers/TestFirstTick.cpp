// Start and restart take the card's state at once, not after a polling
// interval, with the same stateChange events a tick brings; the ticks at once
// stay few whatever the reader answers.
#include "ReaderTestBase.h"

namespace orvex::test {
namespace {

using namespace std::chrono_literals;

class FirstTick : public ReaderTestBase {
protected:
    // Far less than any polling interval (500 ms here).
    void moment() { loop.advance(5ms); }
};

TEST_F(FirstTick, StartAndRestartSetTheWordWithoutWaitingForAnInterval) {
    struct Row { Driver driver; bool card; Lines atStart; };
    const Row rows[] = {{Driver::SCM, true, {"state:detect", "state:active"}},
                        {Driver::SCM, false, {"state:wait"}},
                        {Driver::Chipdrive, true, {"state:active"}},
                        {Driver::Chipdrive, false, {"state:wait"}}};
    for (const Row& row : rows) {
        const std::string name = (row.driver == Driver::SCM ? "SCM " : "Chipdrive ") + std::to_string(row.card);
        mcard->cardInserted = row.card;
        scard->cardStatus = row.card ? "active" : "wait";
        events.clear();
        auto driver = started(row.driver);
        moment();
        EXPECT_EQ(events, row.atStart) << name;
        EXPECT_EQ(driver->cardState(), row.card ? "active" : "wait") << name;
        if (!row.card) continue;
        events.clear();
        driver->restart();
        moment();
        EXPECT_EQ(events, (Lines{"state:detect", "state:active"})) << name;
        EXPECT_EQ(driver->pollingInterval(), 500) << name;
    }
}

// A batch waits for the next card with the driver running: a card put in at
// any moment is "active" within one polling interval, although the SCM driver
// passes through "detect" on its way; the window keeps "detect" for a tick.
TEST_F(FirstTick, CardPutInWhileRunningIsActiveWithinOnePollingIntervalWhenAsked) {
    struct Row { Driver driver; bool atOnce; const char* after; };
    const Row rows[] = {{Driver::SCM, true, "active"}, {Driver::Chipdrive, true, "active"},
                        {Driver::SCM, false, "detect"}, {Driver::Chipdrive, false, "active"}};
    for (const Row& row : rows) {
        mcard->cardInserted = false;
        scard->cardStatus = "wait";
        auto driver = started(row.driver);
        driver->setSettleNewCardAtOnce(row.atOnce);
        loop.advance(1234ms);  // between two ticks
        mcard->cardInserted = true;
        scard->cardStatus = "active";
        events.clear();
        loop.advance(500ms);
        EXPECT_EQ(events.back(), std::string("state:") + row.after)
            << (row.driver == Driver::SCM ? "SCM " : "Chipdrive ") << row.atOnce;
        loop.advance(500ms);
        EXPECT_EQ(driver->cardState(), "active");
    }
}

// A reader whose status keeps saying "detect" is asked at once twice, then at
// the polling interval again.
TEST_F(FirstTick, TicksAtOnceAreBoundedAndNeverComeWithoutAStart) {
    scard->cardStatus = "detect";
    auto driver = started(Driver::Chipdrive);
    loop.advance(499ms);
    EXPECT_EQ(scard->count("Card,Info,Status"), 2);
    auto idle = makeChipdrive();
    scard->calls.clear();
    loop.advance(499ms);  // constructed, not started: nothing before the interval
    EXPECT_EQ(idle->cardState(), "");
    EXPECT_EQ(scard->count("Device,Info,Status"), 1);  // the started driver's regular tick
}

}  // namespace
}  // namespace orvex::test
