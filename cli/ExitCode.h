#pragma once

namespace orvex::cli {

// The program's exit codes; scripts rely on them.
enum ExitCode : int {
    kExitDone = 0,
    kExitCardFailed = 1,  // the card operation failed, or the card did not verify
    kExitUsage = 2,       // usage error or a bad input file
    kExitNoReader = 3,    // no reader or no driver
    kExitNoCard = 4,      // no usable card within the wait
    kExitInterrupted = 130,  // Ctrl+C before a card operation began (128 + SIGINT)
};

}  // namespace orvex::cli
