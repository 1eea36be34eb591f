#pragma once
// What one card operation meant the card to hold: every byte it wrote, the
// later write of a byte replacing the earlier one. The card is read back in
// a few large blocks that cover the recorded bytes, and each block compared
// with the record; a reader moves a large block for little more than a
// small one.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cards/modCardLayout.h"

namespace orvex {

class WriteRecord {
public:
    // Forgets every recorded byte.
    void clear();
    // The bytes as the reader wrote them at offset; what lies beyond the card
    // is no card byte and is not recorded.
    void add(int32_t offset, const std::string& bytes);

    // The blocks to read back: the recorded runs, neighbours joined when
    // fewer than kJoinGap unrecorded bytes lie between them, each at least
    // kMinBlock bytes long.
    std::vector<layout::Field> blocks() const;
    // The first recorded offset of the block where read (the block's bytes
    // as the card answered) differs from the record; nothing when it holds
    // every recorded byte.
    std::optional<int32_t> firstDifference(layout::Field block, const std::string& read) const;
    // The recorded byte at offset (only meaningful where one was recorded).
    char expected(int32_t offset) const { return bytes_[static_cast<size_t>(offset)]; }

    static constexpr int32_t kJoinGap = 1024;
    static constexpr int32_t kMinBlock = 16;

private:
    std::string bytes_ = std::string(layout::kCardSize, '\0');
    std::vector<bool> recorded_ = std::vector<bool>(layout::kCardSize, false);
    int32_t count_ = 0;
};

}  // namespace orvex
