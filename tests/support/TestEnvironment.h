#pragma once
// Every test program runs in its own scratch directory: the registry files,
// the log and the XDG folders all live there, so tests never touch the
// operator's settings and never see each other's.
#include <string>

namespace orvex::test {

// A new empty directory below the scratch directory.
std::string makeTempDir(const std::string& stem = "t");
// Whole file as bytes; empty when missing.
std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);

}  // namespace orvex::test
