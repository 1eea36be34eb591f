#pragma once
// The registry entry points the settings class calls: open, query, create,
// set, flush, enumerate, delete, close. Results are Win32-style codes, 0 =
// success. Value data is raw bytes (one char per byte) as the registry keeps
// them: REG_SZ with its terminating NUL, REG_DWORD as four little-endian bytes.
#include <cstdint>
#include <string>

namespace orvex::platform {

using RegHandle = uint64_t;  // 0 is never a valid open key
using reg_code = int32_t;

namespace reg {
constexpr reg_code ERROR_SUCCESS = 0;
constexpr reg_code ERROR_FILE_NOT_FOUND = 2;
constexpr reg_code ERROR_ACCESS_DENIED = 5;
constexpr reg_code ERROR_INVALID_HANDLE = 6;
constexpr reg_code ERROR_INVALID_PARAMETER = 87;
constexpr reg_code ERROR_MORE_DATA = 234;
constexpr reg_code ERROR_NO_MORE_ITEMS = 259;
constexpr reg_code ERROR_BADDB = 1009;               // the store cannot be read as a whole
constexpr reg_code ERROR_REGISTRY_IO_FAILED = 1016;  // the store could not be written
}  // namespace reg

class RegistryApi {
public:
    virtual ~RegistryApi() = default;

    // root is a predefined root (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE) or an
    // open key. An empty path opens the root itself.
    virtual reg_code openKey(RegHandle root, const std::string& path, RegHandle& key) = 0;
    // Opens the key, creating it and every missing key above it.
    virtual reg_code createKey(RegHandle root, const std::string& path, RegHandle& key) = 0;
    virtual reg_code closeKey(RegHandle key) = 0;
    // data receives at most capacity bytes; a longer value answers
    // ERROR_MORE_DATA with dataSize set to its real size.
    virtual reg_code queryValue(RegHandle key, const std::string& name, uint32_t& type,
                                std::string& data, uint32_t capacity, uint32_t& dataSize) = 0;
    virtual reg_code setValue(RegHandle key, const std::string& name, uint32_t type,
                              const std::string& data) = 0;
    virtual reg_code flushKey(RegHandle key) = 0;
    // Subkey names and values by index, in the order the store keeps them;
    // ERROR_NO_MORE_ITEMS past the last one.
    virtual reg_code enumKey(RegHandle key, uint32_t index, std::string& name,
                             uint32_t nameCapacity) = 0;
    virtual reg_code enumValue(RegHandle key, uint32_t index, std::string& name,
                               uint32_t nameCapacity, uint32_t& type, std::string& data,
                               uint32_t dataCapacity) = 0;
    // Deletes a subkey that has no subkeys of its own.
    virtual reg_code deleteKey(RegHandle key, const std::string& subkey) = 0;
    virtual reg_code deleteValue(RegHandle key, const std::string& name) = 0;
};

// The program's registry: the .reg file store on Linux, the registry itself
// on Windows.
RegistryApi& defaultRegistry();

}  // namespace orvex::platform
