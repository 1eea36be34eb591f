// Cards pulled after every single memory write of a format or a sample write,
// through both drivers on the simulated reader. Whichever write the pull
// follows, the card left behind does not verify, or verifies without a
// sample, or (sample writes) with exactly its old or exactly its new content.
#include "cards/CardFixture.h"
#include "cards/orvexcard.h"
#include "faults/FaultScenario.h"
#include "platform/eventloop/VirtualEventLoop.h"
#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"
#include "support/SimulatedReaderCard.h"

using namespace orvex;
using namespace orvex::test;

namespace {

using faults::contentOf;

class InterruptedWrites : public CardFixture {
protected:
    struct Row {
        const char* name;
        int32_t usedKind, counter;  // the card before: formatted, then given the old sample
        int32_t kind;               // formatted as, or the kind of the new sample
        const char* imageMd5;       // the finished card, as the earlier write orders left it
    };

    void SetUp() override {
        CardFixture::SetUp();
        ASSERT_TRUE(oldFile_.loadFromFile(writeSampleFile(faults::oldSampleBytes())));
        ASSERT_TRUE(newFile_.loadFromFile(writeSampleFile(faults::newSampleBytes())));
    }

    std::string usedCard(int32_t kind, int32_t counter) {
        draws_ = 0;
        std::string card = faults::usedCard(kind, oldFile_, counter);
        EXPECT_FALSE(card.empty());
        return card;
    }

    // The card in the simulated reader, taken and verified as the programs do,
    // the operation run; the card as the pull or the end left it.
    std::pair<bool, std::string> run(bool scm, const std::string& card, int32_t pullAfter,
                                     const Row& row, bool sample) {
        sim_.insert(card, pullAfter ? "pull_after_writes=" + std::to_string(pullAfter) : "");
        draws_ = 0;
        platform::VirtualEventLoop loop;
        const auto driver = sim_.startDriver(scm, loop);
        orvexcard o;
        EXPECT_EQ(o.assign(*driver), -1);
        o.verifyCard();
        int32_t kind = row.kind;
        const bool ok = sample ? o.writeFile7kx(newFile_, kind, "New name", "5400", true, false)
                               : o.formatCard(kind, "fresh", 65535, true);
        driver->Stopp();
        return {ok, sim_.card()};
    }

    // Pulls the card after write 1, 2, ... until the operation gets through.
    void pullAfterEveryWrite(const Row& row, bool sample) {
        const std::string before = usedCard(row.usedKind, row.counter);
        const std::string old = contentOf(before);
        for (bool scm : {true, false}) {
            const std::string where = std::string(row.name) + (scm ? ", SCM" : ", Chipdrive");
            const auto [ok, image] = run(scm, before, 0, row, sample);
            ASSERT_TRUE(ok) << where;
            EXPECT_EQ(hashText(image, kHashMd5, true), row.imageMd5) << where;
            const std::string done = contentOf(image);
            bool through = false;
            for (int32_t n = 1; n < 200 && !through; ++n) {
                const auto [pulledOk, pulled] = run(scm, before, n, row, sample);
                const faults::Outcome left = faults::classify(contentOf(pulled), old, done);
                EXPECT_TRUE(left != faults::Outcome::Other && (sample || left != faults::Outcome::Old))
                    << where << ", pulled after write " << n << ": " << faults::outcomeText(left);
                through = pulledOk;
                EXPECT_TRUE(!through || pulled == image)
                    << where << ", pulled after the last write";
            }
            EXPECT_TRUE(through) << where << ": the operation never got through";
        }
    }
    SimulatedReaderCard sim_;
    file7kx oldFile_, newFile_;
};

constexpr int32_t kDrink = cardTypeDrink, kStation = cardTypeStation, kFull = 65535;

}  // namespace

