#include <utility>

#include "platform/mcard/MemoryCardApi.h"
#include "platform/mcard/MemoryCardBackend.h"
#include "platform/pcsc/PcscBackend.h"
#include "platform/process/ProgramProcess.h"
#include "platform/sim/SimulatedBackend.h"

namespace orvex::platform {

std::unique_ptr<MemoryCardBackend> makeMemoryCardBackend() {
    if (std::string simulated = environmentVariable("ORVEXCARD_SIM"); !simulated.empty())
        return std::make_unique<SimulatedBackend>(std::move(simulated));
    return std::make_unique<PcscBackend>();
}

std::unique_ptr<MCardApi> makeMCardApi() { return std::make_unique<MemoryCardApi>(makeMemoryCardBackend()); }

}  // namespace orvex::platform
