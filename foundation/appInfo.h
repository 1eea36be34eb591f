#pragma once
// Program identity that start-up sets once and every log object reads: the
// application title (text 101 of the chosen language, as Windows-1252 bytes),
// the version and the program's own directory.
#include <string>

namespace orvex {

struct AppVersion {
    int major = 2;
    int minor = 1;
    int revision = 0;
};

void setApplicationTitle(const std::string& title);
const std::string& applicationTitle();

void setApplicationVersion(const AppVersion& version);
const AppVersion& applicationVersion();
// "major.minor.revision", each number without leading zeros.
std::string applicationVersionText();

// Directory the running program lives in (no trailing separator). Empty until
// start-up sets it; the log then falls back to its state directory.
void setProgramDirectory(const std::string& dir);
const std::string& programDirectory();

}  // namespace orvex
