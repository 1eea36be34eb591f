#include "samplefile/modDecimal.h"

#include <charconv>
#include <cmath>
#include <string>

namespace orvex {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with at most one point and at least one digit.
bool isPlainNumber(std::string_view s) {
    bool point = false;
    bool digit = false;
    for (const char c : s) {
        if (isDigit(c)) {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

}  // namespace

std::optional<double> decimalValue(std::string_view text) {
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) return std::nullopt;
    text = text.substr(begin, text.find_last_not_of(' ') - begin + 1);
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (!isPlainNumber(text)) return std::nullopt;
    // from_chars wants a digit before the point.
    std::string digits(text);
    if (digits.front() == '.') digits.insert(digits.begin(), '0');
    double value = 0;
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed);
    if (end != digits.data() + digits.size() || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range) value = HUGE_VAL;
    return negative ? -value : value;
}

double roundHalfEven(double value) {
    const double lower = std::floor(value);
    const double diff = value - lower;
    if (diff < 0.5) return lower;
    if (diff > 0.5) return lower + 1;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

std::optional<int64_t> roundedDecimalInRange(std::string_view text, int64_t lo, int64_t hi) {
    const auto value = decimalValue(text);
    if (!value) return std::nullopt;
    const double rounded = roundHalfEven(*value);
    if (!(rounded >= static_cast<double>(lo) && rounded <= static_cast<double>(hi))) return std::nullopt;
    return static_cast<int64_t>(rounded);
}

}  // namespace orvex
