// A card operation holds the card: the hold is taken before the first byte
// moves and let go after the last, on a failed operation too; a card another
// program holds is waited for on the loop's clock, then refused untouched.
#include "ReaderTestBase.h"
#include "cards/orvexcard.h"

namespace orvex::test {
namespace {

class ExclusiveCardTest : public ReaderTestBase, public ::testing::WithParamInterface<Driver> {
protected:
    void SetUp() override {
        ReaderTestBase::SetUp();
        rd = started(GetParam());
        tick(2);  // the SCM card detected, then active
        mcard->calls.clear();
        scard->calls.clear();
    }
    bool scm() const { return GetParam() == Driver::SCM; }
    // The calls that hold, let go of, read or write the card, in order.
    Lines cardCalls() const {
        Lines out;
        for (std::string call : scm() ? mcardFunctions() : scard->commands()) {
            if (call == "MCardWriteMemory" || call.starts_with("Card,MemWrite")) out.push_back("write");
            else if (call == "MCardReadMemory" || call.starts_with("Card,MemRead")) out.push_back("read");
            else if (call.find("Transaction") != std::string::npos || call.find("Lock") != std::string::npos ||
                     call == "Card,Unlock")
                out.push_back(call);
        }
        return out;
    }
    Lines mcardFunctions() const {
        Lines out;
        for (const auto& c : mcard->calls) out.push_back(c.function);
        return out;
    }
    const char* beginCall() const { return scm() ? "MCardBeginTransaction" : "Card,Lock"; }
    Lines held(Lines inside) const {
        inside.insert(inside.begin(), beginCall());
        inside.push_back(scm() ? "MCardEndTransaction" : "Card,Unlock");
        return inside;
    }
    // The next n attempts to hold the card find it held by another program.
    void busyFor(int n) {
        for (int i = 0; i < n; ++i) {
            if (scm()) mcard->script("MCardBeginTransaction", {.code = mc::kCardHeldElsewhere});
            else scard->script("Card,Lock", {.code = platform::scard32::kCardHeldElsewhere});
        }
    }
    void failNextWrite() {
        if (scm()) mcard->script("MCardWriteMemory", {.code = mc::MCARD_W_NOT_ALL_DATA_WRITTEN});
        else scard->script("Card,MemWrite", {.code = 6});
    }
    std::string& memory() { return scm() ? mcard->memory : scard->memory; }

    std::unique_ptr<readerBase> rd;
};

TEST_P(ExclusiveCardTest, HoldSpansTheOperationAndEndsOnEveryPath) {
    int32_t length = 1000;
    {
        const ExclusiveCard outer = rd->beginExclusive();
        ASSERT_TRUE(outer);
        const ExclusiveCard inner = rd->beginExclusive();  // nested: no second hold
        EXPECT_TRUE(inner);
        EXPECT_EQ(rd->writeOffset(0, length, std::string(1000, 'a'), false), 1000);
    }
    EXPECT_EQ(cardCalls(), held({"write", "write"}));
    mcard->calls.clear();
    scard->calls.clear();
    {
        const ExclusiveCard hold = rd->beginExclusive();
        failNextWrite();
        EXPECT_EQ(rd->writeOffset(0, length, std::string(1000, 'b'), false), 0);
    }
    EXPECT_EQ(cardCalls(), held({"write"}));
}

TEST_P(ExclusiveCardTest, WaitsForAnotherProgramThenGivesUpUntouched) {
    struct Row {
        int busyAttempts;
        bool taken;
        platform::LoopTime waited;
    };
    const int retriesInWait = static_cast<int>(readerBase::kHoldWait.count() / 25);
    for (const Row row : {Row{3, true, platform::LoopTime(75)},
                          Row{retriesInWait, true, readerBase::kHoldWait},
                          Row{retriesInWait + 1, false, readerBase::kHoldWait}}) {
        busyFor(row.busyAttempts);
        const platform::LoopTime start = loop.now();
        const ExclusiveCard hold = rd->beginExclusive();
        EXPECT_EQ(hold.held(), row.taken) << row.busyAttempts;
        EXPECT_EQ(loop.now() - start, row.waited) << row.busyAttempts;
        EXPECT_EQ(rd->cardHeldElsewhere(), !row.taken) << row.busyAttempts;
    }
    // Through the card object: a format and a verification that cannot have
    // the card leave it as it was and report failure.
    orvexcard card;
    ASSERT_EQ(card.assign(*rd), -1);
    const std::string before = memory();
    mcard->calls.clear();
    scard->calls.clear();
    busyFor(2 * (retriesInWait + 1));
    EXPECT_FALSE(card.formatCard(cardTypeDrink, "serial", 65535, true));
    EXPECT_FALSE(card.verifyCard());
    EXPECT_EQ(memory(), before);
    EXPECT_EQ(cardCalls(), Lines(2 * (retriesInWait + 1), beginCall()));  // attempts to hold, nothing else
}

INSTANTIATE_TEST_SUITE_P(Drivers, ExclusiveCardTest, ::testing::Values(Driver::SCM, Driver::Chipdrive),
                         [](const auto& info) { return info.param == Driver::SCM ? "SCM" : "Chipdrive"; });

}  // namespace
}  // namespace orvex::test
