// The file operations that need nothing but the standard library.
#include <system_error>

#include "platform/fs/FileIo.h"

namespace orvex::platform {

namespace fs = std::filesystem;

fs::path pathFromUtf8(const std::string& path) {
    return fs::path(std::u8string(path.begin(), path.end()));
}

std::string utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void removeStaleTemporaries(const std::string& path) {
    const fs::path file = pathFromUtf8(path);
    const fs::path dir = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const std::string prefix = "." + utf8Of(file.filename()) + ".tmp-";
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = utf8Of(it->path().filename());
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
            fs::remove(it->path(), ec);
    }
}

bool makeDirectories(const std::string& dir) {
    std::error_code ec;
    const fs::path p = pathFromUtf8(dir);
    fs::create_directories(p, ec);
    return fs::is_directory(p, ec);
}

}  // namespace orvex::platform
