// sim: manages the simulated reader directory named by ORVEXCARD_SIM.
#include <cstdio>
#include <cstdlib>

#include "cli/CliText.h"
#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "platform/sim/SimDirectory.h"

namespace orvex::cli {
namespace {

using platform::SimDirectory;
using platform::SimError;
using platform::SimResult;

int report(const SimResult& r) {
    switch (r.error) {
        case SimError::None:
            return kExitDone;
        case SimError::NoSuchReader:
        case SimError::BadName:
            std::fprintf(stderr, "orvexcard: %s\n", text(msg::kSimNoSuchReader, {r.detail}).c_str());
            return kExitNoReader;
        case SimError::NoReaders:
            std::fprintf(stderr, "orvexcard: %s\n", text(msg::kSimNoReaders).c_str());
            return kExitNoReader;
        case SimError::NoCard:
            std::fprintf(stderr, "orvexcard: %s\n", text(msg::kSimNoCard, {r.detail}).c_str());
            return kExitNoCard;
        case SimError::CardPresent:
            std::fprintf(stderr, "orvexcard: %s\n", text(msg::kSimCardPresent, {r.detail}).c_str());
            return kExitCardFailed;
        case SimError::Io:
            break;
    }
    std::fprintf(stderr, "orvexcard: %s\n", text(msg::kSimFailed, {r.detail}).c_str());
    return kExitCardFailed;
}

int usage(const std::string& what) {
    std::fprintf(stderr, "orvexcard: %s\n", text(msg::kUsage, {what}).c_str());
    return kExitUsage;
}

int printStatus(const SimDirectory& sim) {
    for (const auto& r : sim.status()) {
        std::printf("%s: %s\n", r.name.c_str(),
                    r.cardInserted ? "card" : (r.pulledCardWaiting ? "no card (pulled card waiting)"
                                                                   : "no card"));
        for (const auto& f : r.faults) std::printf("  %s\n", f.c_str());
    }
    return kExitDone;
}

// The image for an insert: --image FILE, --blank, or none (a pulled card
// goes back in, else a blank one).
int imageFor(const CliOptions& o, std::optional<std::string>& image) {
    const auto path = o.value("image");
    if (path && o.flag("blank")) return usage("--image and --blank exclude each other");
    if (o.flag("blank")) image = std::string(SimDirectory::kCardSize, ' ');
    if (!path) return kExitDone;
    FILE* f = std::fopen(path->c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "orvexcard: %s\n", text(msg::kCannotRead, {*path, "not found"}).c_str());
        return kExitUsage;
    }
    std::string bytes(SimDirectory::kCardSize + 1, '\0');
    const size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    if (n != SimDirectory::kCardSize) {
        const std::string size = n > SimDirectory::kCardSize ? "more than 16384" : std::to_string(n);
        std::fprintf(stderr, "orvexcard: %s\n", text(msg::kNotAnImage, {*path, size}).c_str());
        return kExitUsage;
    }
    bytes.resize(SimDirectory::kCardSize);
    image = std::move(bytes);
    return kExitDone;
}

}  // namespace

int runSimCommand(const CliOptions& o) {
    const char* dir = std::getenv("ORVEXCARD_SIM");
    if (!dir || !*dir) {
        std::fprintf(stderr, "orvexcard: %s\n", text(msg::kSimNotSet).c_str());
        return kExitUsage;
    }
    SimDirectory sim(dir);
    const std::string& what = o.operands[0];
    const bool named = what == "plug" || what == "unplug";
    if (named != (o.operands.size() == 2)) return usage("sim " + what);
    if ((o.value("image") || o.flag("blank")) && what != "insert") return usage("sim " + what);
    const std::string readerName = o.reader.value_or("");
    if (what == "init") return report(sim.init());
    if (what == "plug") return report(sim.plug(o.operands[1]));
    if (what == "unplug") return report(sim.unplug(o.operands[1]));
    if (what == "remove") return report(sim.remove(readerName));
    if (what == "status") return printStatus(sim);
    if (what == "insert") {
        std::optional<std::string> image;
        if (const int rc = imageFor(o, image); rc != kExitDone) return rc;
        return report(sim.insert(readerName, image));
    }
    return usage("sim " + what);
}

}  // namespace orvex::cli
