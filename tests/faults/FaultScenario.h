#pragma once
// The cards and sample files the fault runs start from, and what a card that
// a fault left behind offers a device. Shared by the fault tests and the
// fault_table program; no test framework in here.
#include <cstdint>
#include <string>

#include "cards/orvexcard.h"
#include "foundation/modHash.h"
#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"
#include "support/MemoryCardReader.h"

namespace orvex::test::faults {

// The sample a used card holds (stamp, comment and every data byte differ
// from the new one the runs write).
inline std::string oldSampleBytes() {
    std::string old = sampleFileBytes({.stamp = "20230101T000000Z", .comment = "Old take"});
    for (size_t i = old.size() - file7kx::kSampleBytes; i < old.size(); ++i) old[i] ^= 'Z';
    return old;
}
inline std::string newSampleBytes() { return sampleFileBytes(); }

// A card formatted as the kind and then given the old sample ("Old name",
// 600, both flags), its counter then set; empty when that fails.
inline std::string usedCard(int32_t kind, const file7kx& oldSample, int32_t counter = 65535) {
    MemoryCardReader rd;
    orvexcard o;
    const bool made = o.assign(rd) == -1 && o.formatCard(kind, "used", 0, true) && o.verifyCard() &&
                      o.writeFile7kx(oldSample, kind, "Old name", "600", true, true) &&
                      (counter == 65535 || o.cardObject().setCardPlaybCounter(counter));
    return made ? rd.memory() : std::string();
}

// What a card offers a device: empty unless it verifies, else the file
// length first, then kind, name, duration, flags, file fields, data digest.
inline std::string contentOf(const std::string& image) {
    MemoryCardReader rd;
    rd.memory() = image;
    orvexcard o;
    if (o.assign(rd) != -1 || !o.verifyCard()) return {};
    CardObject& c = o.cardObject();
    return c.fileLength() + "|" + std::to_string(o.OCardDefinedType()) + "|" + c.cardName(true) + "|" +
           c.cardDuration() + "|" + std::to_string(o.cardCombineSeq() * 10 + o.cardPlacebo()) + "|" +
           c.fileLastModified() + "|" + c.fileComments() + "|" + c.fileSerial() + "|" +
           hashText(c.filedata(), kHashMd5, true);
}

enum class Outcome {
    NotVerified,  // the card does not verify
    NoSample,     // verifies with file length "0"
    Old,          // verifies with exactly the content it had before
    New,          // verifies with exactly the content the operation writes
    Other,        // verifies with any other sample: never acceptable
};
inline Outcome classify(const std::string& content, const std::string& oldContent, const std::string& newContent) {
    if (content.empty()) return Outcome::NotVerified;
    if (content == newContent) return Outcome::New;  // a format's new content has no sample either
    if (content.starts_with("0|")) return Outcome::NoSample;
    if (content == oldContent) return Outcome::Old;
    return Outcome::Other;
}
inline const char* outcomeText(Outcome outcome) {
    constexpr const char* texts[] = {"not verified", "verified, file length 0", "old content", "new content",
                                     "OTHER SAMPLE"};
    return static_cast<size_t>(outcome) < std::size(texts) ? texts[static_cast<size_t>(outcome)] : "?";
}

}  // namespace orvex::test::faults
