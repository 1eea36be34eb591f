#pragma once
// CRC-16/ARC over byte text and the two-byte little-endian form it has on cards.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

int32_t crc16(std::string_view bytes);
// Two characters, low byte first; empty when value is outside 0..65535.
std::string crcWordToText(int64_t value);
// First two characters as a little-endian word, or -1 for fewer than two.
int32_t crcTextToWord(std::string_view text);

}  // namespace orvex
