#include <gtest/gtest.h>

#include <functional>

#include "platform/pcsc/StorageCardProtocol.h"

namespace orvex::test {
namespace {

using platform::ApduBytes;
using platform::BackendFault;
using platform::BackendStatus;
using platform::CardPiece;
using platform::StorageCardProtocol;

// Answers like a good card (the bytes asked for and 90 00) unless a test
// replaces the answer; records every command.
class FakeTransmitter final : public platform::ApduTransmitter {
public:
    std::function<BackendStatus(const ApduBytes&, ApduBytes&)> answer = [](const ApduBytes& command,
                                                                           ApduBytes& response) {
        response.assign(command[1] == 0xB0 ? command[4] : 0, 0xA5);
        response.push_back(0x90);
        response.push_back(0x00);
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
    FakeTransmitter card;
    StorageCardProtocol protocol{card};
};

TEST_F(StorageCardProtocolTest, AddressesAreSplitIntoHighAndLowByte) {
    std::string bytes;
    ASSERT_TRUE(protocol.read(0x00FF, 1, bytes).ok());
    ASSERT_TRUE(protocol.read(0x0100, 1, bytes).ok());
    ASSERT_TRUE(protocol.read(0x3FFF, 1, bytes).ok());
    ASSERT_EQ(card.commands.size(), 3u);
    EXPECT_EQ(card.commands[0], (ApduBytes{0xFF, 0xB0, 0x00, 0xFF, 0x01}));
    EXPECT_EQ(card.commands[1], (ApduBytes{0xFF, 0xB0, 0x01, 0x00, 0x01}));
    EXPECT_EQ(card.commands[2], (ApduBytes{0xFF, 0xB0, 0x3F, 0xFF, 0x01}));
}

TEST_F(StorageCardProtocolTest, UpdateCarriesAddressLengthAndData) {
    ASSERT_TRUE(protocol.write(0x3FFE, std::string("\x01\x02", 2)).ok());
    ASSERT_EQ(card.commands.size(), 1u);
    EXPECT_EQ(card.commands[0], (ApduBytes{0xFF, 0xD6, 0x3F, 0xFE, 0x02, 0x01, 0x02}));
}

TEST_F(StorageCardProtocolTest, RangesBeyondTheLastByteAreRefusedWithoutAnExchange) {
    std::string bytes;
    EXPECT_EQ(protocol.read(16383, 2, bytes).fault(), BackendFault::Range);
    EXPECT_EQ(protocol.read(0xFFFFFFFFu, 2, bytes).fault(), BackendFault::Range);
    EXPECT_EQ(protocol.write(16384, "x").fault(), BackendFault::Range);
    EXPECT_TRUE(card.commands.empty());
}

TEST_F(StorageCardProtocolTest, ReadsMoveAtMost255BytesPerCommand) {
    std::string bytes;
    ASSERT_TRUE(protocol.read(0, 16384, bytes).ok());
    EXPECT_EQ(bytes.size(), 16384u);
    ASSERT_EQ(card.commands.size(), 65u);  // 64 x 255 + 64
    uint32_t next = 0;
    for (const auto& command : card.commands) {
        EXPECT_EQ((command[2] << 8) | command[3], static_cast<int>(next));
        next += command[4];
    }
    EXPECT_EQ(next, 16384u);
    EXPECT_EQ(card.commands.back()[4], 64);
}

TEST_F(StorageCardProtocolTest, UpdatesNeverCrossA64BytePage) {
    const std::string data(512, 'x');
    ASSERT_TRUE(protocol.write(100, data).ok());
    // 100..127, seven whole pages, 576..611: one command per page touched.
    ASSERT_EQ(card.commands.size(), 9u);
    uint32_t next = 100;
    for (const auto& command : card.commands) {
        const uint32_t at = (command[2] << 8) | command[3];
        EXPECT_EQ(at, next);
        EXPECT_EQ(at / 64, (at + command[4] - 1) / 64) << "update at " << at << " crosses a page";
        EXPECT_EQ(command.size(), 5u + command[4]);
        next += command[4];
    }
    EXPECT_EQ(next, 612u);
}

TEST_F(StorageCardProtocolTest, AWriteAcrossThe00FFBoundaryIsTwoUpdates) {
    ASSERT_TRUE(protocol.write(0x00FF, "ab").ok());
    ASSERT_EQ(card.commands.size(), 2u);
    EXPECT_EQ(card.commands[0], (ApduBytes{0xFF, 0xD6, 0x00, 0xFF, 0x01, 'a'}));
    EXPECT_EQ(card.commands[1], (ApduBytes{0xFF, 0xD6, 0x01, 0x00, 0x01, 'b'}));
}

TEST(StorageCardPieces, FewestCommandsForTheLimits) {
    EXPECT_EQ(StorageCardProtocol::writePieces(0, 16384).size(), 256u);
    EXPECT_EQ(StorageCardProtocol::writePieces(64, 64), (std::vector<CardPiece>{{64, 64}}));
    EXPECT_EQ(StorageCardProtocol::writePieces(63, 2), (std::vector<CardPiece>{{63, 1}, {64, 1}}));
    EXPECT_EQ(StorageCardProtocol::readPieces(10, 510), (std::vector<CardPiece>{{10, 255}, {265, 255}}));
    EXPECT_TRUE(StorageCardProtocol::readPieces(0, 0).empty());
}

TEST_F(StorageCardProtocolTest, AShortAnswerFailsInsteadOfDeliveringShortData) {
    card.answer = [](const ApduBytes& command, ApduBytes& response) {
        response.assign(command[4] - 1u, 0x11);
        response.insert(response.end(), {0x90, 0x00});
        return BackendStatus::success();
    };
    std::string bytes = "untouched";
    const BackendStatus status = protocol.read(0, 10, bytes);
    EXPECT_EQ(status.fault(), BackendFault::Card);
    EXPECT_EQ(bytes, "untouched");
}

TEST_F(StorageCardProtocolTest, ALongAnswerFailsToo) {
    card.answer = [](const ApduBytes&, ApduBytes& response) {
        response = {1, 2, 3, 0x90, 0x00};
        return BackendStatus::success();
    };
    std::string bytes;
    EXPECT_FALSE(protocol.read(0, 2, bytes).ok());
    EXPECT_FALSE(protocol.write(0, "ab").ok());
}

TEST_F(StorageCardProtocolTest, ABadStatusWordStopsTheWriteAndIsNamed) {
    int calls = 0;
    card.answer = [&calls](const ApduBytes&, ApduBytes& response) {
        response = ++calls == 2 ? ApduBytes{0x65, 0x81} : ApduBytes{0x90, 0x00};
        return BackendStatus::success();
    };
    const BackendStatus status = protocol.write(0, std::string(256, 'x'));
    EXPECT_EQ(status.fault(), BackendFault::Card);
    EXPECT_NE(status.text().find("6581"), std::string::npos) << status.text();
    EXPECT_NE(status.text().find("at 64"), std::string::npos) << status.text();
    EXPECT_EQ(card.commands.size(), 2u);
}

TEST_F(StorageCardProtocolTest, AnAnswerWithoutStatusWordFails) {
    card.answer = [](const ApduBytes&, ApduBytes& response) {
        response = {0x90};
        return BackendStatus::success();
    };
    std::string bytes;
    EXPECT_EQ(protocol.read(0, 1, bytes).fault(), BackendFault::Card);
}

TEST_F(StorageCardProtocolTest, ATransportFailureKeepsItsKindAndSymbolicName) {
    card.answer = [](const ApduBytes&, ApduBytes&) {
        return BackendStatus::failure(BackendFault::NoCard, "SCardTransmit: SCARD_W_REMOVED_CARD");
    };
    const BackendStatus status = protocol.write(0, "x");
    EXPECT_EQ(status.fault(), BackendFault::NoCard);
    EXPECT_NE(status.text().find("SCARD_W_REMOVED_CARD"), std::string::npos);
}

TEST_F(StorageCardProtocolTest, ProbeTellsAMemoryCardFromARefusal) {
    bool answers = false;
    ASSERT_TRUE(protocol.probe(answers).ok());
    EXPECT_TRUE(answers);
    EXPECT_EQ(card.commands.back(), (ApduBytes{0xFF, 0xB0, 0x00, 0x00, 0x01}));
    card.answer = [](const ApduBytes&, ApduBytes& response) {
        response = {0x6D, 0x00};
        return BackendStatus::success();
    };
    ASSERT_TRUE(protocol.probe(answers).ok());
    EXPECT_FALSE(answers);
}

}  // namespace
}  // namespace orvex::test
