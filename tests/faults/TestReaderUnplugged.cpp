// The reader itself unplugged in the middle of a sample write, through both
// drivers on the simulated reader: the write reports failure, the state word
// becomes "failed", and once the reader is back the driver carries on
// without a restart: "active" with the card in it, no card without.
#include <filesystem>

#include "cards/CardFixture.h"
#include "cards/orvexcard.h"
#include "platform/eventloop/VirtualEventLoop.h"
#include "platform/mcard/BackendLog.h"
#include "platform/mcard/MemoryCardApi.h"
#include "platform/scard32/TextCommandLibrary.h"
#include "platform/sim/SimulatedBackend.h"
#include "readers/readerChipdrive.h"
#include "readers/readerSCM.h"
#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"

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
    ASSERT_TRUE(format(drink_));
    file7kx sample;
    ASSERT_TRUE(sample.loadFromFile(writeSampleFile(sampleFileBytes())));
    platform::setBackendLogSink([](const std::string&) {});  // a reader gone makes many failure lines
    for (const auto& [scm, cardComesBack] : {std::pair{true, true}, {true, false}, {false, true}, {false, false}}) {
        SCOPED_TRACE(std::string(scm ? "SCM" : "Chipdrive") + (cardComesBack ? ", card" : ", no card"));
        // One reader folder; renaming it away unplugs the reader.
        const std::string root = makeTempDir("sim"), dir = root + "/Sim Reader 0",
                          away = makeTempDir("away") + "/reader";
        fs::create_directories(dir);
        writeFileBytes(dir + "/card.bin", card_.memory());
        platform::VirtualEventLoop loop;
        auto backend = std::make_unique<platform::SimulatedBackend>(root);
        std::unique_ptr<reader> driver;
        if (scm) driver = std::make_unique<readerSCM>(std::make_shared<platform::MemoryCardApi>(std::move(backend)), loop);
        else driver = std::make_unique<readerChipdrive>(
                 std::make_shared<platform::TextCommandLibrary>(std::move(backend), "simulated"), loop);
        ASSERT_TRUE(driver->Start("Sim Reader"));
        ASSERT_EQ(tickUntil(loop, *driver, state::kActive), state::kActive);
        orvexcard o;
        ASSERT_EQ(o.assign(*driver), -1);
        ASSERT_TRUE(o.verifyCard());
        // Unplugged after the first piece the reader took.
        const auto id = driver->EventSource().subscribe(
            {[&] { if (fs::exists(dir)) fs::rename(dir, away); }, nullptr, nullptr});
        int32_t kind = cardTypeDrink;
        EXPECT_FALSE(o.writeFile7kx(sample, kind, "New name", "90", false, false));
        driver->EventSource().unsubscribe(id);
        EXPECT_EQ(tickUntil(loop, *driver, state::kFailed), state::kFailed);
        if (!cardComesBack) fs::remove(away + "/card.bin");
        fs::rename(away, dir);
        const std::string after = cardComesBack ? state::kActive : state::kWait;
        EXPECT_EQ(tickUntil(loop, *driver, after), after);
        EXPECT_TRUE(driver->isRunning());
        driver->Stopp();
    }
    platform::setBackendLogSink({});
}
