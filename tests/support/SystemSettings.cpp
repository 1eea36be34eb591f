#include "TestEnvironment.h"
#include "foundation/clsRegistry.h"
#include "platform/registry/RegFileParser.h"

namespace orvex::test {

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
        const platform::RegKey* key = &doc.tree;
        for (const char* part : {"SOFTWARE", "Tessovanwerk", "OrvexCard"})  // kProductKey
            key = key ? key->findSubkey(part) : nullptr;
        platform::RegHandle handle = 0;
        if (!key || registry.createKey(root, kProductKey, handle) != platform::reg::ERROR_SUCCESS) continue;
        for (const platform::RegValue& v : key->values) registry.setValue(handle, v.name, v.type, v.data);
        registry.closeKey(handle);
    }
}

}  // namespace orvex::test
