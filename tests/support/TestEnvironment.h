#pragma once
// Every test program runs in its own scratch directory: the registry files,
// the log and the XDG folders all live there, so tests never touch the
// operator's settings and never see each other's.
#include <fstream>
#include <iterator>
#include <filesystem>
#include <string>

namespace orvex::test {

// A new empty directory below the scratch directory.
std::string makeTempDir(const std::string& stem = "t");

// Sets a variable of this process's environment; nullptr removes it.
void setEnvironment(const char* name, const char* value);

// Paths in tests are UTF-8, as in the program (Windows would read them as ANSI).
inline std::filesystem::path utf8Path(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// Whole file as bytes; empty when missing.
inline std::string readFileBytes(const std::string& path) {
    std::ifstream in(utf8Path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(utf8Path(path), std::ios::binary | std::ios::trunc) << bytes;
}
// How often part occurs in text, overlaps counted.
inline size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The system registry (on Windows) outlives a test program: each one starts
// without the settings an earlier one left behind.
void clearProductSettings();

// On Windows: both roots' product key emptied and given the values of the two store files' texts.
void loadSystemSettings(const std::string& userFile, const std::string& machineFile);

// The settings files in registryDir for a program run by a test: its log at
// logPath, fast polling, and userLines ("name"=value) for the user's key.
inline void writeTestSettings(const std::string& registryDir, const std::string& logPath,
                              const std::string& userLines, int pollMs = 20) {
    const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_";
    const std::string key = "\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n";
    const std::string poll = "\"=\"" + std::to_string(pollMs) + "\"\r\n";
    const std::string user = head + "CURRENT_USER" + key + userLines + "\"ocardlog\"=\"" + logPath + "\"\r\n";
    const std::string machine = head + "LOCAL_MACHINE" + key + "\"omsc.idleTimerInterval" + poll +
                                "\"omsc.onlineTimerInterval" + poll;
    writeFileBytes(registryDir + "/HKCU.reg", user);
    writeFileBytes(registryDir + "/HKLM.reg", machine);
#ifdef _WIN32
    loadSystemSettings(user, machine);
#endif
}

}  // namespace orvex::test
