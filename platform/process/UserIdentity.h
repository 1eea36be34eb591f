#pragma once
// Who runs the program, as a short text that differs between the users of
// one machine: the key of per-user channels such as the window's
// single-instance channel.
#include <string>

namespace orvex::platform {

// The numeric user id on POSIX systems, the user's security identifier
// ("S-1-5-21-...") on Windows. Never empty.
std::string userIdentity();

}  // namespace orvex::platform
