#pragma once
// An exclusive advisory lock (flock) on a lock file, held for the life of the
// object. Waits a bounded time for another holder rather than forever, so a
// stuck process cannot hang every other one.
#include <string>

namespace orvex::platform {

class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Creates the lock file if needed; false when it cannot be created or the
    // lock is not had within timeoutMs.
    bool acquire(const std::string& lockPath, int timeoutMs);
    void release();
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace orvex::platform
