// The read and write loops: pieces, commands, progress, busy and the caller's
// length.
#include <gtest/gtest.h>

#include "ReaderTestBase.h"

namespace orvex::test {
namespace {

namespace mc = platform::mcard;

class ChipdriveMemory : public ReaderTestBase {
protected:
    void SetUp() override {
        ReaderTestBase::SetUp();
        driver = makeChipdrive();
        driver->Start("");
        recorder.attach(*driver);
        scard->clearCalls();
    }
    std::vector<ScriptedSCard32Api::Call> memCalls(const std::string& prefix) const {
        std::vector<ScriptedSCard32Api::Call> out;
        for (const auto& c : scard->calls()) {
            if (c.command.rfind(prefix, 0) == 0) out.push_back(c);
        }
        return out;
    }
    std::unique_ptr<readerChipdrive> driver;
};

TEST_F(ChipdriveMemory, WriteOf1300BytesGoesIn512_512_276) {
    std::string data;
    for (int i = 0; i < 1300; ++i) data += static_cast<char>('a' + i % 26);
    int32_t length = 1300;
    EXPECT_EQ(driver->writeOffset(100, length, data, false), 1300);
    const auto calls = memCalls("Card,MemWrite");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].command, "Card,MemWrite,100,512");
    EXPECT_EQ(calls[1].command, "Card,MemWrite,612,512");
    EXPECT_EQ(calls[2].command, "Card,MemWrite,1124,276");
    EXPECT_EQ(calls[1].input, data.substr(512, 512));
    EXPECT_EQ(calls[2].inputLength, 276);
    EXPECT_EQ(calls[2].outputLength, 200);
    EXPECT_EQ(scard->memory.substr(100, 1300), data);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"max:1300", "progress:512",
                                                         "progress:1024", "progress:1300"}));
    EXPECT_EQ(logCount("readerChipdrive.reader_writeOffset(100, 1300, .., False)"), 1);
}

TEST_F(ChipdriveMemory, FailingSecondPieceReturnsZeroAndClearsBusy) {
    scard->script("Card,MemWrite", SAnswer::returning(0));
    scard->script("Card,MemWrite", SAnswer::returning(6));
    int32_t length = 1300;
    EXPECT_EQ(driver->writeOffset(0, length, std::string(1300, 'x'), false), 0);
    EXPECT_EQ(memCalls("Card,MemWrite").size(), 2u);
    EXPECT_EQ(driver->cardConnected(), "active");
    EXPECT_EQ(driver->progress(), 0);
}

TEST_F(ChipdriveMemory, ReadOf32At64SendsOneCommandWithBlankBuffer) {
    scard->memory.replace(64, 32, "0123456789abcdefghijklmnopqrstuv");
    EXPECT_EQ(driver->readOffset(64, 32, false), "0123456789abcdefghijklmnopqrstuv");
    const auto calls = memCalls("Card,MemRead");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, "Card,MemRead,64,32");
    EXPECT_EQ(calls[0].output, std::string(32, ' '));
    EXPECT_EQ(calls[0].outputLength, 32);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"max:32", "progress:32"}));
}

TEST_F(ChipdriveMemory, ShortDeliveryContinuesWithoutDuplicatingBytes) {
    scard->memory.replace(0, 10, "ABCDEFGHIJ");
    scard->script("Card,MemRead", SAnswer::returning(0).withOutput("ABCD").withOutputLength(4));
    EXPECT_EQ(driver->readOffset(0, 10, false), "ABCDEFGHIJ");
    const auto calls = memCalls("Card,MemRead");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].command, "Card,MemRead,4,4");
    EXPECT_EQ(calls[2].command, "Card,MemRead,8,2");
}

TEST_F(ChipdriveMemory, ImpossiblePieceLengthsFailTheRead) {
    for (const int32_t reported : {0, -3, 33}) {
        scard->script("Card,MemRead", SAnswer::returning(0).withOutputLength(reported));
        EXPECT_EQ(driver->readOffset(0, 32, false), "failed") << reported;
        EXPECT_EQ(driver->cardConnected(), "active");
    }
}

