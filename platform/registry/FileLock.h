#pragma once
// An exclusive advisory lock on a lock file (flock on POSIX systems,
// LockFileEx on Windows), held for the life of the object and honoured by
// every process that takes the same file's lock. Waits a bounded time for
// another holder rather than forever, so a stuck process cannot hang every
// other one; tryAcquire does not wait at all, for callers that keep their own
// clock. The one place that knows how a lock is taken on this system.
#include <cstdint>
#include <string>

namespace orvex::platform {

class FileLock {
public:
    enum class Attempt { Taken, Busy, Failed };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Creates the lock file if needed; false when it cannot be created or the
    // lock is not had within timeoutMs.
    bool acquire(const std::string& lockPath, int timeoutMs);
    // One attempt: Busy while another holder has it, Failed when the lock
    // file cannot be opened or created.
    Attempt tryAcquire(const std::string& lockPath);
    void release();
    bool held() const { return fd_ >= 0; }

private:
    intptr_t fd_ = -1;  // a descriptor, or a HANDLE on Windows
};

}  // namespace orvex::platform
