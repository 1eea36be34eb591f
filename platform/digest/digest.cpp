#include "platform/digest/digest.h"

// The one-shot digest functions: OpenSSL 3 marks them deprecated in favour of
// EVP, which finds its implementation through the provider registry. That
// lookup builds the library's table of every algorithm name on first use (3.5
// million instructions, more than the rest of a card dump), and it consults
// the system's crypto configuration, where a policy may take MD5 away. The
// digests here name cards and samples and are no security: they must not
// change with a policy, and they need no registry.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>
#include <openssl/sha.h>

namespace orvex::platform {

std::optional<std::string> digest(DigestAlgorithm algorithm, std::string_view data) {
    const auto* in = reinterpret_cast<const unsigned char*>(data.data());
    unsigned char out[SHA_DIGEST_LENGTH];
    static_assert(SHA_DIGEST_LENGTH >= MD5_DIGEST_LENGTH);
    if (algorithm == DigestAlgorithm::Md5) {
        if (MD5(in, data.size(), out) == nullptr) return std::nullopt;
        return std::string(reinterpret_cast<const char*>(out), MD5_DIGEST_LENGTH);
    }
    if (SHA1(in, data.size(), out) == nullptr) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(out), SHA_DIGEST_LENGTH);
}

}  // namespace orvex::platform
