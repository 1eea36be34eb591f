#include "PcscdTest.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/pcsc/PcscBackend.h"
#include "support/TestEnvironment.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;
using platform::CardPresence;

constexpr const char* kFriendlyName = "Orvex Test Reader";

struct Pcscd {
    ChildProcess process;  // stopped at exit by its destructor
    std::string logPath, readerName = std::string(kFriendlyName) + " 00 00", failure;  // the first of two readers
    int port = 0;
    bool started = false;
} pcscd;

constexpr const char* kPcscdSocket = "/run/pcscd/pcscd.comm";

// True when something already answers on the PC/SC socket: a pcscd, or a
// socket kept open to start one on demand. Run through run_private.sh the
// socket directory is private, so a system pcscd outside does not count.
bool socketServed() {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", kPcscdSocket);
    const bool served = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return served;
}

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

bool readerListed() {
    std::vector<std::string> names;
    return platform::PcscBackend().listReaders(names).ok() && std::ranges::find(names, pcscd.readerName) != names.end();
}

// Empty on success; otherwise why pcscd could not be brought up.
std::string startPcscd(const std::string& dir) {
    if (std::string(ORVEX_PCSCD_PATH).empty()) return "pcscd is not installed (run scripts/setup.sh)";
    if (std::string(ORVEX_VPCD_DRIVER).empty())
        return "the virtual reader driver of vsmartcard-vpcd is not installed (run scripts/setup.sh)";
    if (socketServed())
        return std::string("another pcscd already serves ") + kPcscdSocket +
               "; run the suite through ctest (which gives it a private /run/pcscd) or stop the other one";
    pcscd.port = freePortPair();
    if (pcscd.port == 0) return "no free pair of TCP ports for the virtual reader";
    fs::create_directories(dir + "/reader.conf.d");
    char port[16];
    std::snprintf(port, sizeof port, "0x%X", static_cast<unsigned>(pcscd.port));
    writeFileBytes(dir + "/reader.conf.d/vpcd", std::string("FRIENDLYNAME \"") + kFriendlyName + "\"\nDEVICENAME /dev/null:" +
                                                    port + "\nLIBPATH " + ORVEX_VPCD_DRIVER + "\nCHANNELID " + port + "\n");
    pcscd.logPath = dir + "/pcscd.log";
    if (!pcscd.process.start({ORVEX_PCSCD_PATH, "--foreground", "--config", dir + "/reader.conf.d"}, pcscd.logPath, pcscd.logPath))
        return "pcscd could not be started";
    if (waitUntil([] { return !pcscd.process.running() || readerListed(); }, 10000) && pcscd.process.running()) return {};
    return "pcscd did not start or did not list the reader \"" + pcscd.readerName + "\"; its output:\n" + logTail();
}

}  // namespace

void PcscdTest::SetUp() {
    if (!pcscd.started) {
        pcscd.started = true;
        pcscd.failure = startPcscd(makeTempDir("pcscd"));
    }
    ASSERT_TRUE(pcscd.failure.empty()) << "integration suite cannot run: " << pcscd.failure;
    imagePath_ = makeTempDir("card") + "/card.img";
}

void PcscdTest::TearDown() {
    emulator_.stop();
    EXPECT_TRUE(!pcscd.failure.empty() || waitForPresence(CardPresence::Absent));
}

const std::string& PcscdTest::readerName() const { return pcscd.readerName; }

void PcscdTest::startCard(unsigned pullAfterUpdates) {
    ASSERT_TRUE(emulator_.start({ORVEX_EMULATOR_PATH, "--port", std::to_string(pcscd.port), "--image", imagePath_,
                                 "--pull-after-updates", std::to_string(pullAfterUpdates)},
                                imagePath_ + ".log", imagePath_ + ".log"));
    ASSERT_TRUE(waitForPresence(CardPresence::Present)) << logTail();
}

bool PcscdTest::pullCard() { return emulator_.signal(SIGUSR1) && waitForPresence(CardPresence::Absent); }
bool PcscdTest::insertCard() { return emulator_.signal(SIGUSR2) && waitForPresence(CardPresence::Present); }

bool PcscdTest::waitForPresence(CardPresence wanted) {
    platform::PcscBackend backend;
    return waitUntil([&] {
        CardPresence presence = CardPresence::ReaderGone;
        return backend.cardPresence(readerName(), 0, presence).ok() && presence == wanted;
    }, 10000);
}

std::string cardPattern(unsigned seed) {
    std::string bytes(platform::kMemoryCardSize, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 31 + (i >> 6) * 7 + seed) & 0xFF);
    return bytes;
}

}  // namespace orvex::test
