#include <gtest/gtest.h>

#include "CardFixture.h"

using namespace orvex;
using namespace orvex::test;

namespace {

class CardFields : public CardFixture {
protected:
    void SetUp() override {
        CardFixture::SetUp();
        ASSERT_TRUE(format(drink_));
        card_.resetCounters();
    }
};

}  // namespace

TEST_F(CardFields, counter_is_limited_to_0_and_65535_and_blanked_without_a_card_id) {
    for (const auto& [asked, stored] : {std::pair{70000, 65535}, std::pair{-5, 0}}) {
        int32_t value = asked;
        ASSERT_TRUE(drink_.setCardPlaybCounter(value)) << asked;
        EXPECT_EQ(value, stored);
        EXPECT_EQ(drink_.cardPlaybCounter(), stored);
    }
    int32_t value = 65535;
    card_.failReads(true);
    EXPECT_FALSE(drink_.setCardPlaybCounter(value));
    card_.failReads(false);
    EXPECT_EQ(field(layout::kPlaybCounter), blanks(10));
    EXPECT_EQ(drink_.cardPlaybCounter(), 0);
}

TEST_F(CardFields, raw_fields_keep_a_trailing_blank) {
    card_.setBytes(63, std::string(15, '\x07') + " ");
    EXPECT_EQ(drink_.cardid(), std::string(15, '\x07') + " ");
    installCounterRandomSource([] { return uint8_t{0x01}; });
    // Choose a value whose second copy ends in 0x20: try until the CRC does.
    int32_t value = 0;
    for (; value < 65535; ++value) {
        int32_t v = value;
        ASSERT_TRUE(drink_.setCardPlaybCounter(v));
        if (field(layout::kPlaybCounter).back() == ' ') break;
    }
    ASSERT_LT(value, 65535);
    EXPECT_EQ(drink_.cardPlaybCounter(), value);
}

TEST_F(CardFields, duration_is_two_bytes_high_first_and_bad_values_write_nothing) {
    ASSERT_TRUE(drink_.setCardDuration("5400"));
    EXPECT_EQ(field(layout::kDuration), std::string("\x15\x18"));
    EXPECT_EQ(drink_.cardDuration(), "5400");
    card_.resetCounters();
    for (const char* bad : {"abc", "70000", "-1", "", "1e3"}) EXPECT_FALSE(drink_.setCardDuration(bad)) << bad;
    EXPECT_EQ(card_.counters().writeCalls, 0);
    EXPECT_EQ(drink_.cardDuration(), "5400");
    card_.failReads(true);
    EXPECT_EQ(drink_.cardDuration(), "failed");
}

TEST_F(CardFields, file_fields_follow_the_length_and_never_read_past_the_data_area) {
    card_.setBytes(256, "eight   ");
    card_.setBytes(278, "a comment");
    card_.resetCounters();
    EXPECT_EQ(drink_.fileLength(), "0");
    EXPECT_EQ(drink_.fileComments(), "");
    EXPECT_EQ(drink_.fileSerial(), "");
    EXPECT_EQ(drink_.filedata(), "");
    EXPECT_EQ(card_.counters().bytesRead, 4 * 8) << "only the length field is read";
    card_.setBytes(256, "99999999");
    EXPECT_EQ(drink_.filedata().size(), 15616u);
    card_.setBytes(256, "-5      ");
    EXPECT_EQ(drink_.filedata(), "");
    card_.setBytes(256, "3       ");
    card_.setBytes(768, "ab ");
    EXPECT_EQ(drink_.filedata(), "ab ");
}

TEST_F(CardFields, a_failed_read_is_the_fields_value) {
    card_.failReads(true);
    EXPECT_EQ(drink_.cardName(true), "failed");
    EXPECT_EQ(drink_.cardPlaybCounter(), 0);
    EXPECT_EQ(drink_.fileLength(), "0");
    EXPECT_FALSE(station_.cardPlacebo(true));
}

TEST_F(CardFields, station_flags_are_one_byte_each) {
    ASSERT_TRUE(station_.setCardCombineSeq(true, true));
    EXPECT_EQ(card_.bytes(157, 2), "1 ");
    EXPECT_TRUE(station_.cardCombineSeq(true));
    EXPECT_FALSE(station_.cardPlacebo(true));
    ASSERT_TRUE(station_.setCardPlacebo(true, true));
    ASSERT_TRUE(station_.setCardCombineSeq(true, false));
    EXPECT_EQ(card_.bytes(157, 2), std::string("\0" "1", 2));
    ASSERT_TRUE(station_.formatCardHeader());  // clears both
    EXPECT_EQ(card_.bytes(157, 2), std::string(2, '\0'));
}

TEST_F(CardFields, a_card_object_refuses_a_reader_whose_card_is_not_active) {
    odrinkcard other;
    card_.setCardState("activelocked");
    EXPECT_FALSE(other.assign_reader(card_));
    EXPECT_EQ(other.cardName(true), "failed");
    EXPECT_FALSE(other.setCardName(false, "x"));
    EXPECT_EQ(card_.counters().writeCalls, 0);
}

TEST_F(CardFields, an_optimized_write_of_an_empty_value_counts_as_done) {
    card_.setOptimizeWrite(true);
    EXPECT_TRUE(drink_.setCardPurpose(true, ""));
    EXPECT_EQ(drink_.cardPurpose(true), "orvexdrink");
}
