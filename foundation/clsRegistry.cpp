#include "foundation/clsRegistry.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "platform/registry/RegistryApi.h"

namespace orvex {
namespace {

using platform::RegHandle;
using platform::reg_code;
namespace reg = platform::reg;

constexpr uint32_t kBufferSize = 2048;

// The store behind the settings keeps open keys, a cached tree and a file
// lock that are not made for callers on several threads at once (card
// operations on several readers run on threads of their own). Each operation
// therefore has the store to itself from opening its key to closing it;
// other processes are kept apart by the store's file lock.
std::mutex& storeMutex() {
    static std::mutex m;
    return m;
}

// Opens a key for the length of one operation and closes it again; no other
// thread uses the store meanwhile.
class KeyGuard {
public:
    KeyGuard(platform::RegistryApi& api, uint32_t root, const std::string& path, bool create)
        : lock_(storeMutex()), api_(api) {
        const reg_code rc = create ? api.createKey(root, path, key_) : api.openKey(root, path, key_);
        if (rc != reg::ERROR_SUCCESS) key_ = 0;
    }
    ~KeyGuard() {
        if (key_ != 0) api_.closeKey(key_);
    }
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;
    explicit operator bool() const { return key_ != 0; }
    RegHandle get() const { return key_; }

private:
    std::lock_guard<std::mutex> lock_;
    platform::RegistryApi& api_;
    RegHandle key_ = 0;
};

std::string dwordText(const std::string& data) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && i < data.size(); ++i) {
        v |= static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03u", v);
    return buf;
}

std::string binaryText(const std::string& data) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : data) {
        const auto b = static_cast<unsigned char>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

std::string withoutLastByte(const std::string& data) {
    return data.empty() ? std::string() : data.substr(0, data.size() - 1);
}

std::string dataText(uint32_t type, const std::string& data) {
    if (type == REG_DWORD) return dwordText(data);
    if (type == REG_BINARY) return binaryText(data);
    return withoutLastByte(data);
}

std::string dwordBytes(int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    return {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
            static_cast<char>((u >> 16) & 0xFF), static_cast<char>((u >> 24) & 0xFF)};
}

}  // namespace

clsRegistry::clsRegistry() : api_(platform::defaultRegistry()) {}
clsRegistry::clsRegistry(platform::RegistryApi& api) : api_(api) {}

std::string clsRegistry::notFoundVal() { return "###Not Found###"; }

std::string clsRegistry::ReadRegistry(uint32_t root, const std::string& keyPath,
                                      const std::string& valueName) const {
    KeyGuard key(api_, root, keyPath, false);
    if (!key) return notFoundVal();
    uint32_t type = 0;
    uint32_t size = 0;
    std::string data;
    if (api_.queryValue(key.get(), valueName, type, data, kBufferSize, size) != reg::ERROR_SUCCESS)
        return notFoundVal();
    return dataText(type, data);
}

void clsRegistry::WriteRegistry(uint32_t root, const std::string& keyPath,
                                const std::string& valueName, uint32_t type,
                                const std::string& value) {
    if (type == REG_DWORD) {
        int64_t number = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (value.empty() || ec != std::errc() || end != value.data() + value.size()) return;
        WriteRegistry(root, keyPath, valueName, type, number);
        return;
    }
    KeyGuard key(api_, root, keyPath, true);
    if (!key) return;
    api_.setValue(key.get(), valueName, REG_SZ, value + '\0');
    api_.flushKey(key.get());
}

void clsRegistry::WriteRegistry(uint32_t root, const std::string& keyPath,
                                const std::string& valueName, uint32_t type, int64_t value) {
    if (type != REG_DWORD) {
        WriteRegistry(root, keyPath, valueName, type, std::to_string(value));
        return;
    }
    // A number that does not fit a signed 32-bit DWORD is not stored.
    if (value < INT32_MIN || value > INT32_MAX) return;
    KeyGuard key(api_, root, keyPath, true);
    if (!key) return;
    api_.setValue(key.get(), valueName, REG_DWORD, dwordBytes(static_cast<int32_t>(value)));
    api_.flushKey(key.get());
}

std::string clsRegistry::ReadRegistryGetSubkey(uint32_t root, const std::string& keyPath,
                                               int32_t index) const {
    KeyGuard key(api_, root, keyPath, false);
    if (!key || index < 0) return notFoundVal();
    std::string name;
    if (api_.enumKey(key.get(), static_cast<uint32_t>(index), name, kBufferSize) !=
        reg::ERROR_SUCCESS)
        return notFoundVal();
    return name.substr(0, name.find('\0'));
}

RegistryEntry clsRegistry::ReadRegistryGetAll(uint32_t root, const std::string& keyPath,
                                              int32_t index) const {
    RegistryEntry entry;
    entry.data = notFoundVal();
    KeyGuard key(api_, root, keyPath, false);
    if (!key || index < 0) return entry;
    std::string name;
    std::string data;
    uint32_t type = 0;
    if (api_.enumValue(key.get(), static_cast<uint32_t>(index), name, kBufferSize, type, data,
                       kBufferSize) != reg::ERROR_SUCCESS)
        return entry;
    entry.type = type;
    entry.name = name;
    entry.data = type == REG_DWORD ? dwordText(data) : withoutLastByte(data);
    return entry;
}

void clsRegistry::DeleteSubkey(uint32_t root, const std::string& keyPath) {
    KeyGuard rootKey(api_, root, "", false);
    if (rootKey) api_.deleteKey(rootKey.get(), keyPath);
}

void clsRegistry::DeleteValue(uint32_t root, const std::string& keyPath,
                              const std::string& valueName) {
    KeyGuard key(api_, root, keyPath, false);
    if (key) api_.deleteValue(key.get(), valueName);
}

}  // namespace orvex
