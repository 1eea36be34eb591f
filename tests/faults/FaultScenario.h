#pragma once
// The cards and sample files the fault runs start from, and what a card that
// a fault left behind offers a device. Shared by the fault tests and the
// fault_table program; no test framework in here.
#include <cstdint>
#include <string>

namespace orvex {
class file7kx;
}

namespace orvex::test::faults {

// The sample a used card holds (stamp, comment and every data byte differ
// from the new one the runs write).
std::string oldSampleBytes();
std::string newSampleBytes();

// A card formatted as the kind and then given the old sample ("Old name",
// 600, both flags), its counter then set; empty when that fails.
std::string usedCard(int32_t kind, const file7kx& oldSample, int32_t counter = 65535);

// What a card offers a device: empty unless it verifies, else the file
// length first, then kind, name, duration, flags, file fields, data digest.
std::string contentOf(const std::string& image);

enum class Outcome {
    NotVerified,  // the card does not verify
    NoSample,     // verifies with file length "0"
    Old,          // verifies with exactly the content it had before
    New,          // verifies with exactly the content the operation writes
    Other,        // verifies with any other sample: never acceptable
};
Outcome classify(const std::string& content, const std::string& oldContent, const std::string& newContent);
const char* outcomeText(Outcome outcome);

}  // namespace orvex::test::faults
