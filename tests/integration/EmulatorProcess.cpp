#include "EmulatorProcess.h"

#include <signal.h>

#include <vector>

namespace orvex::test {

bool EmulatorProcess::start(int port, const std::string& imagePath, bool inserted,
                            std::optional<unsigned> pullAfterUpdates) {
    std::vector<std::string> argv{ORVEX_EMULATOR_PATH, "--port", std::to_string(port), "--image", imagePath};
    if (!inserted) argv.push_back("--pulled");
    if (pullAfterUpdates) {
        argv.push_back("--pull-after-updates");
        argv.push_back(std::to_string(*pullAfterUpdates));
    }
    return process_.start(argv, imagePath + ".log");
}

bool EmulatorProcess::pull() { return process_.signal(SIGUSR1); }
bool EmulatorProcess::insert() { return process_.signal(SIGUSR2); }

}  // namespace orvex::test
