#include <gtest/gtest.h>

#include "foundation/modCRC.h"
#include "foundation/modHash.h"

using namespace orvex;

TEST(crc16, known_answer_and_word_text_bounds) {
    EXPECT_EQ(crc16("123456789"), 0xBB3D);
    EXPECT_EQ(crc16(""), 0);
    EXPECT_EQ(crcWordToText(0x1234), std::string("\x34\x12"));
    EXPECT_EQ(crcWordToText(65536), "");
    EXPECT_EQ(crcWordToText(-1), "");
    EXPECT_EQ(crcTextToWord(std::string("\x34\x12\x99")), 0x1234);
    EXPECT_EQ(crcTextToWord("x"), -1);
    for (int n = 0; n <= 65535; ++n) ASSERT_EQ(crcTextToWord(crcWordToText(n)), n) << n;
}

TEST(hashText, standard_vectors_raw_lengths_and_unknown_algorithms) {
    EXPECT_EQ(hashText("abc", kHashMd5, true), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(hashText("abc", kHashSha1, true), "a9993e364706816aba3e25717850c26c9cd0d89d");
    // MD5 of "jk8ssl" is 0000...: the raw form must keep its leading zero bytes.
    const std::string raw = hashText("jk8ssl", kHashMd5, false);
    ASSERT_EQ(raw.size(), 16u);
    EXPECT_EQ(raw[0], '\0');
    EXPECT_EQ(toHexText(raw), hashText("jk8ssl", kHashMd5, true));
    EXPECT_EQ(hashText(std::string("a\0b", 3), kHashSha1, false).size(), 20u);
    EXPECT_NE(hashText(std::string("a\0b", 3), kHashSha1, true), hashText("a", kHashSha1, true));
    EXPECT_EQ(hashText("abc", 2, true), "");
    EXPECT_EQ(hashText("abc", -1, false), "");
    EXPECT_EQ(toHexText(std::string("\x05\x0a\xff", 3)), "050aff");
}
