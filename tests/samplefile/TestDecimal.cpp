#include <gtest/gtest.h>

#include "samplefile/modDecimal.h"

using namespace orvex;

TEST(decimalValue, numbers_as_the_card_and_files_write_them) {
    EXPECT_EQ(decimalValue("8820"), 8820.0);
    EXPECT_EQ(decimalValue(" 12 "), 12.0);
    EXPECT_EQ(decimalValue("-5"), -5.0);
    EXPECT_EQ(decimalValue("2.5"), 2.5);
    EXPECT_EQ(decimalValue(".5"), 0.5);
    EXPECT_EQ(decimalValue("1."), 1.0);
}

TEST(decimalValue, anything_else_is_not_a_number) {
    for (const char* text : {"", "   ", "abc", "1e5", "inf", "nan", "1.2.3", "12a", "+", ".", "1 2",
                             "failed", "0x10"}) {
        EXPECT_FALSE(decimalValue(text).has_value()) << text;
    }
}

TEST(roundHalfEven, halves_go_to_the_even_neighbour) {
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(2.4999), 2);
    EXPECT_EQ(roundHalfEven(2.5001), 3);
}

TEST(roundedDecimalInRange, bounds_are_inclusive_and_huge_numbers_are_refused) {
    EXPECT_EQ(roundedDecimalInRange("65535", 0, 65535), 65535);
    EXPECT_EQ(roundedDecimalInRange("65535.4", 0, 65535), 65535);
    EXPECT_FALSE(roundedDecimalInRange("65535.5", 0, 65535));
    EXPECT_FALSE(roundedDecimalInRange("-1", 0, 65535));
    EXPECT_EQ(roundedDecimalInRange("-0.4", 0, 65535), 0);
    EXPECT_FALSE(roundedDecimalInRange(std::string(400, '9'), 0, 65535));
}
