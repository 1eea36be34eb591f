// The two libraries the drivers speak to, over a fake back end: the
// memory-card API and the text-command library.
#include <gtest/gtest.h>

#include <optional>

#include "FakeBackend.h"
#include "platform/mcard/BackendLog.h"
#include "platform/mcard/MemoryCardApi.h"
#include "platform/scard32/TextCommandLibrary.h"

namespace orvex::test {
namespace {

using namespace platform;
using namespace platform::mcard;

const BackendStatus kNoService = BackendStatus::failure(BackendFault::Service, "the PC/SC service is not running");

// A fake back end, and the lines the library logs.
class BackendTest : public ::testing::Test {
protected:
    void SetUp() override { setBackendLogSink([this](const std::string& line) { log.push_back(line); }); }
    void TearDown() override { setBackendLogSink({}); }
    bool logged(const std::string& text) const { return !log.empty() && log.back().find(text) != std::string::npos; }
    FakeBackend::State state;
    std::vector<std::string> log;
};

class MemoryCardApiTest : public BackendTest {
protected:
    void SetUp() override {
        BackendTest::SetUp();
        ASSERT_EQ(api.SCardEstablishContext(0, scard), 0u);
    }

    int32_t initialize(const std::string& reader = "Reader B") {
        int32_t context = 0;
        uint32_t version = 0;
        EXPECT_EQ(api.MCardInitialize(scard, reader, context, version), 0u) << reader;
        return context;
    }
    int32_t connect(int32_t context) {
        int32_t handle = 0;
        EXPECT_EQ(api.MCardConnect(context, kConnectMode, kMemoryCardType, handle), 0u);
        return handle;
    }
    mcard_code wait(int32_t context, uint32_t timeoutMs = kWaitTimeoutMs) {
        cardState = -1;
        return api.MCardWaitForCardState(context, kExpectCardPresent, cardState, timeoutMs);
    }

