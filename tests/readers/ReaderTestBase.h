#pragma once
// Shared set-up of the reader tests: the virtual loop, a fixed log time, the
// scripted platform fakes stamped with the loop's clock, the log file emptied
// before each test, and a recorder of the driver's events.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/TestEnvironment.h"
#include "foundation/Clock.h"
#include "foundation/clsLog.h"
#include "foundation/clsRegistry.h"
#include "platform/eventloop/VirtualEventLoop.h"
#include "readers/readerChipdrive.h"
#include "readers/readerSCM.h"
#include "support/ScriptedMCardApi.h"
#include "support/ScriptedSCard32Api.h"

namespace orvex::test {

using std::chrono::milliseconds;
using MAnswer = ScriptedMCardApi::Answer;
using SAnswer = ScriptedSCard32Api::Answer;

inline readerEvents::Handlers onMaxChange(std::function<void()> f) {
    readerEvents::Handlers h;
    h.progressMaxChange = std::move(f);
    return h;
}
inline readerEvents::Handlers onStateChange(std::function<void()> f) {
    readerEvents::Handlers h;
    h.stateChange = std::move(f);
    return h;
}

// Records the events of one driver as "state:<word>", "max:<n>", "progress:<n>".
class EventRecorder {
public:
    void attach(reader& r) {
        r.EventSource().subscribe({[this, &r] { events.push_back("progress:" + std::to_string(r.progress())); },
                                   [this, &r] { events.push_back("max:" + std::to_string(r.progressMax())); },
                                   [this, &r] { events.push_back("state:" + r.cardState()); }});
    }
    std::vector<std::string> events;
};

class ReaderTestBase : public ::testing::Test {
protected:
    void SetUp() override {
        installClock(&clock_);
        {
            clsLog probe;
            logPath_ = probe.path();
        }
        writeFileBytes(logPath_, "");
        clsRegistry().DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, "omsc.idleTimerInterval");
        clsRegistry().DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, "omsc.onlineTimerInterval");
        mcard->setClock([this] { return loop.now(); });
        scard->setClock([this] { return loop.now(); });
    }
    void TearDown() override { installClock(nullptr); }

    std::unique_ptr<readerSCM> makeSCM() { return std::make_unique<readerSCM>(mcard, loop); }
    std::unique_ptr<readerChipdrive> makeChipdrive() {
        return std::make_unique<readerChipdrive>(scard, loop);
    }

    // The log's lines without their time stamps.
    std::vector<std::string> logTexts() const {
        std::vector<std::string> out;
        const std::string all = readFileBytes(logPath_);
        size_t start = 0;
        for (size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::string line = all.substr(start, end - start);
            const size_t mark = line.find(" - ");
            out.push_back(mark == std::string::npos ? line : line.substr(mark + 3));
        }
        return out;
    }
    // The lines from the first that equals expected.front(), as many as expected.
    std::vector<std::string> logFrom(const std::vector<std::string>& expected) const {
        const auto lines = logTexts();
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i] == expected.front()) {
                return {lines.begin() + static_cast<long>(i),
                        lines.begin() + static_cast<long>(std::min(lines.size(), i + expected.size()))};
            }
        }
        return {};
    }
    void expectLog(const std::vector<std::string>& expected) const {
        EXPECT_EQ(logFrom(expected), expected);
    }
    int logCount(const std::string& text) const {
        int n = 0;
        for (const auto& line : logTexts()) n += line == text ? 1 : 0;
        return n;
    }
    std::string rawLog() const { return readFileBytes(logPath_); }

    static void setInterval(const char* name, const std::string& value) {
        clsRegistry().WriteRegistry(HKEY_LOCAL_MACHINE, kProductKey, name, REG_SZ, value);
    }

    platform::VirtualEventLoop loop;
    std::shared_ptr<ScriptedMCardApi> mcard = std::make_shared<ScriptedMCardApi>();
    std::shared_ptr<ScriptedSCard32Api> scard = std::make_shared<ScriptedSCard32Api>();
    EventRecorder recorder;

private:
    FixedClock clock_{DateTime{2024, 3, 5, 14, 7, 9}};
    std::string logPath_;
};

}  // namespace orvex::test
