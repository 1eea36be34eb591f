#pragma once
// The abstract card reader. The rest of the system reads and writes card
// memory only through this interface; readerSCM and readerChipdrive implement
// it. Card memory travels as byte text: one char per byte.
#include <cstdint>
#include <string>

#include "readers/ExclusiveCard.h"
#include "readers/readerEvents.h"

namespace orvex {

// State words produced by the drivers and understood by the consumers.
namespace state {
inline constexpr const char* kFailed = "failed";
inline constexpr const char* kDisconnected = "disconnected";
inline constexpr const char* kWait = "wait";
inline constexpr const char* kDetect = "detect";
inline constexpr const char* kActive = "active";
inline constexpr const char* kActiveLocked = "activelocked";
inline constexpr const char* kValid = "valid";
}  // namespace state

// What a failed readOffset answers.
inline constexpr const char* kReadFailed = "failed";

class reader {
public:
    virtual ~reader() = default;

    virtual readerEvents& EventSource() = 0;
    // Starts the driver; the SCM driver uses readerName as the PC/SC reader
    // name, the Chipdrive driver ignores it. False when the driver cannot work.
    virtual bool Start(const std::string& readerName) = 0;
    virtual void Stopp() = 0;
    // Stopp, then Start again. A driver that is running afterwards reports
    // "detect" at once and the card's own word from its next tick on, so a
    // card that stayed in the reader becomes "active" anew.
    virtual void restart() = 0;
    virtual std::string cardState() const = 0;
    virtual bool isRunning() const = 0;
    virtual int16_t progress() const = 0;
    virtual int16_t progressMax() const = 0;
    virtual bool optimizeWrite() const = 0;
    virtual void setOptimizeWrite(bool on) = 0;
    virtual std::string driverVersion() = 0;
    virtual bool deviceConnected() = 0;
    virtual std::string deviceType() = 0;
    // Queries the reader now and answers a state word.
    virtual std::string cardConnected() = 0;
    // The bytes read, or "failed". trimmed removes trailing blanks.
    virtual std::string readOffset(int32_t offset, int32_t length, bool trimmed) = 0;
    // Bytes written, 0 on failure. With trimmed and optimizeWrite on, a shorter
    // data shortens the caller's length to the data's own bytes.
    virtual int32_t writeOffset(int32_t offset, int32_t& length, std::string data,
                                bool trimmed) = 0;
    // True while a read, a write or a wait of this reader is on the stack and
    // lets events run. An owner that wants to destroy the reader from such an
    // event waits until it is false again: destroyed mid-write, a driver
    // stops after the current piece and leaves the card half written.
    virtual bool operationRunning() const { return false; }

    // Takes the card for one operation (a format, a sample write, a dump, a
    // restore, a verification) so that no other program reads or writes it
    // until the hold goes. Waits a bounded time, letting events run, while
    // another program holds the card; an empty hold when it could not be had.
    // Holds nest: an inner one within an outer is held at once. A reader
    // with no one to share its card with is held at once.
    virtual ExclusiveCard beginExclusive() { return ExclusiveCard(nullptr); }
    // True when the last beginExclusive gave up because another program
    // kept the card for the whole wait.
    virtual bool cardHeldElsewhere() const { return false; }
};

}  // namespace orvex
