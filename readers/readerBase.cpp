#include "readers/readerBase.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <limits>
#include <optional>
#include <utility>

#include "foundation/clsRegistry.h"
#include "foundation/modCommon.h"
#include "readers/modWait.h"

namespace orvex {
namespace {

constexpr int16_t kDefaultInterval = 500;
constexpr int32_t kWritePieceLength = 512;
constexpr int kDeviceWaits = 5;
constexpr double kDeviceWaitSeconds = 0.5;
// Ticks run at once after a start or restart: the first and one follow-up.
// Bounded, so a reader that keeps answering "detect" is polled at the
// interval again.
constexpr int kSoonTicks = 2;

// A timer interval from the settings: a number in 1..32767, anything else 500.
int16_t intervalFromText(const std::string& text) {
    const std::string t = trimBlanks(text);
    long long value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size()) return kDefaultInterval;
    if (value < 1 || value > std::numeric_limits<int16_t>::max()) return kDefaultInterval;
    return static_cast<int16_t>(value);
}

// The progress counters are 16-bit; card memory is far smaller than that.
bool validRequest(int32_t offset, int32_t length) {
    return offset >= 0 && length >= 0 && length <= std::numeric_limits<int16_t>::max() &&
           offset <= std::numeric_limits<int32_t>::max() - length;
}

bool isOnlineWord(const std::string& word) {
    return word == state::kActive || word == state::kValid;
}

bool isOfflineWord(const std::string& word) {
    return word == state::kFailed || word == state::kDisconnected;
}

}  // namespace

