#include "platform/registry/RegFileLocation.h"

#include "platform/process/ProgramProcess.h"

namespace orvex::platform {
namespace {

constexpr uint32_t kHkcu = 0x80000001u;
constexpr uint32_t kHklm = 0x80000002u;

std::string env(const char* name) { return environmentVariable(name); }

// XDG directories must be absolute; a relative one is ignored.
std::string configHome() {
    const std::string xdg = env("XDG_CONFIG_HOME");
    if (!xdg.empty() && xdg.front() == '/') return xdg;
    const std::string home = env("HOME");
    return home.empty() ? std::string() : home + "/.config";
}

}  // namespace

std::string registryFilePath(uint32_t root) {
    if (root != kHkcu && root != kHklm) return {};
    const char* file = root == kHkcu ? "HKCU.reg" : "HKLM.reg";
    if (const std::string dir = env("ORVEXCARD_REGISTRY_DIR"); !dir.empty())
        return dir + "/" + file;
    if (root == kHklm) return std::string("/etc/Tessovanwerk/") + file;
    const std::string base = configHome();
    return base.empty() ? std::string() : base + "/Tessovanwerk/" + file;
}

}  // namespace orvex::platform
