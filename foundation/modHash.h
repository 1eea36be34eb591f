#pragma once
// Message digests of byte text.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

constexpr int32_t kHashMd5 = 0;
constexpr int32_t kHashSha1 = 1;

// MD5 (0) or SHA-1 (1) of the bytes: 16/20 raw bytes, or with asHex the
// lower-case hex text. Empty on any failure or another algorithm number.
std::string hashText(std::string_view text, int32_t algorithm, bool asHex);
// Two lower-case hex digits per byte.
std::string toHexText(std::string_view bytes);

}  // namespace orvex
