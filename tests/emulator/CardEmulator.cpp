#include "CardEmulator.h"

namespace orvex::emulator {

std::optional<Bytes> VpcdFrameReader::next() {
    if (buffer_.size() < 2) return std::nullopt;
    const size_t end = 2 + ((size_t{buffer_[0]} << 8) | buffer_[1]);
    if (buffer_.size() < end) return std::nullopt;
    Bytes payload(buffer_.begin() + 2, buffer_.begin() + static_cast<std::ptrdiff_t>(end));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(end));
    return payload;
}

std::optional<Bytes> VpcdFrameReader::frame(const Bytes& payload) {
    if (payload.size() > 0xFFFF) return std::nullopt;
    Bytes framed{static_cast<uint8_t>(payload.size() >> 8), static_cast<uint8_t>(payload.size() & 0xFF)};
    framed.insert(framed.end(), payload.begin(), payload.end());
    return framed;
}

std::optional<Bytes> MemoryCardEmulator::handle(const Bytes& message) {
    // T=0 and T=1 offered, no historical bytes; the last byte is the check byte.
    if (message.size() == 1) return message[0] == 4 ? std::optional<Bytes>({0x3B, 0x80, 0x80, 0x01, 0x01}) : std::nullopt;
    return apdu(message);
}

Bytes MemoryCardEmulator::apdu(const Bytes& command) {
    if (command.size() < 5) return {0x67, 0x00};  // wrong length
    if (command[0] != 0xFF) return {0x6E, 0x00};  // unknown class
    if (command[1] != 0xB0 && command[1] != 0xD6) return {0x6D, 0x00};  // unknown instruction
    const bool read = command[1] == 0xB0;
    const size_t address = (size_t{command[2]} << 8) | command[3];
    const size_t length = read && command[4] == 0 ? 256 : command[4];
    if (read ? command.size() != 5 : length == 0 || command.size() != 5 + length) return {0x67, 0x00};
    if (address + length > kCardSize) return {0x6B, 0x00};  // wrong address
    Bytes answer;
    if (read) {
        answer.assign(image_.begin() + static_cast<std::ptrdiff_t>(address),
                      image_.begin() + static_cast<std::ptrdiff_t>(address + length));
    } else {
        const size_t page = address - address % 64;
        for (size_t i = 0; i < length; ++i) image_[page + (address - page + i) % 64] = command[5 + i];
        ++updates_;
    }
    answer.insert(answer.end(), {0x90, 0x00});
    return answer;
}

}  // namespace orvex::emulator
