// Two orvexcard processes on one simulated card at the same time: each card
// operation holds the card, so the second waits for the first, and reaches
// the card as soon as that operation ends, while the first process still
// runs. The card ends up as the two operations leave it one after the
// other, never as a mixture of both.
#include "CliFixture.h"

namespace orvex::test {
namespace {

// The card's time stamp and what is derived from it (the card id, the
// protected counter's encoding) are the only bytes in which two formats of
// the same card differ.
bool sameApartFromTimeStamp(std::string a, std::string b) {
    for (std::string* card : {&a, &b}) {
        card->replace(63, 16, 16, '#');   // card id
        card->replace(129, 16, 16, '#');  // time stamp
        card->replace(147, 10, 10, '#');  // playback counter
    }
    return a == b;
}

TEST_F(CliTest, a_format_started_during_a_batch_write_waits_for_the_write_only) {
    formatted("drink");
    ASSERT_EQ(run({"write", sample()}).exitCode, 0);
    const std::string written = card();
    const Args format{"format", "--kind", "drink", "--serial", "line 7"};
    ASSERT_EQ(run(format).exitCode, 0);
    const std::string formatOnly = card();
    // Slow enough that the two operations overlap unless one waits; the
    // batch's write begins with the file length, so it is under way once
    // the card's length field no longer reads as before.
    insert(written);
    setFaults("latency_ms=15\n");
    const auto batch = start({"write", sample(), "--batch", "--name", "Bright"}, "batch");
    ASSERT_TRUE(waitUntil([&] { return card().compare(256, 8, written, 256, 8) != 0; }, 20000));
    const ProgramResult formatted = run(format);
    EXPECT_EQ(formatted.exitCode, 0) << formatted.err;
    EXPECT_TRUE(sameApartFromTimeStamp(card(), formatOnly)) << "the card holds a mixture of both operations";
    ASSERT_TRUE(batch->waitFor(0, "card 1: done", 1)) << readFileBytes(dir_ + "/batch.err");
    EXPECT_EQ(interrupt(*batch).exitCode, 0);
}

}  // namespace
}  // namespace orvex::test
