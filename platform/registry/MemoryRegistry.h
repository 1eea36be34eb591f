#pragma once
// A registry held in memory: keys by root and path, case-insensitive names as
// the Windows registry has them, values kept in insertion order. Used by
// tests and as the model the file store loads into.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry/RegistryApi.h"

namespace orvex::platform {

struct RegValue {
    std::string name;  // empty = the key's default value ("@")
    uint32_t type = 0;
    std::string data;  // raw bytes
};

struct RegKey {
    std::string name;  // as first written (case kept)
    std::vector<RegValue> values;
    std::vector<std::unique_ptr<RegKey>> subkeys;

    RegKey* findSubkey(const std::string& name) const;
    RegKey& subkey(const std::string& name);  // finds or creates
    RegValue* findValue(const std::string& name);
};

// Case-insensitive (ASCII) comparison of registry names.
bool regNameEquals(const std::string& a, const std::string& b);

class MemoryRegistry : public RegistryApi {
public:
    reg_code openKey(RegHandle root, const std::string& path, RegHandle& key) override;
    reg_code createKey(RegHandle root, const std::string& path, RegHandle& key) override;
    reg_code closeKey(RegHandle key) override;
    reg_code queryValue(RegHandle key, const std::string& name, uint32_t& type, std::string& data,
                        uint32_t capacity, uint32_t& dataSize) override;
    reg_code setValue(RegHandle key, const std::string& name, uint32_t type,
                      const std::string& data) override;
    reg_code flushKey(RegHandle key) override;
    reg_code enumKey(RegHandle key, uint32_t index, std::string& name,
                     uint32_t nameCapacity) override;
    reg_code enumValue(RegHandle key, uint32_t index, std::string& name, uint32_t nameCapacity,
                       uint32_t& type, std::string& data, uint32_t dataCapacity) override;
    reg_code deleteKey(RegHandle key, const std::string& subkey) override;
    reg_code deleteValue(RegHandle key, const std::string& name) override;

    // The tree of one root (HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE).
    RegKey& rootKey(uint32_t root);

protected:
    // Hooks for a store that keeps the tree elsewhere: called before a read
    // and around a change of the given root.
    virtual void beforeRead(uint32_t /*root*/) {}
    virtual void beforeChange(uint32_t /*root*/) {}
    virtual reg_code afterChange(uint32_t /*root*/) { return reg::ERROR_SUCCESS; }

private:
    struct OpenKey {
        uint32_t root;
        std::vector<std::string> path;
    };
    RegKey* resolve(const OpenKey& k);
    const OpenKey* handle(RegHandle key) const;
    reg_code open(RegHandle root, const std::string& path, RegHandle& key, bool create);

    std::map<uint32_t, RegKey> roots_;
    std::map<RegHandle, OpenKey> open_;
    RegHandle next_ = 1;
};

std::vector<std::string> splitKeyPath(const std::string& path);

}  // namespace orvex::platform
