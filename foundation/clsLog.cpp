#include "foundation/clsLog.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>

#include "foundation/Clock.h"
#include "foundation/appInfo.h"
#include "foundation/clsRegistry.h"
#include "foundation/modCommon.h"
#include "platform/fs/FileIo.h"

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

// The state directory used when the program's directory takes no log file.
std::string stateDirectory() {
    const char* xdg = std::getenv("XDG_STATE_HOME");
    std::filesystem::path base;
    if (xdg && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::filesystem::path(home) / ".local" / "state";
    } else {
        base = std::filesystem::temp_directory_path();
    }
    return (base / "OrvexCard").string();
}

// A directory (a file system path) as Windows-1252 text, when it can be
// written that way and back.
bool ansiDirectory(const std::string& dir, std::string& ansi) {
    ansi = utf8ToWindows1252(dir);
    return !dir.empty() && windows1252ToUtf8(ansi) == dir;
}

// The program's directory when a file can be created there, else the state
// directory (created on demand). The result is Windows-1252 text.
std::string defaultPath() {
    const std::string name = applicationTitle() + ".log";
    std::string dir;
    if (ansiDirectory(programDirectory(), dir)) {
        const std::string candidate = dir + "/" + name;
        if (openLog(candidate).is_open()) return candidate;
    }
    const std::string state = stateDirectory();
    std::error_code ec;
    std::filesystem::create_directories(state, ec);
    return utf8ToWindows1252(state) + "/" + name;
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
        path_ = defaultPath();
        reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, kLogValue, REG_SZ, path_);
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
