#pragma once
// Where the reader back ends report failures with their symbolic names. The
// platform sits below the trace log, so the program connects the sink to it;
// until then the lines go to standard error.
#include <functional>
#include <string>

namespace orvex::platform {

using BackendLogSink = std::function<void(const std::string& line)>;

// Installs the sink (an empty one restores standard error).
void setBackendLogSink(BackendLogSink sink);
void backendLog(const std::string& line);

}  // namespace orvex::platform
