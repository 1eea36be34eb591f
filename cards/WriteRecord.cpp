#include "cards/WriteRecord.h"

#include <algorithm>

namespace orvex {

void WriteRecord::clear() {
    if (count_ == 0) return;
    std::fill(recorded_.begin(), recorded_.end(), false);
    count_ = 0;
}

void WriteRecord::add(int32_t offset, const std::string& bytes) {
    if (offset < 0) return;
    for (size_t i = 0; i < bytes.size() && offset + static_cast<int64_t>(i) < layout::kCardSize;
         ++i) {
        const size_t at = static_cast<size_t>(offset) + i;
        bytes_[at] = bytes[i];
        if (!recorded_[at]) ++count_;
        recorded_[at] = true;
    }
}

std::vector<layout::Field> WriteRecord::blocks() const {
    std::vector<layout::Field> result;
    int32_t at = 0;
    while (at < layout::kCardSize) {
        while (at < layout::kCardSize && !recorded_[static_cast<size_t>(at)]) ++at;
        if (at == layout::kCardSize) break;
        int32_t end = at;
        while (end < layout::kCardSize && recorded_[static_cast<size_t>(end)]) ++end;
        if (!result.empty() && at - (result.back().offset + result.back().width) < kJoinGap) {
            result.back().width = end - result.back().offset;
        } else {
            result.push_back({at, end - at});
        }
        at = end;
    }
    // A reader answers a failed read with the word "failed": a block of six
    // bytes could not tell it from the card's bytes.
    for (layout::Field& block : result) {
        if (block.width >= kMinBlock) continue;
        block.offset = std::min(block.offset, layout::kCardSize - kMinBlock);
        block.width = kMinBlock;
    }
    return result;
}

std::optional<int32_t> WriteRecord::firstDifference(layout::Field block,
                                                    const std::string& read) const {
    for (int32_t i = 0; i < block.width; ++i) {
        const int32_t at = block.offset + i;
        if (!recorded_[static_cast<size_t>(at)]) continue;
        if (static_cast<size_t>(i) >= read.size() ||
            read[static_cast<size_t>(i)] != bytes_[static_cast<size_t>(at)])
            return at;
    }
    return std::nullopt;
}

}  // namespace orvex
