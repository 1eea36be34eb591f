#pragma once
// Where the reader back ends report failures with their symbolic names. The
// platform sits below the trace log, so the program connects a sink to it
// (connectBackendLog in readers/). Lines reported while no sink is installed
// wait for the next one, the first kBackendLogPending of them; nothing goes
// to standard error, which belongs to the program's own output.
#include <cstddef>
#include <functional>
#include <string>

namespace orvex::platform {

using BackendLogSink = std::function<void(const std::string& line)>;

inline constexpr std::size_t kBackendLogPending = 64;

// Installs the sink and hands it the waiting lines; an empty sink makes
// later lines wait again.
void setBackendLogSink(BackendLogSink sink);
void backendLog(const std::string& line);

}  // namespace orvex::platform
