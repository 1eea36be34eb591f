#pragma once
// The drink card: purpose "orvexdrink", versions "1.1.1" and "1.1.1ro"; its
// reserved header range runs from offset 157.
#include "cards/CardObject.h"

namespace orvex {

class odrinkcard final : public CardObject {
public:
    odrinkcard();
    using CardObject::setFileComments;
};

}  // namespace orvex
