#include "cards/modCardLayout.h"

#include <random>

#include "foundation/modCRC.h"
#include "foundation/modHash.h"

namespace orvex {
namespace {

// "k4w9#" and two diaeresis characters, as Windows-1252 bytes.
constexpr std::string_view kCardIdSalt = "k4w9#\xA8\xA8";
constexpr size_t kKeyLength = 16;
constexpr size_t kCopyLength = 5;

// One generator per thread: cards on several readers are formatted at once.
uint8_t defaultRandomByte() {
    thread_local std::mt19937 generator{std::random_device{}()};
    return static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(generator));
}

CounterRandomSource& randomSource() {
    static CounterRandomSource source;
    return source;
}

uint8_t nextRandomByte() { return randomSource() ? randomSource()() : defaultRandomByte(); }

uint8_t byteAt(std::string_view text, size_t index) {
    return static_cast<uint8_t>(text[index]);
}

bool copyIntact(std::string_view copy) {
    return crc16(copy.substr(0, 3)) == crcTextToWord(copy.substr(3, 2));
}

int32_t decodeCopy(std::string_view copy, std::string_view key) {
    const uint8_t r = byteAt(copy, 2);
    const uint8_t k = byteAt(key, r & 15);
    return ((byteAt(copy, 0) ^ r ^ k) << 8) + (byteAt(copy, 1) ^ r ^ k);
}

}  // namespace

std::string computeCardId(std::string_view serial, std::string_view lastModified,
                          std::string_view version, std::string_view company,
                          std::string_view purpose) {
    std::string text(kCardIdSalt);
    text.append(serial).append(lastModified).append(version).append(company).append(purpose);
    return hashText(text, kHashMd5, false);
}

std::string encodePlaybCounter(int32_t value, std::string_view key) {
    if (key == "failed" || key.size() != kKeyLength || value < 0 || value > 65535) return {};
    const uint8_t r = nextRandomByte();
    const uint8_t k = byteAt(key, r & 15);
    std::string copy;
    copy += static_cast<char>((value >> 8) ^ r ^ k);
    copy += static_cast<char>((value & 0xFF) ^ r ^ k);
    copy += static_cast<char>(r);
    return copy + crcWordToText(crc16(copy));
}

int32_t decodePlaybCounter(std::string_view block, std::string_view key) {
    if (block.size() != 2 * kCopyLength || key.size() != kKeyLength) return 0;
    const std::string_view a = block.substr(0, kCopyLength);
    const std::string_view b = block.substr(kCopyLength);
    if (copyIntact(a)) return decodeCopy(a, key);
    if (copyIntact(b)) return decodeCopy(b, key);
    return 0;
}

void installCounterRandomSource(CounterRandomSource source) { randomSource() = std::move(source); }

}  // namespace orvex
