#include <gtest/gtest.h>

#include <set>

#include "foundation/modCommon.h"
#include "foundation/modRes.h"
#include "foundation/modUTC.h"

using namespace orvex;

TEST(formatUtcStamp, card_stamp_form) {
    EXPECT_EQ(formatUtcStamp({2027, 1, 1, 0, 0, 0}, "YYYYMMDD", "HHMMSS"), "20270101T000000Z");
    EXPECT_EQ(formatUtcStamp({2026, 12, 5, 9, 44, 7}, "YYYYMMDD", "HHMMSS"), "20261205T094407Z");
}

TEST(utcNow, comes_from_the_installed_clock) {
    FixedClock fixed(DateTime{2030, 2, 3, 4, 5, 6});
    installClock(&fixed);
    EXPECT_EQ(utcNow(), (DateTime{2030, 2, 3, 4, 5, 6}));
    installClock(nullptr);
    EXPECT_GE(utcNow().year, 2024);
}

TEST(windows1252, round_trip_and_replacement) {
    EXPECT_EQ(utf8ToWindows1252("Grüße €"), "Gr\xfc\xdf" "e \x80");
    EXPECT_EQ(windows1252ToUtf8("Gr\xfc\xdf" "e \x80"), "Grüße €");
    // Outside the code page, and broken UTF-8, become one '?' each.
    EXPECT_EQ(utf8ToWindows1252("a\xe2\x82"), "a??");
    EXPECT_EQ(utf8ToWindows1252("日本"), "??");
    EXPECT_EQ(utf8ToWindows1252("\xf0\x9f\x98\x80x"), "?x");
    // An overlong NUL must not smuggle a NUL byte onto a card.
    EXPECT_EQ(utf8ToWindows1252("a\xc0\x80"), "a??");
    EXPECT_EQ(utf8ToWindows1252("\xed\xa0\x80"), "???");
    // The salt of the card id: two diaeresis characters become two bytes 0xA8.
    EXPECT_EQ(utf8ToWindows1252("k4w9#¨¨"), "k4w9#\xa8\xa8");
}

TEST(getBaseName, both_separators_and_extension) {
    EXPECT_EQ(getBaseName("C:\\samples\\calm.7kx"), "calm");
    EXPECT_EQ(getBaseName("/tmp/a.b/calm.v2.7kx"), "calm.v2");
    EXPECT_EQ(getBaseName("noext"), "noext");
    EXPECT_EQ(getBaseName(".hidden"), ".hidden");
}

TEST(textTable, every_offset_in_both_languages) {
    std::set<int> offsets;
    const auto range = [&](int a, int b) {
        for (int i = a; i <= b; ++i) offsets.insert(i);
    };
    range(97, 98), range(100, 113), range(151, 152), range(201, 205), range(301, 302);
    range(401, 406), range(501, 505), range(601, 612), range(614, 618), range(701, 702);
    range(801, 801), range(901, 903), range(7001, 7017);
    range(9001, 9031), range(9040, 9073);  // the command-line program's texts
    for (int o : offsets) {
        EXPECT_TRUE(resourceText(kLanguageGerman + o).has_value()) << o;
        EXPECT_TRUE(resourceText(kLanguageEnglish + o).has_value()) << o;
    }
    EXPECT_FALSE(resourceText(kLanguageEnglish + 613).has_value());
}

TEST(textTable, lookup_by_language_base) {
    setLanguageBase(kLanguageEnglish);
    EXPECT_EQ(resText(102), "Card reader");
    EXPECT_EQ(resText(101), "OrvexCard wizard");
    EXPECT_EQ(resText(612),
              "The file was successfully written to the Orvex card.\r\nIt is save to remove the "
              "card from the reader now.");
    EXPECT_EQ(resText(402), "Click on \"format\" to delete and format the card in the reader.");
    setLanguageBase(kLanguageGerman);
    EXPECT_EQ(resText(102), "Kartenleser");
    EXPECT_EQ(resText(151), "Datei öffnen");
    EXPECT_EQ(resText(9999), "");
}

TEST(textTable, language_base_from_setting) {
    EXPECT_EQ(languageBaseFromSetting("002"), kLanguageEnglish);
    EXPECT_EQ(languageBaseFromSetting("001"), kLanguageGerman);
    EXPECT_EQ(languageBaseFromSetting("###Not Found###"), kLanguageGerman);
    EXPECT_EQ(languageBaseFromSetting("0"), kLanguageGerman);
    EXPECT_EQ(languageBaseFromSetting(""), kLanguageGerman);
}
