#pragma once
// What both reader drivers share, written once: the state word, the progress
// counters and the busy flag with their events, the construction steps after
// the driver check, the polling tick, the read loop and the write loop in
// 512-byte pieces. A driver adds its driver check, its device and card
// queries and how one piece of memory moves.
//
// Events run consumer code that may destroy the driver (closing the window
// during a write). The owner should wait for operationRunning() to fall
// first; as the last line of defence, every place that raises an event or
// lets events run checks the driver's life token afterwards and, when the
// driver is gone, returns without touching it: a read then answers "failed",
// a write 0.
//
// The tick applies what a change of the state word entails (polling
// interval, the Chipdrive card reset) before it raises stateChange, so a
// handler that throws cannot leave it undone; a stateChange whose handler
// threw is raised again on the next tick, even for the same word.
//
// A card operation holds the card (beginExclusive): the driver tries to take
// it, and while another program holds it, tries again with events running
// until kHoldWait has passed on the loop's clock. Holds nest; the card is
// let go when the outermost one ends.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "foundation/clsLog.h"
#include "platform/eventloop/EventLoop.h"
#include "readers/reader.h"
#include "readers/readerEvents.h"
#include "readers/xTimer.h"

namespace orvex {

class readerBase : public reader {
public:
    ~readerBase() override;
    readerBase(const readerBase&) = delete;
    readerBase& operator=(const readerBase&) = delete;

    readerEvents& EventSource() override { return *events_; }
    std::string cardState() const override { return cardState_; }
    bool isRunning() const override { return running_; }
    int16_t progress() const override { return progress_; }
    int16_t progressMax() const override { return progressMax_; }
    bool optimizeWrite() const override { return optimizeWrite_; }
    void setOptimizeWrite(bool on) override { optimizeWrite_ = on; }
    std::string readOffset(int32_t offset, int32_t length, bool trimmed) final;
    int32_t writeOffset(int32_t offset, int32_t& length, std::string data, bool trimmed) final;
    bool operationRunning() const override { return busy_ || waiting_ > 0; }
    ExclusiveCard beginExclusive() override;
    bool cardHeldElsewhere() const override { return heldElsewhere_; }

    // How long a card operation waits for a card that another program holds.
    static constexpr platform::LoopTime kHoldWait{5000};
    static constexpr double kHoldRetrySeconds = 0.025;

    // The polling timer's current interval in milliseconds (0: not polling).
    int32_t pollingInterval() const { return Timer1_ ? Timer1_->Interval() : 0; }
    // On: a card that a tick has just connected ("detect") is asked again at
    // once, so a new card is "active" within one polling interval. The command
    // line's batches want that; the window keeps "detect" for one interval.
    void setSettleNewCardAtOnce(bool on) { settleNewCardAtOnce_ = on; }

protected:
    // One attempt to hold the connected card for this program alone.
    enum class Hold { Taken, Busy, Failed };
    // The repetitions one readOffset call has used; all its pieces share them.
    struct ReadCall {
        int repetitions = 0;
    };
    using Life = std::weak_ptr<const int>;

    // Construction step 1 and 2: the log with its first line, the timer, the
    // event carrier.
    readerBase(std::string className, platform::EventLoop& loop);

    // Construction steps after a driver check that found the driver: the
    // intervals, the wait for the device, the start of polling.
    void finishConstruction();
    // At most 6 device queries and 5 pauses of 0.5 s. False when the driver
    // was destroyed meanwhile.
    bool waitForDevice();
    // Pauses with events running. False when the driver was destroyed meanwhile.
    bool pause(double seconds);
    // The end of a restart that left the driver running: the card is being
    // reconnected, so the word leaves what it was for "detect" at once and
    // the next tick, which comes at once, brings back the card's own word
    // ("active" again for a card that stayed). False when a handler
    // destroyed the driver.
    bool announceRestart();
    // The end of a Start that succeeded: a driver that has not polled yet
    // takes the card's state at once rather than after the first interval.
    void firstTickSoon();
    // A stopped driver has let go of its card: the holds still open end
    // without touching the card, and the next one takes the card anew.
    void forgetHolds();
    // Stops polling and lets go of the event carrier; a driver's destructor
    // calls it before its last log line.
    void releaseCommon();

    void logLine(const std::string& text) { log_->log(text); }
    const std::string& className() const { return className_; }
    bool busy() const { return busy_; }
    void setRunning(bool running) { running_ = running; }
    Life life() const { return life_; }

    // Moves one piece. pieceLength comes in as the bytes asked for and may be
    // set to the bytes the reader delivered or took.
    virtual bool readPiece(int32_t offset, int32_t& pieceLength, std::string& buffer,
                           ReadCall& call) = 0;
    virtual bool writePiece(int32_t offset, int32_t& pieceLength, const std::string& piece) = 0;
    // Tick additions: on entering "disconnected", and on a change into
    // "active"/"valid" from "failed"/"disconnected".
    virtual void onDisconnectedEntered() {}
    virtual void resetCard() {}
    // Takes the card without waiting: Busy while another program holds it.
    virtual Hold holdCard() = 0;
    // Lets go of the card holdCard took.
    virtual void releaseCard() = 0;

private:
    class BusyScope;
    class WaitScope;

    void Timer1_Timer();
    void pollOnce();
    // Ticks at once: one now, and one more when it found a card just
    // connected ("detect"), whose word settles on the next query.
    void tickSoon();
    void followUpSoon();
    void onCardWordChanged(const std::string& word);
    // The read loop; nothing when a piece failed or the driver went away.
    std::optional<std::string> readPieces(int32_t offset, int32_t length);
    int16_t readInterval(const char* valueName) const;
    // Tries holdCard until it answers Taken or Failed or kHoldWait is over.
    bool takeCard();
    void endHold(int generation);
    // Raises stateChange on a new word, or again when the last raise threw.
    bool setCardState(const std::string& word);
    bool setProgressMax(int32_t value);
    bool setProgress(int32_t value);
    void setBusy(bool busy);
    bool raise(void (readerEvents::*event)());

    bool busy_ = false;
    int16_t progressMax_ = 0;
    int16_t progress_ = 0;
    bool optimizeWrite_ = false;
    int16_t idleTimerInterval_ = 0;
    int16_t onlineTimerInterval_ = 0;
    std::string cardState_;
    bool running_ = false;
    std::shared_ptr<readerEvents> events_;
    std::unique_ptr<clsLog> log_;
    std::unique_ptr<xTimer> Timer1_;
    std::string lastTickState_;
    bool ticked_ = false;
    int soonTicksLeft_ = 0;
    bool settleNewCardAtOnce_ = false;
    bool stateUndelivered_ = false;
    std::string lastTickFailure_;
    int waiting_ = 0;
    int holds_ = 0;
    int holdGeneration_ = 0;
    bool heldElsewhere_ = false;
    std::string className_;
    platform::EventLoop& loop_;
    std::shared_ptr<const int> life_ = std::make_shared<const int>(0);
};

}  // namespace orvex
