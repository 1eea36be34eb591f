#include "platform/digest/digest.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <memory>
#include <mutex>

namespace orvex::platform {
namespace {

// The digests name cards and samples; they are no security, so the system's
// crypto configuration (a policy that takes MD5 away, providers to load) must
// not change them, and reading it would cost more than the digests of a
// whole run. The library starts once, without its configuration file.
bool startLibrary() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        started = OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) == 1;
    });
    return started;
}

}  // namespace

std::optional<std::string> digest(DigestAlgorithm algorithm, std::string_view data) {
    if (!startLibrary()) return std::nullopt;
    const EVP_MD* md = algorithm == DigestAlgorithm::Md5 ? EVP_md5() : EVP_sha1();
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(),
                                                               &EVP_MD_CTX_free);
    if (!ctx || md == nullptr) return std::nullopt;
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int outLen = 0;
    if (EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), data.data(), data.size()) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), out, &outLen) != 1) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(out), outLen);
}

}  // namespace orvex::platform
