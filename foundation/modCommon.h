#pragma once
// File system tests and the Windows-1252 conversions used at the edges where
// human text enters or leaves the system.
#include <string>
#include <string_view>

namespace orvex {

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
// Last path component without its extension ("C:\a\b.7kx" and "/a/b.7kx"
// both give "b"); both separators are honoured.
std::string getBaseName(const std::string& path);

// UTF-8 to Windows-1252 bytes; a character outside the code page (or an
// invalid UTF-8 sequence) becomes '?'.
std::string utf8ToWindows1252(std::string_view utf8);
// Windows-1252 bytes to UTF-8; the five unassigned bytes become the control
// characters of the same number, so every byte survives the round trip.
std::string windows1252ToUtf8(std::string_view bytes);

// Trailing blanks (0x20) removed.
std::string trimRight(std::string_view text);
// Blanks removed at both ends.
std::string trimBlanks(std::string_view text);

}  // namespace orvex
