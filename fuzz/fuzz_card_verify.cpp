// The first input byte chooses reader faults and whether the card id is made to
// match the header, so the counter checks behind it are reached too; the rest
// is the card image, blank-padded or cut to the card's size.
#include "FuzzSetup.h"
#include "cards/orvexcard.h"
#include "foundation/modCommon.h"
// The fuzz build links the core library only; the fake is header-only.
#include "tests/support/MemoryCardReader.h"

using namespace orvex;
using orvex::test::MemoryCardReader;

namespace {

struct Card {
    MemoryCardReader rd;
    orvexcard ocard;
    odrinkcard drink;
    otherapycard station;
    Card() { ocard.assign(rd), drink.assign_reader(rd), station.assign_reader(rd); }
};

size_t consume(CardObject& o) {
    return o.fileLength().size() + o.fileLastModified().size() + o.fileComments().size() + o.fileSerial().size() +
           o.fileFingerprint().size() + o.filedata().size() + o.cardDuration().size() +
           static_cast<size_t>(o.cardPlaybCounter()) + o.cardName(true).size() + o.cardid().size();
}

// Writes the id the header texts call for, as a formatted card holds it.
void matchCardId(MemoryCardReader& rd) {
    const auto text = [&](layout::Field f) { return trimRight(rd.bytes(f.offset, f.width)); };
    rd.setBytes(layout::kCardId.offset, computeCardId(text(layout::kSerial), text(layout::kLastModified),
                                                      text(layout::kVersion), text(layout::kCompany),
                                                      text(layout::kPurpose)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static Card* const card = new Card;
    std::string image(reinterpret_cast<const char*>(data) + 1, size - 1);
    image.resize(MemoryCardReader::kCardSize, ' ');
    card->rd.memory() = image;
    if (data[0] & 1) matchCardId(card->rd);
    card->rd.failReads(data[0] & 2);

    card->ocard.verifyCard();
    volatile size_t sink = card->ocard.cardName(true).size() + card->ocard.cardDuration().size() +
                           card->ocard.fileComments().size() + card->ocard.cardCombineSeq() +
                           card->ocard.cardPlacebo() + consume(card->drink) + consume(card->station);
    (void)sink;
    if (card->rd.memory().size() != static_cast<size_t>(MemoryCardReader::kCardSize)) abort();
    return 0;
}
