#include "platform/win/Win32Registry.h"

namespace orvex::platform {

RegistryApi& defaultRegistry() {
    static Win32Registry registry;
    return registry;
}

}  // namespace orvex::platform
