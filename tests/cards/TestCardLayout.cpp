#include <gtest/gtest.h>

#include "cards/modCardLayout.h"
#include "foundation/modHash.h"

using namespace orvex;

namespace {

std::string sequentialKey() {
    std::string key;
    for (int i = 0; i < 16; ++i) key += static_cast<char>(i);
    return key;
}

class PlaybCounter : public ::testing::Test {
protected:
    void SetUp() override {
        installCounterRandomSource([this] { return next_; });
    }
    void TearDown() override { installCounterRandomSource({}); }
    uint8_t next_ = 0x25;
    const std::string key_ = sequentialKey();
};

}  // namespace

TEST(computeCardId, md5_over_the_windows_1252_salt_and_the_five_texts) {
    const std::string id =
        computeCardId("SER1", "20240102T030405Z", "1.1.1", "Tessovanwerk - OrvexCard", "orvexdrink");
    EXPECT_EQ(toHexText(id), "4662382236a521d6dda74bf5a515f74d");
}

TEST_F(PlaybCounter, a_copy_is_value_xor_random_xor_key_byte_and_its_crc_low_byte_first) {
    // r = 0x25 picks key byte 5.
    EXPECT_EQ(encodePlaybCounter(65535, key_), std::string("\xDF\xDF\x25\xA8\x11"));
    EXPECT_EQ(encodePlaybCounter(1234, key_), std::string("\x24\xF2\x25\xC4\xB0"));
}

TEST_F(PlaybCounter, decodes_from_copy_a_else_copy_b_else_0) {
    const std::string a = encodePlaybCounter(1234, key_);
    next_ = 0x9A;
    const std::string b = encodePlaybCounter(1234, key_);
    EXPECT_NE(a, b);
    EXPECT_EQ(decodePlaybCounter(a + b, key_), 1234);
    std::string damagedA = a + b;
    damagedA[1] ^= 0x40;
    EXPECT_EQ(decodePlaybCounter(damagedA, key_), 1234);
    std::string damagedBoth = damagedA;
    damagedBoth[7] ^= 0x01;
    EXPECT_EQ(decodePlaybCounter(damagedBoth, key_), 0);
}

TEST_F(PlaybCounter, wrong_lengths_and_a_failed_key_give_nothing) {
    EXPECT_EQ(encodePlaybCounter(5, "failed"), "");
    EXPECT_EQ(encodePlaybCounter(5, key_.substr(1)), "");
    const std::string block = encodePlaybCounter(5, key_) + encodePlaybCounter(5, key_);
    EXPECT_EQ(decodePlaybCounter(block, key_), 5);
    EXPECT_EQ(decodePlaybCounter(block.substr(1), key_), 0);
    EXPECT_EQ(decodePlaybCounter(block, key_ + "x"), 0);
}

TEST_F(PlaybCounter, every_key_byte_can_serve) {
    for (int r = 0; r < 256; r += 7) {
        next_ = static_cast<uint8_t>(r);
        const std::string copy = encodePlaybCounter(40000, key_);
        EXPECT_EQ(decodePlaybCounter(copy + copy, key_), 40000) << r;
    }
}
