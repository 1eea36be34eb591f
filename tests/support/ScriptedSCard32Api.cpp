#include "ScriptedSCard32Api.h"

#include <algorithm>
#include <charconv>

#include "platform/DriverUnavailable.h"

namespace orvex::test {
namespace {

constexpr size_t kCardSize = 16384;
constexpr int32_t kFailure = 1;

void putAnswer(std::string& output, const std::string& text) {
    output.replace(0, std::min(text.size(), output.size()), text, 0,
                   std::min(text.size(), output.size()));
}

// "Card,MemRead,64,32" → 64 and 32.
bool parseRange(const std::string& command, size_t& offset, size_t& length) {
    const size_t second = command.find(',', command.find(',') + 1);
    const size_t third = command.find(',', second + 1);
    if (second == std::string::npos || third == std::string::npos) return false;
    const char* end = command.data() + command.size();
    const auto a = std::from_chars(command.data() + second + 1, command.data() + third, offset);
    const auto b = std::from_chars(command.data() + third + 1, end, length);
    return a.ec == std::errc() && b.ec == std::errc() && b.ptr == end &&
           offset <= kCardSize && length <= kCardSize - offset;
}

}  // namespace

ScriptedSCard32Api::ScriptedSCard32Api() : memory(kCardSize, '\0') {}

void ScriptedSCard32Api::script(const std::string& commandPrefix, Answer answer) {
    scripts_.emplace_back(commandPrefix, std::move(answer));
}

std::vector<std::string> ScriptedSCard32Api::commands() const {
    std::vector<std::string> out;
    for (const auto& c : calls_) out.push_back(c.command);
    return out;
}

int ScriptedSCard32Api::count(const std::string& command) const {
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                          [&](const Call& c) { return c.command == command; }));
}

std::optional<ScriptedSCard32Api::Answer> ScriptedSCard32Api::takeScripted(const std::string& command) {
    for (auto it = scripts_.begin(); it != scripts_.end(); ++it) {
        if (command.rfind(it->first, 0) == 0 && (!it->first.empty() || command.empty())) {
            Answer answer = std::move(it->second);
            scripts_.erase(it);
            return answer;
        }
    }
    return std::nullopt;
}

int32_t ScriptedSCard32Api::SCardComand(int32_t& handle, const std::string& command,
                                        int32_t& commandLength, const std::string& input,
                                        int32_t& inputLength, std::string& output,
                                        int32_t& outputLength) {
    calls_.push_back({handle, command, commandLength, input, inputLength, output, outputLength,
                      now_ ? now_() : std::chrono::milliseconds(0)});
    const std::optional<Answer> scripted = takeScripted(command);
    if (unavailable_ || (scripted && scripted->unavailable)) {
        throw platform::DriverUnavailable("scripted: " + command);
    }
    if (!scripted) return modelAnswer(command, input, inputLength, output, outputLength);
    if (scripted->output) putAnswer(output, *scripted->output);
    if (scripted->outputLength) outputLength = *scripted->outputLength;
    if (scripted->inputLength) inputLength = *scripted->inputLength;
    return scripted->code;
}

int32_t ScriptedSCard32Api::modelAnswer(const std::string& command, const std::string& input,
                                        int32_t& inputLength, std::string& output,
                                        int32_t& outputLength) {
    if (command == "System,Info,VersionText") putAnswer(output, versionText);
    if (command == "Device,Info,Type") putAnswer(output, deviceType);
    if (command == "Device,Info,Status") putAnswer(output, deviceStatus);
    if (command == "Card,Info,Status") putAnswer(output, cardStatus);
    size_t offset = 0;
    size_t length = 0;
    if (command.rfind("Card,MemRead,", 0) == 0) {
        if (!parseRange(command, offset, length) || length > output.size()) return kFailure;
        output.replace(0, length, memory, offset, length);
        outputLength = static_cast<int32_t>(length);
    }
    if (command.rfind("Card,MemWrite,", 0) == 0) {
        if (!parseRange(command, offset, length) || length > input.size()) return kFailure;
        memory.replace(offset, length, input, 0, length);
        inputLength = static_cast<int32_t>(length);
    }
    return 0;
}

}  // namespace orvex::test
