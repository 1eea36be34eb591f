#include "faults/FaultScenario.h"

#include "cards/orvexcard.h"
#include "foundation/modHash.h"
#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"
#include "support/MemoryCardReader.h"

namespace orvex::test::faults {

std::string oldSampleBytes() {
    std::string old = sampleFileBytes({.stamp = "20230101T000000Z", .comment = "Old take"});
    for (size_t i = old.size() - file7kx::kSampleBytes; i < old.size(); ++i) old[i] ^= 'Z';
    return old;
}

std::string newSampleBytes() { return sampleFileBytes(); }

std::string usedCard(int32_t kind, const file7kx& oldSample, int32_t counter) {
    MemoryCardReader rd;
    orvexcard o;
    const bool made = o.assign(rd) == -1 && o.formatCard(kind, "used", 0, true) && o.verifyCard() &&
                      o.writeFile7kx(oldSample, kind, "Old name", "600", true, true) &&
                      (counter == 65535 || o.cardObject().setCardPlaybCounter(counter));
    return made ? rd.memory() : std::string();
}

std::string contentOf(const std::string& image) {
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

Outcome classify(const std::string& content, const std::string& oldContent, const std::string& newContent) {
    if (content.empty()) return Outcome::NotVerified;
    if (content == newContent) return Outcome::New;  // a format's new content has no sample either
    if (content.starts_with("0|")) return Outcome::NoSample;
    if (content == oldContent) return Outcome::Old;
    return Outcome::Other;
}

const char* outcomeText(Outcome outcome) {
    constexpr const char* texts[] = {"not verified", "verified, file length 0", "old content", "new content",
                                     "OTHER SAMPLE"};
    return static_cast<size_t>(outcome) < std::size(texts) ? texts[static_cast<size_t>(outcome)] : "?";
}

}  // namespace orvex::test::faults
