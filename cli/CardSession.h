#pragma once
// One run's reader and card: creates the driver the settings (or the command
// line) choose, starts it, waits for a usable card and identifies it.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "cards/orvexcard.h"
#include "platform/eventloop/EventLoop.h"
#include "readers/readerBase.h"

namespace orvex::cli {

enum class ReaderApi { Chipdrive = 0, SCM = 1 };

struct SessionSettings {
    ReaderApi api = ReaderApi::Chipdrive;
    std::string readerName;
    double waitSeconds = 5.0;
};

// Why no usable card could be had.
enum class SessionProblem {
    None,
    DriverNotStarted,  // driver software missing or no PC/SC context
    NoService,         // the PC/SC service is not running
    NoAccess,          // the PC/SC service refused access
    NoReaders,         // no reader attached
    NoSuchReader,      // the named reader is not attached
    NoCard,            // no card became "active" within the wait
    CardNotTaken,      // the card left before it could be assigned
};

class CardSession {
public:
    CardSession(platform::EventLoop& loop, SessionSettings settings);
    ~CardSession();
    CardSession(const CardSession&) = delete;
    CardSession& operator=(const CardSession&) = delete;

    // Creates and starts the driver; waits until its first tick has set a
    // state word (at most the wait).
    SessionProblem startReader();
    // Only creates and starts the driver: true when it started.
    bool startDriver();
    // Waits until the card is "active" (at most waitSeconds; forever when
    // waitSeconds is negative), then assigns and verifies it.
    SessionProblem waitForCard(double waitSeconds, const std::atomic<bool>* stop = nullptr);
    // Waits until the reader no longer reports a card (batch mode).
    void waitForRemoval(const std::atomic<bool>& stop);
    // Reconnects the card after a card operation, waits for it and verifies
    // it again with the same card object.
    SessionProblem restartAndVerify();

    reader& rd() { return *reader_; }
    orvexcard& card() { return *card_; }
    bool verified() const { return verified_; }
    // The readers attached, for messages; empty when they cannot be listed.
    std::string attachedReaders() const { return attachedReaders_; }
    // The state word when the wait ended.
    std::string lastState() const;
    // Milliseconds on the loop's clock from startReader until the card was
    // "active" (for the benchmark's figures).
    long long millisUntilActive() const { return millisUntilActive_; }
    // Memory reads and writes the reader made in this run (pieces moved).
    int memoryCalls() const { return memoryCalls_; }

private:
    SessionProblem diagnoseReader();
    bool waitFor(double seconds, const std::function<bool()>& done, const std::atomic<bool>* stop = nullptr);

    platform::EventLoop& loop_;
    SessionSettings settings_;
    std::unique_ptr<readerBase> reader_;
    std::unique_ptr<orvexcard> card_;
    bool verified_ = false;
    std::string attachedReaders_;
    platform::LoopTime started_{};
    long long millisUntilActive_ = -1;
    int memoryCalls_ = 0;
};

}  // namespace orvex::cli
