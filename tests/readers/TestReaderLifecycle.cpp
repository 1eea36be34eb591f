// Construction, start, stop, release and their log lines; a driver destroyed
// from inside its own events; a handler that throws.
#include <gtest/gtest.h>

#include <stdexcept>

#include "ReaderTestBase.h"

namespace orvex::test {
namespace {

namespace mc = platform::mcard;

class SCMLifecycle : public ReaderTestBase {};

TEST_F(SCMLifecycle, ConstructionLogsTheDriverCheckAndIntervals) {
    auto driver = makeSCM();
    expectLog({"readerSCM.Class_Initialize()",
                                        "create SCardCtx number (SCardEstablishContext)",
                                        "SCardCtx: 1",
                                        "call MCardInitialize -> Treibercheck -> MCard dll check (mcscm.dll)",
                                        "return MCardInitialize: 0; DLL v.3; MCardCtx: 7",
                                        " idleTimerInterval=500, onlineTimerInterval=500"});
    EXPECT_NE(rawLog().find("2024-03-05 14:07:09 - readerSCM.Class_Initialize()\r\n"), std::string::npos);
    const auto check = mcard->callsOf("MCardInitialize").at(0);
    EXPECT_EQ(check.text, readerSCM::kDefaultReaderName);
    EXPECT_EQ(mcard->callsOf("MCardShutdown").at(0).numbers, std::vector<int64_t>{7});
    EXPECT_EQ(driver->driverVersion(), "MCSCM ");
    EXPECT_EQ(driver->pollingInterval(), 500);
}

TEST_F(SCMLifecycle, MissingLibraryIsReportedAndLeavesTheDriverSilent) {
    mcard->script("SCardEstablishContext", MAnswer::returning(0).withValue(5));
    mcard->script("MCardInitialize", MAnswer::missing());
    auto driver = makeSCM();
    EXPECT_EQ(logCount("  FAILED: driver not found"), 1);
    EXPECT_EQ(mcard->callsOf("SCardReleaseContext").at(0).numbers, std::vector<int64_t>{5});
    EXPECT_EQ(driver->pollingInterval(), 0);
    mcard->clearCalls();
    loop.advance(milliseconds(10000));
    EXPECT_TRUE(mcard->calls().empty());
    EXPECT_FALSE(driver->Start("Test Reader 0"));
    EXPECT_FALSE(driver->isRunning());
    EXPECT_EQ(logCount(" idleTimerInterval=500, onlineTimerInterval=500"), 0);
}

TEST_F(SCMLifecycle, NoPcscContextMeansStartFails) {
    mcard->script("SCardEstablishContext", MAnswer::returning(0x8010001Du).withValue(0));
    auto driver = makeSCM();
    EXPECT_EQ(logCount("  FAILED: SCardEstablishContext"), 1);
    EXPECT_FALSE(driver->Start("Test Reader 0"));
}

TEST_F(SCMLifecycle, StartOpensTheNamedReader) {
    auto driver = makeSCM();
    EXPECT_TRUE(driver->Start("Test Reader 0"));
    expectLog({"readerSCM.Start()",
                                        "SCardCtx: 1;  ReaderName: Test Reader 0; MCardCtx: 0; DLLV: 0",
                                        "mcard: MCSCM 3", "device: Test Reader 0"});
    EXPECT_EQ(driver->deviceType(), "Test Reader 0");
}

TEST_F(SCMLifecycle, DeviceWaitGivesUpAfterSixQueriesAndFivePauses) {
    mcard->readers = {};
    auto driver = makeSCM();
    EXPECT_EQ(mcard->count("SCardListReadersA"), 6);
    ASSERT_EQ(loop.waits().size(), 5u);
    for (const auto& w : loop.waits()) EXPECT_EQ(w.due - w.start, milliseconds(500));
}

TEST_F(SCMLifecycle, DeviceWaitEndsWhenTheReaderAppears) {
    mcard->script("SCardListReadersA", MAnswer::returning(1));
    mcard->script("SCardListReadersA", MAnswer::returning(1));
    auto driver = makeSCM();
    EXPECT_EQ(mcard->count("SCardListReadersA"), 3);
    EXPECT_EQ(loop.waits().size(), 2u);
}

TEST_F(SCMLifecycle, ReleaseStopsThenFreesTheContextBeforeTheLastLine) {
    auto driver = makeSCM();
    driver->Start("Test Reader 0");
    mcard->clearCalls();
    driver.reset();
    std::vector<std::string> functions;
    for (const auto& c : mcard->calls()) functions.push_back(c.function);
    EXPECT_EQ(functions, (std::vector<std::string>{"MCardShutdown", "SCardReleaseContext"}));
    expectLog({"readerSCM.Stopp()", "readerSCM.Class_Terminate()",
                                        "clsLog.Class_Terminate()"});
}

TEST_F(SCMLifecycle, RestartReopensTheSameReader) {
    auto driver = makeSCM();
    driver->Start("Test Reader 0");
    driver->restart();
    EXPECT_TRUE(driver->isRunning());
    EXPECT_EQ(mcard->callsOf("MCardInitialize").back().text, "Test Reader 0");
    EXPECT_EQ(logCount("readerSCM.Start()"), 2);
}

class ChipdriveLifecycle : public ReaderTestBase {};

TEST_F(ChipdriveLifecycle, ConstructionAndStartLogAndCommands) {
    auto driver = makeChipdrive();
    EXPECT_TRUE(driver->Start("ignored"));
    expectLog({"readerChipdrive.Class_Initialize()", "scard: CD test library 1.0",
                                        " idleTimerInterval=500, onlineTimerInterval=500",
                                        "readerChipdrive.Start()", "scard: CD test library 1.0",
                                        "device: CD test reader"});
    const auto commands = scard->commands();
    EXPECT_EQ(commands.back(), "Card,Reset");
    const auto& probe = scard->calls().at(0);
    EXPECT_EQ(probe.command, "");
    EXPECT_EQ(probe.outputLength, 0);
    EXPECT_EQ(probe.output, "");
    for (const auto& c : scard->calls()) EXPECT_EQ(c.handle, 0);
}

TEST_F(ChipdriveLifecycle, MissingLibraryIsReportedAndStartFails) {
    scard->setUnavailable(true);
    auto driver = makeChipdrive();
    EXPECT_EQ(logCount("  FAILED: driver not found"), 1);
    EXPECT_EQ(driver->pollingInterval(), 0);
    EXPECT_FALSE(driver->Start(""));
    EXPECT_FALSE(driver->isRunning());
    EXPECT_EQ(logCount("  FAILED: driver not found"), 2);
    loop.advance(milliseconds(5000));
    EXPECT_EQ(driver->cardState(), "");
}

TEST_F(ChipdriveLifecycle, LibraryLostWhileRunningShowsAsFailedDevice) {
    auto driver = makeChipdrive();
    driver->Start("");
    scard->setUnavailable(true);
    loop.advance(milliseconds(500));
    EXPECT_EQ(driver->cardState(), "failed");
    EXPECT_EQ(driver->readOffset(0, 4, false), "failed");
}

TEST_F(ChipdriveLifecycle, DeviceWaitAtConstructionIsBounded) {
    scard->deviceStatus = "error: no reader";
    auto driver = makeChipdrive();
    EXPECT_EQ(scard->count("Device,Info,Status"), 6);
    EXPECT_EQ(loop.waits().size(), 5u);
}

TEST_F(ChipdriveLifecycle, RestartUnlocksWaitsForTheDeviceAndStartsAgain) {
    setInterval("omsc.idleTimerInterval", "30000");  // no tick during the restart
    auto driver = makeChipdrive();
    driver->Start("");
    scard->clearCalls();
    scard->script("Device,Info,Status", SAnswer::returning(1));
    driver->restart();
    const std::vector<std::string> expected{"Card,Unlock", "Device,Info,Status", "Device,Info,Status", "",
                                            "System,Info,VersionText", "Device,Info,Type", "Card,Reset"};
    EXPECT_EQ(scard->commands(), expected);
    EXPECT_TRUE(driver->isRunning());
}

TEST_F(ChipdriveLifecycle, ReleaseUnlocksAndLogs) {
    auto driver = makeChipdrive();
    driver->Start("");
    scard->clearCalls();
    driver.reset();
    EXPECT_EQ(scard->commands(), std::vector<std::string>{"Card,Unlock"});
    expectLog({"readerChipdrive.Stopp()", "readerChipdrive.Class_Terminate()"});
}

class DriverDestruction : public ReaderTestBase {};

TEST_F(DriverDestruction, WhileATickIsPending) {
    auto driver = makeChipdrive();
    loop.advance(milliseconds(499));
    driver.reset();
    scard->clearCalls();
    loop.advance(milliseconds(5000));
    EXPECT_TRUE(scard->calls().empty());
    EXPECT_EQ(loop.activeTimers(), 0);
}

TEST_F(DriverDestruction, ByAStateChangeHandlerInsideTheTick) {
    std::unique_ptr<reader> driver = makeSCM();
    driver->EventSource().subscribe(onStateChange([&] { driver.reset(); }));
    int later = 0;
    driver->EventSource().subscribe(onStateChange([&] { ++later; }));
    loop.advance(milliseconds(500));
    EXPECT_EQ(driver, nullptr);
    EXPECT_EQ(later, 1);  // the carrier outlives the raise
    EXPECT_EQ(logCount("readerSCM.Class_Terminate()"), 1);
    mcard->clearCalls();
    loop.advance(milliseconds(5000));
    EXPECT_TRUE(mcard->calls().empty());
}

TEST_F(DriverDestruction, DuringAWriteThatLetsEventsRun) {
    auto owned = makeChipdrive();
    readerChipdrive* driver = owned.get();
    driver->Start("");
    loop.post([&] { owned.reset(); });
    int32_t length = 1300;
    EXPECT_EQ(driver->writeOffset(0, length, std::string(1300, 'd'), false), 0);
    EXPECT_EQ(scard->count("Card,MemWrite,0,512"), 1);
    EXPECT_EQ(scard->count("Card,MemWrite,512,512"), 0);
}

TEST_F(DriverDestruction, DuringAReadRepetitionPause) {
    auto owned = makeChipdrive();
    readerChipdrive* driver = owned.get();
    driver->Start("");
    for (int i = 0; i < 4; ++i) scard->script("Card,MemRead", SAnswer::returning(5));
    loop.post([&] { owned.reset(); });
    EXPECT_EQ(driver->readOffset(0, 8, false), "failed");
    EXPECT_EQ(scard->count("Card,MemRead,0,8"), 2);
}

class ThrowingHandler : public ReaderTestBase {};

TEST_F(ThrowingHandler, IsLoggedOnceAndPollingGoesOn) {
    auto driver = makeChipdrive();
    driver->Start("");
    int calls = 0;
    driver->EventSource().subscribe(onStateChange([&] {
        ++calls;
        if (calls == 1) throw std::runtime_error("939");
    }));
    loop.advance(milliseconds(500));  // active: the handler throws
    EXPECT_EQ(logCount("readerChipdrive.Timer1_Timer: failed, 939"), 1);
    EXPECT_EQ(driver->cardState(), "active");
    loop.advance(milliseconds(500));  // same word: no second event, no second line
    EXPECT_EQ(calls, 1);
    scard->cardStatus = "locked";
    loop.advance(milliseconds(500));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(logCount("readerChipdrive.Timer1_Timer: failed, 939"), 1);
}

TEST_F(ThrowingHandler, DuringAWriteLeavesBusyCleared) {
    auto driver = makeSCM();
    driver->Start("Test Reader 0");
    loop.advance(milliseconds(1000));
    driver->EventSource().subscribe(
        {[] { throw std::runtime_error("display gone"); }, nullptr, nullptr});
    int32_t length = 8;
    EXPECT_THROW(driver->writeOffset(0, length, "abcdefgh", false), std::runtime_error);
    EXPECT_EQ(driver->cardConnected(), "active");
}

}  // namespace
}  // namespace orvex::test
