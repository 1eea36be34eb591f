// Pulls the simulated card after n successful memory writes of a format and
// of a sample write, for every n from 0 to the number of writes the operation
// makes, through each driver, each time running the real orvexcard process;
// then wears one byte of the card (corrupt_write_at) at the start of every
// field and at the ends of the sample. Prints what each run reported and what
// the card left behind reads as, as markdown tables. Exits 1 when a row shows
// a fault: a failure reported as success, a card reported written that does
// not hold exactly what was meant, or a card that verifies with a sample
// other than its old or new one.
//
//   fault_table [--orvexcard PATH] [--api mcard|scard] [--quiet]
// --api: one driver only; --quiet: only the faulty rows.
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cards/modCardLayout.h"
#include "cards/orvexcard.h"
#include "faults/FaultScenario.h"
#include "samplefile/file7kx.h"
#include "support/ChildProcess.h"

using namespace orvex;
using namespace orvex::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kReader = "OrvexCard Simulated Reader 0";
constexpr int kMaxWrites = 400;  // far above what a card operation makes

struct Case {
    const char* api;  // the --api that selects the driver
    const char* driver;
    bool sample;      // a sample write, else a format
    int32_t kind;
};

struct Run {
    int n;
    int exitCode;
    bool pulled;
    std::string image;
};

class Bench {
public:
    Bench(std::string program, std::string dir) : program_(std::move(program)), dir_(std::move(dir)) {
        fs::create_directories(readerDir());
        fs::create_directories(dir_ + "/registry");
        writeTestSettings(dir_ + "/registry", dir_ + "/trace.log", "\"lng\"=dword:00000002\r\n");
        writeFileBytes(samplePath(), faults::newSampleBytes());
    }

    // The card in the reader, pulled after n writes (none when n < 0), and
    // one orvexcard run on it.
    Run run(const Case& c, const std::string& card, int n) const {
        return run(c, card, n, n >= 0 ? "pull_after_writes=" + std::to_string(n) + "\n" : "");
    }
    // The same with any faults.
    Run run(const Case& c, const std::string& card, int n, const std::string& faults) const {
        for (const char* f : {"/card.bin", "/card.pulled.bin", "/faults"}) fs::remove(readerDir() + f);
        writeFileBytes(readerDir() + "/card.bin", card);
        if (!faults.empty()) writeFileBytes(readerDir() + "/faults", faults);
        std::vector<std::string> args = {program_, "--api", c.api, "--wait", "1"};
        const char* kind = c.kind == cardTypeStation ? "station" : "drink";
        if (c.sample)
            args.insert(args.end(), {"write", samplePath(), "--kind", kind, "--name", "New name", "--duration", "90",
                                     "--combine"});
        else
            args.insert(args.end(), {"format", "--kind", kind, "--serial", "fresh"});
        const int code = ChildProcess(args, dir_ + "/out", dir_ + "/out", environment()).finish().exitCode;
        const bool pulled = fs::exists(readerDir() + "/card.pulled.bin");
        return {n, code, pulled, readFileBytes(readerDir() + (pulled ? "/card.pulled.bin" : "/card.bin"))};
    }

private:
    std::string readerDir() const { return dir_ + "/sim/" + kReader; }
    std::string samplePath() const { return dir_ + "/new take.7kx"; }
    std::map<std::string, std::string> environment() const {
        return {{"ORVEXCARD_SIM", dir_ + "/sim"}, {"ORVEXCARD_REGISTRY_DIR", dir_ + "/registry"},
                {"XDG_STATE_HOME", dir_ + "/state"}, {"XDG_CONFIG_HOME", dir_ + "/config"}};
    }

    std::string program_, dir_;
};

const char* reported(int exitCode) {
    switch (exitCode) {
        case 0: return "success (exit 0)";
        case 1: return "failure (exit 1)";
        case -1: return "HUNG";
        default: return "OTHER EXIT";
    }
}

std::string verdict(const Run& r, int total, faults::Outcome outcome) {
    if (outcome == faults::Outcome::Other) return "FAULT: verifies with a wrong sample";
    if (r.exitCode == 0 && (r.n < total || outcome != faults::Outcome::New)) return "FAULT: success reported";
    if (r.exitCode != 0 && r.exitCode != 1) return "FAULT: exit " + std::to_string(r.exitCode);
    return "ok";
}

