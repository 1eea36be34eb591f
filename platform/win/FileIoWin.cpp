// The program's files through Win32: paths turn UTF-16 here, writes that must
// survive a crash are flushed (FlushFileBuffers) and put in place by one
// MoveFileExW with write-through.
#include "platform/fs/FileIo.h"

#include <windows.h>

#include <chrono>
#include <climits>
#include <ctime>
#include <thread>

#include "platform/win/WidePath.h"

namespace orvex::platform {
namespace {

// Closes the handle when the scope ends.
class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (ok()) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    bool close() {
        const bool closed = !ok() || CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE h_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE openFile(const std::string& path, DWORD access, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    const std::wstring wide = win::widen(path);
    if (wide.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(wide.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
}

int64_t seconds(const FILETIME& t) {
    const uint64_t ticks = (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000u);
}

int64_t nanoseconds(const FILETIME& t) {
    const uint64_t ticks = (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<int64_t>(ticks % 10000000u) * 100;
}

FileStamp stampOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return {};
    FileStamp s;
    s.exists = true;
    s.dev = info.dwVolumeSerialNumber;
    s.ino = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    s.size = static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    s.mtimeSec = seconds(info.ftLastWriteTime), s.mtimeNsec = nanoseconds(info.ftLastWriteTime);
    s.ctimeSec = seconds(info.ftCreationTime), s.ctimeNsec = nanoseconds(info.ftCreationTime);
    return s;
}

bool writeAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const size_t rest = bytes.size() - done;
        const DWORD chunk = rest > (1u << 30) ? (1u << 30) : static_cast<DWORD>(rest);
        DWORD n = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &n, nullptr) || n == 0) return false;
        done += n;
    }
    return true;
}

size_t lastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

std::string directoryOf(const std::string& path) {
    const size_t slash = lastSeparator(path);
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string fileNameOf(const std::string& path) {
    const size_t slash = lastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Six letters, different for every call of every process.
std::string uniqueSuffix() {
    static unsigned counter = 0;
    unsigned long long v = (static_cast<unsigned long long>(GetCurrentProcessId()) << 24) ^
                           GetTickCount64() ^ (static_cast<unsigned long long>(++counter) * 2654435761u);
    std::string s;
    for (int i = 0; i < 6; ++i, v /= 26) s += static_cast<char>('a' + v % 26);
    return s;
}

// Another process may hold the target open for a moment (a reader, a
// virus scanner); the move is tried again a bounded number of times.
bool moveOver(const std::wstring& from, const std::wstring& to) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        const DWORD code = GetLastError();
        if (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

}  // namespace

FileStamp fileStamp(const std::string& path) {
    FileHandle file(openFile(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    return file.ok() ? stampOf(file.get()) : FileStamp{};
}

ReadResult readFileBounded(const std::string& path, size_t limit, std::string& bytes, FileStamp& stamp) {
    bytes.clear();
    stamp = {};
    FileHandle file(openFile(path, GENERIC_READ, OPEN_EXISTING));
    if (!file.ok()) {
        const DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ReadResult::Missing : ReadResult::Failed;
    }
    LARGE_INTEGER size{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &size)) return ReadResult::Failed;
    if (static_cast<unsigned long long>(size.QuadPart) > limit) return ReadResult::TooLarge;
    stamp = stampOf(file.get());
    char buffer[65536];
    for (DWORD n = 0;; ) {
        if (!ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) break;
        if (n == 0) return stamp.exists ? ReadResult::Ok : ReadResult::Failed;
        bytes.append(buffer, n);
        if (bytes.size() > limit) {  // grew while being read
            bytes.clear();
            return ReadResult::TooLarge;
        }
    }
    bytes.clear();
    return ReadResult::Failed;
}

bool replaceFile(const std::string& path, const std::string& bytes) {
    const std::string temp = directoryOf(path) + "/." + fileNameOf(path) + ".tmp-" + uniqueSuffix();
    const std::wstring wideTemp = win::widen(temp), widePath = win::widen(path);
    if (wideTemp.empty() || widePath.empty()) return false;
    FileHandle file(CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file.ok()) return false;
    const bool written = writeAll(file.get(), bytes) && FlushFileBuffers(file.get());
    if (!file.close() || !written || !moveOver(wideTemp, widePath)) {
        DeleteFileW(wideTemp.c_str());
        return false;
    }
    return true;
}

bool copyAside(const std::string& path, const std::string& bytes) {
    const std::string base = path + ".bad-" + std::to_string(std::time(nullptr)) + "-" +
                             std::to_string(GetCurrentProcessId());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        FileHandle file(openFile(name, GENERIC_WRITE, CREATE_NEW));
        if (!file.ok() && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (!file.ok()) return false;
        const bool ok = writeAll(file.get(), bytes) && FlushFileBuffers(file.get());
        return file.close() && ok;
    }
    return false;
}

IoResult readAt(const std::string& path, uint64_t offset, size_t length, std::string& bytes, std::string& error) {
    FileHandle file(openFile(path, GENERIC_READ, OPEN_EXISTING));
    if (!file.ok()) {
        error = win::errorText(GetLastError());
        return IoResult::OpenFailed;
    }
    if (length > (1u << 30)) {
        error = "read too long";
        return IoResult::Failed;
    }
    std::string buffer(length, '\0');
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset), at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const bool read = ReadFile(file.get(), buffer.data(), static_cast<DWORD>(length), &got, &at) != 0;
    error = read ? "short read" : win::errorText(GetLastError());
    if (!read || got != length) return IoResult::Failed;
    bytes = std::move(buffer);
    return IoResult::Ok;
}

IoResult writeAt(const std::string& path, uint64_t offset, const std::string& data, std::string& error) {
    FileHandle file(openFile(path, GENERIC_WRITE, OPEN_EXISTING));
    if (!file.ok()) {
        error = win::errorText(GetLastError());
        return IoResult::OpenFailed;
    }
    if (data.size() > (1u << 30)) {
        error = "write too long";
        return IoResult::Failed;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset), at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD put = 0;
    const bool written = WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &put, &at) != 0;
    error = written ? "short write" : win::errorText(GetLastError());
    return written && put == data.size() ? IoResult::Ok : IoResult::Failed;
}

// The short form may be longer than asked for when a name changes between the
// calls: then there is none.
std::string shortPathName(const std::string& path) {
    const std::wstring wide = win::widen(path);
    if (wide.empty()) return {};
    const DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (needed == 0) return {};
    std::wstring shortName(needed, L'\0');
    const DWORD length = GetShortPathNameW(wide.c_str(), shortName.data(), needed);
    if (length == 0 || length >= needed) return {};
    shortName.resize(length);
    return win::narrow(shortName);
}

}  // namespace orvex::platform
