#include <gtest/gtest.h>

#include <optional>

#include "FakeBackend.h"
#include "platform/mcard/BackendLog.h"
#include "platform/scard32/TextCommandLibrary.h"

namespace orvex::test {
namespace {

using namespace platform;

struct Reply {
    int32_t code;
    std::string output;  // the whole buffer as the library left it
    int32_t outputLength;
    std::string text() const { return output.substr(0, output.find_last_not_of(' ') + 1); }
};

class TextCommandLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        setBackendLogSink([this](const std::string& line) { log.push_back(line); });
    }
    void TearDown() override { setBackendLogSink({}); }

    Reply send(const std::string& command, int32_t outputLength = 200, const std::string& input = {},
               std::optional<int32_t> announced = std::nullopt) {
        int32_t handle = 0, commandLength = 0;
        int32_t inputLength = announced.value_or(static_cast<int32_t>(input.size()));
        std::string output(static_cast<size_t>(outputLength), ' ');
        const int32_t code =
            library.SCardComand(handle, command, commandLength, input, inputLength, output, outputLength);
        return {code, output, outputLength};
    }

    FakeBackend::State state;
    TextCommandLibrary library{std::make_unique<FakeBackend>(state), "text commands 1.0"};
    std::vector<std::string> log;
};

TEST_F(TextCommandLibraryTest, AnswersFitTheBufferOrAreNotWritten) {
    EXPECT_EQ(send("System,Info,VersionText").text(), "text commands 1.0");
    EXPECT_EQ(send("", 0).code, 0);
    const Reply type = send("Device,Info,Type");
    EXPECT_EQ(type.text(), "Reader A");
    EXPECT_EQ(type.output.size(), 200u);
    const Reply tooLong = send("Device,Info,Type", 3);
    EXPECT_NE(tooLong.code, 0);
    EXPECT_EQ(tooLong.output, "   ");
}

TEST_F(TextCommandLibraryTest, StatusWordsNoReaderAndFailures) {
    EXPECT_EQ(send("Card,Info,Status").text(), "active");
    state.type = 0x42;
    EXPECT_EQ(send("Card,Info,Status").text(), "invalid");
    state.presence = CardPresence::Absent;
    EXPECT_EQ(send("Card,Info,Status").text(), "wait");
    state.failNext = BackendStatus::failure(BackendFault::Service, "the PC/SC service refuses access");
    EXPECT_NE(send("Card,Info,Status").code, 0);
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("refuses access"), std::string::npos);
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
