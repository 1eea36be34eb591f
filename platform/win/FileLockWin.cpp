#include "platform/registry/FileLock.h"

#include <windows.h>

#include "platform/win/WidePath.h"

namespace orvex::platform {
namespace {

HANDLE handleOf(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

FileLock::~FileLock() { release(); }

FileLock::Attempt FileLock::tryAcquire(const std::string& lockPath) {
    release();
    const std::wstring path = win::widen(lockPath);
    if (path.empty()) return Attempt::Failed;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Attempt::Failed;
    OVERLAPPED whole{};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole) == 0) {
        const bool busy = GetLastError() == ERROR_LOCK_VIOLATION;
        CloseHandle(file);
        return busy ? Attempt::Busy : Attempt::Failed;
    }
    fd_ = reinterpret_cast<intptr_t>(file);
    return Attempt::Taken;
}

void FileLock::release() {
    if (fd_ < 0) return;
    OVERLAPPED whole{};
    UnlockFileEx(handleOf(fd_), 0, 1, 0, &whole);
    CloseHandle(handleOf(fd_));
    fd_ = -1;
}

}  // namespace orvex::platform
