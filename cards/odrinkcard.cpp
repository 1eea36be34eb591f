#include "cards/odrinkcard.h"

namespace orvex {

odrinkcard::odrinkcard() : CardObject({"odrinkcard", "orvexdrink", "1.1.1", "1.1.1ro", 157}) {}

}  // namespace orvex
