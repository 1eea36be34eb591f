#pragma once
// One command text of the text-command library, parsed strictly: the exact
// command words, and for the memory commands decimal offset and length
// without signs, blanks or leading zeros that stay on the card.
#include <cstdint>
#include <optional>
#include <string_view>

namespace orvex::platform {

enum class CommandKind {
    Empty,
    VersionText,   // "System,Info,VersionText"
    DeviceStatus,  // "Device,Info,Status"
    DeviceType,    // "Device,Info,Type"
    CardStatus,    // "Card,Info,Status"
    MemRead,       // "Card,MemRead,<offset>,<length>"
    MemWrite,      // "Card,MemWrite,<offset>,<length>"
    CardReset,     // "Card,Reset" and "Card,reset"
    CardLock,      // "Card,Lock"
    CardUnlock,    // "Card,Unlock"
};

struct TextCommand {
    CommandKind kind = CommandKind::Empty;
    uint32_t offset = 0;
    uint32_t length = 0;

    // nullopt for anything that is not exactly one of the commands above.
    static std::optional<TextCommand> parse(std::string_view text);
};

}  // namespace orvex::platform
