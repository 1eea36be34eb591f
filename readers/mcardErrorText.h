#pragma once
// Display text of a memory-card API result code.
#include <string>

#include "platform/mcard/MCardApi.h"

namespace orvex {

// The code's name (or "unknown error"), " (0x", the code in upper-case
// hexadecimal without leading zeros, ")".
std::string mcardErrorText(platform::mcard_code code);

}  // namespace orvex
