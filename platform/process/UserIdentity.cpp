#include "platform/process/UserIdentity.h"

#include <unistd.h>

namespace orvex::platform {

std::string userIdentity() { return std::to_string(getuid()); }

}  // namespace orvex::platform
