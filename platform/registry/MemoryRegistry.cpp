#include "platform/registry/MemoryRegistry.h"

#include <algorithm>
#include <cctype>

namespace orvex::platform {
namespace {
constexpr uint32_t kHkcu = 0x80000001u;
constexpr uint32_t kHklm = 0x80000002u;
bool isRoot(RegHandle h) { return h == kHkcu || h == kHklm; }

bool hasControl(const std::string& s) {
    return std::any_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}
}  // namespace

bool regNameEquals(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool validKeyName(const std::string& name) {
    return !name.empty() && name.size() <= kMaxKeyNameLength &&
           name.find('\\') == std::string::npos && !hasControl(name);
}

bool validValueName(const std::string& name) {
    return name.size() <= kMaxValueNameLength && !hasControl(name);
}

RegKey* RegKey::findSubkey(const std::string& n) const {
    for (const auto& k : subkeys) {
        if (regNameEquals(k->name, n)) return k.get();
    }
    return nullptr;
}

RegKey& RegKey::subkey(const std::string& n) {
    if (RegKey* k = findSubkey(n)) return *k;
    subkeys.push_back(std::make_unique<RegKey>());
    subkeys.back()->name = n;
    return *subkeys.back();
}

RegValue* RegKey::findValue(const std::string& n) {
    for (auto& v : values) {
        if (regNameEquals(v.name, n)) return &v;
    }
    return nullptr;
}

std::vector<std::string> splitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

RegKey& MemoryRegistry::rootKey(uint32_t root) { return roots_[root]; }

const MemoryRegistry::OpenKey* MemoryRegistry::handle(RegHandle key) const {
    const auto it = open_.find(key);
    return it == open_.end() ? nullptr : &it->second;
}

RegKey* MemoryRegistry::resolve(const OpenKey& k) {
    RegKey* node = &roots_[k.root];
    for (const auto& part : k.path) {
        node = node->findSubkey(part);
        if (!node) return nullptr;
    }
    return node;
}

reg_code MemoryRegistry::change(uint32_t root,
                                const std::function<reg_code(bool& changed)>& apply) {
    if (const reg_code rc = beginChange(root); rc != reg::ERROR_SUCCESS) return rc;
    // endChange must follow even when apply throws, or a store's lock stays held.
    struct Ender {
        MemoryRegistry& self;
        uint32_t root;
        bool done = false;
        ~Ender() {
            if (!done) self.endChange(root, false);
        }
    } ender{*this, root};
    bool changed = false;
    const reg_code rc = apply(changed);
    ender.done = true;
    const reg_code ended = endChange(root, changed);
    return rc != reg::ERROR_SUCCESS ? rc : ended;
}

reg_code MemoryRegistry::createPath(const OpenKey& k, bool& changed) {
    RegKey* node = &roots_[k.root];
    for (const auto& part : k.path) {
        if (RegKey* next = node->findSubkey(part)) {
            node = next;
        } else {
            node = &node->subkey(part);
            changed = true;
        }
    }
    return reg::ERROR_SUCCESS;
}

reg_code MemoryRegistry::open(RegHandle root, const std::string& path, RegHandle& key,
                              bool create) {
    OpenKey k;
    if (isRoot(root)) {
        k.root = static_cast<uint32_t>(root);
    } else if (const OpenKey* parent = handle(root)) {
        k = *parent;
    } else {
        return reg::ERROR_INVALID_HANDLE;
    }
    for (auto& part : splitKeyPath(path)) {
        if (!validKeyName(part)) return reg::ERROR_INVALID_PARAMETER;
        k.path.push_back(std::move(part));
    }
    if (k.path.size() > kMaxKeyDepth) return reg::ERROR_INVALID_PARAMETER;
    if (create) {
        const reg_code rc = change(k.root, [&](bool& changed) { return createPath(k, changed); });
        if (rc != reg::ERROR_SUCCESS) return rc;
    } else {
        beforeRead(k.root);
        if (!resolve(k)) return reg::ERROR_FILE_NOT_FOUND;
    }
    key = next_++;
    open_.emplace(key, std::move(k));
    return reg::ERROR_SUCCESS;
}

reg_code MemoryRegistry::openKey(RegHandle root, const std::string& path, RegHandle& key) {
    return open(root, path, key, false);
}

reg_code MemoryRegistry::createKey(RegHandle root, const std::string& path, RegHandle& key) {
    return open(root, path, key, true);
}

reg_code MemoryRegistry::closeKey(RegHandle key) {
    return open_.erase(key) ? reg::ERROR_SUCCESS : reg::ERROR_INVALID_HANDLE;
}

reg_code MemoryRegistry::queryValue(RegHandle key, const std::string& name, uint32_t& type,
                                    std::string& data, uint32_t capacity, uint32_t& dataSize) {
    const OpenKey* k = handle(key);
    if (!k) return reg::ERROR_INVALID_HANDLE;
    beforeRead(k->root);
    RegKey* node = resolve(*k);
    RegValue* v = node ? node->findValue(name) : nullptr;
    if (!v) return reg::ERROR_FILE_NOT_FOUND;
    type = v->type;
    dataSize = static_cast<uint32_t>(v->data.size());
    if (v->data.size() > capacity) return reg::ERROR_MORE_DATA;
    data = v->data;
    return reg::ERROR_SUCCESS;
}

reg_code MemoryRegistry::setValue(RegHandle key, const std::string& name, uint32_t type,
                                  const std::string& data) {
    const OpenKey* k = handle(key);
    if (!k) return reg::ERROR_INVALID_HANDLE;
    if (!validValueName(name) || data.size() > kMaxValueDataSize)
        return reg::ERROR_INVALID_PARAMETER;
    return change(k->root, [&](bool& changed) {
        RegKey* node = resolve(*k);
        if (!node) return reg::ERROR_FILE_NOT_FOUND;  // deleted by someone else meanwhile
        if (RegValue* v = node->findValue(name)) {
            v->type = type;
            v->data = data;
        } else {
            node->values.push_back(RegValue{name, type, data});
        }
        changed = true;
        return reg::ERROR_SUCCESS;
    });
}

reg_code MemoryRegistry::flushKey(RegHandle key) {
    return handle(key) ? reg::ERROR_SUCCESS : reg::ERROR_INVALID_HANDLE;
}

reg_code MemoryRegistry::enumKey(RegHandle key, uint32_t index, std::string& name,
                                 uint32_t nameCapacity) {
    const OpenKey* k = handle(key);
    if (!k) return reg::ERROR_INVALID_HANDLE;
    beforeRead(k->root);
    RegKey* node = resolve(*k);
    if (!node || index >= node->subkeys.size()) return reg::ERROR_NO_MORE_ITEMS;
    const std::string& n = node->subkeys[index]->name;
    if (n.size() >= nameCapacity) return reg::ERROR_MORE_DATA;
    name = n;
    return reg::ERROR_SUCCESS;
}

reg_code MemoryRegistry::enumValue(RegHandle key, uint32_t index, std::string& name,
                                   uint32_t nameCapacity, uint32_t& type, std::string& data,
                                   uint32_t dataCapacity) {
    const OpenKey* k = handle(key);
    if (!k) return reg::ERROR_INVALID_HANDLE;
    beforeRead(k->root);
    RegKey* node = resolve(*k);
    if (!node || index >= node->values.size()) return reg::ERROR_NO_MORE_ITEMS;
    const RegValue& v = node->values[index];
    if (v.name.size() >= nameCapacity || v.data.size() > dataCapacity) return reg::ERROR_MORE_DATA;
    name = v.name;
    type = v.type;
    data = v.data;
    return reg::ERROR_SUCCESS;
}

reg_code MemoryRegistry::removeKey(const OpenKey& k, const std::string& subkey, bool& changed) {
    OpenKey target = k;
    for (auto& part : splitKeyPath(subkey)) target.path.push_back(std::move(part));
    if (target.path.size() == k.path.size()) return reg::ERROR_INVALID_PARAMETER;
    RegKey* node = resolve(target);
    if (!node) return reg::ERROR_FILE_NOT_FOUND;
    if (!node->subkeys.empty()) return reg::ERROR_ACCESS_DENIED;
    OpenKey parentKey = target;
    parentKey.path.pop_back();
    auto& siblings = resolve(parentKey)->subkeys;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                  [node](const auto& p) { return p.get() == node; }),
                   siblings.end());
    changed = true;
    return reg::ERROR_SUCCESS;
}

reg_code MemoryRegistry::deleteKey(RegHandle key, const std::string& subkey) {
    const OpenKey* k = handle(key);
    if (!k) return reg::ERROR_INVALID_HANDLE;
    return change(k->root, [&](bool& changed) { return removeKey(*k, subkey, changed); });
}

reg_code MemoryRegistry::deleteValue(RegHandle key, const std::string& name) {
    const OpenKey* k = handle(key);
    if (!k) return reg::ERROR_INVALID_HANDLE;
    return change(k->root, [&](bool& changed) {
        RegKey* node = resolve(*k);
        if (!node) return reg::ERROR_FILE_NOT_FOUND;
        auto& vals = node->values;
        const auto it = std::find_if(vals.begin(), vals.end(), [&](const RegValue& v) {
            return regNameEquals(v.name, name);
        });
        if (it == vals.end()) return reg::ERROR_FILE_NOT_FOUND;
        vals.erase(it);
        changed = true;
        return reg::ERROR_SUCCESS;
    });
}

}  // namespace orvex::platform
