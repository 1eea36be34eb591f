#include "platform/registry/MemoryRegistry.h"

namespace orvex::platform {

// Until the file store exists the program's settings live for one run only.
RegistryApi& defaultRegistry() {
    static MemoryRegistry registry;
    return registry;
}

}  // namespace orvex::platform
