#include "foundation/modHash.h"

#include "platform/digest/digest.h"

namespace orvex {

std::string hashText(std::string_view text, int32_t algorithm, bool asHex) {
    if (algorithm != kHashMd5 && algorithm != kHashSha1) return {};
    const auto raw = platform::digest(
        algorithm == kHashMd5 ? platform::DigestAlgorithm::Md5 : platform::DigestAlgorithm::Sha1,
        text);
    if (!raw) return {};
    return asHex ? toHexText(*raw) : *raw;
}

std::string toHexText(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

}  // namespace orvex
