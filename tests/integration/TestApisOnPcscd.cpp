// The memory-card API and the text-command library on a real pcscd with the
// card emulator behind the virtual reader driver.
#include <gtest/gtest.h>

#include "PcscdTest.h"
#include "support/TestEnvironment.h"
#include "platform/mcard/MCardApi.h"
#include "platform/scard32/SCard32Api.h"

namespace orvex::test {
namespace {

using namespace platform;

constexpr uint32_t kDriverPiece = 512;

struct Answer {
    int32_t code;
    std::string text;  // without trailing blanks
};

Answer command(SCard32Api& api, const std::string& text, const std::string& input = {}) {
    int32_t handle = 0, commandLength = 0, inputLength = static_cast<int32_t>(input.size());
    std::string output(200, ' ');
    int32_t outputLength = 200;
    const int32_t code = api.SCardComand(handle, text, commandLength, input, inputLength, output, outputLength);
    output.erase(output.find_last_not_of(' ') + 1);
    return {code, output};
}

class McardSession {
public:
    explicit McardSession(const std::string& reader) : api_(makeMCardApi()) {
        EXPECT_EQ(api_->SCardEstablishContext(0, scard_), 0u);
        uint32_t version = 0;
        EXPECT_EQ(api_->MCardInitialize(scard_, reader, mcard_, version), 0u);
    }
    MCardApi& api() { return *api_; }
    int32_t context() const { return mcard_; }

