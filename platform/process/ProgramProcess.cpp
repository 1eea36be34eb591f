#include "platform/process/ProgramProcess.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
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

std::string userLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        std::string text(value);
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
