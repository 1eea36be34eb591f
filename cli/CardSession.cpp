#include "cli/CardSession.h"

#include <chrono>
#include <cmath>
#include <vector>

#include "platform/mcard/MemoryCardBackend.h"
#include "readers/makeReader.h"

namespace orvex::cli {
namespace {

using namespace std::chrono_literals;

// How often the session looks at the state word while it waits: at once
// after a change (the driver takes a state at once after a start or restart,
// and a card just connected settles on the next query), less often the longer
// the word stays. The driver's own polling interval decides how soon a
// change in the reader shows.
constexpr platform::LoopTime kFirstLook = 1ms;
constexpr platform::LoopTime kLookInterval = 16ms;
constexpr int kTurnsAtOnce = 2;

std::string joinNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const auto& n : names) joined += (joined.empty() ? "" : ", ") + ("\"" + n + "\"");
    return joined;
}

}  // namespace

CardSession::CardSession(platform::EventLoop& loop, SessionSettings settings)
    : loop_(loop), settings_(std::move(settings)) {}

// The card object goes before the driver (member order); the driver stops
// itself when it is released.
CardSession::~CardSession() = default;

std::string CardSession::lastState() const { return reader_ ? reader_->cardState() : ""; }

bool CardSession::waitFor(double seconds, const std::function<bool()>& done, const std::atomic<bool>* stop) {
    const bool forever = seconds < 0;
    const auto due = loop_.now() + std::chrono::milliseconds(
                                       forever ? 0 : static_cast<long long>(std::ceil(seconds * 1000)));
    std::string seen = lastState();
    platform::LoopTime look = kFirstLook;
    while (!done()) {
        if (stop && *stop) return false;
        if (!forever && loop_.now() >= due) return false;
        // Ticks due at once run before any sleep: a start's or a restart's
        // first, and the one that follows it to settle a card just connected.
        for (int turn = 0; turn < kTurnsAtOnce && !done(); ++turn) loop_.processEvents();
        if (done()) break;
        loop_.waitUntil(forever ? loop_.now() + look : std::min(due, loop_.now() + look));
        const std::string now = lastState();
        look = now != seen ? kFirstLook : std::min(look * 2, kLookInterval);
        seen = now;
    }
    return true;
}

bool CardSession::startDriver() {
    started_ = loop_.now();
    reader_ = makeReader(static_cast<int32_t>(settings_.api), loop_);
    // A batch's next card counts from its insertion, not an interval later.
    reader_->setSettleNewCardAtOnce(true);
    // One progress step per memory piece moved: the reader calls that cost.
    reader_->EventSource().subscribe({[this] { ++memoryCalls_; }, nullptr, nullptr});
    return reader_->Start(settings_.readerName);
}

SessionProblem CardSession::startReader() {
    if (!startDriver()) {
        const SessionProblem why = diagnoseReader();
        return why == SessionProblem::None ? SessionProblem::DriverNotStarted : why;
    }
    reader_->setOptimizeWrite(true);
    // The first tick sets the state word; a driver whose device never answers
    // stays "failed".
    waitFor(std::max(settings_.waitSeconds, 1.0), [&] {
        const std::string s = reader_->cardState();
        return !s.empty() && s != state::kDisconnected;
    });
    // The tick asked the device already; only a word that may mean it did
    // not answer is asked about again.
    const std::string word = reader_->cardState();
    const bool answered = !word.empty() && word != state::kFailed && word != state::kDisconnected;
    if (!answered && !reader_->deviceConnected()) {
        const SessionProblem why = diagnoseReader();
        return why == SessionProblem::None ? SessionProblem::NoReaders : why;
    }
    return SessionProblem::None;
}

SessionProblem CardSession::diagnoseReader() {
    std::vector<std::string> names;
    const platform::BackendStatus status = platform::makeMemoryCardBackend()->listReaders(names);
    attachedReaders_ = joinNames(names);
    if (!status.ok()) {
        if (status.text().find("NO_ACCESS") != std::string::npos) return SessionProblem::NoAccess;
        if (status.fault() == platform::BackendFault::Service) return SessionProblem::NoService;
    }
    if (names.empty()) return SessionProblem::NoReaders;
    if (settings_.api == ReaderApi::SCM) {
        // The driver accepts any reader whose name contains the one given.
        bool listed = false;
        for (const auto& n : names) listed = listed || n.find(settings_.readerName) != std::string::npos;
        if (!listed) return SessionProblem::NoSuchReader;
    }
    return SessionProblem::None;
}

SessionProblem CardSession::waitForCard(double waitSeconds, const std::atomic<bool>* stop) {
    verified_ = false;
    const bool active =
        waitFor(waitSeconds, [&] { return reader_->cardState() == state::kActive; }, stop);
    if (!active) return SessionProblem::NoCard;
    if (millisUntilActive_ < 0) millisUntilActive_ = (loop_.now() - started_).count();
    if (!card_) {
        card_ = std::make_unique<orvexcard>();
        if (card_->assign(*reader_) != -1) {
            card_.reset();
            return SessionProblem::CardNotTaken;
        }
    }
    verified_ = card_->verifyCard();
    return SessionProblem::None;
}

void CardSession::waitForRemoval(const std::atomic<bool>& stop) {
    waitFor(-1, [&] {
        const std::string s = reader_->cardState();
        return s != state::kActive && s != state::kActiveLocked && s != state::kDetect;
    }, &stop);
    card_.reset();  // the next card gets its own card object
}

SessionProblem CardSession::restartAndVerify() {
    // restart leaves "active" at once; the next polling tick reconnects the
    // card and brings the word back.
    reader_->restart();
    return waitForCard(settings_.waitSeconds);
}

}  // namespace orvex::cli