// Every row of one case; the count of faulty rows.
int tabulate(const Bench& bench, const Case& c, const file7kx& oldSample, bool quiet) {
    const int32_t before = c.kind == cardTypeDrink ? cardTypeStation : cardTypeDrink;
    const std::string card = faults::usedCard(before, oldSample);
    std::vector<Run> runs;
    Run whole = bench.run(c, card, -1);
    for (int n = 0; n <= kMaxWrites; ++n) {
        runs.push_back(bench.run(c, card, n));
        if (!runs.back().pulled) break;  // n is past the last write: nothing was pulled
    }
    const int total = static_cast<int>(runs.size()) - 2;
    runs.pop_back();
    const std::string oldContent = faults::contentOf(card);
    const std::string newContent = faults::contentOf(whole.image);
    int faulty = whole.exitCode == 0 && faults::classify(newContent, oldContent, newContent) ==
                                            faults::Outcome::New ? 0 : 1;
    if (faulty) std::printf("| %s | %s | the run without a pull failed (exit %d) |\n", c.driver,
                            c.sample ? "sample write" : "format", whole.exitCode);
    for (const Run& r : runs) {
        const faults::Outcome outcome = faults::classify(faults::contentOf(r.image), oldContent, newContent);
        const std::string v = verdict(r, total, outcome);
        faulty += v != "ok";
        if (quiet && v == "ok") continue;
        std::printf("| %s | %s | %s | %d of %d | %s | %s | %s |\n", c.driver, c.sample ? "sample write" : "format",
                    c.kind == cardTypeDrink ? "drink" : "station", r.n, total, reported(r.exitCode),
                    faults::outcomeText(outcome), v.c_str());
    }
    return faulty;
}

// The bytes no two runs write alike: the card id and the time stamp of a
// format, the random bytes of the counter.
bool variesByRun(int32_t offset) {
    const auto within = [offset](layout::Field f) { return offset >= f.offset && offset < f.offset + f.width; };
    return within(layout::kCardId) || within(layout::kLastModified) || within(layout::kPlaybCounter);
}

// A card reported written holds what the operation meant to write: every
// byte as on the card of the run without a fault, and where the runs differ
// a card id that fits the header and two intact copies of the full counter.
bool holdsWhatWasMeant(const std::string& image, const std::string& reference) {
    if (image.size() != reference.size()) return false;
    for (size_t i = 0; i < image.size(); ++i)
        if (image[i] != reference[i] && !variesByRun(static_cast<int32_t>(i))) return false;
    const std::string id = image.substr(layout::kCardId.offset, layout::kCardId.width);
    const std::string block = image.substr(layout::kPlaybCounter.offset, layout::kPlaybCounter.width);
    return !faults::contentOf(image).empty() && decodePlaybCounter(block.substr(0, 5) + block.substr(0, 5), id) == 65535 &&
           decodePlaybCounter(block.substr(5) + block.substr(5), id) == 65535;
}

// The first byte of every field, the last of the file length, and the ends
// of the sample and of the data area.
std::vector<int32_t> wornBytes() {
    std::vector<int32_t> offsets;
    for (const layout::Field f : {layout::kCompany, layout::kPurpose, layout::kVersion, layout::kCardId, layout::kSerial,
                                  layout::kName, layout::kLastModified, layout::kDuration, layout::kPlaybCounter,
                                  layout::kCombineSeq, layout::kPlacebo, layout::kFileLength, layout::kFileLastModified,
                                  layout::kFileComments, layout::kFileSerial, layout::kFileFingerprint,
                                  layout::kFileReserved, layout::kFileData})
        offsets.push_back(f.offset);
    const int32_t sampleEnd = layout::kFileData.offset + static_cast<int32_t>(file7kx::kSampleBytes);
    for (const int32_t offset : {layout::kPlaybCounter.offset + 5, layout::kPlacebo.offset + 1,
                                 layout::kFileLength.offset + layout::kFileLength.width - 1, sampleEnd - 1, sampleEnd,
                                 layout::kCardSize - 1})
        offsets.push_back(offset);
    std::sort(offsets.begin(), offsets.end());
    return offsets;
}

// Every worn byte of one case; the count of faulty rows.
int tabulateWorn(const Bench& bench, const Case& c, const file7kx& oldSample, bool quiet) {
    const int32_t before = c.kind == cardTypeDrink ? cardTypeStation : cardTypeDrink;
    const std::string card = faults::usedCard(before, oldSample);
    const Run whole = bench.run(c, card, -1);
    const std::string oldContent = faults::contentOf(card);
    const std::string newContent = faults::contentOf(whole.image);
    int faulty = 0;
    for (const int32_t offset : wornBytes()) {
        const Run r = bench.run(c, card, -1, "corrupt_write_at=" + std::to_string(offset) + "\n");
        const faults::Outcome outcome = faults::classify(faults::contentOf(r.image), oldContent, newContent);
        std::string v = "ok";
        if (outcome == faults::Outcome::Other) v = "FAULT: verifies with a wrong sample";
        else if (r.exitCode == 0 && !holdsWhatWasMeant(r.image, whole.image)) v = "FAULT: success reported";
        else if (r.exitCode != 0 && r.exitCode != 1) v = "FAULT: exit " + std::to_string(r.exitCode);
        faulty += v != "ok";
        if (quiet && v == "ok") continue;
        std::printf("| %s | %s | %s | %d | %s | %s | %s |\n", c.driver, c.sample ? "sample write" : "format",
                    c.kind == cardTypeDrink ? "drink" : "station", offset, reported(r.exitCode),
                    faults::outcomeText(outcome), v.c_str());
    }
    return faulty;
}

