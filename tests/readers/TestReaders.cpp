// The reader drivers on scripted libraries and the virtual loop.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "cards/orvexcard.h"
#include "foundation/Clock.h"
#include "foundation/clsLog.h"
#include "foundation/clsRegistry.h"
#include "platform/eventloop/VirtualEventLoop.h"
#include "platform/mcard/BackendLog.h"
#include "readers/BackendLogConnection.h"
#include "readers/readerChipdrive.h"
#include "readers/readerSCM.h"
#include "readers/xTimer.h"
#include "support/ScriptedLibraries.h"
#include "support/TestEnvironment.h"

namespace orvex::test {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Lines = std::vector<std::string>;
enum class Driver { SCM, Chipdrive };

class ReaderTestBase : public ::testing::Test {
protected:
    void SetUp() override {
        installClock(&clock_);
        logPath_ = clsLog().path();
        writeFileBytes(logPath_, "");
        for (const char* name : {"omsc.idleTimerInterval", "omsc.onlineTimerInterval"})
            clsRegistry().DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, name);
    }
    void TearDown() override { installClock(nullptr); }

    std::unique_ptr<readerBase> make(Driver d) {
        if (d == Driver::SCM) return std::make_unique<readerSCM>(mcard, loop);
        return std::make_unique<readerChipdrive>(scard, loop);
    }
    // Started, its events recorded, the calls so far forgotten.
    std::unique_ptr<readerBase> started(Driver d) {
        auto driver = make(d);
        record(*driver);
        EXPECT_TRUE(driver->Start(d == Driver::SCM ? "Test Reader 0" : ""));
        forget();
        return driver;
    }
    void forget() { mcard->calls.clear(), scard->calls.clear(); }
    // Records the driver's events as "state:<word>", "max:<n>", "progress:<n>".
    void record(reader& r) {
        r.EventSource().subscribe({[this, &r] { events.push_back("progress:" + std::to_string(r.progress())); },
                                   [this, &r] { events.push_back("max:" + std::to_string(r.progressMax())); },
                                   [this, &r] { events.push_back("state:" + r.cardState()); }});
    }
    void tick(int n = 1) { loop.advance(milliseconds(500 * n)); }
    // Far less than any polling interval (500 ms here).
    void moment() { loop.advance(5ms); }
    void step(reader& driver, const std::string& word) {
        tick();
        EXPECT_EQ(driver.cardState(), word) << "tick " << ++ticks_;
    }
    // The lines of the log that read text after their time stamp.
    int logCount(const std::string& text) const {
        return static_cast<int>(countOf(readFileBytes(logPath_), " - " + text + "\r\n"));
    }
    static void setInterval(const char* name, const std::string& value) {
        clsRegistry().WriteRegistry(HKEY_LOCAL_MACHINE, kProductKey, name, REG_SZ, value);
    }

    platform::VirtualEventLoop loop;
    std::shared_ptr<ScriptedMCardApi> mcard = std::make_shared<ScriptedMCardApi>();
    std::shared_ptr<ScriptedSCard32Api> scard = std::make_shared<ScriptedSCard32Api>();
    Lines events;

private:
    int ticks_ = 0;
    FixedClock clock_{DateTime{2024, 3, 5, 14, 7, 9}};
    std::string logPath_;
};

using ReaderStates = ReaderTestBase;

TEST_F(ReaderStates, SCMTickFollowsTheStateTable) {
    step(*make(Driver::SCM), "disconnected");  // not started
    mcard->script("MCardInitialize", {.code = 0});  // the driver check
    mcard->script("MCardInitialize", {.code = mc::MCARD_E_NOT_INITIALIZED});  // Start: the tick opens it
    mcard->cardInserted = false;
    auto driver = started(Driver::SCM);
    step(*driver, "wait");
    EXPECT_EQ(mcard->names("MCardInitialize").size(), 1u);
    mcard->cardInserted = true;
    step(*driver, "detect");
    EXPECT_EQ(mcard->callsOf("MCardConnect").at(0).numbers, (std::vector<int64_t>{7, 1, 15, 0}));
    step(*driver, "active");
    mcard->script("MCardWaitForCardState", {.code = mc::MCARD_E_UNKNOWN_CARD, .value = 0});  // pulled
    step(*driver, "wait");  // removed: closed, so the next card is connected anew
    mcard->script("MCardConnect", {.code = mc::MCARD_E_UNKNOWN_CARD});
    step(*driver, "failed");
    step(*driver, "detect");  // retried
    mcard->script("MCardWaitForCardState", {.code = mc::MCARD_E_UNKNOWN_CARD, .value = 0});  // pulled
    step(*driver, "wait");
    mcard->cardType = 3;
    step(*driver, "failed");  // wrong type: disconnected at once
    EXPECT_EQ(mcard->names("MCardDisconnect").size(), 3u);
    mcard->cardType = 15;
    step(*driver, "detect");
    mcard->readers = {"Other Reader"};
    step(*driver, "failed");  // reader gone: its context is shut
    EXPECT_EQ(mcard->names("MCardShutdown").size(), 1u);
}

