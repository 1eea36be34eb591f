#pragma once
// One private pcscd for the whole program (its own reader configuration, the
// virtual reader driver on a free port), one card emulator per test. pcscd
// always serves /run/pcscd/pcscd.comm; ctest runs the program through
// run_private.sh, which gives it a /run/pcscd of its own, so a system pcscd is
// neither seen nor touched. Something already answering on that socket makes
// every test fail with that said plainly. Deadlines only guard against hanging.
#include <gtest/gtest.h>

#include <string>

#include "platform/mcard/MemoryCardBackend.h"
#include "support/ChildProcess.h"

namespace orvex::test {

class PcscdTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& readerName() const;
    // Starts the emulator (pulling the card after that many updates, 0:
    // never); returns once pcscd sees the card.
    void startCard(unsigned pullAfterUpdates = 0);
    // Pulls or inserts the emulated card; true once pcscd has seen it.
    bool pullCard();
    bool insertCard();
    bool waitForPresence(platform::CardPresence wanted);

    ChildProcess emulator_;
    std::string imagePath_;
};

// 16384 bytes that differ from page to page and from run to run of `seed`, so
// a byte written to the wrong place shows.
std::string cardPattern(unsigned seed);

}  // namespace orvex::test
