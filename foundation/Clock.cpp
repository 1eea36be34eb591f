#include "foundation/Clock.h"

#include <ctime>

namespace orvex {
namespace {

DateTime fromTm(const std::tm& tm) {
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                    tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

class SystemClock final : public Clock {
public:
    DateTime utcNow() const override {
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        gmtime_r(&now, &tm);
        return fromTm(tm);
    }
    DateTime localNow() const override {
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        return fromTm(tm);
    }
};

const SystemClock systemClock;
const Clock* installed = nullptr;

}  // namespace

const Clock& currentClock() { return installed ? *installed : systemClock; }
void installClock(const Clock* clock) { installed = clock; }

}  // namespace orvex
