// Two orvexcard processes on one simulated card at the same time: each card
// operation holds the card, so they run one after the other and the card
// ends up as the two operations leave it in one order or the other, never
// as a mixture of both.
#include "CliFixture.h"

namespace orvex::test {
namespace {

using Args = std::vector<std::string>;

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

class TwoProcesses : public CliTest {
protected:
    // Starts both programs at once and waits for both.
    std::pair<ProgramResult, ProgramResult> together(const Args& first, const Args& second) const {
        ChildProcess a(withProgram(first), dir_ + "/a.out", dir_ + "/a.err", env());
        ChildProcess b(withProgram(second), dir_ + "/b.out", dir_ + "/b.err", env());
        return {a.finish(), b.finish()};
    }
    static Args withProgram(Args args) {
        args.insert(args.begin(), ORVEXCARD_PROGRAM);
        return args;
    }
};

TEST_F(TwoProcesses, FormatAndWriteOnOneCardRunOneAfterTheOther) {
    const std::string start = formatted("drink");
    const Args format{"format", "--kind", "drink", "--serial", "line 7"};
    const Args write{"write", sample(), "--kind", "drink", "--name", "Calm evening", "--duration", "30"};
    // The two orders, each run alone: write then format leaves what the
    // format alone leaves.
    ASSERT_EQ(run(format).exitCode, 0);
    const std::string formatOnly = card();
    ASSERT_EQ(run(write).exitCode, 0);
    const std::string formatThenWrite = card();
    ASSERT_FALSE(sameApartFromTimeStamp(formatOnly, formatThenWrite));

    // Slow enough that the two operations overlap unless one waits.
    setFaults("latency_ms=15\n");
    for (const bool formatStartsFirst : {true, false}) {
        insert(start);
        const auto [first, second] = together(formatStartsFirst ? format : write, formatStartsFirst ? write : format);
        EXPECT_EQ(first.exitCode, 0) << first.err;
        EXPECT_EQ(second.exitCode, 0) << second.err;
        const std::string end = card();
        EXPECT_TRUE(sameApartFromTimeStamp(end, formatOnly) || sameApartFromTimeStamp(end, formatThenWrite))
            << "the card holds a mixture of both operations";
        EXPECT_EQ(run({"inspect"}).exitCode, 0);  // the card id fits its time stamp
    }
}

}  // namespace
}  // namespace orvex::test
