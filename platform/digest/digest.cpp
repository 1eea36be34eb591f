#include "platform/digest/digest.h"

#include <openssl/evp.h>

#include <memory>

namespace orvex::platform {

std::optional<std::string> digest(DigestAlgorithm algorithm, std::string_view data) {
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
