#include <cstdlib>

#include "platform/mcard/MemoryCardApi.h"
#include "platform/mcard/MemoryCardBackend.h"
#include "platform/pcsc/PcscBackend.h"
#include "platform/sim/SimulatedBackend.h"

namespace orvex::platform {

std::unique_ptr<MemoryCardBackend> makeMemoryCardBackend() {
    const char* simulated = std::getenv("ORVEXCARD_SIM");
    if (simulated && *simulated) return std::make_unique<SimulatedBackend>(simulated);
    return std::make_unique<PcscBackend>();
}

std::unique_ptr<MCardApi> makeMCardApi() { return std::make_unique<MemoryCardApi>(makeMemoryCardBackend()); }

}  // namespace orvex::platform
