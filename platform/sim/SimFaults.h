#pragma once
// The fault keys of a simulated reader's `faults` file: key=value lines.
// Unknown keys, malformed values and blank or '#' lines are skipped, so a
// half-edited file never stops the reader.
#include <cstdint>
#include <optional>
#include <string>

namespace orvex::platform {

struct SimFaults {
    static constexpr uint32_t kMaxLatencyMs = 10000;

    uint32_t latencyMs = 0;                   // latency_ms: each memory call takes this long
    std::optional<uint32_t> pullAfterWrites;  // pull_after_writes: card pulled after N writes
    bool readOnly = false;                    // read_only=1: memory writes fail
    // corrupt_write_at: a write that covers this byte succeeds, but the card
    // keeps the byte with its lowest bit flipped (a worn cell).
    std::optional<uint32_t> corruptWriteAt;

    static SimFaults parse(const std::string& text);
};

}  // namespace orvex::platform
