#include "ScriptedSCard32Api.h"

#include <algorithm>
#include <cstdio>

#include "platform/DriverUnavailable.h"

namespace orvex::test {
namespace {

void putAnswer(std::string& output, const std::string& text) {
    const size_t n = std::min(text.size(), output.size());
    output.replace(0, n, text, 0, n);
}

// "Card,MemRead,64,32" → 64 and 32, inside the card.
bool parseRange(const std::string& command, size_t card, size_t& offset, size_t& length) {
    int used = 0;
    return std::sscanf(command.c_str(), "Card,Mem%*[a-zA-Z],%zu,%zu%n", &offset, &length, &used) == 2 &&
           used == static_cast<int>(command.size()) && offset <= card && length <= card - offset;
}

}  // namespace

int32_t ScriptedSCard32Api::SCardComand(int32_t& /*handle*/, const std::string& command,
                                        int32_t& /*commandLength*/, const std::string& input,
                                        int32_t& inputLength, std::string& output,
                                        int32_t& outputLength) {
    calls.push_back({command, input});
    if (unavailable) throw platform::DriverUnavailable("scripted: " + command);
    const auto it = std::find_if(scripts_.begin(), scripts_.end(), [&](const auto& s) {
        return command.rfind(s.first, 0) == 0 && (!s.first.empty() || command.empty());
    });
    if (it != scripts_.end()) {
        const Answer answer = std::move(it->second);
        scripts_.erase(it);
        if (answer.output) putAnswer(output, *answer.output);
        if (answer.outputLength) outputLength = *answer.outputLength;
        if (answer.inputLength) inputLength = *answer.inputLength;
        return answer.code;
    }
    if (command == "System,Info,VersionText") putAnswer(output, "CD test library 1.0");
    if (command == "Device,Info,Type") putAnswer(output, "CD test reader");
    if (command == "Device,Info,Status") putAnswer(output, deviceStatus);
    if (command == "Card,Info,Status") putAnswer(output, cardStatus);
    size_t offset = 0;
    size_t length = 0;
    if (command.rfind("Card,MemRead,", 0) == 0) {
        if (!parseRange(command, memory.size(), offset, length) || length > output.size()) return 1;
        output.replace(0, length, memory, offset, length);
        outputLength = static_cast<int32_t>(length);
    }
    if (command.rfind("Card,MemWrite,", 0) == 0) {
        if (!parseRange(command, memory.size(), offset, length) || length > input.size()) return 1;
        memory.replace(offset, length, input, 0, length);
        inputLength = static_cast<int32_t>(length);
    }
    return 0;
}

}  // namespace orvex::test
