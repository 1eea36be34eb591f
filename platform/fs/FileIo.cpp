#include "platform/fs/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace orvex::platform {
namespace {

FileStamp stampOf(const struct stat& st) {
    FileStamp s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeSec = st.st_mtim.tv_sec, s.mtimeNsec = st.st_mtim.tv_nsec;
    s.ctimeSec = st.st_ctim.tv_sec, s.ctimeNsec = st.st_ctim.tv_nsec;
    return s;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void syncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

mode_t modeFor(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    return 0644;
}

}  // namespace

FileStamp fileStamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return stampOf(st);
}

ReadResult readFileBounded(const std::string& path, size_t limit, std::string& bytes,
                           FileStamp& stamp) {
    bytes.clear();
    stamp = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat st {};
    ReadResult result = ReadResult::Ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result = ReadResult::Failed;
    } else if (static_cast<unsigned long long>(st.st_size) > limit) {
        result = ReadResult::TooLarge;
    } else {
        stamp = stampOf(st);
        char buf[65536];
        while (true) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) result = ReadResult::Failed;
            if (n <= 0) break;
            bytes.append(buf, static_cast<size_t>(n));
            if (bytes.size() > limit) {  // grew while being read
                result = ReadResult::TooLarge;
                break;
            }
        }
    }
    ::close(fd);
    if (result != ReadResult::Ok) bytes.clear();
    return result;
}

bool replaceFile(const std::string& path, const std::string& bytes) {
    const std::string dir = directoryOf(path);
    std::string temp = dir + "/." + fileNameOf(path) + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = ::fchmod(fd, modeFor(path)) == 0 && writeAll(fd, bytes) &&
                         ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    syncDirectory(dir);
    return true;
}

bool copyAside(const std::string& path, const std::string& bytes) {
    const std::string base = path + ".bad-" + std::to_string(::time(nullptr)) + "-" +
                             std::to_string(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return false;
        const bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
        return ::close(fd) == 0 && ok;
    }
    return false;
}

IoResult readAt(const std::string& path, uint64_t offset, size_t length, std::string& bytes,
                std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return IoResult::OpenFailed;
    }
    std::string buffer(length, '\0');
    const ssize_t got = ::pread(fd, buffer.data(), length, static_cast<off_t>(offset));
    error = got < 0 ? std::strerror(errno) : "short read";
    ::close(fd);
    if (got != static_cast<ssize_t>(length)) return IoResult::Failed;
    bytes = std::move(buffer);
    return IoResult::Ok;
}

IoResult writeAt(const std::string& path, uint64_t offset, const std::string& data,
                 std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return IoResult::OpenFailed;
    }
    const ssize_t put = ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset));
    error = put < 0 ? std::strerror(errno) : "short write";
    ::close(fd);
    return put == static_cast<ssize_t>(data.size()) ? IoResult::Ok : IoResult::Failed;
}

std::string shortPathName(const std::string&) { return {}; }

}  // namespace orvex::platform
