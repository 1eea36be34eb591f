// Repetitions of failed Chipdrive reads: one budget of 3 for the whole call,
// 0.4 s pauses after failures below code 16384.
#include "ReaderTestBase.h"

namespace orvex::test {
namespace {

class ChipdriveReadRetries : public ReaderTestBase {
protected:
    void SetUp() override {
        ReaderTestBase::SetUp();
        driver = started(makeChipdrive());
    }
    std::vector<milliseconds> readTimes() const {
        std::vector<milliseconds> out;
        for (const auto& c : scard->calls) {
            if (c.command.rfind("Card,MemRead", 0) == 0) out.push_back(c.at);
        }
        return out;
    }
    std::vector<milliseconds> pauses() const {
        std::vector<milliseconds> out;
        for (const auto& w : loop.waits()) out.push_back(w.due - w.start);
        return out;
    }
    void failReads(int times, int32_t code) {
        for (int i = 0; i < times; ++i) scard->script("Card,MemRead", SAnswer::returning(code));
    }
    std::unique_ptr<readerChipdrive> driver;
};

TEST_F(ChipdriveReadRetries, FailingReadMakesFourAttemptsPausingOnlyBelowCode16384) {
    failReads(4, 5);
    const milliseconds start = loop.now();
    EXPECT_EQ(driver->readOffset(0, 32, false), "failed");
    EXPECT_EQ(readTimes(), (std::vector<milliseconds>{start, start, start + milliseconds(400),
                                                      start + milliseconds(800)}));
    EXPECT_EQ(pauses(), std::vector<milliseconds>(3, milliseconds(400)));
    EXPECT_EQ(loop.now(), start + milliseconds(1200));
    EXPECT_EQ(logCount("readerChipdrive.reader_readOffset: failed"), 0);
    EXPECT_EQ(driver->cardConnected(), "active");

    for (const int32_t code : {-2, 16383, 16384, 20000}) {
        scard->calls.clear();
        const size_t before = loop.waits().size();
        failReads(4, code);
        EXPECT_EQ(driver->readOffset(0, 32, false), "failed") << code;
        EXPECT_EQ(readTimes().size(), 4u) << code;
        EXPECT_EQ(loop.waits().size() - before, code >= 16384 ? 0u : 3u) << code;
    }
}

TEST_F(ChipdriveReadRetries, PiecesOfOneCallShareTheBudgetAndTheNextCallHasAFreshOne) {
    struct Row { const char* name; int failFirst; size_t reads; };
    for (const Row row : {Row{"two failures on the first piece", 2, 5},
                          Row{"budget spent on the first piece", 3, 6}}) {  // the next piece is still repeated once
        scard->calls.clear();
        failReads(row.failFirst, 5);
        scard->script("Card,MemRead", SAnswer::returning(0).withOutputLength(16));
        failReads(2, 5);
        EXPECT_EQ(driver->readOffset(0, 32, false), "failed") << row.name;
        EXPECT_EQ(readTimes().size(), row.reads) << row.name;
        EXPECT_EQ(scard->commands("Card,MemRead,16,16").size(), 2u) << row.name;
    }
    scard->memory.replace(0, 4, "data");
    scard->calls.clear();
    failReads(2, 5);
    EXPECT_EQ(driver->readOffset(0, 4, false), "data");  // the repetition that succeeds delivers
    failReads(3, 5);
    EXPECT_EQ(driver->readOffset(0, 8, false), std::string("data") + std::string(4, '\0'));
    EXPECT_EQ(readTimes().size(), 7u);
}

}  // namespace
}  // namespace orvex::test
