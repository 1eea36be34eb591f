#pragma once
// Calendar clock seam: the log's local time and the card stamps' UTC time come
// from here, so tests can fix the time.
#include <cstdint>

namespace orvex {

struct DateTime {
    int year = 0;
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;
    int second = 0;
    bool operator==(const DateTime&) const = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime utcNow() const = 0;
    virtual DateTime localNow() const = 0;
};

// The clock in use: the system clock unless a test installed another one.
const Clock& currentClock();
// Installs a clock for the program (nullptr restores the system clock). The
// caller keeps ownership and must keep it alive while installed.
void installClock(const Clock* clock);

// A clock that always answers the same instant; for tests and tools.
class FixedClock final : public Clock {
public:
    explicit FixedClock(DateTime utc, DateTime local) : utc_(utc), local_(local) {}
    explicit FixedClock(DateTime both) : utc_(both), local_(both) {}
    DateTime utcNow() const override { return utc_; }
    DateTime localNow() const override { return local_; }
    void set(DateTime both) { utc_ = local_ = both; }

private:
    DateTime utc_;
    DateTime local_;
};

}  // namespace orvex
