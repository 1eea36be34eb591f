#pragma once
// Every test program runs in its own scratch directory: the registry files,
// the log and the XDG folders all live there, so tests never touch the
// operator's settings and never see each other's.
#include <fstream>
#include <iterator>
#include <string>

namespace orvex::test {

// A new empty directory below the scratch directory.
std::string makeTempDir(const std::string& stem = "t");

// Sets a variable of this process's environment; nullptr removes it.
void setEnvironment(const char* name, const char* value);

// Whole file as bytes; empty when missing.
inline std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The settings files in registryDir for a program run by a test: its log at
// logPath, fast polling, and userLines ("name"=value) for the user's key.
inline void writeTestSettings(const std::string& registryDir, const std::string& logPath,
                              const std::string& userLines, int pollMs = 20) {
    const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_";
    const std::string key = "\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n";
    const std::string poll = "\"=\"" + std::to_string(pollMs) + "\"\r\n";
    writeFileBytes(registryDir + "/HKCU.reg", head + "CURRENT_USER" + key + userLines + "\"ocardlog\"=\"" + logPath + "\"\r\n");
    writeFileBytes(registryDir + "/HKLM.reg", head + "LOCAL_MACHINE" + key + "\"omsc.idleTimerInterval" + poll +
                                                  "\"omsc.onlineTimerInterval" + poll);
}

}  // namespace orvex::test
