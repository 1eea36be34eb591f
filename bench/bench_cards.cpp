// Reader traffic of the card operations: calls and bytes per verifyCard,
// formatCard and sample write, on a card kept in memory. With optimizeWrite
// on, a sample write moves the sample's own 8820 bytes into the data area,
// not the whole 15616.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cards/orvexcard.h"
#include "foundation/clsRegistry.h"
#include "samplefile/file7kx.h"
// The benchmark build links the core library only; the fake is header-only.
#include "support/MemoryCardReader.h"

using namespace orvex;
using orvex::test::MemoryCardReader;

namespace {

std::string scratch;

// Settings and the log go to a scratch directory, the log lines to nowhere.
void useScratchSettings() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    scratch = pattern;
    setenv("ORVEXCARD_REGISTRY_DIR", scratch.c_str(), 1);
    setenv("XDG_CONFIG_HOME", scratch.c_str(), 1);
    setenv("XDG_STATE_HOME", scratch.c_str(), 1);
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kProductKey, "ocardlog", REG_SZ, "/dev/null");
}

std::string sampleFilePath() {
    std::string bytes = "7kx/1.0.0";
    bytes.resize(25, ' ');
    bytes += "20240315T101112Z ";
    bytes.resize(142, ' ');
    bytes += "osc/3.6/10010";
    bytes.resize(182, ' ');
    for (int i = 0; i < file7kx::kSampleBytes; ++i) bytes += static_cast<char>(i * 31);
    const std::string path = scratch + "/bench.7kx";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Bytes the card took, in all or only at the start of the data area.
int64_t bytesWritten(const MemoryCardReader& rd, bool dataAreaOnly) {
    int64_t bytes = 0;
    for (const auto& w : rd.writes()) {
        if (w.accepted && (!dataAreaOnly || w.offset == 768)) bytes += w.length;
    }
    return bytes;
}

void report(benchmark::State& state, const MemoryCardReader& rd) {
    const auto perRun = [&](double v) { return benchmark::Counter(v, benchmark::Counter::kAvgIterations); };
    state.counters["reads"] = perRun(rd.counters().readCalls);
    state.counters["writes"] = perRun(rd.counters().writeCalls);
    state.counters["bytes_read"] = perRun(static_cast<double>(rd.counters().bytesRead));
    state.counters["bytes_written"] = perRun(static_cast<double>(bytesWritten(rd, false)));
    state.counters["data_area_bytes"] = perRun(static_cast<double>(bytesWritten(rd, true)));
}

struct FormattedCard {
    MemoryCardReader rd;
    orvexcard ocard;
    explicit FormattedCard(int32_t kind) {
        ocard.assign(rd);
        ocard.formatCard(kind, "ocard/2.1.0/1", 65535, true);
        ocard.verifyCard();
        rd.resetCounters();
    }
};

void BM_verifyCard(benchmark::State& state) {
    FormattedCard card(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(card.ocard.verifyCard());
    report(state, card.rd);
}
BENCHMARK(BM_verifyCard)->ArgName("kind")->Arg(1)->Arg(2);

void BM_formatCard(benchmark::State& state) {
    FormattedCard card(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(card.ocard.formatCard(static_cast<int32_t>(state.range(0)), "s", 65535, true));
    }
    report(state, card.rd);
}
BENCHMARK(BM_formatCard)->ArgName("kind")->Arg(1)->Arg(2);

void BM_sampleWrite(benchmark::State& state) {
    FormattedCard card(cardTypeDrink);
    card.rd.setOptimizeWrite(state.range(0) != 0);
    file7kx file;
    if (!file.loadFromFile(sampleFilePath())) state.SkipWithError("sample file not loaded");
    for (auto _ : state) {
        int32_t kind = cardTypeDrink;
        benchmark::DoNotOptimize(card.ocard.writeFile7kx(file, kind, "Calm", "10", false, false));
    }
    report(state, card.rd);
}
BENCHMARK(BM_sampleWrite)->ArgName("optimizeWrite")->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
    useScratchSettings();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
    return 0;
}
