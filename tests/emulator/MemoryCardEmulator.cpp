#include "MemoryCardEmulator.h"

namespace orvex::emulator {
namespace {

constexpr uint8_t kControlAtr = 4;

const Bytes kOk{0x90, 0x00};
const Bytes kWrongLength{0x67, 0x00};
const Bytes kWrongAddress{0x6B, 0x00};
const Bytes kUnknownInstruction{0x6D, 0x00};
const Bytes kUnknownClass{0x6E, 0x00};

}  // namespace

MemoryCardEmulator::MemoryCardEmulator(Bytes image) : image_(std::move(image)) { image_.resize(kCardSize, 0); }

// T=0 and T=1 offered, no historical bytes; the last byte is the check byte.
const Bytes& MemoryCardEmulator::atr() {
    static const Bytes bytes{0x3B, 0x80, 0x80, 0x01, 0x01};
    return bytes;
}

// Power off, power on and reset expect no answer; only the ATR request does.
std::optional<Bytes> MemoryCardEmulator::handle(const Bytes& message) {
    if (message.size() == 1) return message[0] == kControlAtr ? std::optional<Bytes>(atr()) : std::nullopt;
    return apdu(message);
}

Bytes MemoryCardEmulator::apdu(const Bytes& command) {
    if (command.size() < 5) return kWrongLength;
    if (command[0] != 0xFF) return kUnknownClass;
    const size_t address = (size_t{command[2]} << 8) | command[3];
    switch (command[1]) {
    case 0xB0:
        return readBinary(address, command);
    case 0xD6:
        return updateBinary(address, command);
    default:
        return kUnknownInstruction;
    }
}

Bytes MemoryCardEmulator::readBinary(size_t address, const Bytes& command) const {
    if (command.size() != 5) return kWrongLength;
    const size_t length = command[4] == 0 ? 256 : command[4];
    if (address + length > kCardSize) return kWrongAddress;
    Bytes answer(image_.begin() + static_cast<std::ptrdiff_t>(address),
                 image_.begin() + static_cast<std::ptrdiff_t>(address + length));
    answer.insert(answer.end(), kOk.begin(), kOk.end());
    return answer;
}

Bytes MemoryCardEmulator::updateBinary(size_t address, const Bytes& command) {
    const size_t length = command[4];
    if (length == 0 || command.size() != 5 + length) return kWrongLength;
    if (address + length > kCardSize) return kWrongAddress;
    const size_t pageStart = address - address % kPageSize;
    for (size_t i = 0; i < length; ++i) image_[pageStart + (address - pageStart + i) % kPageSize] = command[5 + i];
    ++updates_;
    return kOk;
}

}  // namespace orvex::emulator
