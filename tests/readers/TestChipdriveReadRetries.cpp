// Repetitions of failed Chipdrive reads: one budget of 3 for the whole call,
// 0.4 s pauses after failures below code 16384.
#include <gtest/gtest.h>

#include <algorithm>

#include "ReaderTestBase.h"

namespace orvex::test {
namespace {

class ChipdriveReadRetries : public ReaderTestBase {
protected:
    void SetUp() override {
        ReaderTestBase::SetUp();
        driver = makeChipdrive();
        driver->Start("");
        scard->clearCalls();
        waitsBefore = loop.waits().size();
    }
    std::vector<milliseconds> readTimes() const {
        std::vector<milliseconds> out;
        for (const auto& c : scard->calls()) {
            if (c.command.rfind("Card,MemRead", 0) == 0) out.push_back(c.at);
        }
        return out;
    }
    std::vector<milliseconds> waitLengths() const {
        std::vector<milliseconds> out;
        for (size_t i = waitsBefore; i < loop.waits().size(); ++i) {
            out.push_back(loop.waits()[i].due - loop.waits()[i].start);
        }
        return out;
    }
    void failReads(int times, int32_t code) {
        for (int i = 0; i < times; ++i) scard->script("Card,MemRead", SAnswer::returning(code));
    }
    std::unique_ptr<readerChipdrive> driver;
    size_t waitsBefore = 0;
};

TEST_F(ChipdriveReadRetries, FailingReadMakesFourAttemptsWithThreePauses) {
    failReads(10, 5);
    const milliseconds start = loop.now();
    EXPECT_EQ(driver->readOffset(0, 32, false), "failed");
    const std::vector<milliseconds> expectedTimes{start, start + milliseconds(0),
                                                  start + milliseconds(400), start + milliseconds(800)};
    EXPECT_EQ(readTimes(), expectedTimes);
    EXPECT_EQ(waitLengths(), std::vector<milliseconds>(3, milliseconds(400)));
    EXPECT_EQ(loop.now(), start + milliseconds(1200));
    EXPECT_EQ(logCount("readerChipdrive.reader_readOffset: failed"), 0);
    EXPECT_EQ(driver->cardConnected(), "active");
}

TEST_F(ChipdriveReadRetries, NegativeCodesPauseToo) {
    failReads(10, -2);
    EXPECT_EQ(driver->readOffset(0, 32, false), "failed");
    EXPECT_EQ(waitLengths().size(), 3u);
}

TEST_F(ChipdriveReadRetries, CodesFrom16384AreRepeatedWithoutPause) {
    failReads(10, 16384);
    EXPECT_EQ(driver->readOffset(0, 32, false), "failed");
    EXPECT_EQ(readTimes().size(), 4u);
    EXPECT_TRUE(waitLengths().empty());
}

TEST_F(ChipdriveReadRetries, RepetitionThatSucceedsDeliversTheData) {
    scard->memory.replace(0, 4, "data");
    failReads(2, 5);
    EXPECT_EQ(driver->readOffset(0, 4, false), "data");
    EXPECT_EQ(readTimes().size(), 3u);
    EXPECT_EQ(waitLengths().size(), 1u);  // after the failed repetition only
}

TEST_F(ChipdriveReadRetries, PiecesOfOneCallShareTheBudget) {
    failReads(2, 5);  // first piece: attempt and first repetition fail
    scard->script("Card,MemRead", SAnswer::returning(0).withOutputLength(16));
    failReads(5, 5);  // second piece: only one repetition is left
    EXPECT_EQ(driver->readOffset(0, 32, false), "failed");
    EXPECT_EQ(readTimes().size(), 5u);
    const auto all = scard->commands();
    EXPECT_EQ(std::count(all.begin(), all.end(), "Card,MemRead,16,16"), 2);
}

TEST_F(ChipdriveReadRetries, PieceAfterTheSpentBudgetIsStillRepeatedOnce) {
    failReads(3, 5);
    scard->script("Card,MemRead", SAnswer::returning(0).withOutputLength(16));
    failReads(5, 5);
    EXPECT_EQ(driver->readOffset(0, 32, false), "failed");
    EXPECT_EQ(readTimes().size(), 6u);
}

TEST_F(ChipdriveReadRetries, NextCallStartsWithAFreshBudget) {
    failReads(4, 5);
    EXPECT_EQ(driver->readOffset(0, 8, false), "failed");
    failReads(3, 5);
    EXPECT_EQ(driver->readOffset(0, 8, false), std::string(8, '\0'));
    EXPECT_EQ(readTimes().size(), 8u);
}

}  // namespace
}  // namespace orvex::test
