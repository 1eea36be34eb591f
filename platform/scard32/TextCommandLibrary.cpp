#include "platform/scard32/TextCommandLibrary.h"

#include <algorithm>
#include <vector>

#include "platform/mcard/BackendLog.h"

namespace orvex::platform {
namespace {

size_t capacityOf(const std::string& bytes, int32_t length) {
    return length <= 0 ? 0 : std::min(bytes.size(), static_cast<size_t>(length));
}

// Writes an answer at the start of the caller's buffer, leaving the rest of
// it as the caller filled it.
int32_t answer(std::string& bytes, int32_t& length, const std::string& text, int32_t code = scard32::kOk) {
    if (text.size() > capacityOf(bytes, length)) return scard32::kBufferTooSmall;
    bytes.replace(0, text.size(), text);
    length = static_cast<int32_t>(text.size());
    return code;
}

}  // namespace

int32_t TextCommandLibrary::SCardComand(int32_t&, const std::string& command, int32_t&, const std::string& input,
                                        int32_t& inputLength, std::string& output, int32_t& outputLength) {
    const auto parsed = TextCommand::parse(command);
    if (!parsed) return scard32::kUnknownCommand;
    return run(*parsed, input, inputLength, Buffer{output, outputLength});
}

int32_t TextCommandLibrary::run(const TextCommand& command, const std::string& input, int32_t inputLength,
                                Buffer output) {
    switch (command.kind) {
    case CommandKind::Empty:
        return scard32::kOk;
    case CommandKind::CardLock:
        return cardLock();
    case CommandKind::CardUnlock:
        return cardUnlock();
    case CommandKind::VersionText:
        return answer(output.bytes, output.length, versionText_);
    case CommandKind::DeviceStatus:
        return deviceStatus(output);
    case CommandKind::DeviceType:
        return deviceType(output);
    case CommandKind::CardStatus:
        return cardStatus(output);
    case CommandKind::MemRead:
        return memRead(command, output);
    case CommandKind::MemWrite:
        return memWrite(command, input, inputLength, output);
    case CommandKind::CardReset:
        return cardReset();
    }
    return scard32::kUnknownCommand;
}

int32_t TextCommandLibrary::deviceStatus(Buffer output) {
    std::string reader;
    const int32_t code = firstReader(reader);
    if (code != scard32::kOk) {
        answer(output.bytes, output.length, "error: no reader");
        return code;
    }
    return answer(output.bytes, output.length, "ok");
}

int32_t TextCommandLibrary::deviceType(Buffer output) {
    std::string reader;
    const int32_t code = firstReader(reader);
    if (code != scard32::kOk) return code;
    return answer(output.bytes, output.length, reader);
}

int32_t TextCommandLibrary::cardStatus(Buffer output) {
    std::string reader;
    int32_t code = cardReader(reader);
    if (code != scard32::kOk) return code;
    CardPresence presence = CardPresence::Absent;
    BackendStatus status = backend_->cardPresence(reader, 0, presence);
    if (!status.ok()) return failed("Card,Info,Status", status);
    if (presence == CardPresence::ReaderGone) return scard32::kNoReader;
    if (presence == CardPresence::Absent) return answer(output.bytes, output.length, "wait");
    uint8_t type = 0;
    status = backend_->cardType(reader, type);
    if (!status.ok()) return failed("Card,Info,Status", status);
    return answer(output.bytes, output.length, type == kMemoryCardTypeByte ? "active" : "invalid");
}

int32_t TextCommandLibrary::memRead(const TextCommand& command, Buffer output) {
    if (capacityOf(output.bytes, output.length) < command.length) return scard32::kBufferTooSmall;
    output.length = 0;
    std::string reader;
    const int32_t code = cardReader(reader);
    if (code != scard32::kOk) return code;
    std::string bytes;
    const BackendStatus status = backend_->read(reader, command.offset, command.length, bytes);
    if (!status.ok()) return failed("Card,MemRead", status);
    output.bytes.replace(0, bytes.size(), bytes);
    output.length = static_cast<int32_t>(bytes.size());
    return scard32::kOk;
}

int32_t TextCommandLibrary::memWrite(const TextCommand& command, const std::string& input, int32_t inputLength,
                                     Buffer output) {
    if (inputLength < 0 || static_cast<uint32_t>(inputLength) != command.length || input.size() < command.length)
        return scard32::kBadArgument;
    output.length = 0;
    std::string reader;
    const int32_t code = cardReader(reader);
    if (code != scard32::kOk) return code;
    const BackendStatus status = backend_->write(reader, command.offset, input.substr(0, command.length));
    if (!status.ok()) return failed("Card,MemWrite", status);
    return scard32::kOk;
}

int32_t TextCommandLibrary::cardReset() {
    std::string reader;
    const int32_t code = firstReader(reader);
    if (code == scard32::kOk) backend_->release(reader);
    return code;
}

int32_t TextCommandLibrary::cardLock() {
    if (!held_.empty()) return scard32::kOk;
    std::string reader;
    const int32_t code = firstReader(reader);
    if (code != scard32::kOk) return code;
    const BackendStatus status = backend_->beginExclusive(reader);
    if (status.fault() == BackendFault::Busy) return scard32::kCardHeldElsewhere;
    if (!status.ok()) return failed("Card,Lock", status);
    held_ = reader;
    return scard32::kOk;
}

int32_t TextCommandLibrary::cardUnlock() {
    if (!held_.empty()) backend_->endExclusive(held_);
    held_.clear();
    return scard32::kOk;
}

// While "Card,Lock" holds a card, the card commands go to its reader without
// listing the readers again for every piece.
int32_t TextCommandLibrary::cardReader(std::string& reader) {
    if (held_.empty()) return firstReader(reader);
    reader = held_;
    return scard32::kOk;
}

int32_t TextCommandLibrary::firstReader(std::string& reader) {
    std::vector<std::string> names;
    const BackendStatus status = backend_->listReaders(names);
    if (!status.ok()) return failed("reader list", status);
    if (names.empty()) return scard32::kNoReader;
    reader = names.front();
    return scard32::kOk;
}

int32_t TextCommandLibrary::failed(const char* what, const BackendStatus& status) {
    backendLog(std::string(what) + ": " + status.text());
    switch (status.fault()) {
    case BackendFault::Service:
        return scard32::kServiceFailure;
    case BackendFault::Reader:
        return scard32::kNoReader;
    case BackendFault::NoCard:
        return scard32::kNoCard;
    case BackendFault::Range:
        return scard32::kBadArgument;
    default:
        return scard32::kCardFailure;
    }
}

}  // namespace orvex::platform