TEST_F(ChipdriveMemory, ImpossiblePieceLengthsFailTheWrite) {
    for (const int32_t reported : {0, -1, 600}) {
        scard->script("Card,MemWrite", SAnswer::returning(0).withInputLength(reported));
        int32_t length = 1000;
        EXPECT_EQ(driver->writeOffset(0, length, std::string(1000, 'q'), false), 0) << reported;
    }
    EXPECT_EQ(memCalls("Card,MemWrite").size(), 3u);
}

TEST_F(ChipdriveMemory, TrimmedReadDropsTrailingBlanksOnly) {
    scard->memory.replace(0, 8, "ab  cd  ");
    EXPECT_EQ(driver->readOffset(0, 8, false), "ab  cd  ");
    EXPECT_EQ(driver->readOffset(0, 8, true), "ab  cd");
}

TEST_F(ChipdriveMemory, EmptyReadAsksNothingAndRaisesNothing) {
    EXPECT_EQ(driver->readOffset(10, 0, false), "");
    EXPECT_TRUE(scard->calls().empty());
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(driver->progressMax(), 0);
}

TEST_F(ChipdriveMemory, OptimizedTrimmedWriteShortensTheCallersLength) {
    driver->setOptimizeWrite(true);
    int32_t length = 5;
    EXPECT_EQ(driver->writeOffset(20, length, "ab", true), 2);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(memCalls("Card,MemWrite").at(0).command, "Card,MemWrite,20,2");
}

TEST_F(ChipdriveMemory, WithoutOptimizeWriteTheValueIsBlankFilled) {
    int32_t length = 5;
    EXPECT_EQ(driver->writeOffset(20, length, "ab", true), 5);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(memCalls("Card,MemWrite").at(0).input, "ab   ");
}

TEST_F(ChipdriveMemory, LongerDataIsCutToTheLength) {
    int32_t length = 3;
    EXPECT_EQ(driver->writeOffset(0, length, "abcdef", false), 3);
    EXPECT_EQ(memCalls("Card,MemWrite").at(0).input, "abc");
}

TEST_F(ChipdriveMemory, NothingToWriteSendsNothingAndReturnsZero) {
    int32_t zero = 0;
    EXPECT_EQ(driver->writeOffset(0, zero, "abc", false), 0);
    driver->setOptimizeWrite(true);
    int32_t length = 4;
    EXPECT_EQ(driver->writeOffset(0, length, "", true), 0);
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(memCalls("Card,MemWrite").empty());
}

TEST_F(ChipdriveMemory, RangesOutsideTheCountersAreRefused) {
    int32_t tooLong = 40000;
    EXPECT_EQ(driver->writeOffset(0, tooLong, "x", false), 0);
    int32_t negative = -5;
    EXPECT_EQ(driver->writeOffset(0, negative, "x", false), 0);
    EXPECT_EQ(driver->readOffset(-1, 4, false), "failed");
    EXPECT_EQ(driver->readOffset(0x7FFFFFF0, 100, false), "failed");
    EXPECT_TRUE(memCalls("Card,Mem").empty());
}

TEST_F(ChipdriveMemory, StoppedDriverNeitherReadsNorWrites) {
    driver->Stopp();
    scard->clearCalls();
    int32_t length = 4;
    EXPECT_EQ(driver->writeOffset(0, length, "abcd", false), 0);
    EXPECT_EQ(driver->readOffset(0, 4, false), "");
    EXPECT_TRUE(scard->calls().empty());
}

TEST_F(ChipdriveMemory, ReadDuringAWriteLeavesTheWriteBusy) {
    std::string innerRead;
    std::string afterRead;
    loop.post([&] {
        innerRead = driver->readOffset(0, 16, false);
        afterRead = driver->cardConnected();
    });
    int32_t length = 1300;
    EXPECT_EQ(driver->writeOffset(0, length, std::string(1300, 'w'), false), 1300);
    EXPECT_EQ(innerRead, std::string(16, 'w'));
    EXPECT_EQ(afterRead, "activelocked");
    EXPECT_EQ(driver->cardConnected(), "active");
    // The display goes back to the write's progress when the read ends.
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"max:1300", "max:16", "progress:16",
                                                         "max:1300", "progress:0", "progress:512",
                                                         "progress:1024", "progress:1300"}));
}

