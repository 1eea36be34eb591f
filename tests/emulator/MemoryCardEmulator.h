#pragma once
// A 16384-byte memory card as the virtual reader driver sees it: one-byte
// control messages (power off 0, power on 1, reset 2, get ATR 4) and command
// APDUs for READ BINARY (FF B0) and UPDATE BINARY (FF D6). Like the EEPROM of
// such cards, an update wraps inside its 64-byte page instead of running on
// into the next page, so a writer that ignores pages corrupts the card here
// as it would on real hardware.
#include <cstdint>
#include <optional>

#include "VpcdFrameReader.h"

namespace orvex::emulator {

class MemoryCardEmulator {
public:
    static constexpr size_t kCardSize = 16384;
    static constexpr size_t kPageSize = 64;

    // The image is cut or zero-filled to the card size.
    explicit MemoryCardEmulator(Bytes image);

    // The answer to one message, or nullopt for a message answered by nothing.
    std::optional<Bytes> handle(const Bytes& message);

    const Bytes& image() const { return image_; }
    // Successful UPDATE BINARY commands so far.
    uint32_t updates() const { return updates_; }
    static const Bytes& atr();

private:
    Bytes apdu(const Bytes& command);
    Bytes readBinary(size_t address, const Bytes& command) const;
    Bytes updateBinary(size_t address, const Bytes& command);

    Bytes image_;
    uint32_t updates_ = 0;
};

}  // namespace orvex::emulator