TEST_F(ReaderStates, ChipdriveTickFollowsTheStateTableAndResetsOnlyWhenComingOnline) {
    auto driver = make(Driver::Chipdrive);
    record(*driver);
    scard->calls.clear();
    step(*driver, "disconnected");  // not started: unlocked once, on entering
    step(*driver, "disconnected");
    EXPECT_EQ(scard->names(), (Lines{"Device,Info,Status", "Card,Unlock", "Device,Info,Status"}));
    EXPECT_EQ(driver->cardConnected(), "");
    driver->Start("");
    step(*driver, "active");  // disconnected -> active: reset
    EXPECT_EQ(scard->names("Card,R"), (Lines{"Card,Reset"}));  // Start's; the tick's is "Card,reset"
    scard->script("Device,Info,Status", {.code = 3});
    step(*driver, "failed");
    step(*driver, "active");  // failed -> active: reset
    EXPECT_EQ(scard->names("Card,reset").size(), 2u);
    scard->script("Device,Info,Status", {.output = "error 17"});
    step(*driver, "failed");
    scard->script("Device,Info,Status", {.code = -4});  // a code with an ordinary answer
    EXPECT_TRUE(driver->deviceConnected());
    scard->script("Card,Info,Status", {.code = 2});
    step(*driver, "failed");
    for (const std::string word : {"valid", "activelocked", "active", "invalid", "wait", "active"}) {
        scard->cardStatus = word;
        step(*driver, word);
    }
    EXPECT_EQ(scard->names("Card,reset").size(), 3u);  // failed -> valid; not activelocked or wait -> active
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
        EXPECT_EQ(make(Driver::Chipdrive)->pollingInterval(), expected) << '"' << setting << '"';
    }
}

// Start and restart take the card's state at once, with the events a tick brings.
using FirstTick = ReaderTestBase;

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
        forget();
        for (int i = 0; i < row.deviceLate; ++i) scard->script("Device,Info,Status", {.code = 1});
        driver->restart();
        moment();
        Lines expected{"state:detect", "state:active"};
        if (row.deviceLate) expected.insert(expected.begin(), "state:disconnected");
        EXPECT_EQ(events, expected) << name;
        EXPECT_EQ(driver->pollingInterval(), 500) << name;
        EXPECT_EQ(scm ? mcard->callsOf("MCardInitialize").at(0).text : scard->names("Card,U").at(0),
                  scm ? "Test Reader 0" : "Card,Unlock") << name;
        EXPECT_EQ(scard->names("Card,Reset").size(), scm ? 0u : 1u) << name;
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
    EXPECT_EQ(scard->names("Card,Info,Status").size(), 2u);
    auto idle = make(Driver::Chipdrive);
    scard->calls.clear();
    loop.advance(499ms);  // constructed, not started: nothing before the interval
    EXPECT_EQ(idle->cardState(), "");
    EXPECT_EQ(scard->names("Device,Info,Status").size(), 1u);  // the started driver's regular tick
}

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

class ReaderMemory : public ReaderTestBase {
protected:
    void SetUp() override {
        ReaderTestBase::SetUp();
        scm = started(Driver::SCM);
        cd = started(Driver::Chipdrive);
        tick(2);  // the SCM card detected, then active
        events.clear();
        forget();
    }
    void TearDown() override {  // whatever a test did, no operation is left holding the card
        EXPECT_EQ(cd->cardConnected(), "active");
        EXPECT_EQ(scm->cardConnected(), "active");
        ReaderTestBase::TearDown();
    }
    int32_t write(reader& driver, int32_t offset, int32_t length, const std::string& data, bool trimmed = false) {
        return driver.writeOffset(offset, length, data, trimmed);
    }
    std::unique_ptr<readerBase> scm;
    std::unique_ptr<readerBase> cd;
};

