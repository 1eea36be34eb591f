#include "platform/mcard/BackendLog.h"

#include <mutex>
#include <utility>
#include <vector>

namespace orvex::platform {
namespace {

// Readers may run on threads of their own, each with its own back end: the
// sink and the waiting lines are shared, one caller at a time.
struct BackendLogState {
    std::mutex mutex;
    BackendLogSink sink;
    std::vector<std::string> pending;
    std::size_t dropped = 0;
};

BackendLogState& state() {
    static BackendLogState s;
    return s;
}

}  // namespace

void setBackendLogSink(BackendLogSink sink) {
    BackendLogState& s = state();
    const std::lock_guard<std::mutex> lock(s.mutex);
    s.sink = std::move(sink);
    if (!s.sink) return;
    std::vector<std::string> waiting = std::exchange(s.pending, {});
    if (s.dropped > 0) {
        waiting.push_back(std::to_string(s.dropped) + " further lines lost before the log was connected");
        s.dropped = 0;
    }
    for (const auto& line : waiting) s.sink(line);
}

void backendLog(const std::string& line) {
    BackendLogState& s = state();
    const std::lock_guard<std::mutex> lock(s.mutex);
    if (s.sink) {
        s.sink(line);
    } else if (s.pending.size() < kBackendLogPending) {
        s.pending.push_back(line);
    } else {
        ++s.dropped;
    }
}

}  // namespace orvex::platform
