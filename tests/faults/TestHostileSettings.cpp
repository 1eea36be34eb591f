// orvexcard as a process with a settings store or a log that is broken in
// every way an operator's machine manages: each card operation still
// succeeds, ends, and keeps its memory small.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "foundation/RegTestSupport.h"
#include "foundation/clsRegistry.h"
#include "platform/registry/RegFileStore.h"
#include "platform/sim/SimDirectory.h"
#include "samplefile/SampleFileMaker.h"
#include "support/ChildProcess.h"

using namespace orvex;
using namespace orvex::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kReader = "OrvexCard Simulated Reader 0";
const std::string kUserKey = "[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n";

// A store file of about this size: the header and one line per value, or
// one key per section.
// Written in pieces, so the test's own memory (which every child it forks
// starts out sharing, and its peak counts) stays small.
void writeLargeStore(const std::string& path, size_t bytes, bool sections) {
    std::ofstream out(path, std::ios::binary);
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n" + kUserKey;
    size_t written = 0;
    for (size_t n = 0; written + text.size() < bytes; ++n) {
        const std::string name = "v" + std::to_string(n);
        text += sections ? "[HKEY_CURRENT_USER\\SOFTWARE\\" + name + "]\r\n\"a\"=\"b\"\r\n"
                         : "\"" + name + "\"=\"" + std::string(80, 'x') + "\"\r\n";
        if (text.size() >= 64 * 1024) {
            out << text;
            written += text.size();
            text.clear();
        }
    }
    out << text;
}

// Public: the table rows below spoil the settings through it.
class HostileSettings : public ::testing::Test {
public:
    // A fresh folder: sound settings, a blank card in the reader, a sample.
    void prepare() {
        dir_ = makeTempDir("hostile");
        fs::create_directories(registry());
        writeTestSettings(registry(), dir_ + "/trace.log", "");
        platform::SimDirectory sim(dir_ + "/sim");
        ASSERT_TRUE(sim.init().ok() && sim.insert(kReader, std::nullopt).ok());
        writeFileBytes(dir_ + "/take.7kx", sampleFileBytes());
    }

    std::string registry() const { return dir_ + "/registry"; }
    std::string hkcu() const { return registry() + "/HKCU.reg"; }
    void storeLogPath(const std::string& path) const {
        writeFileBytes(hkcu(), "Windows Registry Editor Version 5.00\r\n\r\n" + kUserKey + "\"ocardlog\"=\"" +
                                   path + "\"\r\n");
    }
    // A folder no file can be made in, also for root (see run).
    static void readOnly(const std::string& path) { ::chmod(path.c_str(), 0555); }

    // Runs orvexcard to the end (killed after 20 s). As root it runs without
    // the right to override file permissions, so read-only means read-only.
    ProgramResult run(std::vector<std::string> args) const {
        args.insert(args.begin(), ORVEXCARD_PROGRAM);
        if (::geteuid() == 0)
            args.insert(args.begin(), {"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"});
        const std::map<std::string, std::string> env = {
            {"ORVEXCARD_SIM", dir_ + "/sim"}, {"ORVEXCARD_REGISTRY_DIR", registry()},
            {"XDG_STATE_HOME", dir_ + "/state"}, {"XDG_CONFIG_HOME", dir_ + "/config"}};
        const std::string out = makeTempDir("run");
        return ChildProcess(args, out + "/out", out + "/err", env).finish(20000);
    }

    // Largest resident size of any orvexcard run so far, in kilobytes.
    static long peakKb(int who) {
        rusage usage{};
        ::getrusage(who, &usage);
        return usage.ru_maxrss;
    }

    std::string dir_;
};

}  // namespace

TEST_F(HostileSettings, every_card_operation_succeeds_ends_and_stays_small) {
    const struct Row {
        const char* name;
        std::function<void(const HostileSettings&)> spoil;
    } rows[] = {
        {"sound settings", [](const HostileSettings&) {}},
        {"store cut off in a value", [](const HostileSettings& t) {
             writeFileBytes(t.hkcu(), readFileBytes(t.hkcu()).substr(0, 90) + "\"lng\"=dword:000");
         }},
        {"store of binary bytes", [](const HostileSettings& t) {
             std::string junk(4096, '\0');
             for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 7919 >> 3);
             writeFileBytes(t.hkcu(), junk);
         }},
        {"store of 10 MB", [](const HostileSettings& t) { writeLargeStore(t.hkcu(), 10 << 20, false); }},
        {"store of 2 MB in sections", [](const HostileSettings& t) { writeLargeStore(t.hkcu(), 2 << 20, true); }},
        {"read-only store", [](const HostileSettings& t) {
             fs::remove(t.hkcu());  // the log's default path must be stored, and cannot be
             readOnly(t.registry());
         }},
        {"log folder missing", [](const HostileSettings& t) { t.storeLogPath(t.dir_ + "/gone/trace.log"); }},
        {"read-only log folder", [](const HostileSettings& t) {
             fs::create_directories(t.dir_ + "/locked");
             readOnly(t.dir_ + "/locked");
             t.storeLogPath(t.dir_ + "/locked/trace.log");
         }},
        {"log is a FIFO", [](const HostileSettings& t) {
             ::mkfifo((t.dir_ + "/fifo").c_str(), 0600);
             t.storeLogPath(t.dir_ + "/fifo");
         }},
    };
    long soundKb = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        prepare();
        row.spoil(*this);
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {"format", "--kind", "drink"},
                 {"write", dir_ + "/take.7kx", "--kind", "station", "--duration", "2"},
                 {"inspect"}}) {
            const ProgramResult r = run(args);
            EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        }
        // A forked child starts out with the test's own pages, which count in
        // its peak: the test's peak is a floor of every child's.
        if (!soundKb) soundKb = peakKb(RUSAGE_CHILDREN);
        const long floorKb = std::max(soundKb, peakKb(RUSAGE_SELF));
        EXPECT_LT(peakKb(RUSAGE_CHILDREN), floorKb + 24 * 1024) << "the settings were read whole";
    }
}

// The store never writes a file it would refuse to read back.
TEST(SettingsStoreBound, a_change_that_would_outgrow_the_store_is_refused) {
    ScopedRegistryDir d;
    platform::RegFileStore store;
    clsRegistry reg(store);
    reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, "api", REG_SZ, "MCARD");
    reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, "big", REG_SZ,
                      std::string(platform::RegFileStore::kMaxFileSize, 'x'));
    EXPECT_EQ(reg.ReadRegistry(HKEY_CURRENT_USER, kProductKey, "big"), clsRegistry::notFoundVal());
    platform::RegFileStore again;
    EXPECT_EQ(clsRegistry(again).ReadRegistry(HKEY_CURRENT_USER, kProductKey, "api"), "MCARD");
}
