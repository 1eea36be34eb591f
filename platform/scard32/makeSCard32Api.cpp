#include <cstdlib>

#include "platform/scard32/TextCommandLibrary.h"

namespace orvex::platform {

std::unique_ptr<SCard32Api> makeSCard32Api() {
    const char* simulated = std::getenv("ORVEXCARD_SIM");
    const bool isSimulated = simulated && *simulated;
    return std::make_unique<TextCommandLibrary>(
        makeMemoryCardBackend(),
        isSimulated ? "OrvexCard text commands 1.0 (simulated reader)" : "OrvexCard text commands 1.0 (PC/SC)");
}

}  // namespace orvex::platform
