#pragma once
// The German/English text table. A text is addressed by languageBase + offset;
// German texts live at 10000 + offset, English ones at 20000 + offset.
#include <cstdint>
#include <optional>
#include <string>

namespace orvex {

constexpr int16_t kLanguageGerman = 10000;
constexpr int16_t kLanguageEnglish = 20000;

int16_t languageBase();
void setLanguageBase(int16_t base);
// languageBase from a "lng" setting text: 10000 x the number; 10000 when the
// text is not numeric.
int16_t languageBaseFromSetting(const std::string& lngSetting);

// The text (UTF-8, "\r\n" already turned into CR LF) for an identifier, or
// nothing when the table has no such entry.
std::optional<std::string> resourceText(int id);
// The text for languageBase + offset; empty when missing.
std::string resText(int offset);

}  // namespace orvex
