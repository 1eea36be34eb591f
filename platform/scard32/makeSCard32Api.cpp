#include "platform/process/ProgramProcess.h"

#include "platform/scard32/TextCommandLibrary.h"

namespace orvex::platform {

std::unique_ptr<SCard32Api> makeSCard32Api() {
    const bool isSimulated = !environmentVariable("ORVEXCARD_SIM").empty();
    return std::make_unique<TextCommandLibrary>(
        makeMemoryCardBackend(),
        isSimulated ? "OrvexCard text commands 1.0 (simulated reader)" : "OrvexCard text commands 1.0 (PC/SC)");
}

}  // namespace orvex::platform
