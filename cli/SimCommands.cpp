// sim: manages the simulated reader directory named by ORVEXCARD_SIM.
#include <cstdlib>

#include "cli/CliText.h"
#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "platform/process/ProgramProcess.h"
#include "platform/sim/SimDirectory.h"

namespace orvex::cli {
namespace {

using platform::SimDirectory;
using platform::SimError;
using platform::SimResult;

int report(const SimResult& r) {
    const std::string detail = inert(r.detail);
    switch (r.error) {
        case SimError::None:
            return kExitDone;
        case SimError::NoSuchReader:
        case SimError::BadName:
            fail(text(msg::kSimNoSuchReader, {detail}));
            return kExitNoReader;
        case SimError::NoReaders:
            fail(text(msg::kSimNoReaders));
            return kExitNoReader;
        case SimError::NoCard:
            fail(text(msg::kSimNoCard, {detail}));
            return kExitNoCard;
        case SimError::CardPresent:
            fail(text(msg::kSimCardPresent, {detail}));
            return kExitCardFailed;
        case SimError::Io:
            break;
    }
    fail(text(msg::kSimFailed, {detail}));
    return kExitCardFailed;
}

int usage(const std::string& what) {
    fail(text(msg::kUsage, {what}));
    return kExitUsage;
}

int printStatus(const SimDirectory& sim) {
    for (const auto& r : sim.status()) {
        const int state = r.cardInserted ? msg::kSimCard
                                         : (r.pulledCardWaiting ? msg::kSimPulledWaiting : msg::kSimNoCardIn);
        say(inert(r.name) + ": " + text(state));
        for (const auto& f : r.faults) say("  " + inert(f));
    }
    return kExitDone;
}

// The image for an insert: --image FILE, --blank, or none (a pulled card
// goes back in, else a blank one).
int imageFor(const CliOptions& o, std::optional<std::string>& image) {
    const auto path = o.value("image");
    if (path && o.flag("blank")) return usage(text(msg::kImageOrBlank));
    if (o.flag("blank")) image = std::string(SimDirectory::kCardSize, ' ');
    if (!path) return kExitDone;
    std::string bytes;
    if (const int rc = readCardImage(*path, bytes); rc != kExitDone) return rc;
    image = std::move(bytes);
    return kExitDone;
}

}  // namespace

int runSimCommand(const CliOptions& o) {
    const std::string dir = platform::environmentVariable("ORVEXCARD_SIM");
    if (dir.empty()) {
        fail(text(msg::kSimNotSet));
        return kExitUsage;
    }
    SimDirectory sim(dir);
    const std::string& what = o.operands[0];
    const bool named = what == "plug" || what == "unplug";
    if (named != (o.operands.size() == 2)) return usage("sim " + inert(what));
    if ((o.value("image") || o.flag("blank")) && what != "insert") return usage("sim " + inert(what));
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
    return usage("sim " + inert(what));
}

}  // namespace orvex::cli
