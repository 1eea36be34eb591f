#include "cli/CliOptions.h"

#include <charconv>
#include <cmath>

#include "cli/CliText.h"

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
        {"format", {0, 0, {"read-only", "batch", "all-readers", "json"}, {"kind", "serial"}}},
        {"write", {1, 1, {"combine", "placebo", "batch", "format", "all-readers", "json"}, {"kind", "name", "duration"}}},
        {"dump", {1, 1, {}, {}}},
        {"restore", {1, 1, {}, {}}},
        {"sample-info", {1, 1, {"json"}, {}}},
        {"sim", {1, 2, {"blank"}, {"image"}}},
        {"help", {0, 0, {}, {}}},
        {"version", {0, 0, {}, {}}},
    };
    return rules;
}

const std::set<std::string> kGlobalValued = {"api", "reader", "wait", "lang"};
const std::set<std::string> kGlobalFlags = {"help", "version", "timings"};
const std::set<std::string> kCommandFlags = {"json",  "read-only", "combine", "placebo",
                                             "batch", "blank",     "format",  "all-readers"};

// Bounded so a typo cannot make a command wait for days.
constexpr double kMaxWaitSeconds = 3600.0;

std::string checkGlobals(CliOptions& o, const std::map<std::string, std::string>& raw) {
    if (auto it = raw.find("api"); it != raw.end()) {
        if (it->second != "scard" && it->second != "mcard")
            return text(msg::kTakesOneOf, {"api", "scard", "mcard", inert(it->second)});
        o.api = it->second;
    }
    if (auto it = raw.find("lang"); it != raw.end()) {
        if (it->second != "de" && it->second != "en")
            return text(msg::kTakesOneOf, {"lang", "de", "en", inert(it->second)});
        o.lang = it->second;
    }
    if (auto it = raw.find("reader"); it != raw.end()) o.reader = it->second;
    if (auto it = raw.find("wait"); it != raw.end()) {
        double seconds = 0;
        const std::string& t = it->second;
        const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), seconds);
        if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(seconds) ||
            seconds < 0 || seconds > kMaxWaitSeconds)
            return text(msg::kBadWait, {inert(t)});
        o.waitSeconds = seconds;
    }
    return {};
}

// --all-readers runs a batch on every reader, each named by the SCM driver;
// --json of a card operation describes the cards of a batch.
std::string checkBatch(const CliOptions& o) {
    if (o.command != "write" && o.command != "format") return {};
    for (const char* needsBatch : {"all-readers", "json"})
        if (o.flag(needsBatch) && !o.flag("batch")) return text(msg::kNeedsBatch, {needsBatch});
    if (!o.flag("all-readers")) return {};
    if (o.reader) return text(msg::kAllReadersNotOne);
    if (o.api == "scard") return text(msg::kAllReadersNeedMcard);
    return {};
}

std::string checkCommand(CliOptions& o, std::map<std::string, std::string>& raw) {
    const auto rule = commandRules().find(o.command);
    if (rule == commandRules().end()) return text(msg::kUnknownCommand, {inert(o.command)});
    for (const auto& f : o.flags) {
        if (!rule->second.flags.count(f) && !kGlobalFlags.count(f))
            return text(msg::kForeignOption, {f, o.command});
    }
    for (auto& [name, v] : raw) {
        if (kGlobalValued.count(name)) continue;
        if (!rule->second.valued.count(name))
            return text(msg::kForeignOption, {name, o.command});
        o.values[name] = v;
    }
    const size_t n = o.operands.size();
    if (n < rule->second.minOperands || n > rule->second.maxOperands)
        return text(msg::kOperandCount, {o.command});
    if (auto kind = o.value("kind"); kind && *kind != "drink" && *kind != "station")
        return text(msg::kTakesOneOf, {"kind", "drink", "station", inert(*kind)});
    return checkBatch(o);
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
                result.error = text(msg::kUnknownOption, {inert(a)});
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
                    result.error = text(msg::kNeedsValue, {inert(name)});
                    return result;
                }
                inlineValue = args[++i];
            }
            if (raw.count(name)) {
                result.error = text(msg::kGivenTwice, {name});
                return result;
            }
            raw[name] = *inlineValue;
        } else if (!inlineValue && (kGlobalFlags.count(name) || kCommandFlags.count(name))) {
            o.flags.insert(name);
        } else {
            result.error = text(msg::kUnknownOption, {inert(a)});
            return result;
        }
    }
    if (o.flag("help") && o.command.empty()) o.command = "help";
    if (o.flag("version") && o.command.empty()) o.command = "version";
    if (o.command.empty()) {
        result.error = text(msg::kNoCommand);
        return result;
    }
    result.error = checkGlobals(o, raw);
    if (result.error.empty()) result.error = checkCommand(o, raw);
    return result;
}

std::string usageText() {
    return "usage: orvexcard [--api scard|mcard] [--reader NAME] [--wait SECONDS] [--lang de|en]\n"
           "                 [--timings] COMMAND [ARGS]\n"
           "       orvexcard --version | --help\n"
           "commands:\n"
           "  status                         reader type, driver version and state\n"
           "  inspect [--json]               identify and verify the card\n"
           "  format --kind drink|station [--read-only] [--serial TEXT] [BATCH]\n"
           "  write SAMPLE.7kx [--kind drink|station] [--name TEXT] [--duration N]\n"
           "                 [--combine] [--placebo] [--format] [BATCH]\n"
           "      writes onto a card that verifies; --format formats the card first\n"
           "      BATCH: --batch [--all-readers] [--json]: card after card until Ctrl+C, one line\n"
           "      each and a total; --all-readers on every attached reader at once (mcard driver),\n"
           "      each line led by the reader's name; --json one JSON object per card (card,\n"
           "      reader, result, serial, name, duration, elapsedMs, message), the total on stderr\n"
           "  dump FILE                      save the 16384-byte card memory\n"
           "  restore FILE                   write a saved card image back\n"
           "  sample-info SAMPLE.7kx [--json]\n"
           "  sim init | plug NAME | unplug NAME | insert [--reader NAME] [--image FILE|--blank]\n"
           "      | remove [--reader NAME] | status      (directory in ORVEXCARD_SIM)\n"
           "--version prints the program's version and, when the reader driver starts, its version.\n"
           "--timings prints on standard error how long the card took to become active, how\n"
           "long the card operation took and how many memory pieces the reader moved.\n"
#ifdef _WIN32
           "Messages follow --lang, else the \"lng\" setting, else the user's interface language in\n"
           "Windows: German for German, English otherwise. Card and file text shows control bytes\n"
           "as \\xNN.\n"
#else
           "Messages follow --lang, else the \"lng\" setting, else the locale (LC_ALL, LC_MESSAGES,\n"
           "LANG): German for de*, English otherwise. Card and file text shows control bytes as \\xNN.\n"
#endif
           "exit codes: 0 done, 1 card operation failed or card not verified, 2 usage error or\n"
           "bad input file, 3 no reader or driver, 4 no card within the wait, 130 interrupted\n";
}

}  // namespace orvex::cli
