#include <gtest/gtest.h>

#include "foundation/modCRC.h"
#include "foundation/modHash.h"

using namespace orvex;

TEST(crc16, known_answers) {
    EXPECT_EQ(crc16("123456789"), 0xBB3D);
    EXPECT_EQ(crc16(std::string("\x01", 1)), 0xC0C1);
    EXPECT_EQ(crc16(std::string("\xff", 1)), 0x4040);
    EXPECT_EQ(crc16(""), 0);
    // Bytes above 127 count as unsigned.
    EXPECT_EQ(crc16(std::string("\x80", 1)), crc16(std::string(1, static_cast<char>(128))));
    EXPECT_NE(crc16(std::string("\x80", 1)), crc16(std::string("\x00", 1)));
}

TEST(crc16, word_text_round_trip_and_bounds) {
    EXPECT_EQ(crcWordToText(0x1234), std::string("\x34\x12"));
    EXPECT_EQ(crcWordToText(65536), "");
    EXPECT_EQ(crcWordToText(-1), "");
    EXPECT_EQ(crcTextToWord(std::string("\x34\x12\x99")), 0x1234);
    EXPECT_EQ(crcTextToWord("x"), -1);
    for (int n = 0; n <= 65535; ++n) {
        ASSERT_EQ(crcTextToWord(crcWordToText(n)), n) << n;
    }
}

TEST(hashText, standard_vectors_in_hex) {
    EXPECT_EQ(hashText("", kHashMd5, true), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hashText("abc", kHashMd5, true), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(hashText("", kHashSha1, true), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hashText("abc", kHashSha1, true), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(hashText, raw_digests_keep_zero_bytes_and_length) {
    // MD5 of "jk8ssl" is 0000...: the raw form must keep its leading zero bytes.
    const std::string raw = hashText("jk8ssl", kHashMd5, false);
    ASSERT_EQ(raw.size(), 16u);
    EXPECT_EQ(raw[0], '\0');
    EXPECT_EQ(toHexText(raw), hashText("jk8ssl", kHashMd5, true));
    EXPECT_EQ(hashText(std::string("a\0b", 3), kHashSha1, false).size(), 20u);
    EXPECT_NE(hashText(std::string("a\0b", 3), kHashSha1, true), hashText("a", kHashSha1, true));
}

TEST(hashText, unknown_algorithm_gives_empty_text) {
    EXPECT_EQ(hashText("abc", 2, true), "");
    EXPECT_EQ(hashText("abc", -1, false), "");
}

TEST(toHexText, lower_case_two_digits_per_byte) {
    EXPECT_EQ(toHexText(""), "");
    EXPECT_EQ(toHexText("\x05"), "05");
    EXPECT_EQ(toHexText("\x0a\xff"), "0aff");
}
