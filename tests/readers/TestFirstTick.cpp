// Start and restart take the card's state at once, not after a polling
// interval, with the same stateChange events a tick brings; the ticks at once
// stay few whatever the reader answers.
#include "ReaderTestBase.h"
#include "readers/xTimer.h"

namespace orvex::test {
namespace {

using namespace std::chrono_literals;

class FirstTick : public ReaderTestBase {
protected:
    // Far less than any polling interval (500 ms here).
    void moment() { loop.advance(5ms); }
};

// A restart stops and starts again with the same reader; the window verifies
// the card again when the word comes back to "active".
TEST_F(FirstTick, StartAndRestartSetTheWordWithoutWaitingForAnInterval) {
    struct Row { Driver driver; bool card; Lines atStart; int deviceLate = 0; };
    const Row rows[] = {{Driver::SCM, true, {"state:detect", "state:active"}},
                        {Driver::SCM, false, {"state:wait"}},
                        {Driver::Chipdrive, true, {"state:active"}},
                        {Driver::Chipdrive, false, {"state:wait"}},
                        {Driver::Chipdrive, true, {"state:active"}, 1}};
    for (const Row& row : rows) {
        const bool scm = row.driver == Driver::SCM;
        const std::string name = (scm ? "SCM " : "Chipdrive ") + std::to_string(row.card) + std::to_string(row.deviceLate);
        mcard->cardInserted = row.card;
        scard->cardStatus = row.card ? "active" : "wait";
        events.clear();
        auto driver = started(row.driver);
        moment();
        EXPECT_EQ(events, row.atStart) << name;
        EXPECT_EQ(driver->cardState(), row.card ? "active" : "wait") << name;
        if (!row.card) continue;
        events.clear();
        mcard->calls.clear();
        scard->calls.clear();
        for (int i = 0; i < row.deviceLate; ++i) scard->script("Device,Info,Status", {.code = 1});
        driver->restart();
        moment();
        Lines expected{"state:detect", "state:active"};
        if (row.deviceLate) expected.insert(expected.begin(), "state:disconnected");
        EXPECT_EQ(events, expected) << name;
        EXPECT_EQ(driver->pollingInterval(), 500) << name;
        EXPECT_EQ(scm ? mcard->callsOf("MCardInitialize").at(0).text : scard->commands("Card,U").at(0),
                  scm ? "Test Reader 0" : "Card,Unlock") << name;
        EXPECT_EQ(scard->count("Card,Reset"), scm ? 0 : 1) << name;
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

// The polling timer itself: a tick asked for soon comes once, and never
// without an interval or once the timer is off.
TEST_F(FirstTick, ATickSoonComesOnceAndNeverFromATimerThatIsOff) {
    int ticks = 0;
    xTimer timer(loop, [&] { ++ticks; });
    timer.tickSoon();
    moment();
    timer.setInterval(100);
    timer.tickSoon();
    timer.tickSoon();
    moment();
    EXPECT_EQ(ticks, 1);
    timer.tickSoon();
    timer.setEnabled(false);
    loop.advance(1s);
    EXPECT_EQ(ticks, 1);
}

}  // namespace
}  // namespace orvex::test
