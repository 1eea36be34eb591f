#include <gtest/gtest.h>

#include "platform/scard32/TextCommand.h"

namespace orvex::test {
namespace {

using platform::CommandKind;
using platform::TextCommand;

TEST(TextCommand, PlainCommandsAreMatchedExactly) {
    const std::pair<const char*, CommandKind> known[] = {
        {"", CommandKind::Empty},                 {"System,Info,VersionText", CommandKind::VersionText},
        {"Device,Info,Status", CommandKind::DeviceStatus}, {"Device,Info,Type", CommandKind::DeviceType},
        {"Card,Info,Status", CommandKind::CardStatus},     {"Card,Reset", CommandKind::CardReset},
        {"Card,reset", CommandKind::CardReset},            {"Card,Unlock", CommandKind::CardUnlock}};
    for (const auto& [text, kind] : known) {
        const auto command = TextCommand::parse(text);
        ASSERT_TRUE(command) << text;
        EXPECT_EQ(command->kind, kind) << text;
    }
    for (const char* text : {"card,info,status", "Card,Info,Status ", " Card,Reset", "Card,RESET", "Card",
                             "Card,Info,Status\n", "Device,Info"}) {
        EXPECT_FALSE(TextCommand::parse(text)) << text;
    }
    EXPECT_FALSE(TextCommand::parse(std::string("Card,Reset\0x", 12)));
}

TEST(TextCommand, MemoryCommandsCarryStrictOffsetAndLength) {
    const auto read = TextCommand::parse("Card,MemRead,64,32");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->kind, CommandKind::MemRead);
    EXPECT_EQ(read->offset, 64u);
    EXPECT_EQ(read->length, 32u);
    const auto write = TextCommand::parse("Card,MemWrite,0,16384");
    ASSERT_TRUE(write);
    EXPECT_EQ(write->kind, CommandKind::MemWrite);
    EXPECT_EQ(write->length, 16384u);
    EXPECT_TRUE(TextCommand::parse("Card,MemRead,16383,1"));
    for (const char* text : {"Card,MemRead,16383,2", "Card,MemRead,16384,1", "Card,MemRead,0,0",
                             "Card,MemRead,064,32", "Card,MemRead,+64,32", "Card,MemRead,-1,32",
                             "Card,MemRead, 64,32", "Card,MemRead,64,32,", "Card,MemRead,64,32,1",
                             "Card,MemRead,64", "Card,MemRead,,32", "Card,MemRead,64,", "Card,MemRead,4294967360,1",
                             "Card,MemRead,99999,1", "Card,MemRead,1e3,1", "Card,MemWrite,0,16385"}) {
        EXPECT_FALSE(TextCommand::parse(text)) << text;
    }
}

}  // namespace
}  // namespace orvex::test
