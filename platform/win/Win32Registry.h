#pragma once
// The registry entry points on the Windows registry itself, through its ANSI
// calls. Keys opened for reading ask for read access only, so settings under
// HKEY_LOCAL_MACHINE read without administrative rights.
#include "platform/registry/RegistryApi.h"

namespace orvex::platform {

class Win32Registry final : public RegistryApi {
public:
    reg_code openKey(RegHandle root, const std::string& path, RegHandle& key) override;
    reg_code createKey(RegHandle root, const std::string& path, RegHandle& key) override;
    reg_code closeKey(RegHandle key) override;
    reg_code queryValue(RegHandle key, const std::string& name, uint32_t& type, std::string& data,
                        uint32_t capacity, uint32_t& dataSize) override;
    reg_code setValue(RegHandle key, const std::string& name, uint32_t type, const std::string& data) override;
    reg_code flushKey(RegHandle key) override;
    reg_code enumKey(RegHandle key, uint32_t index, std::string& name, uint32_t nameCapacity) override;
    reg_code enumValue(RegHandle key, uint32_t index, std::string& name, uint32_t nameCapacity, uint32_t& type,
                       std::string& data, uint32_t dataCapacity) override;
    reg_code deleteKey(RegHandle key, const std::string& subkey) override;
    reg_code deleteValue(RegHandle key, const std::string& name) override;
};

}  // namespace orvex::platform
