#pragma once
// Fixture of the integration suite: one private pcscd for the whole program
// (started by the first test, stopped at the end), one card emulator per test.
// Waiting for pcscd to notice a card uses a deadline only as a guard against
// hanging; no test asserts how long anything took.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "EmulatorProcess.h"
#include "PcscdHarness.h"
#include "platform/mcard/MemoryCardBackend.h"

namespace orvex::test {

class PcscdTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& readerName() const;
    // Starts the emulator; with inserted, returns once pcscd sees the card.
    void startCard(bool inserted, std::optional<unsigned> pullAfterUpdates = std::nullopt);
    // True once the reader shows the given presence (false after the deadline).
    bool waitForPresence(platform::CardPresence wanted);

    EmulatorProcess emulator_;
    std::string imagePath_;
};

// 16384 bytes that differ from page to page and from run to run of `seed`, so
// a byte written to the wrong place shows.
std::string cardPattern(unsigned seed);

}  // namespace orvex::test
