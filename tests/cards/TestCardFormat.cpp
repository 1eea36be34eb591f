#include <gtest/gtest.h>

#include "CardFixture.h"

using namespace orvex;
using namespace orvex::test;
using FormattedCard = CardFixture;

// The whole card as formatting leaves it, the card id and the counter block
// checked on their own. A serial too long for its field is cut, and the card
// id covers it as stored; a counter argument above 65535 is limited.
TEST_F(FormattedCard, each_kind_byte_for_byte_with_a_protected_id_and_a_full_counter) {
    const struct {
        const char* name;
        CardObject* card;
        bool writeable, optimize;
        const char* serial;
        int32_t counter;
        const char* purpose;
        const char* version;
        std::string flags;
    } rows[] = {{"drink read-only, optimizeWrite on", &drink_, false, true, "ocard/2.1.0/4711",
                 65535, "orvexdrink", "1.1.1ro", ""},
                {"station", &station_, true, false, "a serial of thirty characters", 70000,
                 "orvextherapy", "1-0-0", std::string(2, '\0')}};
    for (const auto& row : rows) {
        card_ = MemoryCardReader('\xFF');
        card_.setOptimizeWrite(row.optimize);
        draws_ = 0;
        int32_t counter = row.counter;
        ASSERT_TRUE(row.card->formatCard(row.serial, counter, row.writeable)) << row.name;
        EXPECT_EQ(counter, 65535) << row.name;
        std::string image = padded(kCardCompany, 40) + padded(row.purpose, 15) +
                            padded(row.version, 8) + field(layout::kCardId) +
                            padded(row.serial, 25) + padded("OrvexCard", 25) + kStamp +
                            std::string(2, '\0') + field(layout::kPlaybCounter) + row.flags;
        image += blanks(256 - static_cast<int32_t>(image.size())) + padded("0", 8);
        EXPECT_EQ(card_.memory(), image + blanks(16384 - static_cast<int32_t>(image.size())))
            << row.name;
        EXPECT_EQ(card_.optimizeWrite(), row.optimize) << row.name << ": the setting is restored";
        const std::string id = field(layout::kCardId);
        EXPECT_EQ(id, expectedCardId()) << row.name;
        const std::string block = field(layout::kPlaybCounter);
        EXPECT_EQ(block[2], '\x11') << row.name;
        EXPECT_EQ(block[7], '\x22') << row.name;
        // Each copy on its own holds the full counter.
        EXPECT_EQ(decodePlaybCounter(block.substr(0, 5) + block.substr(0, 5), id), 65535);
        EXPECT_EQ(decodePlaybCounter(block.substr(5) + block.substr(5), id), 65535);
    }
}