    MemoryCardApi api{std::make_unique<FakeBackend>(state)};
    int32_t scard = 0;
    int32_t cardState = -1;
};

TEST_F(MemoryCardApiTest, ReaderListAndItsContext) {
    std::string buffer(1024, ' '), small(10, ' ');
    uint32_t length = 1024;
    ASSERT_EQ(api.SCardListReadersA(scard, "", buffer, length), 0u);
    EXPECT_EQ(buffer.substr(0, length), std::string("Reader A\0Reader B\0\0", 19));
    length = 10;
    EXPECT_EQ(api.SCardListReadersA(scard, "", small, length), 0x80100008u);  // insufficient buffer
    EXPECT_EQ(length, 19u);
    EXPECT_EQ(small, std::string(10, ' '));
    state.readers.clear();
    EXPECT_EQ(api.SCardListReadersA(scard, "", buffer, length), 0x8010002Eu);  // no readers
    EXPECT_EQ(api.SCardReleaseContext(scard), 0u);
    EXPECT_EQ(api.SCardListReadersA(scard, "", buffer, length), 0x80100003u);  // invalid handle
    state.failNext = kNoService;
    int32_t context = 5;
    EXPECT_NE(api.SCardEstablishContext(0, context), 0u);
    EXPECT_EQ(context, 0);
}

// Part of a name, or none, takes the first reader it fits, as the driver does
// when it looks for its reader in the list; a whole name wins.
TEST_F(MemoryCardApiTest, InitializeTakesTheReaderTheNameFits) {
    int32_t context = 0;
    uint32_t version = 0;
    EXPECT_EQ(api.MCardInitialize(scard, "Missing", context, version), MCARD_E_INCOMPATIBLE_READER);
    EXPECT_EQ(context, 0);
    EXPECT_EQ(api.MCardInitialize(scard + 100, "Reader A", context, version), MCARD_E_INVALID_PARAMETER);
    state.readers = {"ACME Reader", "Reader", "Reader B"};
    const std::pair<const char*, const char*> fits[] = {
        {"Reader B", "Reader B"}, {"Reader", "Reader"}, {"Read", "ACME Reader"}, {"", "ACME Reader"}};
    for (const auto& [name, used] : fits) {
        wait(initialize(name));
        EXPECT_EQ(state.readersUsed.back(), used) << name;
    }
}

TEST_F(MemoryCardApiTest, WaitReportsPresentEmptyAndGone) {
    const int32_t context = initialize();
    EXPECT_EQ(wait(context), 0u);
    EXPECT_EQ(state.lastWaitMs, kWaitTimeoutMs);
    wait(context, 0xFFFFFFFFu);
    EXPECT_LE(state.lastWaitMs, 5000u) << "a huge time-out is cut short";
    state.presence = CardPresence::Absent;
    EXPECT_NE(wait(context), 0u);
    EXPECT_TRUE(cardState > 0 && cardState != kStatePresent) << cardState;
    state.presence = CardPresence::ReaderGone;
    EXPECT_NE(wait(context), 0u);
    EXPECT_EQ(cardState, 0);
    state.failNext = kNoService;
    EXPECT_EQ(wait(context), MCARD_E_INTERNAL_ERROR);
    EXPECT_EQ(cardState, 0);
    EXPECT_TRUE(logged("the PC/SC service is not running"));
}

TEST_F(MemoryCardApiTest, HandlesLiveFromConnectToDisconnectOrShutdown) {
    const int32_t context = initialize();
    int32_t handle = connect(context);
    EXPECT_GT(handle, 0);
    EXPECT_EQ(api.MCardDisconnect(handle, 0), 0u);
    EXPECT_EQ(state.releases, 1);
    EXPECT_EQ(api.MCardDisconnect(handle, 0), MCARD_E_INVALID_PARAMETER);
    handle = connect(context);
    std::string buffer;  // the type byte itself is read in every test of a driver on a card
    uint32_t length = 0;
    EXPECT_EQ(api.MCardGetAttrib(handle, kAttribCardType, buffer, length), MCARD_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(api.MCardShutdown(context), 0u);
    buffer = " ";
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 0, buffer, length = 1), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(api.MCardDisconnect(handle, 0), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(wait(context, 0), MCARD_E_NOT_INITIALIZED);
    EXPECT_EQ(api.MCardShutdown(context), MCARD_E_NOT_INITIALIZED);
}

// Connecting reads the card's type: a card that answers wrongly still gets
// its handle and the type attribute tells why; an empty or gone reader, or
// no service, gets none.
TEST_F(MemoryCardApiTest, ConnectReadsTheTypeTheAttributeReports) {
    const int32_t context = initialize();
    const struct {
        CardPresence presence; std::optional<BackendStatus> failure; uint8_t type; mcard_code connected, attribute;
    } rows[] = {
        {CardPresence::Present, std::nullopt, 15, 0, 0},
        {CardPresence::Present, std::nullopt, 3, 0, 0},
        {CardPresence::Present, BackendStatus::failure(BackendFault::Card, "status word 6B00"), 15, 0,
         MCARD_E_PROTOCOL_ERROR},
        {CardPresence::Present, kNoService, 15, MCARD_E_INTERNAL_ERROR, 0},
        {CardPresence::Absent, std::nullopt, 15, MCARD_E_UNKNOWN_CARD, 0},
        {CardPresence::ReaderGone, std::nullopt, 15, MCARD_E_INCOMPATIBLE_READER, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(row.presence) << " " << int{row.type} << " "
                                        << (row.failure ? row.failure->text() : "ok"));
        state.presence = row.presence, state.type = row.type, state.failNext = row.failure;
        int32_t handle = 7;
        ASSERT_EQ(api.MCardConnect(context, kConnectMode, kMemoryCardType, handle), row.connected);
        if (row.connected != 0) {
            EXPECT_EQ(handle, 0);
            continue;
        }
        std::string type = " ";
        uint32_t length = 1;
        state.type = 99;  // what the card holds now is not asked again
        EXPECT_EQ(api.MCardGetAttrib(handle, kAttribCardType, type, length), row.attribute);
        if (row.attribute == 0) EXPECT_EQ(static_cast<uint8_t>(type[0]), row.type);
        else EXPECT_TRUE(logged(row.failure->text()));
        EXPECT_EQ(api.MCardDisconnect(handle, 0), 0u);
    }
}

TEST_F(MemoryCardApiTest, MemoryCallsMoveExactlyTheBytesAskedAndRefuseBadRequests) {
    const int32_t handle = connect(initialize());
    std::string buffer(16, ' ');
    uint32_t length = 2;
    EXPECT_EQ(api.MCardReadMemory(handle + 100, 0, 0, buffer, length), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(api.MCardReadMemory(handle, 1, 0, buffer, length), MCARD_E_INVALID_MEMORY_ZONE_ID);
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 16383, buffer, length), MCARD_E_INVALID_MEMORY_RANGE);
    EXPECT_EQ(api.MCardWriteMemory(handle, 0, 0xFFFFFFFFu, "ab", length), MCARD_E_INVALID_MEMORY_RANGE);
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 0, buffer, length = 17), MCARD_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(api.MCardWriteMemory(handle, 0, 0, "short", length), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(state.readersUsed.size(), 1u) << "a refused request reached the back end";
    ASSERT_EQ(api.MCardWriteMemory(handle, 0, 16381, "xyzIGNORED", length = 3), 0u);
    EXPECT_EQ(state.memory.substr(16381), "xyz");
    buffer = "....tail";
    ASSERT_EQ(api.MCardReadMemory(handle, 0, 16380, buffer, length = 4), 0u);
    EXPECT_EQ(buffer, std::string("\0xyztail", 8));
    EXPECT_EQ(length, 4u);
    // A failed transfer is never a success and delivers nothing.
    state.failNext = BackendStatus::failure(BackendFault::NoCard, "SCardTransmit: SCARD_W_REMOVED_CARD");
    EXPECT_EQ(api.MCardWriteMemory(handle, 0, 0, std::string(512, 'x'), length = 512), MCARD_W_NOT_ALL_DATA_WRITTEN);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(logged("SCARD_W_REMOVED_CARD"));
    state.failNext = BackendStatus::failure(BackendFault::Card, "status word 6A82");
    buffer = "keep";
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 0, buffer, length = 4), MCARD_W_NOT_ALL_DATA_READ);
    EXPECT_EQ(buffer, "keep");
    EXPECT_EQ(length, 0u);
}

