#include <gtest/gtest.h>

#include "emulator/MemoryCardEmulator.h"
#include "emulator/VpcdFrameReader.h"

namespace orvex::test {
namespace {

using emulator::Bytes;
using emulator::MemoryCardEmulator;
using emulator::VpcdFrameReader;

TEST(VpcdFrameReader, MessagesSurviveAnyCutOfTheStream) {
    VpcdFrameReader reader;
    std::vector<Bytes> messages;
    for (uint8_t byte : Bytes{0x00, 0x01, 0x04, 0x00, 0x03, 0xFF, 0xB0, 0x00, 0x00, 0x00}) {
        reader.feed(&byte, 1);
        while (auto message = reader.next()) messages.push_back(*message);
    }
    EXPECT_EQ(messages, (std::vector<Bytes>{{0x04}, {0xFF, 0xB0, 0x00}, {}}));
    EXPECT_EQ(reader.pending(), 0u);

    // A length split across reads, then several messages in one read.
    const Bytes rest{0x00, 0xAA, 0x00, 0x02, 0x01, 0x02, 0x00};
    const Bytes big(0x100, 0xAA);
    reader.feed(Bytes{0x01}.data(), 1);
    EXPECT_FALSE(reader.next());
    reader.feed(rest.data(), 1);
    reader.feed(big.data(), big.size() - 1);
    EXPECT_FALSE(reader.next());
    reader.feed(rest.data() + 1, rest.size() - 1);
    EXPECT_EQ(reader.next(), big);
    EXPECT_EQ(reader.next(), (Bytes{0x01, 0x02}));
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.pending(), 1u);
}

TEST(VpcdFrameReader, FramingPutsTheLengthFirstBigEndian) {
    EXPECT_EQ(VpcdFrameReader::frame({0x90, 0x00}), (Bytes{0x00, 0x02, 0x90, 0x00}));
    const auto framed = VpcdFrameReader::frame(Bytes(0x1234, 0));
    EXPECT_EQ(framed->size(), 0x1236u);
    EXPECT_EQ((*framed)[0], 0x12);
    EXPECT_FALSE(VpcdFrameReader::frame(Bytes(0x10000, 0)));
}

TEST(MemoryCardEmulator, AnswersAtrReadAndUpdateWrappingInsideThePage) {
    MemoryCardEmulator card{Bytes(16384, 0)};
    EXPECT_EQ(card.handle({4}), MemoryCardEmulator::atr());
    for (uint8_t control = 0; control < 3; ++control) EXPECT_FALSE(card.handle({control})) << int{control};
    EXPECT_EQ(card.handle({0xFF, 0xD6, 0x3F, 0xFE, 0x02, 0x11, 0x22}), (Bytes{0x90, 0x00}));
    EXPECT_EQ(card.handle({0xFF, 0xB0, 0x3F, 0xFE, 0x02}), (Bytes{0x11, 0x22, 0x90, 0x00}));
    EXPECT_EQ(card.handle({0xFF, 0xB0, 0x00, 0x00, 0x00})->size(), 258u);
    EXPECT_EQ(card.handle({0xFF, 0xD6, 0x00, 0x3F, 0x02, 0xAA, 0xBB}), (Bytes{0x90, 0x00}));
    EXPECT_EQ(card.image()[0x3F], 0xAA);
    EXPECT_EQ(card.image()[0x00], 0xBB);
    EXPECT_EQ(card.image()[0x40], 0x00);
    EXPECT_EQ(card.updates(), 2u);
}

TEST(MemoryCardEmulator, BadCommandsGetTheirStatusWords) {
    MemoryCardEmulator card{Bytes(16384, 0)};
    EXPECT_EQ(card.handle({0x00, 0xB0, 0x00, 0x00, 0x01}), (Bytes{0x6E, 0x00}));
    EXPECT_EQ(card.handle({0xFF, 0xA4, 0x00, 0x00, 0x01}), (Bytes{0x6D, 0x00}));
    EXPECT_EQ(card.handle({0xFF, 0xB0, 0x3F, 0xFF, 0x02}), (Bytes{0x6B, 0x00}));
    EXPECT_EQ(card.handle({0xFF, 0xD6, 0x00, 0x00, 0x02, 0x01}), (Bytes{0x67, 0x00}));
    EXPECT_EQ(card.handle({0xFF, 0xD6, 0x00, 0x00, 0x00}), (Bytes{0x67, 0x00}));
    EXPECT_EQ(card.handle({0xFF, 0xB0, 0x00}), (Bytes{0x67, 0x00}));
    EXPECT_EQ(card.handle({0xFF, 0xB0, 0x00, 0x00, 0x01, 0x00}), (Bytes{0x67, 0x00}));
    EXPECT_EQ(card.updates(), 0u);
    EXPECT_EQ(card.image(), Bytes(16384, 0));
}

}  // namespace
}  // namespace orvex::test
