#include "foundation/modUTC.h"

#include <cstdio>

namespace orvex {
namespace {

std::string digits(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

// Replaces the pattern letters in order; anything else is copied as it stands.
std::string applyPattern(const std::string& pattern, bool isDate, const DateTime& t) {
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        const std::string_view rest(pattern.data() + i, pattern.size() - i);
        if (isDate && rest.starts_with("YYYY")) {
            out += digits(t.year, 4);
            i += 4;
        } else if (isDate && rest.starts_with("MM")) {
            out += digits(t.month, 2);
            i += 2;
        } else if (isDate && rest.starts_with("DD")) {
            out += digits(t.day, 2);
            i += 2;
        } else if (!isDate && rest.starts_with("HH")) {
            out += digits(t.hour, 2);
            i += 2;
        } else if (!isDate && rest.starts_with("MM")) {
            out += digits(t.minute, 2);
            i += 2;
        } else if (!isDate && rest.starts_with("SS")) {
            out += digits(t.second, 2);
            i += 2;
        } else {
            out += pattern[i++];
        }
    }
    return out;
}

}  // namespace

DateTime utcNow() { return currentClock().utcNow(); }

std::string formatUtcStamp(const DateTime& t, const std::string& datePattern,
                           const std::string& timePattern) {
    return applyPattern(datePattern, true, t) + "T" + applyPattern(timePattern, false, t) + "Z";
}

}  // namespace orvex
