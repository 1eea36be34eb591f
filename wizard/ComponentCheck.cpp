#include "wizard/ComponentCheck.h"

#include <filesystem>
#include <system_error>

namespace orvex::wizard {
namespace {

bool& broken() {
    static bool b = false;
    return b;
}

}  // namespace

bool fileSystemComponentAvailable() {
    if (broken()) return false;
    std::error_code ec;
    const auto here = std::filesystem::current_path(ec);
    if (ec) return false;
    return std::filesystem::is_directory(here, ec) && !ec;
}

void setFileSystemComponentBroken(bool b) { broken() = b; }

}  // namespace orvex::wizard
