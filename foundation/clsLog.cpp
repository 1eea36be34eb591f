#include "foundation/clsLog.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>
#include <vector>

#include "foundation/Clock.h"
#include "foundation/appInfo.h"
#include "foundation/clsRegistry.h"
#include "foundation/modCommon.h"
#include "platform/fs/FileIo.h"
#include "platform/process/ProgramProcess.h"

namespace orvex {
namespace {

constexpr const char* kLogValue = "ocardlog";

std::string twoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string timeStamp(const DateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-", t.year);
    return buf + twoDigits(t.month) + "-" + twoDigits(t.day) + " " + twoDigits(t.hour) + ":" +
           twoDigits(t.minute) + ":" + twoDigits(t.second);
}

// The stored path is Windows-1252 text like every setting; the file system
// takes UTF-8.
std::filesystem::path fileSystemPath(const std::string& ansiPath) {
    return platform::pathFromUtf8(windows1252ToUtf8(ansiPath));
}

// Opens the log for appending, creating it. Only a regular file is taken: a
// FIFO or a device named as the log would block the program on opening or
// take its lines elsewhere, so it counts as a log that cannot be written.
std::ofstream openLog(const std::string& path) {
    std::error_code ec;
    const auto type = std::filesystem::status(fileSystemPath(path), ec).type();
    std::ofstream out;
    if (type == std::filesystem::file_type::not_found || type == std::filesystem::file_type::regular)
        out.open(fileSystemPath(path), std::ios::binary | std::ios::app);
    return out;
}

// Every log object of the program appends to the same file, and card
// operations on several readers run on threads of their own: one line at a
// time, handed over whole, so lines never run into each other.
std::mutex& appendMutex() {
    static std::mutex m;
    return m;
}

bool appendLine(const std::string& path, const std::string& line) {
    if (path.empty()) return false;
    const std::string whole = line + "\r\n";
    const std::lock_guard<std::mutex> lock(appendMutex());
    std::ofstream out = openLog(path);
    if (!out.is_open()) return false;
    out.write(whole.data(), static_cast<std::streamsize>(whole.size()));
    out.close();
    return !out.fail();
}

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

bool holdsAsAnsi(const std::string& utf8) { return windows1252ToUtf8(utf8ToWindows1252(utf8)) == utf8; }

// The names of a path between its separators.
std::vector<std::string> pathNames(const std::string& path) {
    std::vector<std::string> names(1);
    for (const char c : path) {
        if (c == '/' || c == '\\') names.emplace_back();
        else names.back() += c;
    }
    return names;
}

// A directory as Windows-1252 text, the form every setting takes. A name that
// text cannot hold (a folder named in another script) is taken in its short
// form; empty when the system keeps no short form for it.
std::string ansiDirectory(const std::string& dir) {
    if (dir.empty() || holdsAsAnsi(dir)) return utf8ToWindows1252(dir);
    const std::string shortDir = platform::shortPathName(dir);
    const std::vector<std::string> longNames = pathNames(dir);
    const std::vector<std::string> shortNames = pathNames(shortDir);
    if (shortDir.empty() || shortNames.size() != longNames.size()) return {};
    std::string mixed;
    for (size_t i = 0; i < longNames.size(); ++i) {
        if (i > 0) mixed += kSeparator;
        mixed += holdsAsAnsi(longNames[i]) ? longNames[i] : shortNames[i];
    }
    return holdsAsAnsi(mixed) ? utf8ToWindows1252(mixed) : std::string();
}

// The program's directory when a file can be created there and it is not a
// system's program folder (/usr/bin of a packaged program), else the user's
// state directory (created on demand); empty when neither takes the log. The
// result is Windows-1252 text.
std::string defaultPath() {
    const std::string name = kSeparator + applicationTitle() + ".log";
    if (const std::string dir = ansiDirectory(programDirectory());
        !dir.empty() && !platform::isSystemProgramFolder(programDirectory()) && openLog(dir + name).is_open())
        return dir + name;
    const std::string state = platform::userStateDirectory();
    if (state.empty() || !platform::makeDirectories(state)) return {};
    const std::string dir = ansiDirectory(state);
    return !dir.empty() && openLog(dir + name).is_open() ? dir + name : std::string();
}

// A line of the log is one line whatever text it carries: the card's bytes,
// a sample's comment, a file name, a reader's answer. Control bytes (C0 and
// DEL) are written as \xNN, as the command line shows them; everything else
// stays as it is, so the program's own lines, which hold none, are unchanged.
// Bytes from 0x80 up are left alone: they are letters of the log's code page,
// or parts of a UTF-8 path, and never end a line.
std::string oneLine(const std::string& text) {
    const auto isControl = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    };
    if (std::none_of(text.begin(), text.end(), isControl)) return text;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + 16);
    for (const char c : text) {
        if (!isControl(c)) {
            out += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        out += "\\x";
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
    }
    return out;
}

std::atomic<bool>& failureReported() {
    static std::atomic<bool> reported{false};
    return reported;
}

}  // namespace

clsLog::clsLog() {
    clsRegistry reg;
    const std::string stored = reg.ReadRegistry(HKEY_CURRENT_USER, kProductKey, kLogValue);
    if (stored == clsRegistry::notFoundVal()) {
        // No default that takes a file is stored: a later run looks again.
        path_ = defaultPath();
        if (!path_.empty()) reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, kLogValue, REG_SZ, path_);
    } else {
        path_ = stored;
    }
    log(std::string(68, '='));
    log("clsLog.Class_Initialize()");
    log(applicationTitle() + " " + applicationVersionText());
    log("logFile=\"" + path_ + "\"");
}

clsLog::~clsLog() { log("clsLog.Class_Terminate()"); }

bool clsLog::log(const std::string& text, bool withTime) {
    const std::string line =
        withTime ? timeStamp(currentClock().localNow()) + " - " + oneLine(text) : oneLine(text);
    if (!appendLine(path_, line) && !failureReported().exchange(true)) {
        std::fprintf(stderr, "OrvexCard: cannot write the log file \"%s\"; going on without it.\n",
                     windows1252ToUtf8(path_).c_str());
    }
    return true;
}

}  // namespace orvex
