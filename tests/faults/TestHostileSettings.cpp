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

const std::string kStoreHead =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n";

// A store file of about this size: one line per value, or one key per
// section. Written in pieces, so the test's own memory (which every child it
// forks starts out sharing, and its peak counts) stays small.
void writeLargeStore(const std::string& path, size_t bytes, bool sections) {
    std::ofstream out(path, std::ios::binary);
    out << kStoreHead;
    std::string text;
    for (size_t n = 0, written = 0; written < bytes; ++n) {
        const std::string name = "v" + std::to_string(n);
        text += sections ? "[HKEY_CURRENT_USER\\SOFTWARE\\" + name + "]\r\n\"a\"=\"b\"\r\n"
                         : "\"" + name + "\"=\"" + std::string(80, 'x') + "\"\r\n";
        if (text.size() >= 64 * 1024) written += text.size(), out << text, text.clear();
    }
}

// Largest resident size of this process or of any child so far, in kilobytes.
long peakKb(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return usage.ru_maxrss;
}

}  // namespace

TEST(HostileSettings, every_card_operation_succeeds_ends_and_stays_small) {
    // Each row spoils a fresh folder's sound settings (folder, user store).
    using Spoil = std::function<void(const std::string&, const std::string&)>;
    const auto logAt = [](const std::string& store, const std::string& path) {
        writeFileBytes(store, kStoreHead + "\"ocardlog\"=\"" + path + "\"\r\n");
    };
    const auto readOnly = [](const std::string& path) { ::chmod(path.c_str(), 0555); };  // also for root (see below)
    const std::pair<const char*, Spoil> rows[] = {
        {"sound settings", [](const std::string&, const std::string&) {}},
        {"store cut off in a value",
         [](const std::string&, const std::string& s) { writeFileBytes(s, readFileBytes(s).substr(0, 90) + "\"lng\"=dword:000"); }},
        {"store of binary bytes",
         [](const std::string&, const std::string& s) {
             std::string junk(4096, '\0');
             for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 7919 >> 3);
             writeFileBytes(s, junk);
         }},
        {"store of 10 MB", [](const std::string&, const std::string& s) { writeLargeStore(s, 10 << 20, false); }},
        {"store of 2 MB in sections", [](const std::string&, const std::string& s) { writeLargeStore(s, 2 << 20, true); }},
        {"read-only store",  // the log's default path must be stored, and cannot be
         [&](const std::string&, const std::string& s) { fs::remove(s), readOnly(fs::path(s).parent_path()); }},
        {"log folder missing", [&](const std::string& d, const std::string& s) { logAt(s, d + "/gone/trace.log"); }},
        {"read-only log folder",
         [&](const std::string& d, const std::string& s) {
             fs::create_directories(d + "/locked");
             readOnly(d + "/locked");
             logAt(s, d + "/locked/trace.log");
         }},
        {"log is a FIFO", [&](const std::string& d, const std::string& s) {
             ::mkfifo((d + "/fifo").c_str(), 0600);
             logAt(s, d + "/fifo");
         }}};
    long soundKb = 0;
    for (const auto& [name, spoil] : rows) {
        SCOPED_TRACE(name);
        const std::string dir = makeTempDir("hostile"), registry = dir + "/registry";
        fs::create_directories(registry);
        writeTestSettings(registry, dir + "/trace.log", "");
        platform::SimDirectory sim(dir + "/sim");
        ASSERT_TRUE(sim.init().ok() && sim.insert("OrvexCard Simulated Reader 0", std::nullopt).ok());
        writeFileBytes(dir + "/take.7kx", sampleFileBytes());
        spoil(dir, registry + "/HKCU.reg");
        const std::map<std::string, std::string> env = {{"ORVEXCARD_SIM", dir + "/sim"},
                                                        {"ORVEXCARD_REGISTRY_DIR", registry},
                                                        {"XDG_STATE_HOME", dir + "/state"},
                                                        {"XDG_CONFIG_HOME", dir + "/config"}};
        for (const std::vector<std::string>& args : {std::vector<std::string>{"format", "--kind", "drink"},
                                                     {"write", dir + "/take.7kx", "--kind", "station", "--duration", "2"},
                                                     {"inspect"}}) {
            // As root without the right to override file permissions, so
            // read-only means read-only; killed after 20 s.
            std::vector<std::string> argv{"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search", "--",
                                          ORVEXCARD_PROGRAM};
            argv.erase(argv.begin(), argv.begin() + (::geteuid() == 0 ? 0 : 3));
            argv.insert(argv.end(), args.begin(), args.end());
            const ProgramResult r = ChildProcess(argv, dir + "/out", dir + "/err", env).finish(20000);
            EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        }
        // A forked child starts out with the test's own pages, which count in
        // its peak: the test's peak is a floor of every child's.
        if (!soundKb) soundKb = peakKb(RUSAGE_CHILDREN);
        EXPECT_LT(peakKb(RUSAGE_CHILDREN), std::max(soundKb, peakKb(RUSAGE_SELF)) + 24 * 1024)
            << "the settings were read whole";
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
