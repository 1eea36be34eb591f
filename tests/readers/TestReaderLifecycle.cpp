// Device waits, a missing library, restart, destruction from the driver's own
// events and waits, handlers that throw, the back ends' lines in the log.
#include <stdexcept>

#include "ReaderTestBase.h"
#include "platform/mcard/BackendLog.h"
#include "readers/BackendLogConnection.h"

namespace orvex::test {
namespace {

class ReaderLifecycle : public ReaderTestBase {};

TEST_F(ReaderLifecycle, ConstructionWaitsAtMostSixQueriesForTheDeviceAndWithoutALibraryStaysSilent) {
    mcard->readers = {};
    makeSCM();
    EXPECT_EQ(mcard->count("SCardListReadersA"), 6);
    EXPECT_EQ(loop.waits().size(), 5u);
    for (const auto& w : loop.waits()) EXPECT_EQ(w.due - w.start, milliseconds(500));
    mcard->script("SCardEstablishContext", {.value = 5});
    mcard->script("MCardInitialize", {.unavailable = true});
    scard->unavailable = true;
    std::unique_ptr<reader> drivers[] = {makeSCM(), makeChipdrive()};
    EXPECT_EQ(mcard->callsOf("SCardReleaseContext").back().numbers, std::vector<int64_t>{5});
    mcard->calls.clear();
    scard->calls.clear();
    tick(20);
    EXPECT_TRUE(mcard->calls.empty() && scard->calls.empty());
    for (auto& d : drivers) EXPECT_TRUE(!d->Start("Test Reader 0") && !d->isRunning() && d->cardState().empty());
}

// Closing the window mid-operation: the owner can see the operation and wait;
// if it does not, the driver stops after the current step and touches nothing.
TEST_F(ReaderLifecycle, DestroyedFromItsOwnEventsOrWaitsStopsWithoutTouchingItself) {
    enum Op { Write, Read, Restart, Tick };
    enum Trigger { Progress, Posted, State };
    struct Row { Driver driver; Op op; Trigger trigger; bool slow; };  // slow: a read repetition or device wait pauses
    const Row rows[] = {{Driver::SCM, Write, Progress, false},      {Driver::Chipdrive, Write, Posted, false},
                        {Driver::SCM, Read, Progress, false},       {Driver::SCM, Read, Posted, false},
                        {Driver::Chipdrive, Read, Posted, true},    {Driver::SCM, Restart, State, false},
                        {Driver::Chipdrive, Restart, State, false}, {Driver::Chipdrive, Restart, Posted, true},
                        {Driver::SCM, Tick, State, false}};
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        mcard->cardInserted = true;
        std::unique_ptr<reader> owned = started(row.driver);
        tick(2);
        reader* driver = owned.get();
        bool inOperation = false;
        const auto destroy = [&] { inOperation = owned->operationRunning(), owned.reset(); };
        if (row.trigger == Posted) loop.post(destroy);
        else driver->EventSource().subscribe({destroy, nullptr, destroy});
        int later = 0;  // a handler after the one that destroys still runs
        driver->EventSource().subscribe({[&] { ++later; }, nullptr, [&] { ++later; }});
        const int failures = !row.slow ? 0 : row.op == Read ? 2 : 1;
        for (int n = 0; n < failures; ++n) scard->script(row.op == Read ? "Card,MemRead" : "Device,Info,Status", {.code = 5});
        mcard->calls.clear();
        scard->calls.clear();
        int32_t length = 1300;
        std::string result;
        if (row.op == Write) result = std::to_string(driver->writeOffset(0, length, std::string(1300, 'd'), false));
        if (row.op == Read) result = driver->readOffset(0, 16, false);
        if (row.op == Restart) driver->restart();
        mcard->cardInserted = row.op != Tick;
        if (row.op == Tick) tick();
        EXPECT_EQ(result, row.op == Write ? "0" : row.op == Read ? "failed" : "") << i;
        EXPECT_EQ(owned, nullptr) << i;
        EXPECT_EQ(inOperation, row.trigger != State) << i;
        EXPECT_EQ(later, row.trigger == Posted ? 0 : 1) << i;
        EXPECT_LE(scard->commands("Card,MemWrite").size() + mcard->count("MCardWriteMemory"), 1u) << i;
        const size_t calls = mcard->calls.size() + scard->calls.size();
        tick(10);
        EXPECT_EQ(mcard->calls.size() + scard->calls.size(), calls) << i;
    }
}

// The window's error 939: the tick's work is done, and the event comes again.
TEST_F(ReaderLifecycle, HandlerThatThrowsOnActiveLeavesTheTickCompleteAndIsAskedAgain) {
    setInterval("omsc.idleTimerInterval", "300");
    setInterval("omsc.onlineTimerInterval", "100");
    for (const Driver d : {Driver::SCM, Driver::Chipdrive}) {
        scard->cardStatus = "active", mcard->cardInserted = true;
        auto driver = d == Driver::SCM ? makeSCM() : makeChipdrive();
        loop.advance(milliseconds(300));
        ASSERT_EQ(driver->cardState(), "disconnected");
        driver->Start("Test Reader 0");
        int calls = 0;
        driver->EventSource().subscribe({nullptr, nullptr, [&] {
            if (driver->cardState() == "active" && ++calls < 3) throw std::runtime_error("939");
        }});
        for (int i = 0; i < 3 && calls == 0; ++i) loop.advance(milliseconds(300));
        ASSERT_EQ(calls, 1);
        EXPECT_EQ(driver->pollingInterval(), 100);
        EXPECT_EQ(scard->count("Card,reset"), d == Driver::SCM ? 0 : 1);
        loop.advance(milliseconds(300));
        EXPECT_EQ(calls, 3);  // again on every tick until one goes through, then not again
        scard->cardStatus = "locked", mcard->cardInserted = false;
        loop.advance(milliseconds(100));
        EXPECT_EQ(driver->pollingInterval(), 300);  // no usable card: idle again
        EXPECT_EQ(logCount(std::string(d == Driver::SCM ? "readerSCM" : "readerChipdrive") +
                           ".Timer1_Timer: failed, 939"), 1);
    }
}

TEST_F(ReaderLifecycle, BackEndLinesReachTheProgramsLogAndNeverStandardError) {
    testing::internal::CaptureStderr();
    for (int i = 0; i < 70; ++i) platform::backendLog(i == 0 ? "early" : "more");
    {
        clsLog log;
        const BackendLogConnection connection = connectBackendLog(log);
        platform::backendLog("MCardInitialize: no reader named \"a\r\nb\"");
    }
    platform::backendLog("late");  // the log object is gone: waits for the next one
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(logCount("  reader back end: early"), 1);
    EXPECT_EQ(logCount("  reader back end: more"), 63);
    EXPECT_EQ(logCount("  reader back end: 6 further lines lost before the log was connected"), 1);
    EXPECT_EQ(logCount("  reader back end: MCardInitialize: no reader named \"a??b\""), 1);
    EXPECT_EQ(logCount("  reader back end: late"), 0);
}

}  // namespace
}  // namespace orvex::test