// Holds busy for one read or write. An operation that finds busy already held
// (a read that runs while a write lets events run) leaves it to its owner.
class readerBase::BusyScope {
public:
    explicit BusyScope(readerBase& owner)
        : owner_(owner), alive_(owner.life()), holds_(!owner.busy_) {
        if (holds_) owner_.setBusy(true);
    }
    ~BusyScope() {
        if (holds_ && !alive_.expired()) owner_.setBusy(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    readerBase& owner_;
    Life alive_;
    bool holds_;
};

// Counts a device wait for operationRunning.
class readerBase::WaitScope {
public:
    explicit WaitScope(readerBase& owner) : owner_(owner), alive_(owner.life()) { ++owner_.waiting_; }
    ~WaitScope() {
        if (!alive_.expired()) --owner_.waiting_;
    }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

private:
    readerBase& owner_;
    Life alive_;
};

readerBase::readerBase(std::string className, platform::EventLoop& loop)
    : className_(std::move(className)), loop_(loop) {
    log_ = std::make_unique<clsLog>();
    logLine(className_ + ".Class_Initialize()");
    Timer1_ = std::make_unique<xTimer>(loop_, [this] { Timer1_Timer(); });
    events_ = std::make_shared<readerEvents>();
}

readerBase::~readerBase() = default;

void readerBase::finishConstruction() {
    idleTimerInterval_ = readInterval("omsc.idleTimerInterval");
    onlineTimerInterval_ = readInterval("omsc.onlineTimerInterval");
    logLine(" idleTimerInterval=" + std::to_string(idleTimerInterval_) +
            ", onlineTimerInterval=" + std::to_string(onlineTimerInterval_));
    waitForDevice();
    Timer1_->setInterval(idleTimerInterval_);
}

int16_t readerBase::readInterval(const char* valueName) const {
    return intervalFromText(clsRegistry().ReadRegistry(HKEY_LOCAL_MACHINE, kProductKey, valueName));
}

bool readerBase::waitForDevice() {
    const Life alive = life();
    const WaitScope scope(*this);
    for (int waits = 0;; ++waits) {
        if (deviceConnected() || waits == kDeviceWaits) return true;
        if (!pause(kDeviceWaitSeconds)) return false;
        loop_.processEvents();
        if (alive.expired()) return false;
    }
}

bool readerBase::pause(double seconds) {
    const Life alive = life();
    waitSeconds(loop_, seconds);
    return !alive.expired();
}

bool readerBase::announceRestart() {
    if (!running_) return true;
    if (!setCardState(state::kDetect)) return false;
    tickSoon();
    return true;
}

void readerBase::firstTickSoon() {
    if (!ticked_) tickSoon();
}

void readerBase::tickSoon() {
    if (!Timer1_ || Timer1_->Interval() <= 0) return;  // no polling: no driver
    soonTicksLeft_ = kSoonTicks;
    Timer1_->tickSoon();
}

void readerBase::followUpSoon() {
    if (soonTicksLeft_ <= 0) return;
    if (--soonTicksLeft_ > 0 && cardState_ == state::kDetect) {
        Timer1_->tickSoon();
    } else {
        soonTicksLeft_ = 0;
    }
}

ExclusiveCard readerBase::beginExclusive() {
    if (!running_) return {};
    if (holds_ == 0 && !takeCard()) return {};
    ++holds_;
    return ExclusiveCard([this, alive = life(), generation = holdGeneration_] {
        if (!alive.expired()) endHold(generation);
    });
}

bool readerBase::takeCard() {
    const Life alive = life();
    const WaitScope scope(*this);
    heldElsewhere_ = false;
    const platform::LoopTime due = loop_.now() + kHoldWait;
    for (;;) {
        const Hold answer = holdCard();
        if (answer == Hold::Taken) return true;
        if (answer == Hold::Failed) {
            logLine(className_ + ".beginExclusive: failed, the card cannot be held");
            return false;
        }
        if (loop_.now() >= due) {
            heldElsewhere_ = true;
            logLine(className_ + ".beginExclusive: failed, another program holds the card");
            return false;
        }
        if (!pause(kHoldRetrySeconds) || !running_) return false;
    }
}

void readerBase::endHold(int generation) {
    if (generation == holdGeneration_ && holds_ > 0 && --holds_ == 0) releaseCard();
}

void readerBase::forgetHolds() {
    if (holds_ > 0) releaseCard();
    holds_ = 0;
    ++holdGeneration_;
}

void readerBase::releaseCommon() {
    Timer1_.reset();
    events_.reset();
}

// A handler that throws (the window raises error 939 when it cannot take a
// card) must neither end the program nor stop polling: one log line while it
// keeps failing the same way, and the next tick raises the event again.
void readerBase::Timer1_Timer() {
    const Life alive = life();
    std::string reason;
    try {
        pollOnce();
        if (alive.expired()) return;
        lastTickFailure_.clear();
        followUpSoon();
        return;
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
        reason = "unknown exception";
    }
    if (alive.expired()) return;
    if (reason != lastTickFailure_) logLine(className_ + ".Timer1_Timer: failed, " + reason);
    lastTickFailure_ = reason;
    followUpSoon();
}

// Everything a change entails is done before stateChange runs consumer code.
void readerBase::pollOnce() {
    ticked_ = true;
    std::string word;
    if (!deviceConnected()) {
        word = state::kFailed;
    } else if (!running_) {
        word = state::kDisconnected;
        if (word != lastTickState_) {
            Timer1_->setInterval(idleTimerInterval_);
            onDisconnectedEntered();
        }
    } else {
        word = cardConnected();
        if (word != lastTickState_) onCardWordChanged(word);
    }
    lastTickState_ = word;
    setCardState(word);
}

void readerBase::onCardWordChanged(const std::string& word) {
    if (!isOnlineWord(word)) {
        Timer1_->setInterval(idleTimerInterval_);
        if (settleNewCardAtOnce_ && word == state::kDetect && soonTicksLeft_ == 0) tickSoon();
        return;
    }
    Timer1_->setInterval(onlineTimerInterval_);
    if (isOfflineWord(lastTickState_)) resetCard();
}

bool readerBase::setCardState(const std::string& word) {
    if (word == cardState_ && !stateUndelivered_) return true;
    cardState_ = word;
    stateUndelivered_ = true;
    if (!raise(&readerEvents::raiseStateChange)) return false;
    stateUndelivered_ = false;
    return true;
}

bool readerBase::setProgressMax(int32_t value) {
    if (value == progressMax_) return true;
    progressMax_ = static_cast<int16_t>(value);
    return raise(&readerEvents::raiseProgressMaxChange);
}

bool readerBase::setProgress(int32_t value) {
    if (value == progress_) return true;
    if (value > progressMax_ && !setProgressMax(value)) return false;
    progress_ = static_cast<int16_t>(value);
    return raise(&readerEvents::raiseProgressChange);
}

void readerBase::setBusy(bool busy) {
    busy_ = busy;
    progress_ = 0;
    progressMax_ = 0;
}

// The carrier is held for the length of the call, so a handler that destroys
// the driver does not pull it from under the remaining handlers.
bool readerBase::raise(void (readerEvents::*event)()) {
    const Life alive = life();
    const std::shared_ptr<readerEvents> events = events_;
    if (events) ((*events).*event)();
    return !alive.expired();
}

// A read may run while a write lets events run: it leaves busy to the write
// and hands the write's progress back to the display when it ends.
std::string readerBase::readOffset(int32_t offset, int32_t length, bool trimmed) {
    if (!running_) return "";
    if (!validRequest(offset, length)) return kReadFailed;
    const Life alive = life();
    const bool nested = busy_;
    const int16_t outerMax = progressMax_;
    const int16_t outerProgress = progress_;
    std::optional<std::string> result;
    {
        BusyScope scope(*this);
        result = readPieces(offset, length);
    }
    if (alive.expired()) return kReadFailed;
    if (nested && (!setProgressMax(outerMax) || !setProgress(outerProgress))) return kReadFailed;
    if (!result) return kReadFailed;
    return trimmed ? trimRight(*result) : *result;
}

std::optional<std::string> readerBase::readPieces(int32_t offset, int32_t length) {
    const Life alive = life();
    if (!setProgressMax(length)) return std::nullopt;
    std::string result;
    ReadCall call;
    int32_t piece = length;
    for (int32_t position = 0; position < length;) {
        std::string buffer(static_cast<size_t>(piece), ' ');
        int32_t delivered = piece;
        const bool ok = readPiece(offset + position, delivered, buffer, call);
        if (alive.expired()) return std::nullopt;
        // A reader that claims more than it was asked for, or nothing at all,
        // would overrun the buffer or never finish.
        if (!ok || delivered <= 0 || delivered > piece ||
            buffer.size() < static_cast<size_t>(delivered)) {
            return std::nullopt;
        }
        result.append(buffer, 0, static_cast<size_t>(delivered));
        loop_.processEvents();
        if (alive.expired()) return std::nullopt;
        position += delivered;
        piece = position + delivered > length ? length - position : delivered;
        if (!setProgress(position)) return std::nullopt;
    }
    return result;
}

int32_t readerBase::writeOffset(int32_t offset, int32_t& length, std::string data,
                                bool trimmed) {
    if (!running_) return 0;
    logLine(className_ + ".reader_writeOffset(" + std::to_string(offset) + ", " +
            std::to_string(length) + ", .., " + (trimmed ? "True" : "False") + ")");
    if (!validRequest(offset, length)) {
        logLine("  FAILED: invalid range");
        return 0;
    }
    // busy is only ever held by an operation further down this very stack,
    // which cannot go on before this write returns: waiting would never end.
    if (busy_) {
        logLine("  FAILED: reader busy");
        return 0;
    }
    const Life alive = life();
    BusyScope scope(*this);
    if (trimmed && optimizeWrite_ && data.size() < static_cast<size_t>(length)) {
        length = static_cast<int32_t>(data.size());
    }
    const int32_t total = length;
    data.resize(static_cast<size_t>(total), ' ');
    int32_t piece = std::min(kWritePieceLength, total);
    if (!setProgressMax(total)) return 0;
    int32_t result = 0;
    for (int32_t position = 0; position < total;) {
        int32_t taken = piece;
        const bool ok = writePiece(offset + position, taken,
                                   data.substr(static_cast<size_t>(position), static_cast<size_t>(piece)));
        if (alive.expired()) return 0;
        if (!ok || taken <= 0 || taken > piece) return 0;
        result = total;
        loop_.processEvents();
        if (alive.expired()) return 0;
        position += taken;
        piece = position + taken >= total ? total - position : taken;
        if (!setProgress(position)) return 0;
    }
    return result;
}

}  // namespace orvex
