#pragma once
// Sends what the reader back ends report into the trace log through the
// program's own log object, for as long as the connection lives. Lines
// reported before it was made reach the log when it is made. The program
// makes one at start, right after its log object:
//
//     clsLog log;
//     const BackendLogConnection backendLines = connectBackendLog(log);
//
// so the back ends never open a log of their own (whose start block would
// land in the middle of the trace) and never write to standard error.
#include "foundation/clsLog.h"

namespace orvex {

class BackendLogConnection {
public:
    explicit BackendLogConnection(clsLog& log);
    // Later lines wait for the next connection; the log is not touched again.
    ~BackendLogConnection();
    BackendLogConnection(const BackendLogConnection&) = delete;
    BackendLogConnection& operator=(const BackendLogConnection&) = delete;
};

[[nodiscard]] BackendLogConnection connectBackendLog(clsLog& log);

}  // namespace orvex
