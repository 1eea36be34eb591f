#include "platform/registry/RegFileStore.h"

#include <filesystem>
#include <system_error>

#include "platform/registry/RegFileLocation.h"
#include "platform/registry/RegFileParser.h"
#include "platform/registry/RegFileWriter.h"

namespace orvex::platform {
namespace {

// A store file that is a symbolic link is written through to its target,
// so that the link survives the rename.
std::string storePath(uint32_t root) {
    const std::string path = registryFilePath(root);
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_symlink(pathFromUtf8(path), ec)) return path;
    const auto target = std::filesystem::weakly_canonical(pathFromUtf8(path), ec);
    return ec ? path : utf8Of(target);
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void RegFileStore::load(uint32_t root, RootFile& f, const std::string& path) {
    std::string bytes;
    f.path = path;
    f.read = path.empty() ? ReadResult::Missing
                          : readFileBounded(path, kMaxFileSize, bytes, f.stamp);
    RegFileDocument doc = RegFileParser::parse(bytes, root);
    rootKey(root) = std::move(doc.tree);
    f.extras = std::move(doc.extras);
    f.unrecognisedBytes = doc.recognised ? std::string() : std::move(bytes);
    f.loaded = true;
}

void RegFileStore::beforeRead(uint32_t root) {
    RootFile& f = files_[root];
    const std::string path = storePath(root);
    if (f.loaded && f.path == path && f.stamp == fileStamp(path)) return;
    load(root, f, path);
}

reg_code RegFileStore::beginChange(uint32_t root) {
    RootFile& f = files_[root];
    const std::string path = storePath(root);
    if (path.empty() || !makeDirectories(directoryOf(path)) ||
        !f.lock.acquire(path + ".lock", kLockTimeoutMs))
        return reg::ERROR_ACCESS_DENIED;
    removeStaleTemporaries(path);
    load(root, f, path);  // always afresh: the file may have changed in between
    if (f.read == ReadResult::Ok || f.read == ReadResult::Missing) return reg::ERROR_SUCCESS;
    f.lock.release();
    return reg::ERROR_BADDB;
}

reg_code RegFileStore::endChange(uint32_t root, bool changed) {
    RootFile& f = files_[root];
    const reg_code rc = changed ? save(root, f) : reg::ERROR_SUCCESS;
    f.lock.release();
    return rc;
}

reg_code RegFileStore::save(uint32_t root, RootFile& f) {
    const bool saved =
        (f.unrecognisedBytes.empty() || copyAside(f.path, f.unrecognisedBytes)) &&
        replaceFile(f.path, RegFileWriter::write(rootKey(root), f.extras, root));
    if (!saved) {
        f.loaded = false;  // memory holds the change the file did not get
        return reg::ERROR_REGISTRY_IO_FAILED;
    }
    f.unrecognisedBytes.clear();
    f.stamp = fileStamp(f.path);
    return reg::ERROR_SUCCESS;
}

}  // namespace orvex::platform
