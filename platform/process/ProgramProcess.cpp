#include "platform/process/ProgramProcess.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace orvex::platform {
namespace {

std::atomic<bool>* interruptFlag = nullptr;

// A lock-free atomic store is safe inside a signal handler.
void onSignal(int) {
    if (interruptFlag) interruptFlag->store(true);
}

}  // namespace

std::string executableDirectory() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::string environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool isSystemProgramFolder(const std::string& dir) {
    for (const std::string_view top : {"/usr", "/bin", "/sbin", "/opt", "/snap"}) {
        if (dir.starts_with(top) && (dir.size() == top.size() || dir[top.size()] == '/')) return true;
    }
    return false;
}

// XDG directories must be absolute; a relative one is ignored. Without a home
// the temporary directory serves.
std::string userStateDirectory() {
    std::filesystem::path base;
    if (const std::string xdg = environmentVariable("XDG_STATE_HOME"); xdg.starts_with('/')) {
        base = xdg;
    } else if (const std::string home = environmentVariable("HOME"); !home.empty()) {
        base = std::filesystem::path(home) / ".local" / "state";
    } else {
        std::error_code ec;
        base = std::filesystem::temp_directory_path(ec);
        if (ec) return {};
    }
    return (base / "OrvexCard").string();
}

std::string userLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        std::string text = environmentVariable(name);
        if (text.empty()) continue;
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    }
    return {};
}

void installInterruptHandler(std::atomic<bool>& requested) {
    static_assert(std::atomic<bool>::is_always_lock_free);
    interruptFlag = &requested;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

}  // namespace orvex::platform
