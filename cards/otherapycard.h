#pragma once
// The station card: purpose "orvextherapy", versions "1-0-0" and "1-0-0ro";
// two flag bytes at 157 and 158 ("1" true, NUL false), reserved range from
// 159. Its duration counts seconds.
#include "cards/CardObject.h"

namespace orvex {

class otherapycard final : public CardObject {
public:
    otherapycard();

    bool cardCombineSeq(bool trimmed) { return readFlag(layout::kCombineSeq, trimmed); }
    bool setCardCombineSeq(bool trimmed, bool value) {
        return writeFlag(layout::kCombineSeq, trimmed, value);
    }
    bool cardPlacebo(bool trimmed) { return readFlag(layout::kPlacebo, trimmed); }
    bool setCardPlacebo(bool trimmed, bool value) {
        return writeFlag(layout::kPlacebo, trimmed, value);
    }

private:
    bool clearKindFields() override;
    void logSampleWritten() override;
};

}  // namespace orvex
