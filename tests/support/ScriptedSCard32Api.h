#pragma once
// A text-command library whose answers a test scripts. Every call is recorded
// with all seven arguments as they came in. Without a script a command
// answers from a small model: device and card status texts and 16384 bytes of
// card memory that "Card,MemRead" and "Card,MemWrite" use. Scripted answers
// are keyed by a command prefix ("Card,MemRead" matches every read) and used
// once each, in order; any answer can instead throw DriverUnavailable.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/scard32/SCard32Api.h"

namespace orvex::test {

class ScriptedSCard32Api final : public platform::SCard32Api {
public:
    struct Call {
        int32_t handle = 0;
        std::string command;
        int32_t commandLength = 0;
        std::string input;
        int32_t inputLength = 0;
        std::string output;  // the buffer as it came in
        int32_t outputLength = 0;
        std::chrono::milliseconds at{0};
    };
    struct Answer {
        int32_t code = 0;
        std::optional<std::string> output;     // replaces the start of the buffer
        std::optional<int32_t> outputLength;   // what the library reports back
        std::optional<int32_t> inputLength;
        bool unavailable = false;

        static Answer returning(int32_t c) { Answer a; a.code = c; return a; }
        static Answer missing() { Answer a; a.unavailable = true; return a; }
        Answer& withOutput(std::string o) { output = std::move(o); return *this; }
        Answer& withOutputLength(int32_t l) { outputLength = l; return *this; }
        Answer& withInputLength(int32_t l) { inputLength = l; return *this; }
    };

    ScriptedSCard32Api();

    void script(const std::string& commandPrefix, Answer answer);
    void setUnavailable(bool unavailable) { unavailable_ = unavailable; }
    void setClock(std::function<std::chrono::milliseconds()> now) { now_ = std::move(now); }

    // The model.
    std::string versionText = "CD test library 1.0";
    std::string deviceType = "CD test reader";
    std::string deviceStatus = "ok";
    std::string cardStatus = "active";
    std::string memory;  // 16384 bytes, initially zero

    const std::vector<Call>& calls() const { return calls_; }
    std::vector<std::string> commands() const;
    int count(const std::string& command) const;
    void clearCalls() { calls_.clear(); }

    int32_t SCardComand(int32_t& handle, const std::string& command, int32_t& commandLength,
                        const std::string& input, int32_t& inputLength, std::string& output,
                        int32_t& outputLength) override;

private:
    std::optional<Answer> takeScripted(const std::string& command);
    int32_t modelAnswer(const std::string& command, const std::string& input,
                        int32_t& inputLength, std::string& output, int32_t& outputLength);

    std::vector<std::pair<std::string, Answer>> scripts_;
    std::vector<Call> calls_;
    std::function<std::chrono::milliseconds()> now_;
    bool unavailable_ = false;
};

}  // namespace orvex::test
