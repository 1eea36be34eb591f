// The card side of a virtual reader: connects to the reader driver's port on
// this machine and answers as a 16384-byte memory card whose bytes live in an
// image file.
//
//   orvex_card_emulator --port N --image FILE [--pull-after-updates N] [--latency-ms N]
//
// SIGUSR1 pulls the card (the connection is closed), SIGUSR2 inserts it
// (connects again); --pull-after-updates pulls it right after answering the
// Nth successful UPDATE BINARY, so a test can break a write off mid-way;
// --latency-ms makes every answer take that long, as a slow card does.
// SIGTERM or SIGINT ends the program.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CardEmulator.h"
#include "support/TestEnvironment.h"

namespace {

using namespace orvex::emulator;

volatile sig_atomic_t pullRequested = 0, insertRequested = 0, stopRequested = 0;

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "orvex_card_emulator: %s\n", why.c_str());
    std::exit(2);
}

struct Options {
    int port = 0;
    std::string image;
    uint32_t pullAfterUpdates = 0;  // 0: never
    int latencyMs = 0;

    Options(int argc, char** argv) {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            const bool hasValue = i + 1 < argc;
            if (arg == "--port" && hasValue) port = std::atoi(argv[++i]);
            else if (arg == "--image" && hasValue) image = argv[++i];
            else if (arg == "--pull-after-updates" && hasValue) pullAfterUpdates = std::strtoul(argv[++i], nullptr, 10);
            else if (arg == "--latency-ms" && hasValue) latencyMs = std::atoi(argv[++i]);
            else fail("unknown argument " + arg);
        }
        if (port <= 0 || port > 65535 || image.empty()) fail("--port and --image are required");
    }
};

// The image file as it is, or blank when it does not exist yet.
Bytes loadImage(const std::string& path) {
    const std::string bytes = orvex::test::readFileBytes(path);
    if (!bytes.empty() && bytes.size() != MemoryCardEmulator::kCardSize) fail("the image file does not hold 16384 bytes");
    return Bytes(bytes.begin(), bytes.end());
}

// Every write reaches the file before the card answers.
void saveImage(const std::string& path, const Bytes& image) {
    orvex::test::writeFileBytes(path, std::string(image.begin(), image.end()));
}

// Every answer is one small message the reader waits for: nothing held back.
int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

bool sendAll(int fd, const Bytes& bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t put = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        sent += static_cast<size_t>(put);
    }
    return true;
}

void installHandlers() {
    struct sigaction action {};
    action.sa_handler = [](int number) {
        (number == SIGUSR1 ? pullRequested : number == SIGUSR2 ? insertRequested : stopRequested) = 1;
    };
    sigset_t all;
    sigemptyset(&all);
    for (int number : {SIGUSR1, SIGUSR2, SIGTERM, SIGINT}) ::sigaction(number, &action, nullptr), sigaddset(&all, number);
    ::sigprocmask(SIG_UNBLOCK, &all, nullptr);
}

class Session {
public:
    explicit Session(const Options& options) : options_(options), card_(loadImage(options.image)) {
        saveImage(options_.image, card_.image());
    }

    void run() {
        for (bool inserted = true; !stopRequested;) {
            if (pullRequested) pullRequested = 0, inserted = false, disconnect();
            if (insertRequested) insertRequested = 0, inserted = true;
            if (inserted && fd_ < 0) fd_ = connectTo(options_.port);
            if (fd_ < 0) ::poll(nullptr, 0, 20);
            else if (!serveOnce()) inserted = false;
        }
        disconnect();
    }

private:
    // False when the card was pulled after its last update.
    bool serveOnce() {
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, 20) <= 0) return true;
        uint8_t chunk[4096];
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR) return true;
        if (got <= 0) return disconnect(), true;  // the reader side went away; connect again later
        // The reader driver sends a message's length and its bytes as two
        // writes, so a delayed acknowledgement here would hold up the second.
        // Linux re-arms delayed ACKs, hence after every receive.
        const int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        frames_.feed(chunk, static_cast<size_t>(got));
        while (fd_ >= 0) {
            const auto message = frames_.next();
            if (!message) break;
            const uint32_t before = card_.updates();
            const auto reply = card_.handle(*message);
            if (options_.latencyMs > 0) ::poll(nullptr, 0, options_.latencyMs);
            if (card_.updates() != before) saveImage(options_.image, card_.image());
            if (reply && !sendAll(fd_, *VpcdFrameReader::frame(*reply))) disconnect();
            if (card_.updates() != before && card_.updates() == options_.pullAfterUpdates) return disconnect(), false;
        }
        return true;
    }

    void disconnect() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        frames_ = VpcdFrameReader();
    }

    Options options_;
    MemoryCardEmulator card_;
    VpcdFrameReader frames_;
    int fd_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
    const Options options(argc, argv);
    installHandlers();
    Session(options).run();
    return 0;
}
