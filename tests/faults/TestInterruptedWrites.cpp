// Cards pulled after every single memory write of a format or a sample write,
// and worn cards that keep one byte one bit off.
#include "cards/CardFixture.h"
#include "faults/FaultScenario.h"

using namespace orvex;
using namespace orvex::test;
using faults::contentOf;
using faults::Outcome;

namespace {

constexpr int32_t kDrink = cardTypeDrink, kStation = cardTypeStation;

struct Operation {
    const char* name;
    bool sample;             // a sample write, else a format
    int32_t usedKind, kind;  // the card before (formatted, given the old sample); the kind written
    int32_t counter = 65535;  // the used card's playback counter
};

struct Result {
    bool ok;
    std::optional<int32_t> notKeptAt;
    std::string image;
    int32_t writes;
};

class InterruptedWrites : public CardFixture {
protected:
    void SetUp() override {
        CardFixture::SetUp();
        ASSERT_TRUE(oldFile_.loadFromFile(writeSampleFile(faults::oldSampleBytes())));
        ASSERT_TRUE(newFile_.loadFromFile(writeSampleFile(faults::newSampleBytes())));
    }
    // The card taken and verified as the programs do, the operation run. From
    // write call refuseFrom on every write fails (a pull; 0: never); byte
    // wornAt is kept one bit off by the writes from call wornFrom on.
    Result run(const std::string& card, const Operation& op, int32_t refuseFrom = 0, int32_t wornAt = -1,
               int32_t wornFrom = 1) {
        MemoryCardReader rd;
        rd.memory() = card;
        rd.corruptByte(wornAt, wornFrom);
        if (refuseFrom > 0) rd.refuseWritesFrom(refuseFrom);
        draws_ = 0;
        orvexcard o;
        EXPECT_EQ(o.assign(rd), -1);
        o.verifyCard();
        rd.setOptimizeWrite(true);
        int32_t kind = op.kind;
        const bool ok = op.sample ? o.writeFile7kx(newFile_, kind, "New name", "5400", true, false)
                                  : o.formatCard(kind, "fresh", 65535, true);
        return {ok, o.notKeptAt(), rd.memory(), static_cast<int32_t>(rd.writes().size())};
    }
    // What a card left behind offers, against the card before and the one
    // the whole operation leaves.
    static Outcome left(const std::string& image, const std::string& before, const std::string& done) {
        return faults::classify(contentOf(image), contentOf(before), contentOf(done));
    }
    file7kx oldFile_, newFile_;
};

}  // namespace

// The card left behind does not verify, or verifies without a sample, or
// (sample writes) with exactly its old or its new content; an operation that
// did not get through says so. Each finished card as the earlier write orders
// left it, byte for byte. A worn byte that an operation wrote fails it and is
// named; one it did not write changes nothing; worn and pulled after any write
// too (not while a worn file length is being blanked: two faults at once).
TEST_F(InterruptedWrites, pulled_or_worn_a_card_never_offers_a_sample_nobody_wrote) {
    const struct {
        Operation op;
        const char* md5;
        bool wornToo = false;
    } rows[] = {{{"format: spent drink as drink", false, kDrink, kDrink, 100}, "32216dfdfee080f3c4b086a91b323222"},
                {{"format: station as drink", false, kStation, kDrink}, "32216dfdfee080f3c4b086a91b323222"},
                {{"format: station as station", false, kStation, kStation}, "0c7811d9b4c5127253f1e13be171880c"},
                {{"format: drink as station", false, kDrink, kStation}, "0c7811d9b4c5127253f1e13be171880c", true},
                {{"sample: drink on drink", true, kDrink, kDrink}, "467f9294d9dce301aaa0023f8e012f02"},
                {{"sample: station on station", true, kStation, kStation}, "34f7c94c4a4fcd95c4800c4211b138e7", true},
                {{"sample: drink on station", true, kStation, kDrink}, "467f9294d9dce301aaa0023f8e012f02", true},
                {{"sample: station on drink", true, kDrink, kStation}, "34f7c94c4a4fcd95c4800c4211b138e7"}};
    const struct {
        const char* field;
        int32_t offset;
        bool pulledToo;              // also pulled after every write
        bool lastWriteOnly = false;  // worn only by the operation's last write
    } worn[] = {{"file length", 256, false},   {"file length end", 263, false}, {"name", 105, true},
                {"duration", 146, false},      {"flag", 157, false},            {"card id", 70, false},
                {"counter copy B", 154, true}, {"comment", 300, true},          {"data start", 768, true},
                {"data end", 9587, false},     {"blank data area", 12000, false},
                {"file length, by the last write", 257, false, true}};
    for (const auto& [op, md5, wornToo] : rows) {
        SCOPED_TRACE(op.name);
        draws_ = 0;
        const std::string before = faults::usedCard(op.usedKind, oldFile_, op.counter);
        ASSERT_FALSE(before.empty());
        const Result done = run(before, op);
        ASSERT_TRUE(done.ok);
        EXPECT_EQ(hashText(done.image, kHashMd5, true), md5);
        for (int32_t n = 1; n < done.writes; ++n) {
            const Result pulled = run(before, op, n + 1);
            const Outcome outcome = left(pulled.image, before, done.image);
            EXPECT_FALSE(pulled.ok) << "pulled after write " << n;
            EXPECT_TRUE(outcome != Outcome::Other && (op.sample || outcome != Outcome::Old))
                << "pulled after write " << n << ": " << faults::outcomeText(outcome);
        }
        if (!wornToo) continue;
        for (const auto& w : worn) {
            SCOPED_TRACE(std::string("worn ") + w.field);
            const Result r = run(before, op, 0, w.offset, w.lastWriteOnly ? done.writes : 1);
            EXPECT_NE(left(r.image, before, done.image), Outcome::Other);
            if (r.ok) {
                EXPECT_TRUE(r.image == done.image) << "reported written, but not what was meant";
            } else {
                EXPECT_EQ(r.notKeptAt, w.offset);
            }
            for (int32_t n = 1; w.pulledToo && n <= done.writes + 2; ++n)
                EXPECT_NE(left(run(before, op, n, w.offset).image, before, done.image), Outcome::Other)
                    << "pulled after write " << n - 1;
        }
    }
}
