#pragma once
// Registry values as text. Every operation opens and closes its key within the
// call and swallows every failure: reads report a missing value as the marker
// "###Not Found###", writes and deletes fail silently.
#include <cstdint>
#include <string>

namespace orvex {

namespace platform {
class RegistryApi;
}

constexpr uint32_t HKEY_CURRENT_USER = 0x80000001u;
constexpr uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;

constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;

// Key paths used by the program.
inline constexpr const char* kProductKey = "SOFTWARE\\Tessovanwerk\\OrvexCard";
inline constexpr const char* kSharedKey = "SOFTWARE\\Tessovanwerk\\General";

struct RegistryEntry {
    uint32_t type = 0;
    std::string name;
    std::string data;  // text as ReadRegistry forms it, or the marker
};

class clsRegistry {
public:
    // Uses the program's registry (the file store on Linux).
    clsRegistry();
    // Uses the given registry; the caller keeps it alive.
    explicit clsRegistry(platform::RegistryApi& api);

    static std::string notFoundVal();

    std::string ReadRegistry(uint32_t root, const std::string& keyPath,
                             const std::string& valueName) const;
    // Type 1 stores the text with a NUL appended; type 4 stores the value as a
    // signed 32-bit DWORD (a text is converted; a text that is not a number is
    // not written).
    void WriteRegistry(uint32_t root, const std::string& keyPath,
                       const std::string& valueName, uint32_t type,
                       const std::string& value);
    void WriteRegistry(uint32_t root, const std::string& keyPath,
                       const std::string& valueName, uint32_t type, int64_t value);
    std::string ReadRegistryGetSubkey(uint32_t root, const std::string& keyPath,
                                      int32_t index) const;
    RegistryEntry ReadRegistryGetAll(uint32_t root, const std::string& keyPath,
                                     int32_t index) const;
    void DeleteSubkey(uint32_t root, const std::string& keyPath);
    void DeleteValue(uint32_t root, const std::string& keyPath,
                     const std::string& valueName);

private:
    platform::RegistryApi& api_;
};

}  // namespace orvex
