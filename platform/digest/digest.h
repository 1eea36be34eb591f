#pragma once
// MD5 and SHA-1 from the platform's crypto provider: OpenSSL libcrypto on
// POSIX systems, the system crypto provider on Windows.
#include <optional>
#include <string>
#include <string_view>

namespace orvex::platform {

enum class DigestAlgorithm { Md5, Sha1 };

// The raw digest bytes, or nothing when the provider refuses.
std::optional<std::string> digest(DigestAlgorithm algorithm, std::string_view data);

}  // namespace orvex::platform
