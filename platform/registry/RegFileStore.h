#pragma once
// The registry on Linux: one file per root (see RegFileLocation), in the
// registry editor's export format (see RegFileParser, RegFileWriter).
//
// Reads use the file as it is on disk, parsed again only when it changed.
// Every change takes an advisory lock on "<file>.lock", reads the file
// afresh, applies the change and replaces the file in one rename, so two
// processes that write different values both keep them and a crash leaves
// either the old or the new file whole. A change that cannot be saved
// leaves file and memory as they were and answers an error.
//
// Nothing in a file is thrown away: lines that cannot be read are written
// back as they stood, and a file that does not start with a registry
// header is first copied aside to "<file>.bad-<time>-<pid>". A file that
// cannot be read at all (too large, unreadable, not a regular file) reads
// as empty and is never overwritten.
#include <cstddef>
#include <map>
#include <string>

#include "platform/registry/FileLock.h"
#include "platform/registry/MemoryRegistry.h"
#include "platform/registry/RegFileDocument.h"
#include "platform/fs/FileIo.h"

namespace orvex::platform {

class RegFileStore final : public MemoryRegistry {
public:
    // A settings file is a few kilobytes; anything past this is not ours and
    // is neither parsed (every process would spend seconds and tens of
    // megabytes on it) nor written: a change that would make the file larger
    // is refused.
    static constexpr size_t kMaxFileSize = 256 * 1024;
    static constexpr int kLockTimeoutMs = 10000;

protected:
    void beforeRead(uint32_t root) override;
    reg_code beginChange(uint32_t root) override;
    reg_code endChange(uint32_t root, bool changed) override;

private:
    struct RootFile {
        std::string path;  // of the loaded version
        FileStamp stamp;
        bool loaded = false;
        ReadResult read = ReadResult::Missing;
        RegFileExtras extras;
        std::string unrecognisedBytes;  // to copy aside before the first rewrite
        FileLock lock;
    };
    void load(uint32_t root, RootFile& f, const std::string& path);
    reg_code save(uint32_t root, RootFile& f);

    std::map<uint32_t, RootFile> files_;
};

}  // namespace orvex::platform