TEST_F(ReaderMemory, ReadSendsItsRangeAndDeliversTheBytes) {
    scard->memory.replace(64, 32, "0123456789abcdefghijklmnopqrstuv");
    EXPECT_EQ(cd->readOffset(64, 32, false), "0123456789abcdefghijklmnopqrstuv");
    EXPECT_EQ(scard->names(), Lines{"Card,MemRead,64,32"});
    cd->readOffset(64, 32, false);  // the counters start from 0 again
    EXPECT_EQ(events, (Lines{"max:32", "progress:32", "max:32", "progress:32"}));
    mcard->memory.replace(300, 5, "hello");
    EXPECT_EQ(scm->readOffset(300, 5, false), "hello");
    EXPECT_EQ(mcard->callsOf("MCardReadMemory").at(0).numbers, (std::vector<int64_t>{9, 0, 300, 5}));
    mcard->script("MCardReadMemory", {.code = mc::MCARD_E_INVALID_MEMORY_RANGE});
    EXPECT_EQ(scm->readOffset(0, 32, false), "failed");
    // A short delivery continues after the bytes received, without duplicating them.
    scard->calls.clear();
    scard->memory.replace(0, 10, "ABCDEFGHIJ");
    scard->script("Card,MemRead", {.output = "ABCD", .outputLength = 4});
    EXPECT_EQ(cd->readOffset(0, 10, false), "ABCDEFGHIJ");
    EXPECT_EQ(scard->names(), (Lines{"Card,MemRead,0,10", "Card,MemRead,4,4", "Card,MemRead,8,2"}));
}

TEST_F(ReaderMemory, ImpossiblePieceLengthsAndRangesFailWithoutReachingTheCard) {
    for (const int32_t reported : {0, -3, 33}) scard->script("Card,MemRead", {.outputLength = reported});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(cd->readOffset(0, 32, false), "failed") << i;
    for (const int32_t reported : {0, -1, 600}) scard->script("Card,MemWrite", {.inputLength = reported});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(write(*cd, 0, 1000, std::string(1000, 'q')), 0) << i;
    scard->calls.clear();
    EXPECT_EQ(write(*cd, 0, 40000, "x"), 0);
    EXPECT_EQ(write(*cd, 0, -5, "x"), 0);
    EXPECT_EQ(cd->readOffset(-1, 4, false), "failed");
    EXPECT_EQ(cd->readOffset(0x7FFFFFF0, 100, false), "failed");
    EXPECT_TRUE(scard->calls.empty());
}

TEST_F(ReaderMemory, TrimmedOptimizedEmptyAndStoppedRequests) {
    int32_t length = 5;
    EXPECT_EQ(cd->writeOffset(20, length, "ab", true), 5);
    EXPECT_EQ(write(*cd, 0, 3, "abcdef"), 3);
    cd->setOptimizeWrite(true);
    EXPECT_EQ(cd->writeOffset(20, length, "ab", true), 2);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(write(*cd, 20, 5, "ab"), 5);  // untrimmed values keep their width
    EXPECT_EQ(scard->calls.at(0).text, "ab   ");  // blank-filled
    EXPECT_EQ(scard->calls.at(1).text, "abc");    // cut to the length
    scard->memory.replace(0, 8, "ab  cd  ");
    EXPECT_EQ(cd->readOffset(0, 8, false), "ab  cd  ");
    EXPECT_EQ(cd->readOffset(0, 8, true), "ab  cd");  // trailing blanks only
    events.clear();
    scard->calls.clear();
    EXPECT_EQ(cd->writeOffset(0, length = 4, "", true), 0);
    EXPECT_EQ(cd->readOffset(10, 0, false), "");
    EXPECT_EQ(write(*cd, 0, 0, "abc"), 0);
    EXPECT_TRUE(scard->calls.empty());
    EXPECT_TRUE(events.empty());
    cd->Stopp();
    EXPECT_EQ(write(*cd, 0, 4, "abcd"), 0);
    EXPECT_EQ(cd->readOffset(0, 4, false), "");
    EXPECT_TRUE(scard->names("Card,Mem").empty());
    cd->Start("");
}

