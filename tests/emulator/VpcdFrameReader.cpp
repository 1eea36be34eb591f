#include "VpcdFrameReader.h"

namespace orvex::emulator {

void VpcdFrameReader::feed(const uint8_t* data, size_t size) {
    if (consumed_ > 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(consumed_));
        consumed_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + size);
}

std::optional<Bytes> VpcdFrameReader::next() {
    if (pending() < 2) return std::nullopt;
    const size_t length = (size_t{buffer_[consumed_]} << 8) | buffer_[consumed_ + 1];
    if (pending() < 2 + length) return std::nullopt;
    const auto start = buffer_.begin() + static_cast<std::ptrdiff_t>(consumed_ + 2);
    Bytes payload(start, start + static_cast<std::ptrdiff_t>(length));
    consumed_ += 2 + length;
    return payload;
}

std::optional<Bytes> VpcdFrameReader::frame(const Bytes& payload) {
    if (payload.size() > kMaxPayload) return std::nullopt;
    Bytes framed{static_cast<uint8_t>(payload.size() >> 8), static_cast<uint8_t>(payload.size() & 0xFF)};
    framed.insert(framed.end(), payload.begin(), payload.end());
    return framed;
}

}  // namespace orvex::emulator
