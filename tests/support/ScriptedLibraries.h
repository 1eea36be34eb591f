#pragma once
// The two libraries the drivers speak to, with answers a test scripts. Every
// call is recorded with its arguments as they came in. An unscripted call
// answers from a small model: a reader list, a card inserted or not, status
// texts and 16384 bytes of card memory.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/DriverUnavailable.h"
#include "platform/mcard/MCardApi.h"
#include "platform/scard32/SCard32Api.h"

namespace orvex::test {

namespace mc = platform::mcard;

// The calls so far, and the scripted answers: each is used once, in order, by
// the first call whose name starts with its prefix.
template <typename Answer>
class ScriptedCalls {
public:
    struct Call {
        std::string name;
        std::vector<int64_t> numbers;  // numeric arguments in order
        std::string text;              // reader name, groups, command input or data
    };

    void script(const std::string& prefix, Answer answer) { scripts_.emplace_back(prefix, std::move(answer)); }

    std::vector<Call> calls;
    std::vector<Call> callsOf(const std::string& prefix) const {
        std::vector<Call> out;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                     [&](const Call& c) { return c.name.rfind(prefix, 0) == 0; });
        return out;
    }
    std::vector<std::string> names(const std::string& prefix = "") const {
        std::vector<std::string> out;
        for (const Call& c : callsOf(prefix)) out.push_back(c.name);
        return out;
    }
    std::string memory = std::string(16384, '\0');

protected:
    bool inMemory(size_t offset, size_t length) const {
        return offset <= memory.size() && length <= memory.size() - offset;
    }
    std::optional<Answer> take(const std::string& name, std::vector<int64_t> numbers, std::string text = {}) {
        calls.push_back({name, std::move(numbers), std::move(text)});
        const auto it = std::find_if(scripts_.begin(), scripts_.end(),
                                     [&](const auto& s) { return name.rfind(s.first, 0) == 0; });
        if (it == scripts_.end()) return std::nullopt;
        Answer answer = std::move(it->second);
        scripts_.erase(it);
        return answer;
    }

private:
    std::vector<std::pair<std::string, Answer>> scripts_;
};

struct MCardAnswer {
    platform::mcard_code code = mc::MCARD_S_SUCCESS;
    std::optional<int32_t> value{};  // context or card state
    bool unavailable = false;        // throw DriverUnavailable instead
};

class ScriptedMCardApi final : public platform::MCardApi, public ScriptedCalls<MCardAnswer> {
public:
    using Code = platform::mcard_code;
    static constexpr Code kOk = mc::MCARD_S_SUCCESS;

    std::vector<std::string> readers{"Test Reader 0"};
    bool cardInserted = true;
    uint8_t cardType = mc::kMemoryCardType;

