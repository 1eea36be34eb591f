#pragma once
// A registry held in memory: keys by root and path, case-insensitive names as
// the Windows registry has them, values kept in insertion order. Used by
// tests and as the model the file store loads into.
#include <functional>
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
    // Lines of a store file under this key that were comments or could not be
    // read (UTF-8): kept so that rewriting the file throws nothing away.
    std::vector<std::string> keptLines;

    RegKey* findSubkey(const std::string& name) const;
    RegKey& subkey(const std::string& name);  // finds or creates
    RegValue* findValue(const std::string& name);
};

// Case-insensitive (ASCII) comparison of registry names.
bool regNameEquals(const std::string& a, const std::string& b);

// The registry's own limits, also the bounds of what a store file may hold.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxValueDataSize = 1024 * 1024;

// A key name is 1..255 bytes without a backslash or control characters (the store
// file could not hold them); a value name likewise, up to 16383 bytes, and
// may be empty (the key's default value).
bool validKeyName(const std::string& name);
bool validValueName(const std::string& name);

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
    // Hooks for a store that keeps the tree elsewhere. beforeRead comes before
    // every read of a root. beginChange comes before a change; when it fails
    // the change is not made. Every successful beginChange is matched by one
    // endChange, told whether the tree was changed, whatever the change's
    // outcome; its failure becomes the operation's result.
    virtual void beforeRead(uint32_t /*root*/) {}
    virtual reg_code beginChange(uint32_t /*root*/) { return reg::ERROR_SUCCESS; }
    virtual reg_code endChange(uint32_t /*root*/, bool /*changed*/) { return reg::ERROR_SUCCESS; }

private:
    struct OpenKey {
        uint32_t root;
        std::vector<std::string> path;
    };
    RegKey* resolve(const OpenKey& k);
    const OpenKey* handle(RegHandle key) const;
    reg_code open(RegHandle root, const std::string& path, RegHandle& key, bool create);
    // Runs apply between beginChange and endChange; apply sets its flag when
    // it changed the tree.
    reg_code change(uint32_t root, const std::function<reg_code(bool& changed)>& apply);
    reg_code createPath(const OpenKey& k, bool& changed);
    reg_code removeKey(const OpenKey& k, const std::string& subkey, bool& changed);

    std::map<uint32_t, RegKey> roots_;
    std::map<RegHandle, OpenKey> open_;
    RegHandle next_ = 1;
};

std::vector<std::string> splitKeyPath(const std::string& path);

}  // namespace orvex::platform
