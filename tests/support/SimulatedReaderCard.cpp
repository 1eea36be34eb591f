#include "SimulatedReaderCard.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestEnvironment.h"
#include "platform/mcard/BackendLog.h"
#include "platform/mcard/MemoryCardApi.h"
#include "platform/scard32/TextCommandLibrary.h"
#include "platform/sim/SimulatedBackend.h"
#include "readers/readerChipdrive.h"
#include "readers/readerSCM.h"

namespace orvex::test {

namespace fs = std::filesystem;

SimulatedReaderCard::SimulatedReaderCard() : root_(makeTempDir("sim")), dir_(root_ + "/Sim Reader 0") {
    fs::create_directories(dir_);
    platform::setBackendLogSink([](const std::string&) {});
}

SimulatedReaderCard::~SimulatedReaderCard() { platform::setBackendLogSink({}); }

// Files are made anew: ext4 flushes a file rewritten in place to the disk.
void SimulatedReaderCard::insert(const std::string& image, const std::string& faults) {
    for (const char* file : {"/card.bin", "/card.pulled.bin", "/faults"}) fs::remove(dir_ + file);
    writeFileBytes(dir_ + "/card.bin", image);
    writeFileBytes(dir_ + "/faults", faults);
}

std::unique_ptr<reader> SimulatedReaderCard::startDriver(bool scm, platform::VirtualEventLoop& loop) const {
    auto sim = std::make_unique<platform::SimulatedBackend>(root_);
    std::unique_ptr<reader> driver;
    if (scm) driver = std::make_unique<readerSCM>(std::make_shared<platform::MemoryCardApi>(std::move(sim)), loop);
    else driver = std::make_unique<readerChipdrive>(std::make_shared<platform::TextCommandLibrary>(std::move(sim), "simulated"), loop);
    EXPECT_TRUE(driver->Start("Sim Reader"));
    for (int tick = 0; tick < 4 && driver->cardState() != state::kActive; ++tick)
        loop.advance(std::chrono::milliseconds(500));
    EXPECT_EQ(driver->cardState(), state::kActive);
    driver->setOptimizeWrite(true);
    return driver;
}

std::string SimulatedReaderCard::card() const {
    const std::string pulled = dir_ + "/card.pulled.bin";
    return readFileBytes(fs::exists(pulled) ? pulled : dir_ + "/card.bin");
}

}  // namespace orvex::test
