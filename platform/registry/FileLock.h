#pragma once
// An exclusive advisory lock on a lock file (flock on POSIX systems, LockFileEx
// on Windows), held for the life of the object. Waits a bounded time for another holder rather than forever, so a
// stuck process cannot hang every other one.
#include <cstdint>
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
    intptr_t fd_ = -1;  // a descriptor, or a HANDLE on Windows
};

}  // namespace orvex::platform
