// Construction, start, restart, release and their log lines; a missing
// library; a driver destroyed while a tick is pending or inside its own
// events; a handler that throws.
#include <stdexcept>

#include "ReaderTestBase.h"

namespace orvex::test {
namespace {

class ReaderLifecycle : public ReaderTestBase {};

TEST_F(ReaderLifecycle, SCMConstructionStartRestartAndRelease) {
    auto driver = makeSCM();
    expectLog({"readerSCM.Class_Initialize()", "create SCardCtx number (SCardEstablishContext)", "SCardCtx: 1",
               "call MCardInitialize -> Treibercheck -> MCard dll check (mcscm.dll)",
               "return MCardInitialize: 0; DLL v.3; MCardCtx: 7", " idleTimerInterval=500, onlineTimerInterval=500"});
    EXPECT_NE(rawLog().find("2024-03-05 14:07:09 - readerSCM.Class_Initialize()\r\n"), std::string::npos);
    EXPECT_EQ(mcard->callsOf("MCardInitialize").at(0).text, readerSCM::kDefaultReaderName);
    EXPECT_EQ(mcard->callsOf("MCardShutdown").at(0).numbers, std::vector<int64_t>{7});
    EXPECT_EQ(driver->driverVersion(), "MCSCM ");
    EXPECT_EQ(driver->pollingInterval(), 500);

    EXPECT_TRUE(driver->Start("Test Reader 0"));
    expectLog({"readerSCM.Start()", "SCardCtx: 1;  ReaderName: Test Reader 0; MCardCtx: 0; DLLV: 0",
               "mcard: MCSCM 3", "device: Test Reader 0"});
    EXPECT_EQ(driver->deviceType(), "Test Reader 0");

    driver->restart();
    EXPECT_TRUE(driver->isRunning());
    EXPECT_EQ(mcard->callsOf("MCardInitialize").back().text, "Test Reader 0");
    EXPECT_EQ(logCount("readerSCM.Start()"), 2);

    mcard->calls.clear();
    driver.reset();
    Lines functions;
    for (const auto& c : mcard->calls) functions.push_back(c.function);
    EXPECT_EQ(functions, (Lines{"MCardShutdown", "SCardReleaseContext"}));
    expectLog({"readerSCM.Stopp()", "readerSCM.Class_Terminate()", "clsLog.Class_Terminate()"});
}

TEST_F(ReaderLifecycle, ChipdriveConstructionAndStart) {
    auto driver = makeChipdrive();
    EXPECT_TRUE(driver->Start("ignored"));
    expectLog({"readerChipdrive.Class_Initialize()", "scard: CD test library 1.0",
               " idleTimerInterval=500, onlineTimerInterval=500", "readerChipdrive.Start()",
               "scard: CD test library 1.0", "device: CD test reader"});
    EXPECT_EQ(scard->commands().back(), "Card,Reset");
    const auto& probe = scard->calls.at(0);
    EXPECT_EQ(probe.command, "");
    EXPECT_EQ(probe.outputLength, 0);
    EXPECT_EQ(probe.output, "");
    for (const auto& c : scard->calls) EXPECT_EQ(c.handle, 0) << c.command;
}

TEST_F(ReaderLifecycle, ChipdriveRestartWaitsForTheDeviceAndReleaseUnlocks) {
    setInterval("omsc.idleTimerInterval", "30000");  // no tick during the restart
    auto driver = started(makeChipdrive());
    scard->script("Device,Info,Status", {.code = 1});
    driver->restart();
    EXPECT_EQ(scard->commands(), (Lines{"Card,Unlock", "Device,Info,Status", "Device,Info,Status", "",
                                        "System,Info,VersionText", "Device,Info,Type", "Card,Reset"}));
    EXPECT_TRUE(driver->isRunning());
    scard->calls.clear();
    driver.reset();
    EXPECT_EQ(scard->commands(), Lines{"Card,Unlock"});
    expectLog({"readerChipdrive.Stopp()", "readerChipdrive.Class_Terminate()"});
}

TEST_F(ReaderLifecycle, DeviceWaitAtConstructionIsAtMostSixQueriesAndFivePauses) {
    mcard->readers = {};
    makeSCM();
    EXPECT_EQ(mcard->count("SCardListReadersA"), 6);
    ASSERT_EQ(loop.waits().size(), 5u);
    for (const auto& w : loop.waits()) EXPECT_EQ(w.due - w.start, milliseconds(500));

    mcard->readers = {"Test Reader 0"};
    mcard->calls.clear();
    mcard->script("SCardListReadersA", {.code = 1});
    mcard->script("SCardListReadersA", {.code = 1});
    makeSCM();  // ends when the reader appears
    EXPECT_EQ(mcard->count("SCardListReadersA"), 3);
    EXPECT_EQ(loop.waits().size(), 7u);

    scard->deviceStatus = "error: no reader";
    makeChipdrive();
    EXPECT_EQ(scard->count("Device,Info,Status"), 6);
    EXPECT_EQ(loop.waits().size(), 12u);
}

TEST_F(ReaderLifecycle, FailedDriverCheckIsLoggedAndStartFails) {
    mcard->script("SCardEstablishContext", {.value = 5});
    mcard->script("MCardInitialize", {.unavailable = true});
    auto scm = makeSCM();
    EXPECT_EQ(logCount("  FAILED: driver not found"), 1);
    EXPECT_EQ(mcard->callsOf("SCardReleaseContext").at(0).numbers, std::vector<int64_t>{5});
    EXPECT_EQ(scm->pollingInterval(), 0);
    EXPECT_EQ(logCount(" idleTimerInterval=500, onlineTimerInterval=500"), 0);
    mcard->calls.clear();
    tick(20);
    EXPECT_TRUE(mcard->calls.empty());
    EXPECT_FALSE(scm->Start("Test Reader 0"));
    EXPECT_FALSE(scm->isRunning());

    mcard->script("SCardEstablishContext", {.code = 0x8010001Du, .value = 0});
    EXPECT_FALSE(makeSCM()->Start("Test Reader 0"));
    EXPECT_EQ(logCount("  FAILED: SCardEstablishContext"), 1);

    scard->unavailable = true;
    auto chipdrive = makeChipdrive();
    EXPECT_EQ(logCount("  FAILED: driver not found"), 2);
    EXPECT_EQ(chipdrive->pollingInterval(), 0);
    EXPECT_FALSE(chipdrive->Start(""));
    EXPECT_FALSE(chipdrive->isRunning());
    EXPECT_EQ(logCount("  FAILED: driver not found"), 3);
    tick(10);
    EXPECT_EQ(chipdrive->cardState(), "");
}

TEST_F(ReaderLifecycle, DestroyedWhileATickIsPending) {
    auto driver = makeChipdrive();
    loop.advance(milliseconds(499));
    driver.reset();
    scard->calls.clear();
    tick(10);
    EXPECT_TRUE(scard->calls.empty());
    EXPECT_EQ(loop.activeTimers(), 0);
}

TEST_F(ReaderLifecycle, DestroyedByAStateChangeHandlerInsideTheTick) {
    std::unique_ptr<reader> driver = makeSCM();
    int later = 0;
    driver->EventSource().subscribe({nullptr, nullptr, [&] { driver.reset(); }});
    driver->EventSource().subscribe({nullptr, nullptr, [&] { ++later; }});
    tick();
    EXPECT_EQ(driver, nullptr);
    EXPECT_EQ(later, 1);  // the carrier outlives the raise
    EXPECT_EQ(logCount("readerSCM.Class_Terminate()"), 1);
    mcard->calls.clear();
    tick(10);
    EXPECT_TRUE(mcard->calls.empty());
}

TEST_F(ReaderLifecycle, DestroyedDuringAWriteOrAReadPauseThatLetsEventsRun) {
    auto owned = started(makeChipdrive());
    readerChipdrive* driver = owned.get();
    loop.post([&] { owned.reset(); });
    int32_t length = 1300;
    EXPECT_EQ(driver->writeOffset(0, length, std::string(1300, 'd'), false), 0);
    EXPECT_EQ(scard->commands("Card,MemWrite"), Lines{"Card,MemWrite,0,512"});

    owned = started(makeChipdrive());
    for (int i = 0; i < 4; ++i) scard->script("Card,MemRead", {.code = 5});
    driver = owned.get();
    loop.post([&] { owned.reset(); });
    EXPECT_EQ(driver->readOffset(0, 8, false), "failed");
    EXPECT_EQ(scard->commands("Card,MemRead"), (Lines{"Card,MemRead,0,8", "Card,MemRead,0,8"}));
}

TEST_F(ReaderLifecycle, ThrowingHandlerIsLoggedOnceAndPollingGoesOn) {
    auto driver = started(makeChipdrive());
    int calls = 0;
    driver->EventSource().subscribe({nullptr, nullptr, [&] {
                                         if (++calls == 1) throw std::runtime_error("939");
                                     }});
    tick();  // active: the handler throws
    EXPECT_EQ(logCount("readerChipdrive.Timer1_Timer: failed, 939"), 1);
    EXPECT_EQ(driver->cardState(), "active");
    tick();  // same word: no second event, no second line
    EXPECT_EQ(calls, 1);
    scard->cardStatus = "locked";
    tick();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(logCount("readerChipdrive.Timer1_Timer: failed, 939"), 1);
}

TEST_F(ReaderLifecycle, ThrowingHandlerDuringAWriteLeavesBusyCleared) {
    auto driver = started(makeSCM(), "Test Reader 0");
    tick(2);
    driver->EventSource().subscribe({[] { throw std::runtime_error("display gone"); }, nullptr, nullptr});
    int32_t length = 8;
    EXPECT_THROW(driver->writeOffset(0, length, "abcdefgh", false), std::runtime_error);
    EXPECT_EQ(driver->cardConnected(), "active");
}

}  // namespace
}  // namespace orvex::test

