// Both reader drivers on a real pcscd with the card emulator: one private pcscd
// for the whole program (its own reader configuration, the virtual reader
// driver on a free port), one emulator per test, run through run_private.sh.
// Deadlines only guard against hanging.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>

#include "platform/eventloop/VirtualEventLoop.h"
#include "platform/mcard/MCardApi.h"
#include "platform/pcsc/PcscBackend.h"
#include "platform/scard32/SCard32Api.h"
#include "readers/readerChipdrive.h"
#include "readers/readerSCM.h"
#include "support/ChildProcess.h"

namespace orvex::test {
namespace {

using platform::CardPresence;

constexpr const char* kFriendlyName = "Orvex Test Reader";
constexpr const char* kPcscdSocket = "/run/pcscd/pcscd.comm";

struct Pcscd {
    ChildProcess process;  // stopped at exit by its destructor
    std::string logPath, readerName = std::string(kFriendlyName) + " 00 00";  // the first of two readers
    int port = 0;
    bool up = false;
} pcscd;

// The driver serves two slots, on the configured port and the next one:
// a port from the system whose next one is free too, or 0.
int freePortPair() {
    const auto bindPort = [](int port) {  // the port bound (0: any), or 0
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        socklen_t size = sizeof address;
        const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                           ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
        ::close(fd);
        return bound ? ntohs(address.sin_port) : 0;
    };
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int port = bindPort(0);
        if (port > 0 && port < 65535 && bindPort(port + 1) > 0) return port;
    }
    return 0;
}

std::string logTail() {
    const std::string all = readFileBytes(pcscd.logPath);
    return all.substr(all.size() > 2000 ? all.size() - 2000 : 0);
}

// Empty on success; otherwise why pcscd could not be brought up.
std::string startPcscd(const std::string& dir) {
    if (std::string(ORVEX_PCSCD_PATH).empty()) return "pcscd is not installed (run scripts/setup.sh)";
    if (std::string(ORVEX_VPCD_DRIVER).empty())
        return "the virtual reader driver of vsmartcard-vpcd is not installed (run scripts/setup.sh)";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", kPcscdSocket);
    const bool served = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (served)  // a pcscd, or a socket kept open to start one on demand
        return std::string("another pcscd already serves ") + kPcscdSocket +
               "; run the suite through ctest (which gives it a private /run/pcscd) or stop the other one";
    pcscd.port = freePortPair();
    if (pcscd.port == 0) return "no free pair of TCP ports for the virtual reader";
    std::filesystem::create_directories(dir + "/reader.conf.d");
    char port[16];
    std::snprintf(port, sizeof port, "0x%X", static_cast<unsigned>(pcscd.port));
    writeFileBytes(dir + "/reader.conf.d/vpcd", std::string("FRIENDLYNAME \"") + kFriendlyName + "\"\nDEVICENAME /dev/null:" +
                                                    port + "\nLIBPATH " + ORVEX_VPCD_DRIVER + "\nCHANNELID " + port + "\n");
    pcscd.logPath = dir + "/pcscd.log";
    if (!pcscd.process.start({ORVEX_PCSCD_PATH, "--foreground", "--config", dir + "/reader.conf.d"}, pcscd.logPath, pcscd.logPath))
        return "pcscd could not be started";
    const auto listed = [] {
        std::vector<std::string> names;
        return platform::PcscBackend().listReaders(names).ok() && std::ranges::count(names, pcscd.readerName) > 0;
    };
    pcscd.up = waitUntil([&] { return !pcscd.process.running() || listed(); }, 10000) && pcscd.process.running();
    if (pcscd.up) return {};
    return "pcscd did not start or did not list the reader \"" + pcscd.readerName + "\"; its output:\n" + logTail();
}

class DriverOnPcscd : public ::testing::TestWithParam<bool> {  // true: SCM
protected:
    void SetUp() override {
        static const std::string failure = startPcscd(makeTempDir("pcscd"));
        ASSERT_TRUE(pcscd.up) << "integration suite cannot run: " << failure;
        imagePath_ = makeTempDir("card") + "/card.img";
    }
    void TearDown() override {
        emulator_.stop();
        EXPECT_TRUE(!pcscd.up || waitForPresence(CardPresence::Absent));
    }
    // Starts the emulator (pulling the card after that many updates, 0:
    // never); returns once pcscd sees the card.
    void startCard(unsigned pullAfterUpdates = 0) {
        ASSERT_TRUE(emulator_.start({ORVEX_EMULATOR_PATH, std::to_string(pcscd.port), imagePath_,
                                     std::to_string(pullAfterUpdates)}, imagePath_ + ".log", imagePath_ + ".log"));
        ASSERT_TRUE(waitForPresence(CardPresence::Present)) << logTail();
    }
    // Pulls or inserts the emulated card; true once pcscd has seen it.
    bool pullCard() { return emulator_.signal(SIGUSR1) && waitForPresence(CardPresence::Absent); }
    bool insertCard() { return emulator_.signal(SIGUSR2) && waitForPresence(CardPresence::Present); }
    bool waitForPresence(CardPresence wanted) {
        platform::PcscBackend backend;
        return waitUntil([&] {
            CardPresence presence = CardPresence::ReaderGone;
            return backend.cardPresence(pcscd.readerName, 0, presence).ok() && presence == wanted;
        }, 10000);
    }

