#include "foundation/appInfo.h"

namespace orvex {
namespace {
std::string& titleStore() {
    static std::string title = "OrvexCard wizard";
    return title;
}
AppVersion& versionStore() {
    static AppVersion version;
    return version;
}
std::string& directoryStore() {
    static std::string dir;
    return dir;
}
}  // namespace

void setApplicationTitle(const std::string& title) { titleStore() = title; }
const std::string& applicationTitle() { return titleStore(); }

void setApplicationVersion(const AppVersion& version) { versionStore() = version; }
const AppVersion& applicationVersion() { return versionStore(); }

std::string applicationVersionText() {
    const AppVersion& v = versionStore();
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.revision);
}

void setProgramDirectory(const std::string& dir) { directoryStore() = dir; }
const std::string& programDirectory() { return directoryStore(); }

}  // namespace orvex