    mcard_code waitState(int32_t& state) {
        state = 0;
        return api_->MCardWaitForCardState(mcard_, mcard::kExpectCardPresent, state, mcard::kWaitTimeoutMs);
    }
    int32_t connect() {
        int32_t handle = 0;
        EXPECT_EQ(api_->MCardConnect(mcard_, mcard::kConnectMode, mcard::kMemoryCardType, handle), 0u);
        return handle;
    }

private:
    std::unique_ptr<MCardApi> api_;
    int32_t scard_ = 0;
    int32_t mcard_ = 0;
};

// Writes as the drivers do: pieces of 512 bytes.
mcard_code writeInPieces(MCardApi& api, int32_t handle, const std::string& data) {
    for (uint32_t at = 0; at < data.size(); at += kDriverPiece) {
        uint32_t length = kDriverPiece;
        const mcard_code code = api.MCardWriteMemory(handle, 0, at, data.substr(at, kDriverPiece), length);
        if (code != 0) return code;
    }
    return 0;
}

int32_t memWriteInPieces(SCard32Api& api, const std::string& data) {
    for (uint32_t at = 0; at < data.size(); at += kDriverPiece) {
        const Answer answer =
            command(api, "Card,MemWrite," + std::to_string(at) + ",512", data.substr(at, kDriverPiece));
        if (answer.code != 0) return answer.code;
    }
    return 0;
}

TEST_F(PcscdTest, ReaderIsListedAndNamed) {
    auto api = makeMCardApi();
    int32_t context = 0;
    ASSERT_EQ(api->SCardEstablishContext(0, context), 0u);
    std::string buffer(1024, ' ');
    uint32_t length = 1024;
    ASSERT_EQ(api->SCardListReadersA(context, "", buffer, length), 0u);
    EXPECT_NE(buffer.substr(0, length).find(readerName() + '\0'), std::string::npos);

    int32_t mcardContext = 0;
    uint32_t version = 0;
    EXPECT_EQ(api->MCardInitialize(context, readerName(), mcardContext, version), 0u);
    EXPECT_NE(api->MCardInitialize(context, readerName() + "X", mcardContext, version), 0u);

    auto scard = makeSCard32Api();
    EXPECT_EQ(command(*scard, "Device,Info,Type").text, readerName());
    const Answer status = command(*scard, "Device,Info,Status");
    EXPECT_EQ(status.code, 0);
    EXPECT_NE(status.text.rfind("error", 0), 0u);
}

TEST_F(PcscdTest, EmptyReaderWaits) {
    startCard(false);
    McardSession session(readerName());
    int32_t state = 0;
    EXPECT_NE(session.waitState(state), 0u);
    EXPECT_GT(state, 0);
    EXPECT_NE(state, mcard::kStatePresent);
    auto scard = makeSCard32Api();
    EXPECT_EQ(command(*scard, "Card,Info,Status").text, "wait");
}

TEST_F(PcscdTest, InsertedCardTakesAFullWriteThroughTheMemoryCardApi) {
    startCard(true);
    McardSession session(readerName());
    int32_t state = 0;
    ASSERT_EQ(session.waitState(state), 0u);
    const int32_t handle = session.connect();
    std::string type(1, ' ');
    uint32_t typeLength = 1;
    ASSERT_EQ(session.api().MCardGetAttrib(handle, mcard::kAttribCardType, type, typeLength), 0u);
    EXPECT_EQ(type[0], 15);

    const std::string pattern = cardPattern(1);
    ASSERT_EQ(writeInPieces(session.api(), handle, pattern), 0u);
    std::string back(kMemoryCardSize, ' ');
    uint32_t length = kMemoryCardSize;
    ASSERT_EQ(session.api().MCardReadMemory(handle, 0, 0, back, length), 0u);
    EXPECT_EQ(length, kMemoryCardSize);
    EXPECT_TRUE(back == pattern) << "card content differs from what was written";
    EXPECT_TRUE(readFileBytes(imagePath_) == pattern) << "the emulated card holds other bytes";
}

TEST_F(PcscdTest, InsertedCardTakesAFullWriteThroughTextCommands) {
    startCard(true);
    auto scard = makeSCard32Api();
    EXPECT_EQ(command(*scard, "Card,Info,Status").text, "active");
    const std::string pattern = cardPattern(2);
    ASSERT_EQ(memWriteInPieces(*scard, pattern), 0);

    int32_t handle = 0, commandLength = 0, inputLength = 0;
    std::string output(kMemoryCardSize, ' ');
    int32_t outputLength = kMemoryCardSize;
    ASSERT_EQ(scard->SCardComand(handle, "Card,MemRead,0,16384", commandLength, "", inputLength, output,
                                 outputLength),
              0);
    EXPECT_EQ(outputLength, static_cast<int32_t>(kMemoryCardSize));
    EXPECT_TRUE(output == pattern) << "card content differs from what was written";
}

TEST_F(PcscdTest, PulledCardWaitsAndReinsertedCardIsActiveAgain) {
    startCard(true);
    McardSession session(readerName());
    auto scard = makeSCard32Api();
    ASSERT_TRUE(emulator_.pull());
    ASSERT_TRUE(waitForPresence(CardPresence::Absent));
    int32_t state = 0;
    EXPECT_NE(session.waitState(state), 0u);
    EXPECT_GT(state, 0);
    EXPECT_NE(state, mcard::kStatePresent);
    EXPECT_EQ(command(*scard, "Card,Info,Status").text, "wait");

    ASSERT_TRUE(emulator_.insert());
    ASSERT_TRUE(waitForPresence(CardPresence::Present));
    EXPECT_EQ(session.waitState(state), 0u);
    EXPECT_EQ(command(*scard, "Card,Info,Status").text, "active");
}

TEST_F(PcscdTest, WriteBrokenOffByAPullFailsThroughTheMemoryCardApi) {
    startCard(true, 3);
    McardSession session(readerName());
    const int32_t handle = session.connect();
    uint32_t length = kDriverPiece;
    EXPECT_NE(session.api().MCardWriteMemory(handle, 0, 0, cardPattern(3).substr(0, kDriverPiece), length), 0u);
    EXPECT_EQ(length, 0u);
}

TEST_F(PcscdTest, WriteBrokenOffByAPullFailsThroughTextCommands) {
    startCard(true, 3);
    auto scard = makeSCard32Api();
    EXPECT_NE(memWriteInPieces(*scard, cardPattern(4).substr(0, kDriverPiece)), 0);
}

}  // namespace
}  // namespace orvex::test