    ChildProcess emulator_;
    std::string imagePath_;
};

// The SCM driver shows "detect" on the query that connects a card. Taking a
// card another client holds in a transaction gives up after the bounded wait
// on the loop's clock instead of waiting inside the client library, keeps the
// connection, and succeeds once the card is free. A write that a pull breaks
// off returns 0.
TEST_P(DriverOnPcscd, TakesHoldsWritesAndLosesTheCard) {
    const bool scm = GetParam();
    // 16384 bytes that differ from page to page and from run to run of the
    // seed, so a byte written to the wrong place shows.
    const auto cardPattern = [](unsigned seed) {
        std::string bytes(platform::kMemoryCardSize, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 31 + (i >> 6) * 7 + seed) & 0xFF);
        return bytes;
    };
    const std::string& readerName = pcscd.readerName;
    platform::VirtualEventLoop loop;
    startCard();
    ASSERT_TRUE(pullCard());
    std::unique_ptr<reader> driver;
    if (scm) driver = std::make_unique<readerSCM>(platform::makeMCardApi(), loop);
    else driver = std::make_unique<readerChipdrive>(platform::makeSCard32Api(), loop);
    ASSERT_TRUE(driver->Start(readerName));
    EXPECT_TRUE(driver->deviceConnected());
    EXPECT_EQ(driver->cardConnected(), "wait");
    ASSERT_TRUE(insertCard());
    EXPECT_TRUE(!scm || driver->cardConnected() == "detect");
    EXPECT_EQ(driver->cardConnected(), "active");

    platform::PcscBackend other;
    ASSERT_TRUE(other.beginExclusive(readerName).ok());
    auto attempt = std::async(std::launch::async, [&] { return driver->beginExclusive().held(); });
    const bool returned = attempt.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    other.endExclusive(readerName);  // also lets a waiting call return
    ASSERT_TRUE(returned) << "taking the card waited for the other program";
    EXPECT_FALSE(attempt.get());
    EXPECT_TRUE(driver->cardHeldElsewhere());
    const std::string pattern = cardPattern(scm ? 5 : 6);
    int32_t length = static_cast<int32_t>(pattern.size());
    {
        const ExclusiveCard hold = driver->beginExclusive();
        ASSERT_TRUE(hold.held());
        EXPECT_EQ(driver->writeOffset(0, length, pattern, false), length);
    }
    EXPECT_TRUE(readFileBytes(imagePath_) == pattern) << "the emulated card holds other bytes";
    EXPECT_TRUE(driver->readOffset(0, length, false) == pattern) << "card content differs from what was written";
    ASSERT_TRUE(pullCard());
    EXPECT_EQ(driver->cardConnected(), "wait");

    emulator_.stop();
    startCard(3);
    EXPECT_TRUE(!scm || driver->cardConnected() == "detect");
    EXPECT_EQ(driver->cardConnected(), "active");
    length = 1300;
    EXPECT_EQ(driver->writeOffset(0, length, cardPattern(7).substr(0, 1300), false), 0);
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverOnPcscd, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "SCM" : "Chipdrive"; });

}  // namespace
}  // namespace orvex::test
