#include "platform/registry/FileLock.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/win/WidePath.h"

namespace orvex::platform {
namespace {

HANDLE handleOf(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

bool lockOnce(HANDLE file) {
    OVERLAPPED whole{};
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole) != 0;
}

}  // namespace

FileLock::~FileLock() { release(); }

bool FileLock::acquire(const std::string& lockPath, int timeoutMs) {
    release();
    const std::wstring path = win::widen(lockPath);
    if (path.empty()) return false;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!lockOnce(file)) {
        if (GetLastError() != ERROR_LOCK_VIOLATION || std::chrono::steady_clock::now() >= deadline) {
            CloseHandle(file);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    fd_ = reinterpret_cast<intptr_t>(file);
    return true;
}

void FileLock::release() {
    if (fd_ < 0) return;
    OVERLAPPED whole{};
    UnlockFileEx(handleOf(fd_), 0, 1, 0, &whole);
    CloseHandle(handleOf(fd_));
    fd_ = -1;
}

}  // namespace orvex::platform
