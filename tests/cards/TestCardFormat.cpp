#include <gtest/gtest.h>

#include "CardFixture.h"

using namespace orvex;
using namespace orvex::test;

namespace {

constexpr const char* kSerial = "ocard/2.1.0/4711";

class FormattedCard : public CardFixture {
protected:
    // The whole card as formatting must leave it, apart from the card id and
    // the counter block, which are checked on their own.
    std::string expectedImage(const std::string& purpose, const std::string& version,
                              const std::string& flags) const {
        std::string image = padded(kCardCompany, 40) + padded(purpose, 15) + padded(version, 8) +
                            field(layout::kCardId) + padded(kSerial, 25) +
                            padded("OrvexCard", 25) + kStamp + std::string(2, '\0') +
                            field(layout::kPlaybCounter) + flags;
        image += blanks(256 - static_cast<int32_t>(image.size())) + padded("0", 8);
        return image + blanks(MemoryCardReader::kCardSize - static_cast<int32_t>(image.size()));
    }
};

}  // namespace

TEST_F(FormattedCard, each_kind_byte_for_byte_with_a_protected_id_and_a_full_counter) {
    const struct { const char* name; CardObject* card; bool writeable, optimize;
                   const char* purpose; const char* version; std::string flags; } rows[] = {
        {"drink", &drink_, true, false, "orvexdrink", "1.1.1", ""},
        {"drink read-only", &drink_, false, false, "orvexdrink", "1.1.1ro", ""},
        {"drink, optimizeWrite on", &drink_, true, true, "orvexdrink", "1.1.1", ""},
        {"station", &station_, true, false, "orvextherapy", "1-0-0", std::string(2, '\0')}};
    for (const auto& row : rows) {
        card_ = MemoryCardReader('\xFF');
        card_.setOptimizeWrite(row.optimize);
        draws_ = 0;
        ASSERT_TRUE(format(*row.card, row.writeable, kSerial)) << row.name;
        EXPECT_EQ(card_.memory(), expectedImage(row.purpose, row.version, row.flags)) << row.name;
        EXPECT_EQ(card_.optimizeWrite(), row.optimize) << row.name << ": the setting is restored";
        const std::string id = field(layout::kCardId);
        EXPECT_EQ(id, expectedCardId()) << row.name;
        const std::string block = field(layout::kPlaybCounter);
        EXPECT_EQ(block[2], '\x11') << row.name;
        EXPECT_EQ(block[7], '\x22') << row.name;
        EXPECT_EQ(decodePlaybCounter(block.substr(0, 5) + block.substr(0, 5), id), 65535) << row.name;
        EXPECT_EQ(decodePlaybCounter(block.substr(5) + block.substr(5), id), 65535) << row.name;
        std::string damaged = block;
        damaged[0] ^= 1;
        damaged[5] ^= 1;
        EXPECT_EQ(decodePlaybCounter(damaged, id), 0) << row.name;
    }
    EXPECT_FALSE(station_.cardCombineSeq(true));  // the station card comes last
    EXPECT_FALSE(station_.cardPlacebo(true));
}

TEST_F(FormattedCard, a_long_serial_is_cut_and_the_counter_argument_limited) {
    int32_t counter = 70000;
    ASSERT_TRUE(drink_.formatCard(std::string(30, 's'), counter, true));
    EXPECT_EQ(drink_.cardSerial(true), std::string(25, 's'));
    EXPECT_EQ(field(layout::kCardId), expectedCardId());
    EXPECT_EQ(counter, 65535);
    EXPECT_EQ(drink_.cardPlaybCounter(), 65535);
}

TEST_F(FormattedCard, header_rewrite_keeps_serial_name_stamp_and_sample_and_sets_the_flags) {
    ASSERT_TRUE(format(station_, false, kSerial));
    ASSERT_TRUE(station_.setCardName(false, "Mine"));
    ASSERT_TRUE(station_.setCardCombineSeq(true, true));
    card_.setBytes(256, "3       ");
    card_.setBytes(768, "abc");
    const std::string before = card_.memory();
    ASSERT_TRUE(drink_.formatCardHeader());
    EXPECT_EQ(drink_.cardPurpose(true), "orvexdrink");
    EXPECT_EQ(drink_.cardversion(true), "1.1.1");
    EXPECT_EQ(field(layout::kCardId), expectedCardId());
    EXPECT_EQ(drink_.cardPlaybCounter(), 65535);
    EXPECT_EQ(card_.bytes(157, 99), blanks(99));
    EXPECT_EQ(card_.bytes(0, 40), before.substr(0, 40));
    EXPECT_EQ(card_.bytes(79, 66), before.substr(79, 66));  // serial, name, stamp
    EXPECT_EQ(card_.bytes(256, 16384 - 256), before.substr(256));
    EXPECT_EQ(drink_.filedata(), "abc");
    // Back to a station card: both flags cleared to 0x00.
    card_.setBytes(157, "11");
    ASSERT_TRUE(station_.formatCardHeader());
    EXPECT_EQ(station_.cardPurpose(true), "orvextherapy");
    EXPECT_EQ(card_.bytes(157, 2), std::string(2, '\0'));
    EXPECT_EQ(card_.bytes(159, 97), blanks(97));
}
