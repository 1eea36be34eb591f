#include "PcscdHarness.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/pcsc/PcscBackend.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFriendlyName = "Orvex Test Reader";
constexpr auto kStartDeadline = std::chrono::seconds(10);

bool isZombie(const fs::path& process) {
    std::ifstream status(process / "status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("State:", 0) == 0) return line.find('Z') != std::string::npos;
    }
    return false;
}

// A pcscd that has exited but was not yet reaped serves nothing: not counted.
std::string otherPcscd() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (!std::all_of(name.begin(), name.end(), ::isdigit)) continue;
        std::ifstream comm(entry.path() / "comm");
        std::string command;
        std::getline(comm, command);
        if (command == "pcscd" && !isZombie(entry.path())) return name;
    }
    return {};
}

bool portFree(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// The driver serves two slots, on the configured port and the next one.
int freePortPair() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        socklen_t size = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        ::close(fd);
        const int port = ntohs(address.sin_port);
        if (port > 0 && port < 65535 && portFree(port) && portFree(port + 1)) return port;
    }
    return 0;
}

}  // namespace

std::string PcscdHarness::start(const std::string& workDir) {
    if (std::string(ORVEX_PCSCD_PATH).empty()) return "pcscd is not installed (run scripts/setup.sh)";
    if (std::string(ORVEX_VPCD_DRIVER).empty())
        return "the virtual reader driver of vsmartcard-vpcd is not installed (run scripts/setup.sh)";
    if (const std::string pid = otherPcscd(); !pid.empty())
        return "another pcscd is already running (pid " + pid +
               "); the suite needs its own pcscd on /run/pcscd/pcscd.comm, stop the other one first";
    const std::string why = writeConfiguration(workDir);
    if (!why.empty()) return why;
    logPath_ = workDir + "/pcscd.log";
    if (!pcscd_.start({ORVEX_PCSCD_PATH, "--foreground", "--config", workDir + "/reader.conf.d"}, logPath_))
        return "pcscd could not be started";
    return waitUntilListed();
}

std::string PcscdHarness::writeConfiguration(const std::string& workDir) {
    port_ = freePortPair();
    if (port_ == 0) return "no free pair of TCP ports for the virtual reader";
    fs::create_directories(workDir + "/reader.conf.d");
    char port[16];
    std::snprintf(port, sizeof port, "0x%X", static_cast<unsigned>(port_));
    std::ofstream conf(workDir + "/reader.conf.d/vpcd");
    conf << "FRIENDLYNAME \"" << kFriendlyName << "\"\n"
         << "DEVICENAME /dev/null:" << port << "\n"
         << "LIBPATH " << ORVEX_VPCD_DRIVER << "\n"
         << "CHANNELID " << port << "\n";
    readerName_ = std::string(kFriendlyName) + " 00 00";
    return conf ? std::string() : "cannot write the reader configuration in " + workDir;
}

std::string PcscdHarness::waitUntilListed() {
    const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!pcscd_.running()) return "pcscd could not start; its output:\n" + logTail();
        platform::PcscBackend backend;
        std::vector<std::string> names;
        if (backend.listReaders(names).ok() && std::find(names.begin(), names.end(), readerName_) != names.end())
            return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    pcscd_.stop();
    return "pcscd started but did not list the reader \"" + readerName_ + "\"; its output:\n" + logTail();
}

std::string PcscdHarness::logTail() const {
    std::ifstream in(logPath_);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
}

}  // namespace orvex::test