struct Reply {
    int32_t code;
    std::string output;  // the whole buffer as the library left it
    int32_t outputLength;
    std::string text() const { return output.substr(0, output.find_last_not_of(' ') + 1); }
};

class TextCommandLibraryTest : public BackendTest {
protected:
    Reply send(const std::string& command, int32_t outputLength = 200, const std::string& input = {},
               std::optional<int32_t> announced = std::nullopt) {
        int32_t handle = 0, commandLength = 0;
        int32_t inputLength = announced.value_or(static_cast<int32_t>(input.size()));
        std::string output(static_cast<size_t>(outputLength), ' ');
        const int32_t code =
            library.SCardComand(handle, command, commandLength, input, inputLength, output, outputLength);
        return {code, output, outputLength};
    }

    TextCommandLibrary library{std::make_unique<FakeBackend>(state), "text commands 1.0"};
};

// Answers fit the buffer or are not written; status words, no reader, failures.
TEST_F(TextCommandLibraryTest, AnswersStatusWordsNoReaderAndFailures) {
    EXPECT_EQ(send("System,Info,VersionText").text(), "text commands 1.0");
    EXPECT_EQ(send("", 0).code, 0);
    const Reply type = send("Device,Info,Type");
    EXPECT_EQ(type.text(), "Reader A");
    EXPECT_EQ(type.output.size(), 200u);
    const Reply tooLong = send("Device,Info,Type", 3);
    EXPECT_NE(tooLong.code, 0);
    EXPECT_EQ(tooLong.output, "   ");
    EXPECT_EQ(send("Card,Info,Status").text(), "active");
    state.type = 0x42;
    EXPECT_EQ(send("Card,Info,Status").text(), "invalid");
    state.presence = CardPresence::Absent;
    EXPECT_EQ(send("Card,Info,Status").text(), "wait");
    state.failNext = BackendStatus::failure(BackendFault::Service, "the PC/SC service refuses access");
    EXPECT_NE(send("Card,Info,Status").code, 0);
    EXPECT_TRUE(logged("refuses access"));
    state.readers.clear();
    const Reply status = send("Device,Info,Status");
    EXPECT_GT(status.code, 0);
    EXPECT_EQ(status.output.rfind("error", 0), 0u);
    EXPECT_GT(send("Card,Info,Status").code, 0);
}

