#pragma once
// Symbolic names of PC/SC return codes, so every failure in the log says which
// code the resource manager gave ("SCARD_W_REMOVED_CARD"), not just a number.
#include <cstdint>
#include <string>

namespace orvex::platform {

// The name of a PC/SC code; an unlisted code reads "SCARD code 0x" + hex.
std::string pcscErrorName(uint32_t code);
// The failure text for a code: its name, and for the codes that mean the
// service is not running or refuses access, those words in front.
std::string pcscFailureText(uint32_t code);

}  // namespace orvex::platform
