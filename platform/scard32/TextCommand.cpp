#include "platform/scard32/TextCommand.h"

#include "platform/mcard/MemoryCardBackend.h"

namespace orvex::platform {
namespace {

constexpr size_t kMaxDigits = 5;

struct Word {
    std::string_view text;
    CommandKind kind;
};

constexpr Word kPlainCommands[] = {
    {"", CommandKind::Empty},
    {"System,Info,VersionText", CommandKind::VersionText},
    {"Device,Info,Status", CommandKind::DeviceStatus},
    {"Device,Info,Type", CommandKind::DeviceType},
    {"Card,Info,Status", CommandKind::CardStatus},
    {"Card,Reset", CommandKind::CardReset},
    {"Card,reset", CommandKind::CardReset},
    {"Card,Lock", CommandKind::CardLock},
    {"Card,Unlock", CommandKind::CardUnlock},
};

std::optional<uint32_t> number(std::string_view digits) {
    if (digits.empty() || digits.size() > kMaxDigits || (digits.size() > 1 && digits[0] == '0'))
        return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

// "<offset>,<length>": the range must lie on the card and hold a byte.
std::optional<TextCommand> memoryCommand(CommandKind kind, std::string_view arguments) {
    const size_t comma = arguments.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto offset = number(arguments.substr(0, comma));
    const auto length = number(arguments.substr(comma + 1));
    if (!offset || !length || *length == 0 || !withinCard(*offset, *length)) return std::nullopt;
    return TextCommand{kind, *offset, *length};
}

}  // namespace

std::optional<TextCommand> TextCommand::parse(std::string_view text) {
    for (const Word& word : kPlainCommands) {
        if (text == word.text) return TextCommand{word.kind, 0, 0};
    }
    constexpr std::string_view kRead = "Card,MemRead,";
    constexpr std::string_view kWrite = "Card,MemWrite,";
    if (text.starts_with(kRead)) return memoryCommand(CommandKind::MemRead, text.substr(kRead.size()));
    if (text.starts_with(kWrite)) return memoryCommand(CommandKind::MemWrite, text.substr(kWrite.size()));
    return std::nullopt;
}

}  // namespace orvex::platform
