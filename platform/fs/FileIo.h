#pragma once
// File operations for the files the program keeps (settings, card images),
// each safe against a file that is odd (a directory, a FIFO, too large) and
// against a crash half way.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace orvex::platform {

// Identifies one version of a file: a rewrite through rename gives a new
// file id (inode) and new times.
struct FileStamp {
    bool exists = false;
    uint64_t dev = 0;
    uint64_t ino = 0;
    int64_t size = 0;
    int64_t mtimeSec = 0, mtimeNsec = 0, ctimeSec = 0, ctimeNsec = 0;
    bool operator==(const FileStamp&) const = default;
};

enum class ReadResult { Ok, Missing, TooLarge, Failed };
enum class IoResult { Ok, OpenFailed, Failed };

FileStamp fileStamp(const std::string& path);
// Reads a regular file of at most limit bytes; never blocks on a FIFO.
ReadResult readFileBounded(const std::string& path, size_t limit, std::string& bytes,
                           FileStamp& stamp);
// Replaces the file's contents as one step: a temporary file in the same
// directory, written and synced, renamed over the old one, the directory
// synced. The old file's permissions are kept (0644 for a new file). On
// failure the old file is untouched and the temporary file removed.
bool replaceFile(const std::string& path, const std::string& bytes);
// Removes the temporary files replaceFile left behind when its process died
// half way; call only while holding the lock every writer takes.
void removeStaleTemporaries(const std::string& path);
// Writes bytes to a new file "<path>.bad-<stamp>"; false when that fails.
bool copyAside(const std::string& path, const std::string& bytes);
// Creates the directory and its parents as needed.
bool makeDirectories(const std::string& dir);

// Reads exactly length bytes at offset of an existing file, or writes data
// there in place: the bytes are in the file, for every other process to see,
// when the call returns (not synced to the disk). bytes is set only on
// success; error receives the system's reason for a failure.
IoResult readAt(const std::string& path, uint64_t offset, size_t length, std::string& bytes,
                std::string& error);
IoResult writeAt(const std::string& path, uint64_t offset, const std::string& data,
                 std::string& error);

// Another name of an existing path, made of short names (on Windows the 8.3
// form, which is ASCII for a folder in any script where the volume keeps
// short names); empty where the system has none.
std::string shortPathName(const std::string& path);

// Paths are UTF-8 text; the file system library takes them through these.
std::filesystem::path pathFromUtf8(const std::string& path);
std::string utf8Of(const std::filesystem::path& path);

}  // namespace orvex::platform
