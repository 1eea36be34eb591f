// The read and write loops: pieces, progress, busy, the caller's length, the
// reader's impossible answers; repetitions of failed Chipdrive reads.
#include <stdexcept>

#include "ReaderTestBase.h"

namespace orvex::test {
namespace {

class ReaderMemory : public ReaderTestBase {
protected:
    void SetUp() override {
        ReaderTestBase::SetUp();
        scm = started(Driver::SCM);
        cd = started(Driver::Chipdrive);
        tick(2);  // the SCM card detected, then active
        events.clear();
        scard->calls.clear();
    }
    void TearDown() override {  // whatever a test did, no operation is left holding the card
        EXPECT_EQ(cd->cardConnected(), "active");
        EXPECT_EQ(scm->cardConnected(), "active");
        ReaderTestBase::TearDown();
    }
    int32_t write(reader& driver, int32_t offset, int32_t length, const std::string& data, bool trimmed = false) {
        return driver.writeOffset(offset, length, data, trimmed);
    }
    std::unique_ptr<readerBase> scm;
    std::unique_ptr<readerBase> cd;
};

TEST_F(ReaderMemory, WritesGoIn512BytePiecesAndAFailedPieceEndsTheCall) {
    std::string data;
    for (int i = 0; i < 1300; ++i) data += static_cast<char>('a' + i % 26);
    EXPECT_EQ(write(*cd, 100, 1300, data), 1300);
    EXPECT_EQ(scard->commands(), (Lines{"Card,MemWrite,100,512", "Card,MemWrite,612,512", "Card,MemWrite,1124,276"}));
    EXPECT_EQ(scard->memory.substr(100, 1300), data);
    EXPECT_EQ(events, (Lines{"max:1300", "progress:512", "progress:1024", "progress:1300"}));
    EXPECT_EQ(write(*scm, 100, 1300, data), 1300);
    EXPECT_EQ(mcard->memory.substr(100, 1300), data);
    scard->script("Card,MemWrite", {.code = 0});
    scard->script("Card,MemWrite", {.code = 6});
    EXPECT_EQ(write(*cd, 0, 1300, data), 0);
    mcard->script("MCardWriteMemory", {.code = 0});
    mcard->script("MCardWriteMemory", {.code = mc::MCARD_W_NOT_ALL_DATA_WRITTEN});
    EXPECT_EQ(write(*scm, 0, 1300, data), 0);
    EXPECT_EQ(scard->commands("Card,MemWrite").size() + mcard->count("MCardWriteMemory"), 3u + 3 + 2 + 2);
    // A progress handler that throws leaves the card free again (TearDown).
    const auto id = scm->EventSource().subscribe({[] { throw std::runtime_error("display gone"); }, nullptr, nullptr});
    EXPECT_THROW(write(*scm, 0, 8, data), std::runtime_error);
    scm->EventSource().unsubscribe(id);
}

TEST_F(ReaderMemory, ReadSendsItsRangeAndDeliversTheBytes) {
    scard->memory.replace(64, 32, "0123456789abcdefghijklmnopqrstuv");
    EXPECT_EQ(cd->readOffset(64, 32, false), "0123456789abcdefghijklmnopqrstuv");
    EXPECT_EQ(scard->commands(), Lines{"Card,MemRead,64,32"});
    cd->readOffset(64, 32, false);  // the counters start from 0 again
    EXPECT_EQ(events, (Lines{"max:32", "progress:32", "max:32", "progress:32"}));
    mcard->memory.replace(300, 5, "hello");
    EXPECT_EQ(scm->readOffset(300, 5, false), "hello");
    EXPECT_EQ(mcard->callsOf("MCardReadMemory").at(0).numbers, (std::vector<int64_t>{9, 0, 300, 5}));
    mcard->script("MCardReadMemory", {.code = mc::MCARD_E_INVALID_MEMORY_RANGE});
    EXPECT_EQ(scm->readOffset(0, 32, false), "failed");
    // A short delivery continues after the bytes received, without duplicating them.
    scard->calls.clear();
    scard->memory.replace(0, 10, "ABCDEFGHIJ");
    scard->script("Card,MemRead", {.output = "ABCD", .outputLength = 4});
    EXPECT_EQ(cd->readOffset(0, 10, false), "ABCDEFGHIJ");
    EXPECT_EQ(scard->commands(), (Lines{"Card,MemRead,0,10", "Card,MemRead,4,4", "Card,MemRead,8,2"}));
}

TEST_F(ReaderMemory, ImpossiblePieceLengthsAndRangesFailWithoutReachingTheCard) {
    for (const int32_t reported : {0, -3, 33}) scard->script("Card,MemRead", {.outputLength = reported});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(cd->readOffset(0, 32, false), "failed") << i;
    for (const int32_t reported : {0, -1, 600}) scard->script("Card,MemWrite", {.inputLength = reported});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(write(*cd, 0, 1000, std::string(1000, 'q')), 0) << i;
    mcard->script("MCardReadMemory", {.bytes = std::string(64, 'x'), .length = 64});
    EXPECT_EQ(scm->readOffset(0, 32, false), "failed");
    scard->calls.clear();
    EXPECT_EQ(write(*cd, 0, 40000, "x"), 0);
    EXPECT_EQ(write(*cd, 0, -5, "x"), 0);
    EXPECT_EQ(cd->readOffset(-1, 4, false), "failed");
    EXPECT_EQ(cd->readOffset(0x7FFFFFF0, 100, false), "failed");
    EXPECT_TRUE(scard->calls.empty());
}

TEST_F(ReaderMemory, TrimmedOptimizedEmptyAndStoppedRequests) {
    int32_t length = 5;
    EXPECT_EQ(cd->writeOffset(20, length, "ab", true), 5);
    EXPECT_EQ(write(*cd, 0, 3, "abcdef"), 3);
    cd->setOptimizeWrite(true);
    EXPECT_EQ(cd->writeOffset(20, length, "ab", true), 2);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(write(*cd, 20, 5, "ab"), 5);  // untrimmed values keep their width
    EXPECT_EQ(scard->calls.at(0).input, "ab   ");  // blank-filled
    EXPECT_EQ(scard->calls.at(1).input, "abc");    // cut to the length
    scard->memory.replace(0, 8, "ab  cd  ");
    EXPECT_EQ(cd->readOffset(0, 8, false), "ab  cd  ");
    EXPECT_EQ(cd->readOffset(0, 8, true), "ab  cd");  // trailing blanks only
    events.clear();
    scard->calls.clear();
    EXPECT_EQ(cd->writeOffset(0, length = 4, "", true), 0);
    EXPECT_EQ(cd->readOffset(10, 0, false), "");
    EXPECT_EQ(write(*cd, 0, 0, "abc"), 0);
    EXPECT_TRUE(scard->calls.empty());
    EXPECT_TRUE(events.empty());
    cd->Stopp();
    EXPECT_EQ(write(*cd, 0, 4, "abcd"), 0);
    EXPECT_EQ(cd->readOffset(0, 4, false), "");
    EXPECT_TRUE(scard->commands("Card,Mem").empty());
    cd->Start("");
}

TEST_F(ReaderMemory, ReadDuringAWriteLeavesTheWriteBusyAndASecondWriteIsRefused) {
    for (reader* driver : {static_cast<reader*>(cd.get()), static_cast<reader*>(scm.get())}) {
        events.clear();
        std::string innerRead, innerState;
        int32_t innerWrite = -1;
        loop.post([&] {
            innerRead = driver->readOffset(0, 4, false);
            innerState = driver->cardConnected();
            innerWrite = write(*driver, 0, 4, "zzzz");
        });
        EXPECT_EQ(write(*driver, 0, 1300, std::string(1300, 'w')), 1300);
        EXPECT_EQ(innerRead, "wwww");
        EXPECT_EQ(innerState, "activelocked");
        EXPECT_EQ(innerWrite, 0);
        // The display goes back to the write's progress when the read ends.
        EXPECT_EQ(events, (Lines{"max:1300", "max:4", "progress:4", "max:1300", "progress:0", "progress:512",
                                 "progress:1024", "progress:1300"}));
    }
}

// One budget of 3 repetitions for the whole call; a pause of 0.4 s after a
// failed repetition whose code is below 16384.
TEST_F(ReaderMemory, ChipdriveRepeatsFailedReadsWithinOneBudgetPerCall) {
    using A = ScriptedSCard32Api::Answer;
    struct Row { std::vector<A> script; int32_t length; size_t reads; size_t waits; std::string result; };
    const A fail{.code = 5};
    const A half{.outputLength = 16};
    const Row rows[] = {
        {{fail, fail, fail, fail}, 32, 4, 3, "failed"},
        {{{.code = 16383}, {.code = 16383}, {.code = 16383}, {.code = 16383}}, 32, 4, 3, "failed"},
        {{{.code = 16384}, {.code = 16384}, {.code = 16384}, {.code = 16384}}, 32, 4, 0, "failed"},
        {{fail, fail}, 4, 3, 1, "data"},
        {{fail, fail, half, fail, fail}, 32, 5, 2, "failed"},
        {{fail, fail, fail, half, fail, fail}, 32, 6, 3, "failed"},  // spent, the next piece still once
        {{{.code = 5, .outputLength = 0}}, 4, 2, 0, "data"},       // asks for the whole piece again
    };
    scard->memory.replace(0, 4, "data");
    for (size_t i = 0; i < std::size(rows); ++i) {
        scard->calls.clear();
        const size_t waits = loop.waits().size();
        for (const A& a : rows[i].script) scard->script("Card,MemRead", a);
        EXPECT_EQ(cd->readOffset(0, rows[i].length, false), rows[i].result) << "row " << i;
        EXPECT_EQ(scard->commands("Card,MemRead").size(), rows[i].reads) << "row " << i;
        EXPECT_EQ(loop.waits().size() - waits, rows[i].waits) << "row " << i;
    }
    for (const auto& w : loop.waits()) EXPECT_EQ(w.due - w.start, milliseconds(400));
}

}  // namespace
}  // namespace orvex::test
