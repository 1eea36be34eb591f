// MD5 and SHA-1 from the system crypto provider. The context is acquired and
// released within each call.
#include "platform/digest/digest.h"

#include <windows.h>
#include <wincrypt.h>

#include <climits>

namespace orvex::platform {
namespace {

constexpr char kProvider[] = "Microsoft Base Cryptographic Provider v1.0";

class ProviderContext {
public:
    ProviderContext() {
        // A user without a default key container gets one created.
        if (!CryptAcquireContextA(&handle_, nullptr, kProvider, PROV_RSA_FULL, 0) &&
            !CryptAcquireContextA(&handle_, nullptr, kProvider, PROV_RSA_FULL, CRYPT_NEWKEYSET))
            handle_ = 0;
    }
    ~ProviderContext() {
        if (handle_ != 0) CryptReleaseContext(handle_, 0);
    }
    ProviderContext(const ProviderContext&) = delete;
    ProviderContext& operator=(const ProviderContext&) = delete;
    HCRYPTPROV get() const { return handle_; }

private:
    HCRYPTPROV handle_ = 0;
};

class HashObject {
public:
    HashObject(HCRYPTPROV provider, ALG_ID algorithm) {
        if (!CryptCreateHash(provider, algorithm, 0, 0, &handle_)) handle_ = 0;
    }
    ~HashObject() {
        if (handle_ != 0) CryptDestroyHash(handle_);
    }
    HashObject(const HashObject&) = delete;
    HashObject& operator=(const HashObject&) = delete;
    HCRYPTHASH get() const { return handle_; }

private:
    HCRYPTHASH handle_ = 0;
};

// CryptHashData takes a 32-bit length: longer data goes in pieces.
bool feed(HCRYPTHASH hash, std::string_view data) {
    constexpr size_t kPiece = 1u << 30;
    do {
        const size_t n = data.size() < kPiece ? data.size() : kPiece;
        if (!CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(n), 0)) return false;
        data.remove_prefix(n);
    } while (!data.empty());
    return true;
}

}  // namespace

std::optional<std::string> digest(DigestAlgorithm algorithm, std::string_view data) {
    const bool md5 = algorithm == DigestAlgorithm::Md5;
    const DWORD expected = md5 ? 16 : 20;
    ProviderContext provider;
    if (provider.get() == 0) return std::nullopt;
    HashObject hash(provider.get(), md5 ? CALG_MD5 : CALG_SHA1);
    if (hash.get() == 0 || !feed(hash.get(), data)) return std::nullopt;
    BYTE value[20] = {};
    DWORD length = sizeof value;
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, value, &length, 0) || length != expected) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(value), length);
}

}  // namespace orvex::platform
