#include "foundation/modCommon.h"

#include <filesystem>
#include <system_error>

#include "platform/fs/FileIo.h"
#include "platform/text/AnsiText.h"

namespace orvex {

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(platform::pathFromUtf8(path), ec);
}

bool folderExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(platform::pathFromUtf8(path), ec);
}

std::string getBaseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

std::string utf8ToWindows1252(std::string_view utf8) { return platform::utf8ToAnsi(utf8); }

std::string windows1252ToUtf8(std::string_view bytes) { return platform::ansiToUtf8(bytes); }

std::string trimRight(std::string_view text) {
    const size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string trimBlanks(std::string_view text) {
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) return {};
    const size_t end = text.find_last_not_of(' ');
    return std::string(text.substr(begin, end - begin + 1));
}

}  // namespace orvex
