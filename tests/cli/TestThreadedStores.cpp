// The settings store and the trace log with many threads of one process at
// once, as a batch on several readers uses them: no setting is lost and no
// log line is torn or merged with another.
#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "foundation/RegTestSupport.h"
#include "foundation/clsLog.h"
#include "foundation/clsRegistry.h"
#include "platform/registry/RegFileStore.h"

using namespace orvex;

TEST(SharedStores, threads_keep_every_setting_and_every_log_line_whole) {
    const test::ScopedRegistryDir dir;
    const std::string logPath = dir.dir + "/trace.log";
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kProductKey, "ocardlog", REG_SZ, logPath);
    constexpr int kThreads = 6, kRounds = 25;
    std::atomic<int> wrongReads{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &logPath, &wrongReads] {
            clsRegistry reg;
            clsLog log;  // reads the log's setting, like every driver and card object
            for (int i = 0; i < kRounds; ++i) {
                reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, "v" + std::to_string(t * kRounds + i), REG_SZ,
                                  std::to_string(i));
                log.log(std::string(600, static_cast<char>('a' + t)));  // long, so a torn line shows
                if (reg.ReadRegistry(HKEY_CURRENT_USER, kProductKey, "ocardlog") != logPath) ++wrongReads;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrongReads, 0);
    platform::RegFileStore fresh;  // what the file holds now
    for (int v = 0; v < kThreads * kRounds; ++v)
        EXPECT_EQ(clsRegistry(fresh).ReadRegistry(HKEY_CURRENT_USER, kProductKey, "v" + std::to_string(v)),
                  std::to_string(v % kRounds)) << v;
    std::istringstream lines(test::readFileBytes(logPath));
    const std::regex stamped("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} - [^\r\n]*\r");
    std::vector<int> perThread(kThreads, 0);
    for (std::string line; std::getline(lines, line);) {
        ASSERT_TRUE(std::regex_match(line, stamped)) << line.substr(0, 80);
        const char c = line[22];  // a thread's whole line: its letter 600 times
        if (line.size() == 623 && c >= 'a' && c < 'a' + kThreads && line.find_first_not_of(c, 22) == 622)
            ++perThread[c - 'a'];
    }
    EXPECT_EQ(perThread, std::vector<int>(kThreads, kRounds));
}
