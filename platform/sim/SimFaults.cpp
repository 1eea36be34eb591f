#include "platform/sim/SimFaults.h"

#include <algorithm>
#include <sstream>

namespace orvex::platform {
namespace {

constexpr size_t kMaxDigits = 9;

std::string trim(const std::string& text) {
    const char* blanks = " \t\r";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::optional<uint32_t> decimal(const std::string& text) {
    if (text.empty() || text.size() > kMaxDigits) return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    return static_cast<uint32_t>(std::stoul(text));
}

void apply(SimFaults& faults, const std::string& key, uint32_t value) {
    if (key == "latency_ms")
        faults.latencyMs = std::min(value, SimFaults::kMaxLatencyMs);
    else if (key == "pull_after_writes")
        faults.pullAfterWrites = value;
    else if (key == "read_only" && value <= 1)
        faults.readOnly = value == 1;
    else if (key == "corrupt_write_at")
        faults.corruptWriteAt = value;
}

}  // namespace

SimFaults SimFaults::parse(const std::string& text) {
    SimFaults faults;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = trim(line);
        const size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
        const auto value = decimal(trim(line.substr(equals + 1)));
        if (value) apply(faults, trim(line.substr(0, equals)), *value);
    }
    return faults;
}

}  // namespace orvex::platform
