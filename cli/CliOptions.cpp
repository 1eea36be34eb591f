#include "cli/CliOptions.h"

#include <charconv>
#include <cmath>

namespace orvex::cli {
namespace {

// What a command accepts besides the global options.
struct CommandRule {
    size_t minOperands;
    size_t maxOperands;
    std::set<std::string> flags;
    std::set<std::string> valued;
};

const std::map<std::string, CommandRule>& commandRules() {
    static const std::map<std::string, CommandRule> rules = {
        {"status", {0, 0, {}, {}}},
        {"inspect", {0, 0, {"json"}, {}}},
        {"format", {0, 0, {"read-only"}, {"kind", "serial"}}},
        {"write", {1, 1, {"combine", "placebo", "batch"}, {"kind", "name", "duration"}}},
        {"dump", {1, 1, {}, {}}},
        {"restore", {1, 1, {}, {}}},
        {"sample-info", {1, 1, {"json"}, {}}},
        {"sim", {1, 2, {"blank"}, {"image"}}},
        {"help", {0, 0, {}, {}}},
    };
    return rules;
}

const std::set<std::string> kGlobalValued = {"api", "reader", "wait", "lang"};
const std::set<std::string> kGlobalFlags = {"help", "timings"};

// Bounded so a typo cannot make a command wait for days.
constexpr double kMaxWaitSeconds = 3600.0;

std::string checkGlobals(CliOptions& o, const std::map<std::string, std::string>& raw) {
    if (auto it = raw.find("api"); it != raw.end()) {
        if (it->second != "scard" && it->second != "mcard")
            return "--api takes scard or mcard, not \"" + it->second + "\"";
        o.api = it->second;
    }
    if (auto it = raw.find("lang"); it != raw.end()) {
        if (it->second != "de" && it->second != "en")
            return "--lang takes de or en, not \"" + it->second + "\"";
        o.lang = it->second;
    }
    if (auto it = raw.find("reader"); it != raw.end()) o.reader = it->second;
    if (auto it = raw.find("wait"); it != raw.end()) {
        double seconds = 0;
        const std::string& t = it->second;
        const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), seconds);
        if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(seconds) ||
            seconds < 0 || seconds > kMaxWaitSeconds)
            return "--wait takes a number of seconds from 0 to 3600, not \"" + t + "\"";
        o.waitSeconds = seconds;
    }
    return {};
}

std::string checkCommand(CliOptions& o, std::map<std::string, std::string>& raw) {
    const auto rule = commandRules().find(o.command);
    if (rule == commandRules().end()) return "unknown command \"" + o.command + "\"";
    for (const auto& f : o.flags) {
        if (!rule->second.flags.count(f) && !kGlobalFlags.count(f))
            return "the option --" + f + " does not belong to the command " + o.command;
    }
    for (auto& [name, v] : raw) {
        if (kGlobalValued.count(name)) continue;
        if (!rule->second.valued.count(name))
            return "the option --" + name + " does not belong to the command " + o.command;
        o.values[name] = v;
    }
    const size_t n = o.operands.size();
    if (n < rule->second.minOperands || n > rule->second.maxOperands)
        return "wrong number of arguments for the command " + o.command;
    if (auto kind = o.value("kind"); kind && *kind != "drink" && *kind != "station")
        return "--kind takes drink or station, not \"" + *kind + "\"";
    return {};
}

bool isValued(const std::string& name) {
    static const std::set<std::string> all = {"api",  "reader", "wait",     "lang", "kind",
                                              "serial", "name", "duration", "image"};
    return all.count(name) != 0;
}

}  // namespace

std::optional<std::string> CliOptions::value(const std::string& name) const {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

ParseResult parseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& o = result.options;
    std::map<std::string, std::string> raw;
    bool onlyOperands = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyOperands || a.size() < 2 || a.rfind("--", 0) != 0) {
            if (!onlyOperands && a.size() > 1 && a[0] == '-') {
                result.error = "unknown option \"" + a + "\"";
                return result;
            }
            if (o.command.empty()) {
                o.command = a;
            } else {
                o.operands.push_back(a);
            }
            continue;
        }
        if (a == "--") {
            onlyOperands = true;
            continue;
        }
        std::string name = a.substr(2);
        std::optional<std::string> inlineValue;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.erase(eq);
        }
        if (isValued(name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    result.error = "the option --" + name + " needs a value";
                    return result;
                }
                inlineValue = args[++i];
            }
            if (raw.count(name)) {
                result.error = "the option --" + name + " is given twice";
                return result;
            }
            raw[name] = *inlineValue;
        } else if (!inlineValue && (name == "help" || name == "timings" || name == "json" || name == "read-only" ||
                                    name == "combine" || name == "placebo" || name == "batch" ||
                                    name == "blank")) {
            o.flags.insert(name);
        } else {
            result.error = "unknown option \"" + a + "\"";
            return result;
        }
    }
    if (o.flag("help") && o.command.empty()) o.command = "help";
    if (o.command.empty()) {
        result.error = "no command given";
        return result;
    }
    result.error = checkGlobals(o, raw);
    if (result.error.empty()) result.error = checkCommand(o, raw);
    return result;
}

std::string usageText() {
    return "usage: orvexcard [--api scard|mcard] [--reader NAME] [--wait SECONDS] [--lang de|en]\n"
           "                 [--timings] COMMAND [ARGS]\n"
           "commands:\n"
           "  status                         reader type, driver version and state\n"
           "  inspect [--json]               identify and verify the card\n"
           "  format --kind drink|station [--read-only] [--serial TEXT]\n"
           "  write SAMPLE.7kx [--kind drink|station] [--name TEXT] [--duration N]\n"
           "                 [--combine] [--placebo] [--batch]\n"
           "  dump FILE                      save the 16384-byte card memory\n"
           "  restore FILE                   write a saved card image back\n"
           "  sample-info SAMPLE.7kx [--json]\n"
           "  sim init | plug NAME | unplug NAME | insert [--reader NAME] [--image FILE|--blank]\n"
           "      | remove [--reader NAME] | status      (directory in ORVEXCARD_SIM)\n"
           "--timings prints on standard error how long the card took to become active, how\n"
           "long the card operation took and how many memory pieces the reader moved.\n"
           "exit codes: 0 done, 1 card operation failed or card not verified, 2 usage error or\n"
           "bad input file, 3 no reader or driver, 4 no card within the wait, 130 interrupted\n";
}

}  // namespace orvex::cli
