// A whole card (16384 bytes) written in the drivers' 512-byte pieces and read
// back in one request, through the PC/SC storage-card commands (against a
// card that answers at once, counting exchanges) and through the simulated
// reader (a real file, synced on every write).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/pcsc/StorageCardProtocol.h"
#include "platform/sim/SimulatedBackend.h"

namespace {

using namespace orvex::platform;

constexpr uint32_t kDriverPiece = 512;

class CountingTransmitter final : public ApduTransmitter {
public:
    BackendStatus transmit(const ApduBytes& command, ApduBytes& response) override {
        ++exchanges;
        response.assign(command[1] == 0xB0 ? command[4] : 0, 0);
        response.push_back(0x90);
        response.push_back(0x00);
        return BackendStatus::success();
    }
    int64_t exchanges = 0;
};

void report(benchmark::State& state, int64_t exchanges) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMemoryCardSize);
    state.counters["exchanges"] =
        benchmark::Counter(static_cast<double>(exchanges) / static_cast<double>(state.iterations()));
}

void PcscWriteCard(benchmark::State& state) {
    CountingTransmitter card;
    StorageCardProtocol protocol(card);
    const std::string data(kMemoryCardSize, 'x');
    for (auto _ : state) {
        for (uint32_t at = 0; at < kMemoryCardSize; at += kDriverPiece)
            benchmark::DoNotOptimize(protocol.write(at, data.substr(at, kDriverPiece)).ok());
    }
    report(state, card.exchanges);
}
BENCHMARK(PcscWriteCard);

void PcscReadCard(benchmark::State& state) {
    CountingTransmitter card;
    StorageCardProtocol protocol(card);
    std::string bytes;
    for (auto _ : state) benchmark::DoNotOptimize(protocol.read(0, kMemoryCardSize, bytes).ok());
    report(state, card.exchanges);
}
BENCHMARK(PcscReadCard);

class SimulatedCard {
public:
    SimulatedCard() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvex-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        root_ = pattern;
        std::filesystem::create_directories(root_ + "/Bench Reader");
        std::ofstream(root_ + "/Bench Reader/card.bin", std::ios::binary) << std::string(kMemoryCardSize, '\0');
    }
    ~SimulatedCard() { std::filesystem::remove_all(root_); }
    SimulatedBackend backend() const { return SimulatedBackend(root_); }

private:
    std::string root_;
};

void SimulatedWriteCard(benchmark::State& state) {
    SimulatedCard card;
    SimulatedBackend backend = card.backend();
    const std::string data(kMemoryCardSize, 'x');
    int64_t calls = 0;
    for (auto _ : state) {
        for (uint32_t at = 0; at < kMemoryCardSize; at += kDriverPiece, ++calls)
            benchmark::DoNotOptimize(backend.write("Bench Reader", at, data.substr(at, kDriverPiece)).ok());
    }
    report(state, calls);
}
BENCHMARK(SimulatedWriteCard)->Unit(benchmark::kMillisecond)->UseRealTime();

void SimulatedReadCard(benchmark::State& state) {
    SimulatedCard card;
    SimulatedBackend backend = card.backend();
    std::string bytes;
    int64_t calls = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(backend.read("Bench Reader", 0, kMemoryCardSize, bytes).ok());
        ++calls;
    }
    report(state, calls);
}
BENCHMARK(SimulatedReadCard)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
