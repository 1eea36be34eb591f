#pragma once
// A card in memory with a fixed clock and a fixed random byte per counter
// copy, so formatted cards come out byte for byte the same on every run; a
// drink and a station card object on it.
#include <gtest/gtest.h>

#include "cards/modCardLayout.h"
#include "cards/odrinkcard.h"
#include "cards/otherapycard.h"
#include "foundation/Clock.h"
#include "foundation/modHash.h"
#include "support/MemoryCardReader.h"
#include "support/TestEnvironment.h"

namespace orvex::test {

inline constexpr const char* kStamp = "20240102T030405Z";

class CardFixture : public ::testing::Test {
protected:
    void SetUp() override {
        installClock(&clock_);
        installCounterRandomSource([this] { return static_cast<uint8_t>(0x11 * ++draws_); });
        ASSERT_TRUE(drink_.assign_reader(card_));
        ASSERT_TRUE(station_.assign_reader(card_));
    }
    void TearDown() override {
        installClock(nullptr);
        installCounterRandomSource({});
    }

    static bool format(CardObject& card, bool writeable = true, const std::string& serial = "serial") {
        int32_t counter = 65535;
        return card.formatCard(serial, counter, writeable);
    }
    std::string field(layout::Field f) const { return card_.bytes(f.offset, f.width); }
    static std::string padded(std::string text, int32_t width) {
        text.resize(static_cast<size_t>(width), ' ');
        return text;
    }
    static std::string blanks(int32_t n) { return std::string(static_cast<size_t>(n), ' '); }

    // MD5 over the salt and the five header texts as the card holds them.
    std::string expectedCardId() const {
        const auto text = [&](layout::Field f) {
            const std::string raw = field(f);
            return raw.substr(0, raw.find_last_not_of(' ') + 1);
        };
        return hashText(std::string("k4w9#\xA8\xA8") + text(layout::kSerial) +
                            text(layout::kLastModified) + text(layout::kVersion) +
                            text(layout::kCompany) + text(layout::kPurpose),
                        kHashMd5, false);
    }

    FixedClock clock_{DateTime{2024, 1, 2, 3, 4, 5}};
    int draws_ = 0;
    MemoryCardReader card_{'\xFF'};
    odrinkcard drink_;
    otherapycard station_;
};

}  // namespace orvex::test
