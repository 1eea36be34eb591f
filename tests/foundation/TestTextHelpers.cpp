#include <gtest/gtest.h>

#include "foundation/modCRC.h"
#include "foundation/modCommon.h"
#include "foundation/modHash.h"
#include "foundation/modRes.h"

using namespace orvex;

TEST(windows1252, round_trip_replacement_and_base_names) {
    EXPECT_EQ(utf8ToWindows1252("Grüße €"), "Gr\xfc\xdf" "e \x80");
    EXPECT_EQ(windows1252ToUtf8("Gr\xfc\xdf" "e \x80"), "Grüße €");
    // The row that differs from Latin-1, both ways; its five unassigned bytes
    // stand for the C1 controls of the same number.
    std::string row;
    for (int b = 0x80; b <= 0x9F; ++b) row += static_cast<char>(b);
    const std::string unicode = "€\xC2\x81‚ƒ„…†‡ˆ‰Š‹Œ\xC2\x8D" "Ž\xC2\x8F\xC2\x90" "‘’“”•–—˜™š›œ\xC2\x9D" "žŸ";
    EXPECT_EQ(windows1252ToUtf8(row), unicode);
    EXPECT_EQ(utf8ToWindows1252(unicode), row);
    // Outside the code page, broken UTF-8, overlong NULs and surrogates become
    // one '?' per byte, never a NUL; the card id's salt keeps its two 0xA8.
    const std::pair<const char*, const char*> rows[] = {
        {"a\xe2\x82", "a??"}, {"日本", "??"}, {"\xf0\x9f\x98\x80x", "?x"},
        {"a\xc0\x80", "a??"}, {"\xed\xa0\x80", "???"}, {"k4w9#¨¨", "k4w9#\xa8\xa8"}};
    for (const auto& [utf8, ansi] : rows) EXPECT_EQ(utf8ToWindows1252(utf8), ansi) << utf8;
    const std::pair<const char*, const char*> names[] = {
        {"C:\\samples\\calm.7kx", "calm"}, {"/tmp/a.b/calm.v2.7kx", "calm.v2"},
        {"noext", "noext"}, {".hidden", ".hidden"}};
    for (const auto& [path, base] : names) EXPECT_EQ(getBaseName(path), base) << path;
}

TEST(textTable, every_offset_in_both_languages_and_lookup_by_base) {
    const std::pair<int, int> ranges[] = {{97, 98},   {100, 113}, {151, 152}, {201, 205}, {301, 302},
                                          {401, 406}, {501, 505}, {601, 612}, {614, 618}, {701, 702},
                                          {801, 801}, {901, 903}, {7001, 7017}, {9001, 9031}, {9040, 9073}};
    for (const auto& [first, last] : ranges)
        for (int o = first; o <= last; ++o)
            EXPECT_TRUE(resourceText(kLanguageGerman + o) && resourceText(kLanguageEnglish + o)) << o;
    EXPECT_FALSE(resourceText(kLanguageEnglish + 613).has_value());
    setLanguageBase(kLanguageEnglish);
    EXPECT_EQ(resText(102), "Card reader");
    setLanguageBase(kLanguageGerman);
    EXPECT_EQ(resText(102), "Kartenleser");
    EXPECT_EQ(resText(9999), "");
    EXPECT_EQ(languageBaseFromSetting("002"), kLanguageEnglish);
    for (const char* german : {"001", "###Not Found###", "0", ""})
        EXPECT_EQ(languageBaseFromSetting(german), kLanguageGerman) << german;
}

TEST(crc16, known_answer_and_word_text_bounds) {
    EXPECT_EQ(crc16("123456789"), 0xBB3D);
    EXPECT_EQ(crc16(""), 0);
    EXPECT_EQ(crcWordToText(0x1234), std::string("\x34\x12"));
    EXPECT_EQ(crcWordToText(65536) + crcWordToText(-1), "");
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
