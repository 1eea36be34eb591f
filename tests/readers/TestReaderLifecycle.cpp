// A driver without its library, the device wait, restart, destruction while
// the driver's own code is on the stack, handlers that throw, and the back
// ends' lines in the program's log.
#include <functional>
#include <stdexcept>

#include "ReaderTestBase.h"
#include "platform/mcard/BackendLog.h"
#include "readers/BackendLogConnection.h"

namespace orvex::test {
namespace {

class ReaderLifecycle : public ReaderTestBase {};

TEST_F(ReaderLifecycle, WithoutItsLibraryADriverStaysSilentAndCannotStart) {
    mcard->script("SCardEstablishContext", {.value = 5});
    mcard->script("MCardInitialize", {.unavailable = true});
    scard->unavailable = true;
    std::unique_ptr<reader> drivers[] = {makeSCM(), makeChipdrive()};
    EXPECT_EQ(mcard->callsOf("SCardReleaseContext").at(0).numbers, std::vector<int64_t>{5});
    mcard->calls.clear();
    scard->calls.clear();
    tick(20);
    EXPECT_TRUE(mcard->calls.empty());
    EXPECT_TRUE(scard->calls.empty());
    for (auto& d : drivers) {
        EXPECT_FALSE(d->Start("Test Reader 0"));
        EXPECT_FALSE(d->isRunning());
        EXPECT_EQ(d->cardState(), "");
    }
    EXPECT_EQ(logCount("  FAILED: driver not found"), 3);
    mcard->script("SCardEstablishContext", {.code = 0x8010001Du, .value = 0});
    EXPECT_FALSE(makeSCM()->Start("Test Reader 0"));
}

TEST_F(ReaderLifecycle, DeviceWaitAtConstructionIsAtMostSixQueriesAndFivePauses) {
    mcard->readers = {};
    makeSCM();
    EXPECT_EQ(mcard->count("SCardListReadersA"), 6);
    ASSERT_EQ(loop.waits().size(), 5u);
    for (const auto& w : loop.waits()) EXPECT_EQ(w.due - w.start, milliseconds(500));
    scard->script("Device,Info,Status", {.code = 1});
    makeChipdrive();  // ends when the device answers
    EXPECT_EQ(scard->count("Device,Info,Status"), 2);
    EXPECT_EQ(loop.waits().size(), 6u);
}

// The window verifies the card again when the word comes back to "active".
TEST_F(ReaderLifecycle, RestartLeavesActiveAndComesBackToIt) {
    struct Row { Driver driver; int deviceLate; Lines expected; };
    const Row rows[] = {{Driver::SCM, 0, {"state:detect", "state:active"}},
                        {Driver::Chipdrive, 0, {"state:detect", "state:active"}},
                        {Driver::Chipdrive, 1, {"state:disconnected", "state:detect", "state:active"}}};
    for (const Row& row : rows) {
        auto driver = started(row.driver);
        tick(2);
        events.clear();
        for (int i = 0; i < row.deviceLate; ++i) scard->script("Device,Info,Status", {.code = 1});
        driver->restart();
        tick(2);
        EXPECT_EQ(events, row.expected) << static_cast<int>(row.driver) << row.deviceLate;
        const int starts = row.driver == Driver::SCM ? mcard->count("MCardInitialize") : scard->count("Card,Reset");
        EXPECT_EQ(starts, 1);
    }
}

// Closing the window mid-operation: the owner can see the operation and wait;
// if it does not, the driver stops after the current step and touches nothing.
TEST_F(ReaderLifecycle, DestroyedFromItsOwnEventsOrWaitsStopsWithoutTouchingItself) {
    enum Trigger { Progress, Posted, State };
    struct Row { const char* name; Driver driver; Trigger trigger; bool inOperation; std::function<void(reader&)> op; };
    const auto write = [](reader& r) {
        int32_t length = 1300;
        EXPECT_EQ(r.writeOffset(0, length, std::string(1300, 'd'), false), 0);
    };
    const auto read = [](reader& r) { EXPECT_EQ(r.readOffset(0, 16, false), "failed"); };
    const auto failingRead = [&, this](reader& r) {
        for (int i = 0; i < 4; ++i) scard->script("Card,MemRead", {.code = 5});
        read(r);
    };
    const auto restart = [](reader& r) { r.restart(); };
    const auto lateRestart = [this](reader& r) {
        scard->script("Device,Info,Status", {.code = 1});
        r.restart();
    };
    const Row rows[] = {{"write, progress", Driver::SCM, Progress, true, write},
                        {"write, progress", Driver::Chipdrive, Progress, true, write},
                        {"write, event between pieces", Driver::Chipdrive, Posted, true, write},
                        {"read, progress", Driver::SCM, Progress, true, read},
                        {"read, event after the piece", Driver::SCM, Posted, true, read},
                        {"read, pause before a repetition", Driver::Chipdrive, Posted, true, failingRead},
                        {"restart, state", Driver::SCM, State, false, restart},
                        {"restart, state", Driver::Chipdrive, State, false, restart},
                        {"restart, device wait", Driver::Chipdrive, Posted, true, lateRestart},
                        {"tick, state", Driver::SCM, State, false, [this](reader&) {
                             mcard->cardInserted = false;
                             tick();
                         }}};
    for (const Row& row : rows) {
        mcard->cardInserted = true;
        std::unique_ptr<reader> owned = started(row.driver);
        tick(2);
        reader* driver = owned.get();
        bool inOperation = !row.inOperation;
        const auto destroy = [&] {
            inOperation = owned->operationRunning();
            owned.reset();
        };
        if (row.trigger == Posted) loop.post(destroy);
        if (row.trigger != Posted) driver->EventSource().subscribe({destroy, nullptr, destroy});
        int later = 0;  // a handler after the one that destroys still runs
        driver->EventSource().subscribe({[&] { ++later; }, nullptr, [&] { ++later; }});
        mcard->calls.clear();
        scard->calls.clear();
        row.op(*driver);
        EXPECT_EQ(owned, nullptr) << row.name;
        EXPECT_EQ(inOperation, row.inOperation) << row.name;
        EXPECT_EQ(later, row.trigger == Posted ? 0 : 1) << row.name;
        EXPECT_LE(scard->commands("Card,MemWrite").size() + mcard->count("MCardWriteMemory"), 1u) << row.name;
        const size_t calls = mcard->calls.size() + scard->calls.size();
        tick(10);
        EXPECT_EQ(mcard->calls.size() + scard->calls.size(), calls) << row.name;
    }
}

// The window raises error 939 when it cannot take the card: the tick's own
// work is done all the same, and the event comes again until it goes through.
TEST_F(ReaderLifecycle, HandlerThatThrowsOnActiveLeavesTheTickCompleteAndIsAskedAgain) {
    setInterval("omsc.idleTimerInterval", "300");
    setInterval("omsc.onlineTimerInterval", "100");
    for (const Driver d : {Driver::SCM, Driver::Chipdrive}) {
        std::unique_ptr<readerBase> driver;
        if (d == Driver::SCM) driver = makeSCM(); else driver = makeChipdrive();
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
        EXPECT_EQ(logCount(std::string(d == Driver::SCM ? "readerSCM" : "readerChipdrive") +
                           ".Timer1_Timer: failed, 939"), 1);
    }
}

TEST_F(ReaderLifecycle, ThrowingHandlerDuringAWriteLeavesBusyCleared) {
    auto driver = started(Driver::SCM);
    tick(2);
    driver->EventSource().subscribe({[] { throw std::runtime_error("display gone"); }, nullptr, nullptr});
    int32_t length = 8;
    EXPECT_THROW(driver->writeOffset(0, length, "abcdefgh", false), std::runtime_error);
    EXPECT_EQ(driver->cardConnected(), "active");
    EXPECT_FALSE(driver->operationRunning());
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
    EXPECT_EQ(logCount("clsLog.Class_Initialize()"), 1);
    EXPECT_EQ(logCount("  reader back end: early"), 1);
    EXPECT_EQ(logCount("  reader back end: more"), 63);
    EXPECT_EQ(logCount("  reader back end: 6 further lines lost before the log was connected"), 1);
    EXPECT_EQ(logCount("  reader back end: MCardInitialize: no reader named \"a??b\""), 1);
    EXPECT_EQ(logCount("  reader back end: late"), 0);
    platform::setBackendLogSink([](const std::string&) {});
    platform::setBackendLogSink({});
}

}  // namespace
}  // namespace orvex::test
