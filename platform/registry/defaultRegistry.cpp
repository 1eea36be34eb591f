#include "platform/registry/RegFileStore.h"

namespace orvex::platform {

RegistryApi& defaultRegistry() {
    static RegFileStore registry;
    return registry;
}

}  // namespace orvex::platform
