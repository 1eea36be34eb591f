#include <algorithm>

#include "TestEnvironment.h"
#include "foundation/clsRegistry.h"
#include "platform/registry/RegFileParser.h"

namespace orvex::test {
namespace {

// The key at path below key, or nothing.
const platform::RegKey* findKey(const platform::RegKey& key, const std::string& path) {
    const platform::RegKey* at = &key;
    size_t start = 0;
    while (at && start <= path.size()) {
        const size_t end = std::min(path.find('\\', start), path.size());
        at = at->findSubkey(path.substr(start, end - start));
        start = end + 1;
    }
    return at;
}

}  // namespace

void clearProductSettings() {
    clsRegistry registry;
    for (const uint32_t root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (int n = 0; n < 1000; ++n) {
            const RegistryEntry first = registry.ReadRegistryGetAll(root, kProductKey, 0);
            if (first.data == clsRegistry::notFoundVal()) break;
            registry.DeleteValue(root, kProductKey, first.name);
        }
    }
}

void loadSystemSettings(const std::string& userFile, const std::string& machineFile) {
    clearProductSettings();
    platform::RegistryApi& registry = platform::defaultRegistry();
    for (const auto& [root, text] : {std::pair{HKEY_CURRENT_USER, userFile}, std::pair{HKEY_LOCAL_MACHINE, machineFile}}) {
        const platform::RegFileDocument doc = platform::RegFileParser::parse(text, root);
        const platform::RegKey* key = findKey(doc.tree, kProductKey);
        platform::RegHandle handle = 0;
        if (!key || registry.createKey(root, kProductKey, handle) != platform::reg::ERROR_SUCCESS) continue;
        for (const platform::RegValue& v : key->values) registry.setValue(handle, v.name, v.type, v.data);
        registry.closeKey(handle);
    }
}

}  // namespace orvex::test
