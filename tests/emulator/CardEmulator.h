#pragma once
// The card side of the virtual reader driver's socket. Every message travels
// as a two-byte big-endian length and that many bytes; a socket hands over
// bytes in arbitrary pieces, so whole messages are cut out of what arrived.
// The card is 16384 bytes of memory: one-byte control messages (only "get
// ATR", 4, is answered) and READ BINARY (FF B0) / UPDATE BINARY (FF D6). Like
// the EEPROM of such cards, an update wraps inside its 64-byte page instead of
// running into the next one, so a writer that ignores pages corrupts it here.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvex::emulator {

using Bytes = std::vector<uint8_t>;

class VpcdFrameReader {
public:
    void feed(const uint8_t* data, size_t size) { buffer_.insert(buffer_.end(), data, data + size); }
    // The next whole message, or nullopt until its last byte has arrived.
    std::optional<Bytes> next();
    // A message in its frame; nullopt when it is too long for the length field.
    static std::optional<Bytes> frame(const Bytes& payload);

private:
    Bytes buffer_;
};

class MemoryCardEmulator {
public:
    static constexpr size_t kCardSize = 16384;
    explicit MemoryCardEmulator(Bytes image) : image_(std::move(image)) { image_.resize(kCardSize, 0); }
    // The answer to one message, or nullopt for a message answered by nothing.
    std::optional<Bytes> handle(const Bytes& message);
    const Bytes& image() const { return image_; }
    uint32_t updates() const { return updates_; }  // successful UPDATE BINARY commands

private:
    Bytes apdu(const Bytes& command);
    Bytes image_;
    uint32_t updates_ = 0;
};

}  // namespace orvex::emulator
