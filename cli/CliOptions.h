#pragma once
// The command line of orvexcard: global options (accepted before or after the
// command), the command, its operands and its own options.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvex::cli {

struct CliOptions {
    std::optional<std::string> api;     // "scard" or "mcard"
    std::optional<std::string> reader;  // reader name (also the sim reader)
    double waitSeconds = 5.0;
    std::optional<std::string> lang;    // "de" or "en"
    std::string command;                // empty: no command given
    std::vector<std::string> operands;
    std::set<std::string> flags;                // e.g. "json", "batch"
    std::map<std::string, std::string> values;  // e.g. "kind" -> "drink"

    bool flag(const std::string& name) const { return flags.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
};

struct ParseResult {
    CliOptions options;
    std::string error;  // empty when the command line is usable
    bool ok() const { return error.empty(); }
};

// Parses and checks the arguments (without the program name): unknown or
// misplaced options, missing values and wrong operand counts are errors.
ParseResult parseCommandLine(const std::vector<std::string>& args);

// The usage text printed for --help and after a usage error.
std::string usageText();

}  // namespace orvex::cli
