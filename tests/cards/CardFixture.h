#pragma once
// A card in memory with a fixed clock and a fixed random byte per counter
// copy, so formatted cards come out byte for byte the same on every run.
#include <gtest/gtest.h>

#include "cards/modCardLayout.h"
#include "foundation/Clock.h"
#include "foundation/modHash.h"
#include "support/MemoryCardReader.h"

namespace orvex::test {

class CardFixture : public ::testing::Test {
protected:
    void SetUp() override {
        installClock(&clock_);
        installCounterRandomSource([this] { return static_cast<uint8_t>(0x11 * ++draws_); });
    }
    void TearDown() override {
        installClock(nullptr);
        installCounterRandomSource({});
    }

    FixedClock clock_{DateTime{2024, 1, 2, 3, 4, 5}};
    int draws_ = 0;
    MemoryCardReader card_{'\xFF'};
};

}  // namespace orvex::test
