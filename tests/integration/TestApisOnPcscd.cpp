// The memory-card API and the text-command library on a real pcscd with the
// card emulator behind the virtual reader driver.
#include <gtest/gtest.h>

#include "PcscdTest.h"
#include "platform/mcard/MCardApi.h"
#include "platform/scard32/SCard32Api.h"
#include "support/TestEnvironment.h"

namespace orvex::test {
namespace {

using namespace platform;

constexpr uint32_t kDriverPiece = 512;  // the drivers write in pieces of this size

struct Answer {
    int32_t code;
    std::string output;
    int32_t length;
    std::string text() const { return output.substr(0, output.find_last_not_of(' ') + 1); }
};

Answer command(SCard32Api& api, const std::string& text, const std::string& input = {}, int32_t size = 200) {
    int32_t handle = 0, commandLength = 0, inputLength = static_cast<int32_t>(input.size()), outputLength = size;
    std::string output(size, ' ');
    const int32_t code = api.SCardComand(handle, text, commandLength, input, inputLength, output, outputLength);
    return {code, output, outputLength};
}

int32_t memWriteInPieces(SCard32Api& api, const std::string& data) {
    for (uint32_t at = 0; at < data.size(); at += kDriverPiece) {
        const Answer answer =
            command(api, "Card,MemWrite," + std::to_string(at) + ",512", data.substr(at, kDriverPiece));
        if (answer.code != 0) return answer.code;
    }
    return 0;
}

// Both APIs on the test reader: a memory-card context, a handle once connected.
class PcscdApiTest : public PcscdTest {
protected:
    void SetUp() override {
        PcscdTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(mcard->SCardEstablishContext(0, scard), 0u);
        uint32_t version = 0;
        ASSERT_EQ(mcard->MCardInitialize(scard, readerName(), context, version), 0u);
    }
    int32_t connect() {
        int32_t handle = 0;
        EXPECT_EQ(mcard->MCardConnect(context, mcard::kConnectMode, mcard::kMemoryCardType, handle), 0u);
        return handle;
    }
    mcard_code writeInPieces(int32_t handle, const std::string& data) {
        for (uint32_t at = 0; at < data.size(); at += kDriverPiece) {
            uint32_t length = kDriverPiece;
            if (const mcard_code code = mcard->MCardWriteMemory(handle, 0, at, data.substr(at, kDriverPiece), length))
                return code;
        }
        return 0;
    }
    // The card state through both APIs: present, or waiting for a card.
    void expectCard(bool present) {
        int32_t state = 0;
        const mcard_code code =
            mcard->MCardWaitForCardState(context, mcard::kExpectCardPresent, state, mcard::kWaitTimeoutMs);
        if (present) {
            EXPECT_EQ(code, 0u);
        } else {
            EXPECT_NE(code, 0u);
            EXPECT_GT(state, 0);
            EXPECT_NE(state, mcard::kStatePresent);
        }
        EXPECT_EQ(command(*text, "Card,Info,Status").text(), present ? "active" : "wait");
    }

    std::unique_ptr<MCardApi> mcard = makeMCardApi();
    std::unique_ptr<SCard32Api> text = makeSCard32Api();
    int32_t scard = 0, context = 0;
};

TEST_F(PcscdApiTest, ReaderIsListedAndNamed) {
    std::string buffer(1024, ' ');
    uint32_t length = 1024;
    ASSERT_EQ(mcard->SCardListReadersA(scard, "", buffer, length), 0u);
    EXPECT_NE(buffer.substr(0, length).find(readerName() + '\0'), std::string::npos);
    int32_t other = 0;
    uint32_t version = 0;
    EXPECT_NE(mcard->MCardInitialize(scard, readerName() + "X", other, version), 0u);
    EXPECT_EQ(command(*text, "Device,Info,Type").text(), readerName());
    const Answer status = command(*text, "Device,Info,Status");
    EXPECT_EQ(status.code, 0);
    EXPECT_NE(status.text().rfind("error", 0), 0u);
}

TEST_F(PcscdApiTest, EmptyReaderWaitsInsertedCardIsActivePulledCardWaitsAgain) {
    startCard(false);
    expectCard(false);
    ASSERT_TRUE(insertCard());
    expectCard(true);
    ASSERT_TRUE(pullCard());
    expectCard(false);
    ASSERT_TRUE(insertCard());
    expectCard(true);
}

// Each API writes the whole card, the other reads it back byte for byte.
TEST_F(PcscdApiTest, AWholeCardWrittenThroughOneApiReadsBackThroughTheOther) {
    startCard(true);
    const int32_t handle = connect();
    std::string type(1, ' ');
    uint32_t length = 1;
    ASSERT_EQ(mcard->MCardGetAttrib(handle, mcard::kAttribCardType, type, length), 0u);
    EXPECT_EQ(type[0], 15);

    std::string pattern = cardPattern(1);
    ASSERT_EQ(writeInPieces(handle, pattern), 0u);
    EXPECT_TRUE(readFileBytes(imagePath_) == pattern) << "the emulated card holds other bytes";
    const Answer back = command(*text, "Card,MemRead,0,16384", "", kMemoryCardSize);
    ASSERT_EQ(back.code, 0);
    EXPECT_EQ(back.length, static_cast<int32_t>(kMemoryCardSize));
    EXPECT_TRUE(back.output == pattern) << "card content differs from what was written";

    pattern = cardPattern(2);
    ASSERT_EQ(memWriteInPieces(*text, pattern), 0);
    std::string bytes(kMemoryCardSize, ' ');
    length = kMemoryCardSize;
    ASSERT_EQ(mcard->MCardReadMemory(handle, 0, 0, bytes, length), 0u);
    EXPECT_EQ(length, kMemoryCardSize);
    EXPECT_TRUE(bytes == pattern) << "card content differs from what was written";
}

TEST_F(PcscdApiTest, AWriteBrokenOffByAPullFailsThroughTheMemoryCardApi) {
    startCard(true, 3);
    uint32_t length = kDriverPiece;
    EXPECT_NE(mcard->MCardWriteMemory(connect(), 0, 0, cardPattern(3).substr(0, kDriverPiece), length), 0u);
    EXPECT_EQ(length, 0u);
}

TEST_F(PcscdApiTest, AWriteBrokenOffByAPullFailsThroughTextCommands) {
    startCard(true, 3);
    EXPECT_NE(memWriteInPieces(*text, cardPattern(4).substr(0, kDriverPiece)), 0);
}

}  // namespace
}  // namespace orvex::test
