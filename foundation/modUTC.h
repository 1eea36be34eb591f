#pragma once
#include <string>

#include "foundation/Clock.h"

namespace orvex {

// The current UTC time to the second, from the installed clock.
DateTime utcNow();
// Date with datePattern ("YYYY", "MM", "DD"), "T", time with timePattern
// ("HH", "MM", "SS"), "Z". formatUtcStamp(t, "YYYYMMDD", "HHMMSS") gives
// e.g. 20261205T094407Z.
std::string formatUtcStamp(const DateTime& t, const std::string& datePattern,
                           const std::string& timePattern);

}  // namespace orvex