    Code SCardEstablishContext(uint32_t scope, int32_t& context) override {
        const auto a = enter("SCardEstablishContext", {scope, context});
        context = a && a->value ? *a->value : 1;
        return a ? a->code : kOk;
    }
    Code SCardListReadersA(int32_t context, const std::string& groups, std::string& buffer, uint32_t& length) override {
        const auto a = enter("SCardListReadersA", {context, length}, groups);
        if (a && a->code != kOk) return a->code;
        if (readers.empty()) return 0x8010002Eu;  // PC/SC: no reader attached
        std::string list;
        for (const auto& name : readers) list += name + '\0';
        length = static_cast<uint32_t>(std::min(list.size() + 1, buffer.size()));
        buffer.replace(0, length, list + '\0', 0, length);
        return kOk;
    }
    Code SCardReleaseContext(int32_t context) override { return plain("SCardReleaseContext", {context}); }
    Code MCardInitialize(int32_t scardContext, const std::string& readerName, int32_t& mcardContext,
                         uint32_t& version) override {
        const auto a = enter("MCardInitialize", {scardContext, mcardContext, version}, readerName);
        if (a && a->code != kOk) return a->code;
        mcardContext = 7, version = 3;
        return kOk;
    }
    Code MCardShutdown(int32_t mcardContext) override { return plain("MCardShutdown", {mcardContext}); }
    Code MCardConnect(int32_t mcardContext, uint32_t connectMode, uint8_t type, int32_t& cardHandle) override {
        const auto a = enter("MCardConnect", {mcardContext, connectMode, type, cardHandle});
        if (a && a->code != kOk) return a->code;
        if (!cardInserted) return mc::MCARD_E_UNKNOWN_CARD;
        cardHandle = 9;
        return kOk;
    }
    Code MCardGetAttrib(int32_t cardHandle, uint32_t attribId, std::string& buffer, uint32_t& length) override {
        const auto a = enter("MCardGetAttrib", {cardHandle, attribId, length}, buffer);
        if (a && a->code != kOk) return a->code;
        if (!buffer.empty()) buffer[0] = static_cast<char>(cardType);
        return kOk;
    }
    Code MCardDisconnect(int32_t cardHandle, uint32_t disposition) override {
        return plain("MCardDisconnect", {cardHandle, disposition});
    }
    Code MCardWaitForCardState(int32_t mcardContext, uint32_t expectedState, int32_t& state,
                               uint32_t timeoutMs) override {
        const auto a = enter("MCardWaitForCardState", {mcardContext, expectedState, state, timeoutMs});
        if (a && a->value) state = *a->value;
        if (a) return a->code;
        state = cardInserted ? mc::kStatePresent : 2;
        return cardInserted ? kOk : mc::MCARD_E_UNKNOWN_CARD;
    }
    Code MCardReadMemory(int32_t cardHandle, uint8_t zone, uint32_t offset, std::string& buffer,
                         uint32_t& length) override {
        const auto a = enter("MCardReadMemory", {cardHandle, zone, offset, length});
        if (a && a->code != kOk) return a->code;
        if (!inMemory(offset, length) || length > buffer.size()) return mc::MCARD_E_INVALID_MEMORY_RANGE;
        buffer.replace(0, length, memory, offset, length);
        return kOk;
    }
    Code MCardWriteMemory(int32_t cardHandle, uint8_t zone, uint32_t offset, const std::string& data,
                          uint32_t& length) override {
        const auto a = enter("MCardWriteMemory", {cardHandle, zone, offset, length}, data);
        if (a && a->code != kOk) return a->code;
        if (!inMemory(offset, length) || length > data.size()) return mc::MCARD_E_INVALID_MEMORY_RANGE;
        memory.replace(offset, length, data, 0, length);
        return kOk;
    }
    Code MCardBeginTransaction(int32_t cardHandle) override { return plain("MCardBeginTransaction", {cardHandle}); }
    Code MCardEndTransaction(int32_t cardHandle) override { return plain("MCardEndTransaction", {cardHandle}); }

private:
    std::optional<MCardAnswer> enter(const std::string& function, std::vector<int64_t> numbers, std::string text = {}) {
        auto answer = take(function, std::move(numbers), std::move(text));
        if (answer && answer->unavailable) throw platform::DriverUnavailable("scripted: " + function);
        return answer;
    }
    Code plain(const std::string& function, std::vector<int64_t> numbers) {
        const auto a = enter(function, std::move(numbers));
        return a ? a->code : kOk;
    }
};

struct SCard32Answer {
    int32_t code = 0;
    std::optional<std::string> output{};    // replaces the start of the buffer
    std::optional<int32_t> outputLength{};  // what the library reports back
    std::optional<int32_t> inputLength{};
};

// Also answers "Card,MemRead" and "Card,MemWrite" from its memory.
class ScriptedSCard32Api final : public platform::SCard32Api, public ScriptedCalls<SCard32Answer> {
public:
    bool unavailable = false;  // every call throws DriverUnavailable while set
    std::string cardStatus = "active";

    int32_t SCardComand(int32_t& /*handle*/, const std::string& command, int32_t& /*commandLength*/,
                        const std::string& input, int32_t& inputLength, std::string& output,
                        int32_t& outputLength) override {
        const auto answer = take(command, {}, input);
        if (unavailable) throw platform::DriverUnavailable("scripted: " + command);
        if (answer) {
            if (answer->output) putAnswer(output, *answer->output);
            if (answer->outputLength) outputLength = *answer->outputLength;
            if (answer->inputLength) inputLength = *answer->inputLength;
            return answer->code;
        }
        if (command == "Device,Info,Status") putAnswer(output, "ok");
        if (command == "Card,Info,Status") putAnswer(output, cardStatus);
        size_t offset = 0, length = 0;
        if (command.rfind("Card,MemRead,", 0) == 0) {
            if (!parseRange(command, offset, length) || length > output.size()) return 1;
            output.replace(0, length, memory, offset, length);
            outputLength = static_cast<int32_t>(length);
        }
        if (command.rfind("Card,MemWrite,", 0) == 0) {
            if (!parseRange(command, offset, length) || length > input.size()) return 1;
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
    bool parseRange(const std::string& command, size_t& offset, size_t& length) const {
        int used = 0;
        return std::sscanf(command.c_str(), "Card,Mem%*[a-zA-Z],%zu,%zu%n", &offset, &length, &used) == 2 &&
               used == static_cast<int>(command.size()) && inMemory(offset, length);
    }
};

}  // namespace orvex::test
