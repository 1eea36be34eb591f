// The read and write loops: pieces, commands, progress, busy, the caller's
// length; repetitions of failed Chipdrive reads: one budget of 3 for the whole
// call, 0.4 s pauses after failures below code 16384.
#include "ReaderTestBase.h"

namespace orvex::test {
namespace {

class ReaderMemory : public ReaderTestBase {
protected:
    void SetUp() override {
        ReaderTestBase::SetUp();
        scm = started(makeSCM(), "Test Reader 0");
        cd = started(makeChipdrive());
        tick(2);  // the SCM card detected, then active
        events.clear();
        mcard->calls.clear();
        scard->calls.clear();
    }
    int32_t write(reader& driver, int32_t offset, int32_t length, const std::string& data, bool trimmed = false) {
        return driver.writeOffset(offset, length, data, trimmed);
    }
    std::vector<milliseconds> readTimes() const {
        std::vector<milliseconds> out;
        for (const auto& c : scard->calls) {
            if (c.command.rfind("Card,MemRead", 0) == 0) out.push_back(c.at);
        }
        return out;
    }
    void failReads(int times, int32_t code) {
        for (int i = 0; i < times; ++i) scard->script("Card,MemRead", {.code = code});
    }
    std::unique_ptr<readerSCM> scm;
    std::unique_ptr<readerChipdrive> cd;
};

TEST_F(ReaderMemory, WriteOf1300BytesGoesIn512_512_276) {
    std::string data;
    for (int i = 0; i < 1300; ++i) data += static_cast<char>('a' + i % 26);
    EXPECT_EQ(write(*cd, 100, 1300, data), 1300);
    ASSERT_EQ(scard->commands(),
              (Lines{"Card,MemWrite,100,512", "Card,MemWrite,612,512", "Card,MemWrite,1124,276"}));
    EXPECT_EQ(scard->calls[1].input, data.substr(512, 512));
    EXPECT_EQ(scard->calls[2].inputLength, 276);
    EXPECT_EQ(scard->calls[2].outputLength, 200);
    EXPECT_EQ(scard->memory.substr(100, 1300), data);
    EXPECT_EQ(events, (Lines{"max:1300", "progress:512", "progress:1024", "progress:1300"}));
    EXPECT_EQ(logCount("readerChipdrive.reader_writeOffset(100, 1300, .., False)"), 1);

    EXPECT_EQ(write(*scm, 100, 1300, std::string(1300, 'k'), true), 1300);
    const auto scmPieces = mcard->callsOf("MCardWriteMemory");
    ASSERT_EQ(scmPieces.size(), 3u);
    const std::vector<std::vector<int64_t>> expected{{9, 0, 100, 512}, {9, 0, 612, 512}, {9, 0, 1124, 276}};
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(scmPieces[i].numbers, expected[i]) << i;
    EXPECT_EQ(logCount("readerSCM.reader_writeOffset(100, 1300, .., True)"), 1);
}

TEST_F(ReaderMemory, FailedPieceEndsTheCallAndClearsBusy) {
    scard->script("Card,MemWrite", {.code = 0});
    scard->script("Card,MemWrite", {.code = 6});
    EXPECT_EQ(write(*cd, 0, 1300, std::string(1300, 'x')), 0);
    EXPECT_EQ(scard->commands("Card,MemWrite").size(), 2u);
    EXPECT_EQ(cd->cardConnected(), "active");
    EXPECT_EQ(cd->progress(), 0);

    mcard->script("MCardWriteMemory", {.code = 0});
    mcard->script("MCardWriteMemory", {.code = mc::MCARD_W_NOT_ALL_DATA_WRITTEN});
    EXPECT_EQ(write(*scm, 0, 1300, std::string(1300, 'x')), 0);
    EXPECT_EQ(mcard->count("MCardWriteMemory"), 2);
    EXPECT_EQ(logCount("readerSCM.reader_writeOffset: failed, MCARD_W_NOT_ALL_DATA_WRITTEN (0xA0100867)"), 1);
    EXPECT_EQ(scm->cardConnected(), "active");

    mcard->script("MCardReadMemory", {.code = mc::MCARD_E_INVALID_MEMORY_RANGE});
    EXPECT_EQ(scm->readOffset(0, 32, false), "failed");
    EXPECT_EQ(mcard->count("MCardReadMemory"), 1);  // no repetition
    EXPECT_EQ(logCount("readerSCM.reader_readOffset: failed, MCARD_E_INVALID_MEMORY_RANGE (0xA0100824)"), 1);
}

TEST_F(ReaderMemory, ReadSendsItsRangeAndDeliversTheBytes) {
    scard->memory.replace(64, 32, "0123456789abcdefghijklmnopqrstuv");
    EXPECT_EQ(cd->readOffset(64, 32, false), "0123456789abcdefghijklmnopqrstuv");
    ASSERT_EQ(scard->commands(), Lines{"Card,MemRead,64,32"});
    EXPECT_EQ(scard->calls[0].output, std::string(32, ' '));
    EXPECT_EQ(scard->calls[0].outputLength, 32);
    EXPECT_EQ(events, (Lines{"max:32", "progress:32"}));

    mcard->memory.replace(300, 5, "hello");
    EXPECT_EQ(scm->readOffset(300, 5, false), "hello");
    EXPECT_EQ(mcard->callsOf("MCardReadMemory").at(0).numbers, (std::vector<int64_t>{9, 0, 300, 5}));

    // A short delivery continues after the bytes received, without duplicating them.
    scard->calls.clear();
    scard->memory.replace(0, 10, "ABCDEFGHIJ");
    scard->script("Card,MemRead", {.output = "ABCD", .outputLength = 4});
    EXPECT_EQ(cd->readOffset(0, 10, false), "ABCDEFGHIJ");
    EXPECT_EQ(scard->commands(), (Lines{"Card,MemRead,0,10", "Card,MemRead,4,4", "Card,MemRead,8,2"}));
}

TEST_F(ReaderMemory, ImpossiblePieceLengthsFailThePiece) {
    for (const int32_t reported : {0, -3, 33}) {
        scard->script("Card,MemRead", {.outputLength = reported});
        EXPECT_EQ(cd->readOffset(0, 32, false), "failed") << reported;
        EXPECT_EQ(cd->cardConnected(), "active") << reported;
    }
    for (const int32_t reported : {0, -1, 600}) {
        scard->script("Card,MemWrite", {.inputLength = reported});
        EXPECT_EQ(write(*cd, 0, 1000, std::string(1000, 'q')), 0) << reported;
    }
    EXPECT_EQ(scard->commands("Card,MemWrite").size(), 3u);
    mcard->script("MCardReadMemory", {.bytes = std::string(64, 'x'), .length = 64});
    EXPECT_EQ(scm->readOffset(0, 32, false), "failed");
}

TEST_F(ReaderMemory, TrimmedAndOptimizedValuesAndTheCallersLength) {
    int32_t length = 5;
    EXPECT_EQ(cd->writeOffset(20, length, "ab", true), 5);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(write(*cd, 0, 3, "abcdef"), 3);
    cd->setOptimizeWrite(true);
    EXPECT_EQ(cd->writeOffset(20, length, "ab", true), 2);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(scard->calls.at(0).input, "ab   ");  // blank-filled
    EXPECT_EQ(scard->calls.at(1).input, "abc");    // cut to the length
    EXPECT_EQ(scard->calls.at(2).command, "Card,MemWrite,20,2");

    scard->memory.replace(0, 8, "ab  cd  ");
    EXPECT_EQ(cd->readOffset(0, 8, false), "ab  cd  ");
    EXPECT_EQ(cd->readOffset(0, 8, true), "ab  cd");  // trailing blanks only
}

TEST_F(ReaderMemory, RequestsWithNothingToDoOrOutOfRangeSendNothing) {
    EXPECT_EQ(cd->readOffset(10, 0, false), "");
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(cd->progressMax(), 0);
    EXPECT_EQ(write(*cd, 0, 0, "abc"), 0);
    EXPECT_EQ(write(*cd, 0, 40000, "x"), 0);
    EXPECT_EQ(write(*cd, 0, -5, "x"), 0);
    EXPECT_EQ(cd->readOffset(-1, 4, false), "failed");
    EXPECT_EQ(cd->readOffset(0x7FFFFFF0, 100, false), "failed");
    cd->setOptimizeWrite(true);
    int32_t length = 4;
    EXPECT_EQ(cd->writeOffset(0, length, "", true), 0);
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(scard->calls.empty());

    cd->Stopp();
    scard->calls.clear();
    EXPECT_EQ(write(*cd, 0, 4, "abcd"), 0);
    EXPECT_EQ(cd->readOffset(0, 4, false), "");
    EXPECT_TRUE(scard->calls.empty());
}

TEST_F(ReaderMemory, ReadDuringAWriteLeavesTheWriteBusy) {
    std::string innerRead;
    std::string afterRead;
    loop.post([&] {
        innerRead = cd->readOffset(0, 16, false);
        afterRead = cd->cardConnected();
    });
    EXPECT_EQ(write(*cd, 0, 1300, std::string(1300, 'w')), 1300);
    EXPECT_EQ(innerRead, std::string(16, 'w'));
    EXPECT_EQ(afterRead, "activelocked");
    EXPECT_EQ(cd->cardConnected(), "active");
    // The display goes back to the write's progress when the read ends.
    EXPECT_EQ(events, (Lines{"max:1300", "max:16", "progress:16", "max:1300", "progress:0", "progress:512",
                             "progress:1024", "progress:1300"}));
}

TEST_F(ReaderMemory, WriteThatStartsDuringAnotherIsRefusedInsteadOfHanging) {
    int32_t inner = -1;
    loop.post([&] { inner = write(*cd, 0, 4, "zzzz"); });
    EXPECT_EQ(write(*cd, 0, 1300, std::string(1300, 'o')), 1300);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(logCount("  FAILED: reader busy"), 1);
    EXPECT_EQ(scard->memory.substr(0, 4), "oooo");
}

TEST_F(ReaderMemory, ChipdriveFailingReadMakesFourAttemptsPausingOnlyBelowCode16384) {
    failReads(4, 5);
    const milliseconds start = loop.now();
    EXPECT_EQ(cd->readOffset(0, 32, false), "failed");
    EXPECT_EQ(readTimes(), (std::vector<milliseconds>{start, start, start + milliseconds(400),
                                                      start + milliseconds(800)}));
    ASSERT_EQ(loop.waits().size(), 3u);
    for (const auto& w : loop.waits()) EXPECT_EQ(w.due - w.start, milliseconds(400));
    EXPECT_EQ(loop.now(), start + milliseconds(1200));
    EXPECT_EQ(logCount("readerChipdrive.reader_readOffset: failed"), 0);
    EXPECT_EQ(cd->cardConnected(), "active");

    for (const int32_t code : {-2, 16383, 16384, 20000}) {
        scard->calls.clear();
        const size_t before = loop.waits().size();
        failReads(4, code);
        EXPECT_EQ(cd->readOffset(0, 32, false), "failed") << code;
        EXPECT_EQ(readTimes().size(), 4u) << code;
        EXPECT_EQ(loop.waits().size() - before, code >= 16384 ? 0u : 3u) << code;
    }
}

TEST_F(ReaderMemory, ChipdriveReadPiecesOfOneCallShareTheBudgetAndTheNextCallHasAFreshOne) {
    struct Row { const char* name; int failFirst; size_t reads; };
    for (const Row row : {Row{"two failures on the first piece", 2, 5},
                          Row{"budget spent on the first piece", 3, 6}}) {  // the next piece is still repeated once
        scard->calls.clear();
        failReads(row.failFirst, 5);
        scard->script("Card,MemRead", {.outputLength = 16});
        failReads(2, 5);
        EXPECT_EQ(cd->readOffset(0, 32, false), "failed") << row.name;
        EXPECT_EQ(readTimes().size(), row.reads) << row.name;
        EXPECT_EQ(scard->commands("Card,MemRead,16,16").size(), 2u) << row.name;
    }
    scard->memory.replace(0, 4, "data");
    scard->calls.clear();
    const size_t waits = loop.waits().size();
    failReads(2, 5);
    EXPECT_EQ(cd->readOffset(0, 4, false), "data");  // the repetition that succeeds delivers
    EXPECT_EQ(loop.waits().size(), waits + 1);      // a pause after the failed repetition only
    failReads(3, 5);
    EXPECT_EQ(cd->readOffset(0, 8, false), std::string("data") + std::string(4, '\0'));
    EXPECT_EQ(readTimes().size(), 7u);

    // Our own library reports 0 bytes for a failed read; the repetition still
    // asks for the whole piece and delivers it.
    scard->calls.clear();
    scard->script("Card,MemRead", {.code = 5, .outputLength = 0});
    EXPECT_EQ(cd->readOffset(0, 4, false), "data");
    EXPECT_EQ(scard->commands("Card,MemRead"),
              (std::vector<std::string>{"Card,MemRead,0,4", "Card,MemRead,0,4"}));
}

}  // namespace
}  // namespace orvex::test