TEST_F(TextCommandLibraryTest, MemoryCommandsMoveExactlyTheAnnouncedBytesOrNothing) {
    state.memory.replace(64, 4, "abcd");
    const Reply reply = send("Card,MemRead,64,4", 6);
    EXPECT_EQ(reply.output, "abcd  ");
    EXPECT_EQ(reply.outputLength, 4);
    EXPECT_NE(send("Card,MemRead,0,32", 16).code, 0);
    state.failNext = BackendStatus::failure(BackendFault::NoCard, "SCARD_W_REMOVED_CARD");
    const Reply failed = send("Card,MemRead,0,8", 8);
    EXPECT_NE(failed.code, 0);
    EXPECT_EQ(failed.outputLength, 0);
    EXPECT_EQ(failed.output, std::string(8, ' '));
    EXPECT_EQ(send("Card,MemWrite,100,3", 200, "xyz").code, 0);
    for (const auto& [input, announced] : {std::pair{"AB", 3}, {"ABC", 2}, {"ABC", -3}})
        EXPECT_NE(send("Card,MemWrite,100,3", 200, input, announced).code, 0) << input << announced;
    EXPECT_EQ(state.memory.substr(100, 3), "xyz");

    // While a card is held, its reader is the one spoken to, whatever the list says now.
    ASSERT_EQ(send("Card,Lock").code, 0);
    state.readers = {"Reader B", "Reader A"};
    state.readersUsed.clear();
    EXPECT_EQ(send("Card,MemRead,0,4", 4).code, 0);
    EXPECT_EQ(send("Card,MemWrite,0,1", 200, "q").code, 0);
    EXPECT_EQ(send("Card,Info,Status").text(), "active");
    EXPECT_EQ(send("Card,Unlock").code, 0);
    EXPECT_EQ(send("Card,MemRead,0,4", 4).code, 0);
    EXPECT_EQ(state.readersUsed, (std::vector<std::string>{"Reader A", "Reader A", "Reader A", "Reader A", "Reader B"}));
}

// Commands are matched exactly; offsets and lengths are plain decimals inside the card.
TEST_F(TextCommandLibraryTest, ResetAndUnlockAreAcceptedOtherCommandsRefused) {
    EXPECT_EQ(send("Card,Reset").code, 0);
    EXPECT_EQ(send("Card,reset").code, 0);  // the driver's tick spells it so
    EXPECT_EQ(send("Card,Unlock").code, 0);
    EXPECT_EQ(state.releases, 2);
    EXPECT_EQ(send("Card,MemRead,16383,1").code, 0);
    EXPECT_EQ(send("Card,MemWrite,0,16384", 200, std::string(16384, 'w')).code, 0);
    state.readersUsed.clear();
    for (const std::string text :
         {"Card,Eject", "card,info,status", "Card,Info,Status ", " Card,Reset", "Card,RESET", "Card",
          "Card,Info,Status\n", "Device,Info", "Card,MemRead,16383,2", "Card,MemRead,16384,1", "Card,MemRead,0,0",
          "Card,MemRead,064,32", "Card,MemRead,+64,32", "Card,MemRead,-1,32", "Card,MemRead, 64,32",
          "Card,MemRead,64,32,", "Card,MemRead,64,32,1", "Card,MemRead,64", "Card,MemRead,,32", "Card,MemRead,64,",
          "Card,MemRead,4294967360,1", "Card,MemRead,99999,1", "Card,MemRead,1e3,1", "Card,MemWrite,0,16385"})
        EXPECT_EQ(send(text).code, scard32::kUnknownCommand) << text;
    EXPECT_EQ(send(std::string("Card,Reset\0x", 12)).code, scard32::kUnknownCommand);
    EXPECT_TRUE(state.readersUsed.empty());
}

}  // namespace
}  // namespace orvex::test
