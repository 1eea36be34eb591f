#include <gtest/gtest.h>

#include "CardFixture.h"
#include "cards/odrinkcard.h"
#include "cards/otherapycard.h"

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
        image += blanks(256 - static_cast<int32_t>(image.size()));
        image += padded("0", 8);
        image += blanks(MemoryCardReader::kCardSize - static_cast<int32_t>(image.size()));
        return image;
    }

    void expectProtectedIdAndFullCounter() const {
        const std::string id = field(layout::kCardId);
        EXPECT_EQ(id, expectedCardId());
        const std::string block = field(layout::kPlaybCounter);
        EXPECT_EQ(block[2], '\x11');
        EXPECT_EQ(block[7], '\x22');
        EXPECT_EQ(decodePlaybCounter(block.substr(0, 5) + block.substr(0, 5), id), 65535);
        EXPECT_EQ(decodePlaybCounter(block.substr(5) + block.substr(5), id), 65535);
        std::string damaged = block;
        damaged[0] ^= 1;
        damaged[5] ^= 1;
        EXPECT_EQ(decodePlaybCounter(damaged, id), 0);
    }
};

}  // namespace

TEST_F(FormattedCard, drink_card_rewriteable_byte_for_byte) {
    odrinkcard drink;
    ASSERT_TRUE(drink.assign_reader(card_));
    int32_t counter = 65535;
    ASSERT_TRUE(drink.formatCard(kSerial, counter, true));
    EXPECT_EQ(card_.memory(), expectedImage("orvexdrink", "1.1.1", ""));
    expectProtectedIdAndFullCounter();
}

TEST_F(FormattedCard, drink_card_read_only_byte_for_byte) {
    odrinkcard drink;
    ASSERT_TRUE(drink.assign_reader(card_));
    int32_t counter = 65535;
    ASSERT_TRUE(drink.formatCard(kSerial, counter, false));
    EXPECT_EQ(card_.memory(), expectedImage("orvexdrink", "1.1.1ro", ""));
    expectProtectedIdAndFullCounter();
}

TEST_F(FormattedCard, station_card_byte_for_byte_with_nul_flags) {
    otherapycard station;
    ASSERT_TRUE(station.assign_reader(card_));
    int32_t counter = 65535;
    ASSERT_TRUE(station.formatCard(kSerial, counter, true));
    EXPECT_EQ(card_.memory(), expectedImage("orvextherapy", "1-0-0", std::string(2, '\0')));
    expectProtectedIdAndFullCounter();
    EXPECT_FALSE(station.cardCombineSeq(true));
    EXPECT_FALSE(station.cardPlacebo(true));
}

TEST_F(FormattedCard, full_widths_even_when_optimize_write_is_on_and_it_is_restored) {
    card_.setOptimizeWrite(true);
    odrinkcard drink;
    ASSERT_TRUE(drink.assign_reader(card_));
    int32_t counter = 65535;
    ASSERT_TRUE(drink.formatCard(kSerial, counter, true));
    EXPECT_EQ(card_.memory(), expectedImage("orvexdrink", "1.1.1", ""));
    EXPECT_TRUE(card_.optimizeWrite());
}

TEST_F(FormattedCard, a_long_serial_is_cut_and_the_id_covers_the_stored_part) {
    odrinkcard drink;
    ASSERT_TRUE(drink.assign_reader(card_));
    int32_t counter = 65535;
    ASSERT_TRUE(drink.formatCard(std::string(30, 's'), counter, true));
    EXPECT_EQ(drink.cardSerial(true), std::string(25, 's'));
    EXPECT_EQ(field(layout::kCardId), expectedCardId());
}

TEST_F(FormattedCard, the_counter_argument_is_limited_and_handed_back) {
    odrinkcard drink;
    ASSERT_TRUE(drink.assign_reader(card_));
    int32_t counter = 70000;
    ASSERT_TRUE(drink.formatCard(kSerial, counter, true));
    EXPECT_EQ(counter, 65535);
    EXPECT_EQ(drink.cardPlaybCounter(), 65535);
}

TEST_F(FormattedCard, header_rewrite_keeps_serial_name_stamp_and_sample) {
    otherapycard station;
    odrinkcard drink;
    ASSERT_TRUE(station.assign_reader(card_));
    ASSERT_TRUE(drink.assign_reader(card_));
    int32_t counter = 65535;
    ASSERT_TRUE(station.formatCard(kSerial, counter, false));
    ASSERT_TRUE(station.setCardName(false, "Mine"));
    ASSERT_TRUE(station.setCardCombineSeq(true, true));
    card_.setBytes(256, "3       ");
    card_.setBytes(768, "abc");
    const std::string before = card_.memory();

    ASSERT_TRUE(drink.formatCardHeader());
    EXPECT_EQ(drink.cardPurpose(true), "orvexdrink");
    EXPECT_EQ(drink.cardversion(true), "1.1.1");
    EXPECT_EQ(field(layout::kCardId), expectedCardId());
    EXPECT_EQ(drink.cardPlaybCounter(), 65535);
    EXPECT_EQ(card_.bytes(157, 99), blanks(99));
    EXPECT_EQ(card_.bytes(0, 40), before.substr(0, 40));
    EXPECT_EQ(card_.bytes(79, 66), before.substr(79, 66));  // serial, name, stamp
    EXPECT_EQ(card_.bytes(256, 16384 - 256), before.substr(256));
    EXPECT_EQ(drink.filedata(), "abc");
}

TEST_F(FormattedCard, station_header_rewrite_clears_both_flags) {
    odrinkcard drink;
    otherapycard station;
    ASSERT_TRUE(drink.assign_reader(card_));
    ASSERT_TRUE(station.assign_reader(card_));
    int32_t counter = 65535;
    ASSERT_TRUE(drink.formatCard(kSerial, counter, true));
    card_.setBytes(157, "11");
    ASSERT_TRUE(station.formatCardHeader());
    EXPECT_EQ(station.cardPurpose(true), "orvextherapy");
    EXPECT_EQ(card_.bytes(157, 2), std::string(2, '\0'));
    EXPECT_EQ(card_.bytes(159, 97), blanks(97));
}
