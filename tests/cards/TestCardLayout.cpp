#include <gtest/gtest.h>

#include "cards/modCardLayout.h"
#include "foundation/modHash.h"

using namespace orvex;

namespace {

class PlaybCounter : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 16; ++i) key_ += static_cast<char>(i);
        installCounterRandomSource([this] { return next_; });
    }
    void TearDown() override { installCounterRandomSource({}); }
    uint8_t next_ = 0x25;
    std::string key_;
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
    EXPECT_EQ(encodePlaybCounter(5, "failed"), "");
    EXPECT_EQ(encodePlaybCounter(5, key_.substr(1)), "");
}

TEST_F(PlaybCounter, decodes_from_copy_a_else_copy_b_else_0) {
    const std::string a = encodePlaybCounter(1234, key_);
    next_ = 0x9A;
    const std::string b = encodePlaybCounter(1234, key_);
    EXPECT_NE(a, b);
    std::string block = a + b;
    EXPECT_EQ(decodePlaybCounter(block, key_), 1234);
    block[1] ^= 0x40;
    EXPECT_EQ(decodePlaybCounter(block, key_), 1234);
    block[7] ^= 0x01;
    EXPECT_EQ(decodePlaybCounter(block, key_), 0);
    // Wrong lengths give 0.
    EXPECT_EQ(decodePlaybCounter((a + b).substr(1), key_), 0);
    EXPECT_EQ(decodePlaybCounter(a + b, key_ + "x"), 0);
    for (int r = 0; r < 256; r += 7) {  // every key byte can serve
        next_ = static_cast<uint8_t>(r);
        const std::string copy = encodePlaybCounter(40000, key_);
        EXPECT_EQ(decodePlaybCounter(copy + copy, key_), 40000) << r;
    }
}
