#pragma once
// A memory-card API whose answers a test scripts; every call is recorded with
// its numeric and text arguments. Unscripted calls answer from a small model:
// a reader list, a card inserted or not, 16384 bytes of card memory. Scripted
// answers are used once each, in order, per function.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/DriverUnavailable.h"
#include "platform/mcard/MCardApi.h"

namespace orvex::test {

namespace mc = platform::mcard;

class ScriptedMCardApi final : public platform::MCardApi {
public:
    using Code = platform::mcard_code;
    static constexpr Code kOk = mc::MCARD_S_SUCCESS;
    struct Call {
        std::string function;
        std::vector<int64_t> numbers;  // numeric arguments in order, as passed in
        std::string text;              // name, groups or data
    };
    struct Answer {
        Code code = kOk;
        std::optional<int32_t> value{};      // context or card state
        std::optional<std::string> bytes{};  // MCardReadMemory buffer
        std::optional<uint32_t> length{};    // MCardReadMemory length
        bool unavailable = false;            // throw DriverUnavailable instead
    };

    void script(const std::string& function, Answer answer) { scripts_[function].push_back(std::move(answer)); }

    std::vector<std::string> readers{"Test Reader 0"};
    bool cardInserted = true;
    uint8_t cardType = mc::kMemoryCardType;
    std::string memory = std::string(16384, '\0');

    std::vector<Call> calls;
    std::vector<Call> callsOf(const std::string& function) const {
        std::vector<Call> out;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                     [&](const Call& c) { return c.function == function; });
        return out;
    }
    int count(const std::string& function) const { return static_cast<int>(callsOf(function).size()); }

    Code SCardEstablishContext(uint32_t scope, int32_t& context) override {
        const auto a = enter("SCardEstablishContext", {scope, context});
        context = a && a->value ? *a->value : 1;
        return a ? a->code : kOk;
    }
    Code SCardListReadersA(int32_t context, const std::string& groups, std::string& buffer,
                           uint32_t& length) override {
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
        if (a && a->bytes) buffer = *a->bytes;
        if (a && a->length) length = *a->length;
        if (a && (a->code != kOk || a->bytes)) return a->code;
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
    // Records the call and takes its scripted answer; throws for a missing library.
    std::optional<Answer> enter(const std::string& function, std::vector<int64_t> numbers, std::string text = {}) {
        calls.push_back({function, std::move(numbers), std::move(text)});
        auto& queue = scripts_[function];
        if (queue.empty()) return std::nullopt;
        Answer answer = std::move(queue.front());
        queue.pop_front();
        if (answer.unavailable) throw platform::DriverUnavailable("scripted: " + function);
        return answer;
    }
    Code plain(const std::string& function, std::vector<int64_t> numbers) {
        const auto a = enter(function, std::move(numbers));
        return a ? a->code : kOk;
    }
    bool inMemory(uint32_t offset, uint32_t length) const {
        return offset <= memory.size() && length <= memory.size() - offset;
    }

    std::map<std::string, std::deque<Answer>> scripts_;
};

}  // namespace orvex::test