// Writes go in 512-byte pieces; a read in between sees the first piece, and
// the display goes back to the write's progress when the read ends.
TEST_F(ReaderMemory, ReadDuringAWriteLeavesTheWriteBusyAndASecondWriteIsRefused) {
    std::string data;
    for (int i = 0; i < 1300; ++i) data += static_cast<char>('a' + i % 26);
    for (auto [driver, memory] : {std::pair{cd.get(), &scard->memory}, {scm.get(), &mcard->memory}}) {
        events.clear();
        std::string innerRead, innerState;
        int32_t innerWrite = -1;
        loop.post([&] {
            innerRead = driver->readOffset(100, 4, false);
            innerState = driver->cardConnected();
            innerWrite = write(*driver, 0, 4, "zzzz");
        });
        EXPECT_EQ(write(*driver, 100, 1300, data), 1300);
        EXPECT_EQ(memory->substr(100, 1300), data);
        EXPECT_EQ(innerRead, "abcd");
        EXPECT_EQ(innerState, "activelocked");
        EXPECT_EQ(innerWrite, 0);
        EXPECT_EQ(events, (Lines{"max:1300", "max:4", "progress:4", "max:1300", "progress:0", "progress:512",
                                 "progress:1024", "progress:1300"}));
    }
    EXPECT_EQ(scard->names("Card,MemWrite"),
              (Lines{"Card,MemWrite,100,512", "Card,MemWrite,612,512", "Card,MemWrite,1124,276"}));
    // A progress handler that throws leaves the card free again (TearDown).
    const auto id = scm->EventSource().subscribe({[] { throw std::runtime_error("display gone"); }, nullptr, nullptr});
    EXPECT_THROW(write(*scm, 0, 8, data), std::runtime_error);
    scm->EventSource().unsubscribe(id);
}

// One budget of 3 repetitions for the whole call; a pause of 0.4 s after a
// failed repetition whose code is below 16384.
TEST_F(ReaderMemory, ChipdriveRepeatsFailedReadsWithinOneBudgetPerCall) {
    using A = SCard32Answer;
    struct Row { std::vector<A> script; int32_t length; size_t reads; size_t waits; std::string result; };
    const A fail{.code = 5};
    const A half{.outputLength = 16};
    const Row rows[] = {
        {{fail, fail, fail, fail}, 32, 4, 3, "failed"},
        {{{.code = 16383}, {.code = 16383}, {.code = 16383}, {.code = 16383}}, 32, 4, 3, "failed"},
        {{{.code = 16384}, {.code = 16384}, {.code = 16384}, {.code = 16384}}, 32, 4, 0, "failed"},
        {{fail, fail}, 4, 3, 1, "data"},
        {{fail, fail, half, fail, fail}, 32, 5, 2, "failed"},
        {{fail, fail, fail, half, fail, fail}, 32, 6, 3, "failed"},  // spent, the next piece still once
        {{{.code = 5, .outputLength = 0}}, 4, 2, 0, "data"},       // asks for the whole piece again
    };
    scard->memory.replace(0, 4, "data");
    for (size_t i = 0; i < std::size(rows); ++i) {
        scard->calls.clear();
        const size_t waits = loop.waits().size();
        for (const A& a : rows[i].script) scard->script("Card,MemRead", a);
        EXPECT_EQ(cd->readOffset(0, rows[i].length, false), rows[i].result) << "row " << i;
        EXPECT_EQ(scard->names("Card,MemRead").size(), rows[i].reads) << "row " << i;
        EXPECT_EQ(loop.waits().size() - waits, rows[i].waits) << "row " << i;
    }
    for (const auto& w : loop.waits()) EXPECT_EQ(w.due - w.start, milliseconds(400));
}

// A card operation holds the card: the hold is taken before the first byte
// moves and let go after the last, on a failed operation too; a card another
// program holds is waited for on the loop's clock, then refused untouched.
class ExclusiveCardTest : public ReaderMemory, public ::testing::WithParamInterface<Driver> {
protected:
    bool scm() const { return GetParam() == Driver::SCM; }
    readerBase& rd() { return scm() ? *ReaderMemory::scm : *cd; }
    // The calls that hold, let go of, read or write the card, in order.
    Lines cardCalls() const {
        Lines out;
        for (const std::string& call : scm() ? mcard->names() : scard->names()) {
            const auto has = [&](const char* part) { return call.find(part) != std::string::npos; };
            if (has("Mem")) out.push_back(has("Write") ? "write" : "read");
            else if (has("Transaction") || has("ock")) out.push_back(call);
        }
        return out;
    }
    const char* beginCall() const { return scm() ? "MCardBeginTransaction" : "Card,Lock"; }
    // The next n attempts to hold the card find it held by another program.
    void busyFor(int n) {
        for (int i = 0; i < n; ++i)
            scm() ? mcard->script("MCardBeginTransaction", {.code = mc::kCardHeldElsewhere})
                  : scard->script("Card,Lock", {.code = platform::scard32::kCardHeldElsewhere});
    }
    std::string& memory() { return scm() ? mcard->memory : scard->memory; }
};

