#pragma once
// The reader tests' virtual loop, scripted libraries, fixed log time, empty log
// and default intervals before each test, and a recorder of driver events.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/Clock.h"
#include "foundation/clsLog.h"
#include "foundation/clsRegistry.h"
#include "platform/eventloop/VirtualEventLoop.h"
#include "readers/readerChipdrive.h"
#include "readers/readerSCM.h"
#include "support/ScriptedMCardApi.h"
#include "support/ScriptedSCard32Api.h"
#include "support/TestEnvironment.h"

namespace orvex::test {

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

    std::unique_ptr<readerBase> makeSCM() { return std::make_unique<readerSCM>(mcard, loop); }
    std::unique_ptr<readerBase> makeChipdrive() { return std::make_unique<readerChipdrive>(scard, loop); }
    // Started, its events recorded, the calls so far forgotten.
    std::unique_ptr<readerBase> started(Driver d) {
        auto driver = d == Driver::SCM ? makeSCM() : makeChipdrive();
        record(*driver);
        EXPECT_TRUE(driver->Start(d == Driver::SCM ? "Test Reader 0" : ""));
        mcard->calls.clear();
        scard->calls.clear();
        return driver;
    }
    // Records the driver's events as "state:<word>", "max:<n>", "progress:<n>".
    void record(reader& r) {
        r.EventSource().subscribe({[this, &r] { events.push_back("progress:" + std::to_string(r.progress())); },
                                   [this, &r] { events.push_back("max:" + std::to_string(r.progressMax())); },
                                   [this, &r] { events.push_back("state:" + r.cardState()); }});
    }
    void tick(int n = 1) { loop.advance(milliseconds(500 * n)); }
    // The lines of the log that read text after their time stamp.
    int logCount(const std::string& text) const {
        const std::string all = readFileBytes(logPath_);
        int n = 0;
        for (size_t at = 0; (at = all.find(" - " + text + "\r\n", at)) != std::string::npos; ++at) ++n;
        return n;
    }
    static void setInterval(const char* name, const std::string& value) {
        clsRegistry().WriteRegistry(HKEY_LOCAL_MACHINE, kProductKey, name, REG_SZ, value);
    }

    platform::VirtualEventLoop loop;
    std::shared_ptr<ScriptedMCardApi> mcard = std::make_shared<ScriptedMCardApi>();
    std::shared_ptr<ScriptedSCard32Api> scard = std::make_shared<ScriptedSCard32Api>();
    Lines events;

private:
    FixedClock clock_{DateTime{2024, 3, 5, 14, 7, 9}};
    std::string logPath_;
};

}  // namespace orvex::test
