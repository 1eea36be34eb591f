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
    EXPECT_NE(crc16(std::string("\x80", 1)), crc16(std::string("\x00", 1)));
}

TEST(crc16, word_text_round_trip_and_bounds) {
    EXPECT_EQ(crcWordToText(0x1234), std::string("\x34\x12"));
    EXPECT_EQ(crcWordToText(65536), "");
    EXPECT_EQ(crcWordToText(-1), "");
    EXPECT_EQ(crcTextToWord(std::string("\x34\x12\x99")), 0x1234);
    EXPECT_EQ(crcTextToWord("x"), -1);
    for (int n = 0; n <= 65535; ++n) ASSERT_EQ(crcTextToWord(crcWordToText(n)), n) << n;
}

TEST(hashText, standard_vectors_raw_lengths_and_unknown_algorithms) {
    const struct { const char* text; int32_t algorithm; const char* hex; } vectors[] = {
        {"", kHashMd5, "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", kHashMd5, "900150983cd24fb0d6963f7d28e17f72"},
        {"", kHashSha1, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", kHashSha1, "a9993e364706816aba3e25717850c26c9cd0d89d"}};
    for (const auto& v : vectors) EXPECT_EQ(hashText(v.text, v.algorithm, true), v.hex) << v.text;
    // MD5 of "jk8ssl" is 0000...: the raw form must keep its leading zero bytes.
    const std::string raw = hashText("jk8ssl", kHashMd5, false);
    ASSERT_EQ(raw.size(), 16u);
    EXPECT_EQ(raw[0], '\0');
    EXPECT_EQ(toHexText(raw), hashText("jk8ssl", kHashMd5, true));
    EXPECT_EQ(hashText(std::string("a\0b", 3), kHashSha1, false).size(), 20u);
    EXPECT_NE(hashText(std::string("a\0b", 3), kHashSha1, true), hashText("a", kHashSha1, true));
    EXPECT_EQ(hashText("abc", 2, true), "");
    EXPECT_EQ(hashText("abc", -1, false), "");
    EXPECT_EQ(toHexText(""), "");
    EXPECT_EQ(toHexText(std::string("\x05\x0a\xff", 3)), "050aff");
}
