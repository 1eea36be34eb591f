// The command line of orvexcard from arbitrary bytes: NUL-separated arguments.
#include <vector>

#include "FuzzSetup.h"
// The parser and its texts alone; the rest of the program needs Qt.
#include "cli/CliOptions.cpp"
#include "cli/CliText.cpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size && args.size() < 64; ++i) {
        if (data[i] == 0) args.emplace_back();
        else args.back() += static_cast<char>(data[i]);
    }
    const auto result = orvex::cli::parseCommandLine(args);
    if (result.ok() && result.options.command.empty()) __builtin_trap();  // ok means a command
    return 0;
}
