#pragma once
// The framing of the virtual reader driver's socket: every message travels as
// a two-byte big-endian length and that many bytes. A socket hands over bytes
// in arbitrary pieces, so whole messages are cut out of what has arrived.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvex::emulator {

using Bytes = std::vector<uint8_t>;

class VpcdFrameReader {
public:
    static constexpr size_t kMaxPayload = 0xFFFF;

    void feed(const uint8_t* data, size_t size);
    // The next whole message, or nullopt until its last byte has arrived.
    std::optional<Bytes> next();
    // Bytes received that do not yet form a whole message.
    size_t pending() const { return buffer_.size() - consumed_; }

    // A message in its frame; nullopt when it is too long for the length field.
    static std::optional<Bytes> frame(const Bytes& payload);

private:
    Bytes buffer_;
    size_t consumed_ = 0;
};

}  // namespace orvex::emulator
