// The APDUs of a memory card through PC/SC, and the names of PC/SC codes.
#include <gtest/gtest.h>

#include <functional>

#include "platform/pcsc/StorageCardProtocol.h"
#include "platform/pcsc/pcscErrorName.h"

namespace orvex::test {
namespace {

using namespace platform;
using Answer = std::function<BackendStatus(const ApduBytes&, ApduBytes&)>;

Answer always(ApduBytes reply) {
    return [reply](const ApduBytes&, ApduBytes& response) { return response = reply, BackendStatus::success(); };
}

// Answers like a good card (the bytes asked for and 90 00) unless told
// otherwise; records every command.
struct FakeCard final : ApduTransmitter {
    Answer answer = [](const ApduBytes& command, ApduBytes& response) {
        response.assign(command[1] == 0xB0 ? command[4] : 0, 0xA5);
        response.insert(response.end(), {0x90, 0x00});
        return BackendStatus::success();
    };
    std::vector<ApduBytes> commands;
    BackendStatus transmit(const ApduBytes& command, ApduBytes& response) override {
        commands.push_back(command);
        return answer(command, response);
    }
};

class StorageCardProtocolTest : public ::testing::Test {
protected:
    // The commands so far cover [from, to) in order, every update inside one page.
    void expectCovered(uint32_t from, uint32_t to) {
        for (const auto& command : card.commands) {
            const uint32_t at = (command[2] << 8) | command[3];
            EXPECT_EQ(at, from);
            if (command[1] == 0xD6) {
                EXPECT_EQ(at / 64, (at + command[4] - 1) / 64) << "update at " << at << " crosses a page";
                EXPECT_EQ(command.size(), 5u + command[4]);
            }
            from += command[4];
        }
        EXPECT_EQ(from, to);
        card.commands.clear();
    }
    FakeCard card;
    StorageCardProtocol protocol{card};
    std::string bytes;
};

TEST_F(StorageCardProtocolTest, FewestPiecesOfAtMost255BytesAndUpdatesInsideOnePage) {
    ASSERT_TRUE(protocol.read(0, 16384, bytes).ok());
    EXPECT_EQ(bytes.size(), 16384u);
    ASSERT_EQ(card.commands.size(), 65u);  // 64 x 255 + 64
    EXPECT_EQ(card.commands.back()[4], 64);
    expectCovered(0, 16384);
    ASSERT_TRUE(protocol.write(100, std::string(512, 'x')).ok());
    ASSERT_EQ(card.commands.size(), 9u);  // 100..127, seven whole pages, 576..611
    expectCovered(100, 612);
    EXPECT_EQ(StorageCardProtocol::writePieces(0, 16384).size(), 256u);
    EXPECT_EQ(StorageCardProtocol::writePieces(63, 2), (std::vector<CardPiece>{{63, 1}, {64, 1}}));
    EXPECT_EQ(StorageCardProtocol::readPieces(10, 510), (std::vector<CardPiece>{{10, 255}, {265, 255}}));
    EXPECT_TRUE(StorageCardProtocol::readPieces(0, 0).empty());
}

TEST_F(StorageCardProtocolTest, WrongAnswersFailAndDeliverNothing) {
    const Answer shortAnswer = [](const ApduBytes& command, ApduBytes& response) {
        response.assign(command[4] - 1u, 0x11);
        response.insert(response.end(), {0x90, 0x00});
        return BackendStatus::success();
    };
    const Answer removed = [](const ApduBytes&, ApduBytes&) {
        return BackendStatus::failure(BackendFault::NoCard, "SCardTransmit: SCARD_W_REMOVED_CARD");
    };
    const Answer secondRefused = [this](const ApduBytes&, ApduBytes& response) {
        response = card.commands.size() == 2 ? ApduBytes{0x65, 0x81} : ApduBytes{0x90, 0x00};
        return BackendStatus::success();
    };
    // write: the length of a write from 0, else a read of 2 bytes; a write stops where it failed.
    const struct { const char* name; Answer answer; size_t write; BackendFault fault; const char* named; } rows[] = {
        {"short answer", shortAnswer, 0, BackendFault::Card, ""},
        {"long answer to a read", always({1, 2, 3, 0x90, 0x00}), 0, BackendFault::Card, ""},
        {"long answer to an update", always({1, 2, 3, 0x90, 0x00}), 2, BackendFault::Card, ""},
        {"no status word", always({0x90}), 0, BackendFault::Card, ""},
        {"bad status word", always({0x6A, 0x82}), 0, BackendFault::Card, "6A82"},
        {"transport failure", removed, 2, BackendFault::NoCard, "SCARD_W_REMOVED_CARD"},
        {"second update refused", secondRefused, 256, BackendFault::Card, "at 64: status word 6581"},
    };
    for (const auto& row : rows) {
        card.answer = row.answer;
        card.commands.clear();
        bytes = "untouched";
        const BackendStatus status =
            row.write ? protocol.write(0, std::string(row.write, 'x')) : protocol.read(0, 2, bytes);
        EXPECT_EQ(status.fault(), row.fault) << row.name;
        EXPECT_NE(status.text().find(row.named), std::string::npos) << row.name << ": " << status.text();
        EXPECT_EQ(bytes, "untouched") << row.name;
        EXPECT_EQ(card.commands.size(), row.write > 64 ? 2u : 1u) << row.name;
    }
}

TEST_F(StorageCardProtocolTest, ProbeTellsAMemoryCardFromARefusal) {
    bool answers = false;
    ASSERT_TRUE(protocol.probe(answers).ok());
    EXPECT_TRUE(answers);
    EXPECT_EQ(card.commands.back(), (ApduBytes{0xFF, 0xB0, 0x00, 0x00, 0x01}));
    card.answer = always({0x6D, 0x00});
    ASSERT_TRUE(protocol.probe(answers).ok());
    EXPECT_FALSE(answers);
}

TEST(PcscErrorName, CodesReadAsTheirSymbolicNamesAndServiceProblemsSayWhatIsWrong) {
    EXPECT_EQ(platform::pcscErrorName(0x12345678u), "SCARD code 0x12345678");
    EXPECT_EQ(platform::pcscFailureText(0x8010001Du), "the PC/SC service is not running (SCARD_E_NO_SERVICE)");
    EXPECT_EQ(platform::pcscFailureText(0x80100027u), "the PC/SC service refuses access (SCARD_E_NO_ACCESS)");
    EXPECT_EQ(platform::pcscFailureText(0x80100069u), "SCARD_W_REMOVED_CARD");
}

}  // namespace
}  // namespace orvex::test
