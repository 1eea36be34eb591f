#pragma once
// Numbers held as decimal text (card fields, creator versions, durations).
// Parsed without the locale: the card and the sample file always use '.'.
#include <cstdint>
#include <optional>
#include <string_view>

namespace orvex {

// The value of a decimal text: optional blanks, an optional sign, digits with
// at most one '.', optional blanks; at least one digit. Nothing otherwise
// (no exponents, no "inf", no thousands separators).
std::optional<double> decimalValue(std::string_view text);

// Nearest integer, a half going to the even neighbour (90/60 -> 2, 150/60 -> 2).
double roundHalfEven(double value);

// The text's value rounded half to even, when it is a number within lo..hi.
std::optional<int64_t> roundedDecimalInRange(std::string_view text, int64_t lo, int64_t hi);

}  // namespace orvex