TEST_P(ExclusiveCardTest, HoldSpansTheOperationAndEndsOnEveryPath) {
    const Lines heldWrites{beginCall(), "write", "write", scm() ? "MCardEndTransaction" : "Card,Unlock"};
    int32_t length = 1000;
    {
        const ExclusiveCard outer = rd().beginExclusive();
        ASSERT_TRUE(outer);
        const ExclusiveCard inner = rd().beginExclusive();  // nested: no second hold
        EXPECT_TRUE(inner);
        EXPECT_EQ(rd().writeOffset(0, length, std::string(1000, 'a'), false), 1000);
    }
    EXPECT_EQ(cardCalls(), heldWrites);
    forget();
    {
        const ExclusiveCard hold = rd().beginExclusive();
        for (const bool fails : {false, true})  // the second piece fails after the first went in
            scm() ? mcard->script("MCardWriteMemory", {.code = fails ? mc::MCARD_W_NOT_ALL_DATA_WRITTEN : 0})
                  : scard->script("Card,MemWrite", {.code = fails ? 6 : 0});
        EXPECT_EQ(rd().writeOffset(0, length = 1300, std::string(1300, 'b'), false), 0);
    }
    EXPECT_EQ(cardCalls(), heldWrites);
}

TEST_P(ExclusiveCardTest, WaitsForAnotherProgramThenGivesUpUntouched) {
    struct Row { int busyAttempts; bool taken; platform::LoopTime waited; };
    const int retriesInWait = static_cast<int>(readerBase::kHoldWait.count() / 25);
    for (const Row row : {Row{3, true, platform::LoopTime(75)},
                          Row{retriesInWait, true, readerBase::kHoldWait},
                          Row{retriesInWait + 1, false, readerBase::kHoldWait}}) {
        busyFor(row.busyAttempts);
        const platform::LoopTime start = loop.now();
        const ExclusiveCard hold = rd().beginExclusive();
        EXPECT_EQ(hold.held(), row.taken) << row.busyAttempts;
        EXPECT_EQ(loop.now() - start, row.waited) << row.busyAttempts;
        EXPECT_EQ(rd().cardHeldElsewhere(), !row.taken) << row.busyAttempts;
    }
    // Through the card object: a format and a verification that cannot have
    // the card leave it as it was and report failure.
    orvexcard card;
    ASSERT_EQ(card.assign(rd()), -1);
    const std::string before = memory();
    forget();
    busyFor(2 * (retriesInWait + 1));
    EXPECT_FALSE(card.formatCard(cardTypeDrink, "serial", 65535, true));
    EXPECT_FALSE(card.verifyCard());
    EXPECT_EQ(memory(), before);
    EXPECT_EQ(cardCalls(), Lines(2 * (retriesInWait + 1), beginCall()));  // attempts to hold, nothing else
}

INSTANTIATE_TEST_SUITE_P(Drivers, ExclusiveCardTest, ::testing::Values(Driver::SCM, Driver::Chipdrive),
                         [](const auto& info) { return info.param == Driver::SCM ? "SCM" : "Chipdrive"; });

using ReaderLifecycle = ReaderTestBase;

TEST_F(ReaderLifecycle, ConstructionWaitsAtMostSixQueriesForTheDeviceAndWithoutALibraryStaysSilent) {
    mcard->readers = {};
    make(Driver::SCM);
    EXPECT_EQ(mcard->names("SCardListReadersA").size(), 6u);
    EXPECT_EQ(loop.waits().size(), 5u);
    for (const auto& w : loop.waits()) EXPECT_EQ(w.due - w.start, milliseconds(500));
    mcard->script("SCardEstablishContext", {.value = 5});
    mcard->script("MCardInitialize", {.unavailable = true});
    scard->unavailable = true;
    std::unique_ptr<reader> drivers[] = {make(Driver::SCM), make(Driver::Chipdrive)};
    EXPECT_EQ(mcard->callsOf("SCardReleaseContext").back().numbers, std::vector<int64_t>{5});
    forget();
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
        forget();
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
        EXPECT_LE(scard->names("Card,MemWrite").size() + mcard->names("MCardWriteMemory").size(), 1u) << i;
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
        auto driver = make(d);
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
        EXPECT_EQ(scard->names("Card,reset").size(), d == Driver::SCM ? 0u : 1u);
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
