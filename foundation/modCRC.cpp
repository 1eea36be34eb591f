#include "foundation/modCRC.h"

#include <array>

namespace orvex {
namespace {

// CRC-16/ARC: polynomial 0x8005 bit-reflected (0xA001), initial value 0.
constexpr std::array<uint16_t, 256> makeTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t c = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
        }
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint16_t, 256> kTable = makeTable();
static_assert(kTable[1] == 0xC0C1 && kTable[255] == 0x4040);

}  // namespace

int32_t crc16(std::string_view bytes) {
    uint32_t crc = 0;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        crc = (crc >> 8) ^ kTable[(crc ^ b) & 0xFF];
    }
    return static_cast<int32_t>(crc);
}

std::string crcWordToText(int64_t value) {
    if (value < 0 || value > 65535) return {};
    return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

int32_t crcTextToWord(std::string_view text) {
    if (text.size() < 2) return -1;
    return static_cast<unsigned char>(text[0]) + 256 * static_cast<unsigned char>(text[1]);
}

}  // namespace orvex
