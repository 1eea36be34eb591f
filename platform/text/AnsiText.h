#pragma once
// The system's ANSI code page, Windows-1252: card text, the registry's ANSI
// side and the log. The five bytes that code page
// leaves unassigned (81, 8D, 8F, 90, 9D) map to the C1 control characters of
// the same number, as the system conversion does, so every byte 0..255
// survives a trip through Unicode and back unchanged.
#include <string>
#include <string_view>

namespace orvex::platform {

char32_t ansiToCodePoint(unsigned char byte);
// '?' for a character outside the code page.
char codePointToAnsi(char32_t c);

void appendUtf8(std::string& out, char32_t c);
std::string ansiToUtf8(std::string_view ansi);
std::string codePointsToUtf8(std::u32string_view text);
std::string codePointsToAnsi(std::u32string_view text);
// As codePointsToAnsi, but false (out unspecified) when a character has no
// place in the code page.
bool codePointsToAnsiExact(std::u32string_view text, std::string& out);

// Decodes UTF-8; a byte that does not start a valid sequence is taken as one
// Windows-1252 character, so text from any source decodes without loss.
std::u32string decodeUtf8Lenient(std::string_view bytes);
// UTF-8 to Windows-1252 for text bound for a card: a character outside the
// code page, and every byte of a sequence that is not valid UTF-8, becomes '?'.
std::string utf8ToAnsi(std::string_view utf8);
std::u32string decodeAnsi(std::string_view ansi);
// UTF-16LE, unpaired surrogates become U+FFFD; an odd last byte is taken as a
// unit with a zero high byte.
std::u32string decodeUtf16le(std::string_view bytes);
std::string ansiToUtf16le(std::string_view ansi);

}  // namespace orvex::platform
