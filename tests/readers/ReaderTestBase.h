#pragma once
// Shared set-up of the reader tests: the virtual loop, a fixed log time, the
// scripted fakes, an empty log and default intervals before each test, and a
// recorder of the driver's events.
#include <gtest/gtest.h>

#include <algorithm>
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

class ReaderTestBase : public ::testing::Test {
protected:
    void SetUp() override {
        installClock(&clock_);
        logPath_ = clsLog().path();
        writeFileBytes(logPath_, "");
        for (const char* name : {"omsc.idleTimerInterval", "omsc.onlineTimerInterval"})
            clsRegistry().DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, name);
        scard->now = [this] { return loop.now(); };
    }
    void TearDown() override { installClock(nullptr); }

    std::unique_ptr<readerSCM> makeSCM() { return std::make_unique<readerSCM>(mcard, loop); }
    std::unique_ptr<readerChipdrive> makeChipdrive() { return std::make_unique<readerChipdrive>(scard, loop); }
    // A started driver whose events the recorder takes, with the calls so far forgotten.
    template <typename Driver>
    std::unique_ptr<Driver> started(std::unique_ptr<Driver> driver, const std::string& name = "") {
        record(*driver);
        EXPECT_TRUE(driver->Start(name));
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

    std::string rawLog() const { return readFileBytes(logPath_); }
    // The log's lines without their time stamps.
    Lines logTexts() const {
        Lines out;
        const std::string all = rawLog();
        for (size_t start = 0, end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::string line = all.substr(start, end - start);
            const size_t mark = line.find(" - ");
            out.push_back(mark == std::string::npos ? line : line.substr(mark + 3));
        }
        return out;
    }
    // The log holds expected as consecutive lines.
    void expectLog(const Lines& expected) const {
        const Lines lines = logTexts();
        const auto at = std::search(lines.begin(), lines.end(), expected.begin(), expected.end());
        EXPECT_NE(at, lines.end()) << ::testing::PrintToString(expected) << " not in "
                                   << ::testing::PrintToString(lines);
    }
    int logCount(const std::string& text) const {
        const Lines lines = logTexts();
        return static_cast<int>(std::count(lines.begin(), lines.end(), text));
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
