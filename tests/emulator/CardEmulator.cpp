// The card side of the virtual reader driver's socket. Every message travels
// as a two-byte big-endian length and that many bytes; a socket hands over
// bytes in arbitrary pieces, so whole messages are cut out of what arrived.
// The card is 16384 bytes of memory: one-byte control messages (only "get
// ATR", 4, is answered) and READ BINARY (FF B0) / UPDATE BINARY (FF D6). Like
// the EEPROM of such cards, an update wraps inside its 64-byte page instead of
// running into the next one, so a writer that ignores pages corrupts it here.
// Compiled into the emulator program and the fuzzer directly.
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
    std::optional<Bytes> next() {
        if (buffer_.size() < 2) return std::nullopt;
        const size_t end = 2 + ((size_t{buffer_[0]} << 8) | buffer_[1]);
        if (buffer_.size() < end) return std::nullopt;
        Bytes payload(buffer_.begin() + 2, buffer_.begin() + static_cast<std::ptrdiff_t>(end));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(end));
        return payload;
    }
    // A message in its frame; nullopt when it is too long for the length field.
    static std::optional<Bytes> frame(const Bytes& payload) {
        if (payload.size() > 0xFFFF) return std::nullopt;
        Bytes framed{static_cast<uint8_t>(payload.size() >> 8), static_cast<uint8_t>(payload.size() & 0xFF)};
        framed.insert(framed.end(), payload.begin(), payload.end());
        return framed;
    }

private:
    Bytes buffer_;
};

class MemoryCardEmulator {
public:
    static constexpr size_t kCardSize = 16384;
    explicit MemoryCardEmulator(Bytes image) : image_(std::move(image)) { image_.resize(kCardSize, 0); }
    // The answer to one message, or nullopt for a message answered by nothing.
    std::optional<Bytes> handle(const Bytes& command) {
        // T=0 and T=1 offered, no historical bytes; the last byte is the check byte.
        if (command.size() == 1) return command[0] == 4 ? Bytes{0x3B, 0x80, 0x80, 0x01, 0x01} : std::optional<Bytes>();
        if (command.size() < 5) return Bytes{0x67, 0x00};  // wrong length
        if (command[0] != 0xFF) return Bytes{0x6E, 0x00};  // unknown class
        if (command[1] != 0xB0 && command[1] != 0xD6) return Bytes{0x6D, 0x00};  // unknown instruction
        const bool read = command[1] == 0xB0;
        const size_t address = (size_t{command[2]} << 8) | command[3];
        const size_t length = read && command[4] == 0 ? 256 : command[4];
        if (read ? command.size() != 5 : length == 0 || command.size() != 5 + length) return Bytes{0x67, 0x00};
        if (address + length > kCardSize) return Bytes{0x6B, 0x00};  // wrong address
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
    const Bytes& image() const { return image_; }
    uint32_t updates() const { return updates_; }  // successful UPDATE BINARY commands

private:
    Bytes image_;
    uint32_t updates_ = 0;
};

}  // namespace orvex::emulator
