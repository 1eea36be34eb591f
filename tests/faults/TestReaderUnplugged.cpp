// The reader itself unplugged in the middle of a sample write, through both
// drivers on the simulated reader: the write reports failure, the state word
// becomes "failed", and once the reader is back the driver carries on
// without a restart: "active" with the card in it, no card without.
#include <filesystem>

#include "cards/CardFixture.h"
#include "cards/orvexcard.h"
#include "faults/FaultScenario.h"
#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"
#include "support/SimulatedReaderCard.h"

using namespace orvex;
using namespace orvex::test;
namespace fs = std::filesystem;

namespace {

using ReaderUnplugged = CardFixture;

// Ticks of the polling timer until the state word is the one wanted.
std::string tickUntil(platform::VirtualEventLoop& loop, reader& rd, const std::string& word) {
    for (int tick = 0; tick < 8 && rd.cardState() != word; ++tick) loop.advance(std::chrono::milliseconds(500));
    return rd.cardState();
}

}  // namespace

TEST_F(ReaderUnplugged, fails_the_write_and_comes_back_when_the_reader_does) {
    const struct Row {
        bool scm;
        bool cardComesBack;
        const char* after;  // the state word once the reader is back
    } rows[] = {{true, true, state::kActive}, {true, false, state::kWait},
                {false, true, state::kActive}, {false, false, state::kWait}};
    file7kx oldFile, newFile;
    ASSERT_TRUE(oldFile.loadFromFile(writeSampleFile(faults::oldSampleBytes())));
    ASSERT_TRUE(newFile.loadFromFile(writeSampleFile(faults::newSampleBytes())));
    const std::string used = faults::usedCard(cardTypeDrink, oldFile);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.scm ? "SCM" : "Chipdrive") + (row.cardComesBack ? ", card" : ", no card"));
        SimulatedReaderCard sim;
        sim.insert(used);
        platform::VirtualEventLoop loop;
        const auto driver = sim.startDriver(row.scm, loop);
        orvexcard o;
        ASSERT_EQ(o.assign(*driver), -1);
        ASSERT_TRUE(o.verifyCard());
        const std::string dir = sim.readerDirectory(), away = makeTempDir("away") + "/reader";
        // Unplugged after the first piece the reader took.
        const auto id = driver->EventSource().subscribe(
            {[&] { if (fs::exists(dir)) fs::rename(dir, away); }, nullptr, nullptr});
        int32_t kind = cardTypeDrink;
        EXPECT_FALSE(o.writeFile7kx(newFile, kind, "New name", "90", false, false));
        driver->EventSource().unsubscribe(id);
        EXPECT_EQ(tickUntil(loop, *driver, state::kFailed), state::kFailed);
        if (!row.cardComesBack) fs::rename(away + "/card.bin", away + "/card.pulled.bin");
        fs::rename(away, dir);
        EXPECT_EQ(tickUntil(loop, *driver, row.after), row.after);
        EXPECT_TRUE(driver->isRunning());
        // The write did not get through: old content, no sample or not verified.
        const faults::Outcome left = faults::classify(faults::contentOf(sim.card()), faults::contentOf(used), "");
        EXPECT_NE(left, faults::Outcome::Other) << faults::outcomeText(left);
        driver->Stopp();
    }
}
