#pragma once
// The card emulator program run against the private pcscd: one card, its
// bytes in an image file, pulled and inserted by signals.
#include <optional>
#include <string>

#include "ChildProcess.h"

namespace orvex::test {

class EmulatorProcess {
public:
    bool start(int port, const std::string& imagePath, bool inserted,
               std::optional<unsigned> pullAfterUpdates = std::nullopt);
    bool pull();
    bool insert();
    void stop() { process_.stop(); }

private:
    ChildProcess process_;
};

}  // namespace orvex::test
