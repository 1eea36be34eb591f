#pragma once
// The wizard's command line: one text, as the system hands it to a program,
// split into arguments; and what the arguments ask for.
#include <optional>
#include <string>
#include <vector>

namespace orvex::wizard {

// Quoted parts first, in their order, quotes removed (each taken out with
// the blank that separated it); then the rest of the text split at every
// single blank, those words in reverse order. The text keeps only what was
// not quoted.
std::vector<std::string> splitCommandLine(std::string& commandLine);

// Rebuilds one command-line text from separate arguments (as a desktop
// launcher passes them): an argument holding a blank is quoted.
std::string joinArguments(const std::vector<std::string>& arguments);

struct StartArguments {
    std::optional<int> language;   // 1 or 2 from "/lng<digit>"
    std::optional<std::string> sampleFile;  // the last existing .7kx path
};
// "/lng" followed by anything ending in 1 or 2 chooses the language; an
// argument ending in ".7kx" (any case) that names an existing file is a
// sample file. Everything else is ignored.
StartArguments examineArguments(const std::vector<std::string>& arguments);

}  // namespace orvex::wizard