TEST_F(ChipdriveMemory, WriteThatStartsDuringAnotherIsRefusedInsteadOfHanging) {
    int32_t inner = -1;
    loop.post([&] {
        int32_t length = 4;
        inner = driver->writeOffset(0, length, "zzzz", false);
    });
    int32_t length = 1300;
    EXPECT_EQ(driver->writeOffset(0, length, std::string(1300, 'o'), false), 1300);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(logCount("  FAILED: reader busy"), 1);
    EXPECT_EQ(scard->memory.substr(0, 4), "oooo");
}

class SCMMemory : public ReaderTestBase {
protected:
    void SetUp() override {
        ReaderTestBase::SetUp();
        driver = makeSCM();
        driver->Start("Test Reader 0");
        loop.advance(milliseconds(1000));  // detect, then active
        mcard->clearCalls();
    }
    std::unique_ptr<readerSCM> driver;
};

TEST_F(SCMMemory, WriteOf1300BytesGoesIn512_512_276) {
    int32_t length = 1300;
    EXPECT_EQ(driver->writeOffset(100, length, std::string(1300, 'k'), true), 1300);
    const auto calls = mcard->callsOf("MCardWriteMemory");
    ASSERT_EQ(calls.size(), 3u);
    const std::vector<std::vector<int64_t>> expected{{9, 0, 100, 512}, {9, 0, 612, 512}, {9, 0, 1124, 276}};
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(calls[i].numbers, expected[i]);
    EXPECT_EQ(logCount("readerSCM.reader_writeOffset(100, 1300, .., True)"), 1);
}

TEST_F(SCMMemory, FailingSecondPieceIsLoggedReturnsZeroAndClearsBusy) {
    mcard->script("MCardWriteMemory", MAnswer::returning(0));
    mcard->script("MCardWriteMemory", MAnswer::returning(mc::MCARD_W_NOT_ALL_DATA_WRITTEN));
    int32_t length = 1300;
    EXPECT_EQ(driver->writeOffset(0, length, std::string(1300, 'x'), false), 0);
    EXPECT_EQ(mcard->count("MCardWriteMemory"), 2);
    EXPECT_EQ(logCount("readerSCM.reader_writeOffset: failed, MCARD_W_NOT_ALL_DATA_WRITTEN (0xA0100867)"), 1);
    EXPECT_EQ(driver->cardConnected(), "active");
}

TEST_F(SCMMemory, FailedReadIsLoggedAndAnswersFailedWithoutRetry) {
    mcard->script("MCardReadMemory", MAnswer::returning(mc::MCARD_E_INVALID_MEMORY_RANGE));
    EXPECT_EQ(driver->readOffset(0, 32, false), "failed");
    EXPECT_EQ(mcard->count("MCardReadMemory"), 1);
    EXPECT_EQ(logCount("readerSCM.reader_readOffset: failed, MCARD_E_INVALID_MEMORY_RANGE (0xA0100824)"), 1);
}

TEST_F(SCMMemory, ReadArgumentsAndData) {
    mcard->memory.replace(300, 5, "hello");
    EXPECT_EQ(driver->readOffset(300, 5, false), "hello");
    EXPECT_EQ(mcard->callsOf("MCardReadMemory").at(0).numbers, (std::vector<int64_t>{9, 0, 300, 5}));
}

TEST_F(SCMMemory, ReaderClaimingMoreThanAskedFailsThePiece) {
    mcard->script("MCardReadMemory", MAnswer::returning(0).withBytes(std::string(64, 'x')).withLength(64));
    EXPECT_EQ(driver->readOffset(0, 32, false), "failed");
}

}  // namespace
}  // namespace orvex::test
