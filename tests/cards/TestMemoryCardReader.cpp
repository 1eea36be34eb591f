#include <gtest/gtest.h>

#include "support/MemoryCardReader.h"

using orvex::test::MemoryCardReader;

// The card tests trust this fake to behave as the drivers do.

TEST(MemoryCardReader, reads_trim_trailing_blanks_only_and_fail_outside_the_card) {
    MemoryCardReader rd;
    rd.setBytes(10, "ab  ");
    EXPECT_EQ(rd.readOffset(10, 4, true), "ab");
    EXPECT_EQ(rd.readOffset(10, 4, false), "ab  ");
    EXPECT_EQ(rd.readOffset(10, 0, false), "");
    EXPECT_EQ(rd.readOffset(16380, 4, false), "    ");
    for (const auto& [offset, length] : {std::pair{16380, 5}, std::pair{-1, 2}, std::pair{0, -2}})
        EXPECT_EQ(rd.readOffset(offset, length, false), "failed") << offset << "+" << length;
}

TEST(MemoryCardReader, optimize_write_shortens_a_trimmed_write_to_the_values_bytes) {
    MemoryCardReader rd('x');
    int32_t length = 5;
    EXPECT_EQ(rd.writeOffset(0, length, "ab", true), 5);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(rd.bytes(0, 6), "ab   x");
    rd.setOptimizeWrite(true);
    EXPECT_EQ(rd.writeOffset(10, length, "cd", true), 2);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(rd.bytes(10, 3), "cdx");
    length = 3;
    EXPECT_EQ(rd.writeOffset(20, length, "abcdef", false), 3);
    EXPECT_EQ(rd.bytes(20, 4), "abcx");
    // Empty writes and writes outside the card answer 0.
    length = 4;
    EXPECT_EQ(rd.writeOffset(0, length, "", true), 0);
    EXPECT_EQ(length, 0);
    length = 8;
    EXPECT_EQ(rd.writeOffset(16380, length, "12345678", false), 0);
    EXPECT_EQ(rd.bytes(16380, 4), "xxxx");
}

TEST(MemoryCardReader, refused_writes_and_a_stopped_reader_change_nothing) {
    MemoryCardReader rd;
    rd.refuseWrite(2);
    int32_t length = 2;
    EXPECT_EQ(rd.writeOffset(0, length, "aa", false), 2);
    EXPECT_EQ(rd.writeOffset(2, length, "bb", false), 0);
    EXPECT_EQ(rd.writeOffset(4, length, "cc", false), 2);
    EXPECT_EQ(rd.bytes(0, 6), "aa  cc");
    EXPECT_EQ(rd.counters().writeCalls, 3);
    EXPECT_EQ(rd.counters().bytesWritten, 4);
    EXPECT_FALSE(rd.writes()[1].accepted);
    rd.Stopp();
    EXPECT_EQ(rd.readOffset(0, 2, false), "");
    EXPECT_EQ(rd.writeOffset(6, length, "dd", false), 0);
    EXPECT_EQ(rd.bytes(6, 2), "  ");
    rd.restart();
    EXPECT_EQ(rd.writeOffset(6, length, "dd", false), 2);
}