TEST_F(InterruptedWrites, a_format_never_leaves_a_verifying_card_with_a_sample) {
    const Row rows[] = {
        {"spent drink as drink", kDrink, 100, kDrink, "32216dfdfee080f3c4b086a91b323222"},
        {"station as drink", kStation, kFull, kDrink, "32216dfdfee080f3c4b086a91b323222"},
        {"station as station", kStation, kFull, kStation, "0c7811d9b4c5127253f1e13be171880c"},
        {"drink as station", kDrink, kFull, kStation, "0c7811d9b4c5127253f1e13be171880c"}};
    for (const Row& row : rows) pullAfterEveryWrite(row, false);
}

TEST_F(InterruptedWrites, a_sample_write_leaves_the_old_or_the_new_content_or_no_sample) {
    const Row rows[] = {
        {"drink on drink", kDrink, kFull, kDrink, "467f9294d9dce301aaa0023f8e012f02"},
        {"station on station", kStation, kFull, kStation, "34f7c94c4a4fcd95c4800c4211b138e7"},
        {"drink on station", kStation, kFull, kDrink, "467f9294d9dce301aaa0023f8e012f02"},
        {"station on drink", kDrink, kFull, kStation, "34f7c94c4a4fcd95c4800c4211b138e7"}};
    for (const Row& row : rows) pullAfterEveryWrite(row, true);
}

// A worn card: one byte answers its writes with success and keeps one bit
// off. Whichever byte it is, an operation that wrote it fails and names it,
// one that did not leaves exactly what it means to; and the card never
// offers a sample it did not keep, also when it leaves the reader after any
// write (except while a worn file length is being blanked: two faults at once).
TEST_F(InterruptedWrites, a_card_that_does_not_keep_a_byte_never_offers_a_sample_nobody_wrote) {
    struct Operation {
        const char* name;
        bool sample;
        int32_t usedKind, kind;
    };
    struct Worn {
        const char* field;
        int32_t offset;
        bool pulledToo;  // also pulled after every write
        bool lastWriteOnly = false;  // worn only by the operation's last write
    };
    const Operation operations[] = {{"drink sample on a station card", true, kStation, kDrink},
                                    {"station sample on a station card", true, kStation, kStation},
                                    {"station format of a drink card", false, kDrink, kStation}};
    const Worn worn[] = {{"file length", 256, false}, {"file length end", 263, false}, {"name", 105, true},
                         {"duration", 146, false},    {"flag", 157, false},            {"card id", 70, false},
                         {"counter copy B", 154, true}, {"comment", 300, true},        {"data start", 768, true},
                         {"data end", 9587, false},   {"blank data area", 12000, false},
                         {"file length, by the last write", 257, false, true}};
    const auto run = [&](const std::string& card, const Operation& op, int32_t wornAt, int32_t refuseFrom,
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
        return std::tuple{ok, o.notKeptAt(), rd.memory(), static_cast<int32_t>(rd.writes().size())};
    };
    for (const Operation& op : operations) {
        const std::string before = usedCard(op.usedKind, kFull);
        const auto [whole, none, intended, writes] = run(before, op, -1, 0);
        ASSERT_TRUE(whole) << op.name;
        const std::string old = contentOf(before), done = contentOf(intended);
        for (const Worn& w : worn) {
            SCOPED_TRACE(std::string(op.name) + ", worn " + w.field);
            const auto [ok, at, image, _] = run(before, op, w.offset, 0, w.lastWriteOnly ? writes : 1);
            const faults::Outcome left = faults::classify(contentOf(image), old, done);
            EXPECT_NE(left, faults::Outcome::Other) << faults::outcomeText(left);
            if (ok) {
                EXPECT_TRUE(image == intended) << "reported written, but not what was meant";
            } else {
                EXPECT_EQ(at, w.offset);
            }
            for (int32_t n = 1; w.pulledToo && n <= writes + 2; ++n) {
                const auto [pulledOk, pulledAt, pulled, _2] = run(before, op, w.offset, n);
                const faults::Outcome pulledLeft = faults::classify(contentOf(pulled), old, done);
                EXPECT_NE(pulledLeft, faults::Outcome::Other)
                    << "pulled after write " << n - 1 << ": " << faults::outcomeText(pulledLeft);
            }
        }
    }
}
