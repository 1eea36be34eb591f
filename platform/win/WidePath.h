#pragma once
// Paths are UTF-8 inside the program and UTF-16 at the Win32 calls.
#include <string>

namespace orvex::platform::win {

// The UTF-16 form of a UTF-8 text; empty when the text is not valid UTF-8
// (no Win32 call then reaches a file of a different name).
std::wstring widen(const std::string& utf8);

// The UTF-8 form of a UTF-16 text from the system; unpaired surrogates
// become U+FFFD.
std::string narrow(const std::wstring& utf16);

// The system's message for a Win32 error code, one line.
std::string errorText(unsigned long code);

}  // namespace orvex::platform::win