void printWornHeader() {
    std::printf(
        "\n# What a worn card is left holding\n\n"
        "The same operations from the same used card, with the reader's fault `corrupt_write_at=n`: every "
        "write that covers byte n answers success, but the card keeps that byte with its lowest bit flipped, "
        "as a worn card does. n is the first byte of every field, the last byte of the file length, the "
        "second copy of the counter, the last byte of the sample, the byte after it and the last byte of the "
        "card. A format and a sample write read back what they wrote, so one that wrote the worn byte fails "
        "and names it; one that did not write it succeeds. A row is a fault when a card reported written does "
        "not hold exactly what the operation meant to write (every byte as on the card of the run without a "
        "fault; the card id, time stamp and counter, which differ from run to run, fitting the header and "
        "intact in both copies), or when the card verifies with a sample whose bytes differ from both the old "
        "and the new one.\n\n"
        "| driver | operation | kind | worn byte | reported | card reads as | verdict |\n"
        "|---|---|---|---|---|---|---|\n");
}

void printHeader() {
    std::printf(
        "# What a pulled card leaves behind\n\n"
        "Produced by `cmake --build build --target fault_table && build/tools/fault_table > docs/faults.md`. "
        "For each driver (`--api mcard`: SCM, `--api scard`: Chipdrive), a format and a sample write of each "
        "card kind run as real `orvexcard` processes on the simulated reader, starting from a used card of the "
        "other kind that holds an older sample. The reader's fault `pull_after_writes=n` pulls the card right "
        "after its n-th successful memory write, for every n from 0 to the number of writes the operation "
        "makes (n = that number pulls it after the last one). \"reported\" is the process's exit code; \"card "
        "reads as\" is what the card left behind verifies as when it is read again: not verified, verified "
        "with file length 0 (no sample), or verified with exactly the old or exactly the new content (all "
        "fields and the sample's digest compared). A row is a fault when a failure was reported as success or "
        "the card verifies with a sample whose bytes differ from both.\n\n"
        "| driver | operation | kind | pulled after write | reported | card reads as | verdict |\n"
        "|---|---|---|---|---|---|---|\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string program = FAULT_TABLE_ORVEXCARD;
    std::string only;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--orvexcard" && i + 1 < argc) {
            program = argv[++i];
        } else if (arg == "--api" && i + 1 < argc) {
            only = argv[++i];
        } else if (arg == "--quiet") {
            quiet = true;
        } else {
            std::fprintf(stderr, "usage: fault_table [--orvexcard PATH] [--api mcard|scard] [--quiet]\n");
            return 2;
        }
    }
    std::string dir = (fs::temp_directory_path() / "fault-table-XXXXXX").string();
    if (!mkdtemp(dir.data())) return 2;
    // The cards made here log and read settings too: in the scratch folder.
    setenv("ORVEXCARD_REGISTRY_DIR", (dir + "/registry").c_str(), 1);
    setenv("XDG_STATE_HOME", (dir + "/state").c_str(), 1);
    const Bench bench(program, dir);
    file7kx oldSample;
    writeFileBytes(dir + "/old.7kx", faults::oldSampleBytes());
    if (!oldSample.loadFromFile(dir + "/old.7kx")) return 2;

    const Case cases[] = {Case{"mcard", "SCM", false, cardTypeDrink}, Case{"mcard", "SCM", false, cardTypeStation},
                          Case{"mcard", "SCM", true, cardTypeDrink}, Case{"mcard", "SCM", true, cardTypeStation},
                          Case{"scard", "Chipdrive", false, cardTypeDrink},
                          Case{"scard", "Chipdrive", false, cardTypeStation},
                          Case{"scard", "Chipdrive", true, cardTypeDrink},
                          Case{"scard", "Chipdrive", true, cardTypeStation}};
    printHeader();
    int faulty = 0;
    for (const Case& c : cases)
        if (only.empty() || only == c.api) faulty += tabulate(bench, c, oldSample, quiet);
    printWornHeader();
    for (const Case& c : cases)
        if (only.empty() || only == c.api) faulty += tabulateWorn(bench, c, oldSample, quiet);
    std::printf("\n%d faulty rows.\n", faulty);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return faulty == 0 ? 0 : 1;
}
