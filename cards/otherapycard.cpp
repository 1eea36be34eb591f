#include "cards/otherapycard.h"

namespace orvex {

otherapycard::otherapycard()
    : CardObject({"otherapycard", "orvextherapy", "1-0-0", "1-0-0ro", 159}) {}

bool otherapycard::clearKindFields() {
    return setCardCombineSeq(true, false) && setCardPlacebo(true, false);
}

void otherapycard::logSampleWritten() { log().log("otherapycard.writefile7kx = DONE"); }

}  // namespace orvex
