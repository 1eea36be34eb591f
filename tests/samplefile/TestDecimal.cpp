#include <gtest/gtest.h>

#include "samplefile/modDecimal.h"

using namespace orvex;

TEST(decimalValue, numbers_as_the_card_and_files_write_them_and_nothing_else) {
    const std::pair<const char*, double> numbers[] = {
        {"8820", 8820.0}, {" 12 ", 12.0}, {"-5", -5.0}, {"2.5", 2.5}, {".5", 0.5}, {"1.", 1.0}};
    for (const auto& [text, number] : numbers) EXPECT_EQ(decimalValue(text), number) << text;
    for (const char* text : {"", "   ", "abc", "1e5", "inf", "nan", "1.2.3", "12a", "+", ".", "1 2",
                             "failed", "0x10"})
        EXPECT_FALSE(decimalValue(text).has_value()) << text;
}

TEST(roundHalfEven, halves_go_to_the_even_neighbour_and_range_bounds_are_inclusive) {
    const std::pair<double, int> rounding[] = {{1.5, 2}, {2.5, 2},    {0.5, 0},
                                               {-2.5, -2}, {2.4999, 2}, {2.5001, 3}};
    for (const auto& [value, rounded] : rounding) EXPECT_EQ(roundHalfEven(value), rounded) << value;
    EXPECT_EQ(roundedDecimalInRange("65535", 0, 65535), 65535);
    EXPECT_EQ(roundedDecimalInRange("65535.4", 0, 65535), 65535);
    EXPECT_EQ(roundedDecimalInRange("-0.4", 0, 65535), 0);
    for (const std::string& refused : {std::string("65535.5"), std::string("-1"), std::string(400, '9')})
        EXPECT_FALSE(roundedDecimalInRange(refused, 0, 65535)) << refused.substr(0, 10);
}
