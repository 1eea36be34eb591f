#pragma once
// A text-command library whose answers a test scripts; every call is recorded
// with its arguments as they came in. Unscripted commands answer from a small
// model: status texts and 16384 bytes of card memory for "Card,MemRead" and
// "Card,MemWrite". Scripted answers are keyed by a command prefix and used
// once each, in order.
#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/DriverUnavailable.h"
#include "platform/scard32/SCard32Api.h"

namespace orvex::test {

class ScriptedSCard32Api final : public platform::SCard32Api {
public:
    struct Call {
        std::string command;
        std::string input;
    };
    struct Answer {
        int32_t code = 0;
        std::optional<std::string> output{};    // replaces the start of the buffer
        std::optional<int32_t> outputLength{};  // what the library reports back
        std::optional<int32_t> inputLength{};
    };

    void script(const std::string& prefix, Answer answer) { scripts_.emplace_back(prefix, std::move(answer)); }
    bool unavailable = false;  // every call throws DriverUnavailable while set

    std::string deviceStatus = "ok";
    std::string cardStatus = "active";
    std::string memory = std::string(16384, '\0');

    std::vector<Call> calls;
    std::vector<std::string> commands(const std::string& prefix = "") const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.command.rfind(prefix, 0) == 0) out.push_back(c.command);
        return out;
    }
    int count(const std::string& command) const {
        const auto all = commands(command);
        return static_cast<int>(std::count(all.begin(), all.end(), command));
    }

    int32_t SCardComand(int32_t& /*handle*/, const std::string& command, int32_t& /*commandLength*/,
                        const std::string& input, int32_t& inputLength, std::string& output,
                        int32_t& outputLength) override {
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

private:
    static void putAnswer(std::string& output, const std::string& text) {
        const size_t n = std::min(text.size(), output.size());
        output.replace(0, n, text, 0, n);
    }
    // "Card,MemRead,64,32" → 64 and 32, inside the card.
    static bool parseRange(const std::string& command, size_t card, size_t& offset, size_t& length) {
        int used = 0;
        return std::sscanf(command.c_str(), "Card,Mem%*[a-zA-Z],%zu,%zu%n", &offset, &length, &used) == 2 &&
               used == static_cast<int>(command.size()) && offset <= card && length <= card - offset;
    }

    std::vector<std::pair<std::string, Answer>> scripts_;
};

}  // namespace orvex::test
