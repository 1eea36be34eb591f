#pragma once
// The simulated reader's directory layout, shared by the back end that reads
// it and the commands that manage it: $ORVEXCARD_SIM/<reader>/ is an attached
// reader, card.bin in it an inserted card (16384 bytes), card.pulled.bin a
// card that was pulled, card.type its type byte, faults its fault keys.
// card.lock is the advisory lock a process holds on the reader's card for one
// card operation; every process that uses the directory honours it.
#include <string>

namespace orvex::platform::sim {

inline constexpr const char* kCardFile = "card.bin";
inline constexpr const char* kPulledCardFile = "card.pulled.bin";
inline constexpr const char* kTypeFile = "card.type";
inline constexpr const char* kFaultsFile = "faults";
inline constexpr const char* kLockFile = "card.lock";

// A reader name must name a subdirectory, never a path.
inline bool validReaderName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace orvex::platform::sim
