// The card side of a virtual reader: connects to the reader driver's port on
// this machine and answers as a 16384-byte memory card whose bytes live in an
// image file; every write reaches the file before the card answers.
//
//   orvex_card_emulator PORT IMAGE [PULL_AFTER_UPDATES]
//
// SIGUSR1 pulls the card (the connection is closed), SIGUSR2 inserts it
// (connects again); PULL_AFTER_UPDATES pulls it right after answering the Nth
// successful UPDATE BINARY (0: never), so a test can break a write off mid-way.
// The program runs until a signal ends it.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "CardEmulator.cpp"
#include "support/TestEnvironment.h"

namespace {

using namespace orvex::emulator;

volatile sig_atomic_t pullRequested = 0, insertRequested = 0;

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "orvex_card_emulator: %s\n", why.c_str());
    std::exit(2);
}

// Every answer is one small message the reader waits for: nothing held back.
int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0)
        return fd;
    ::close(fd);
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) fail("usage: orvex_card_emulator PORT IMAGE [PULL_AFTER_UPDATES]");
    const int port = std::atoi(argv[1]);
    const std::string image = argv[2];
    const uint32_t pullAfterUpdates = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : 0;
    if (port <= 0 || port > 65535 || image.empty()) fail("a port and an image file are required");
    const std::string bytes = orvex::test::readFileBytes(image);  // blank when there is none yet
    if (!bytes.empty() && bytes.size() != MemoryCardEmulator::kCardSize) fail("the image file does not hold 16384 bytes");
    MemoryCardEmulator card(Bytes(bytes.begin(), bytes.end()));
    const auto save = [&] { orvex::test::writeFileBytes(image, std::string(card.image().begin(), card.image().end())); };
    save();

    struct sigaction action {};
    action.sa_flags = SA_RESTART;  // a small send or a receive is never cut short
    action.sa_handler = [](int number) {
        (number == SIGUSR1 ? pullRequested : insertRequested) = 1;
    };
    sigset_t all;
    sigemptyset(&all);
    for (int number : {SIGUSR1, SIGUSR2}) ::sigaction(number, &action, nullptr), sigaddset(&all, number);
    ::sigprocmask(SIG_UNBLOCK, &all, nullptr);

    int fd = -1;
    VpcdFrameReader frames;
    const auto disconnect = [&] {
        if (fd >= 0) ::close(fd);
        fd = -1;
        frames = VpcdFrameReader();
    };
    for (bool inserted = true;;) {
        if (pullRequested) pullRequested = 0, inserted = false, disconnect();
        if (insertRequested) insertRequested = 0, inserted = true;
        if (inserted && fd < 0) fd = connectTo(port);
        pollfd waiting{fd, POLLIN, 0};  // without a connection (fd < 0) only a pause
        if (::poll(&waiting, 1, 20) <= 0) continue;
        uint8_t chunk[4096];
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) {  // the reader side went away; connect again later
            disconnect();
            continue;
        }
        // The reader driver sends a message's length and its bytes as two
        // writes, so a delayed acknowledgement here would hold up the second.
        // Linux re-arms delayed ACKs, hence after every receive.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        frames.feed(chunk, static_cast<size_t>(got));
        for (std::optional<Bytes> message; fd >= 0 && (message = frames.next());) {
            const uint32_t before = card.updates();
            const auto reply = card.handle(*message);
            if (card.updates() != before) save();
            const Bytes framed = reply ? *VpcdFrameReader::frame(*reply) : Bytes();
            if (::send(fd, framed.data(), framed.size(), MSG_NOSIGNAL) != ssize_t(framed.size())) disconnect();
            if (card.updates() != before && card.updates() == pullAfterUpdates) inserted = false, disconnect();
        }
    }
}
