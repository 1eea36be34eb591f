#pragma once
// A text-command library whose answers a test scripts; every call is recorded
// with its arguments as they came in. Unscripted commands answer from a small
// model: status texts and 16384 bytes of card memory for "Card,MemRead" and
// "Card,MemWrite". Scripted answers are keyed by a command prefix and used
// once each, in order.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

    int32_t SCardComand(int32_t& handle, const std::string& command, int32_t& commandLength,
                        const std::string& input, int32_t& inputLength, std::string& output,
                        int32_t& outputLength) override;

private:
    std::vector<std::pair<std::string, Answer>> scripts_;
};

}  // namespace orvex::test
