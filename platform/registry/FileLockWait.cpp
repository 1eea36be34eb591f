#include "platform/registry/FileLock.h"

#include <chrono>
#include <thread>

namespace orvex::platform {

// The bounded wait is the same on every system; only one attempt differs.
bool FileLock::acquire(const std::string& lockPath, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const Attempt attempt = tryAcquire(lockPath);
        if (attempt != Attempt::Busy) return attempt == Attempt::Taken;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace orvex::platform
