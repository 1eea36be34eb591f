#pragma once
// A memory-card API whose answers a test scripts. Every call is recorded with
// its arguments. Without a script a call answers from a small model: one
// reader list, a card that is inserted or not, and 16384 bytes of card memory
// that reads and writes go to. A scripted answer is used once, in order, per
// function; any answer can instead throw DriverUnavailable.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/mcard/MCardApi.h"

namespace orvex::test {

class ScriptedMCardApi final : public platform::MCardApi {
public:
    struct Call {
        std::string function;
        std::vector<int64_t> numbers;  // the numeric arguments in order, as passed in
        std::string text;              // the text argument: name, groups or data
        std::chrono::milliseconds at{0};
    };
    // What one scripted call answers; unset parts keep the model's answer.
    struct Answer {
        platform::mcard_code code = platform::mcard::MCARD_S_SUCCESS;
        std::optional<int32_t> value;     // context, handle or card state
        std::optional<uint32_t> version;  // MCardInitialize
        std::optional<std::string> bytes; // buffer contents (whole buffer)
        std::optional<uint32_t> length;   // in/out length
        bool unavailable = false;         // throw DriverUnavailable instead

        static Answer returning(platform::mcard_code c) { Answer a; a.code = c; return a; }
        static Answer missing() { Answer a; a.unavailable = true; return a; }
        Answer& withValue(int32_t v) { value = v; return *this; }
        Answer& withVersion(uint32_t v) { version = v; return *this; }
        Answer& withBytes(std::string b) { bytes = std::move(b); return *this; }
        Answer& withLength(uint32_t l) { length = l; return *this; }
    };

    ScriptedMCardApi();

    // Queues an answer for the next call of function (e.g. "MCardReadMemory").
    void script(const std::string& function, Answer answer);
    // Every call throws DriverUnavailable while set.
    void setUnavailable(bool unavailable) { unavailable_ = unavailable; }
    // Stamps calls with this clock (the virtual loop's, usually).
    void setClock(std::function<std::chrono::milliseconds()> now) { now_ = std::move(now); }

    // The model.
    std::vector<std::string> readers{"Test Reader 0"};
    bool cardInserted = true;
    uint8_t cardType = platform::mcard::kMemoryCardType;
    std::string memory;  // 16384 bytes, initially zero
    uint32_t dllVersion = 3;

    const std::vector<Call>& calls() const { return calls_; }
    std::vector<Call> callsOf(const std::string& function) const;
    int count(const std::string& function) const;
    void clearCalls() { calls_.clear(); }

    platform::mcard_code SCardEstablishContext(uint32_t scope, int32_t& context) override;
    platform::mcard_code SCardListReadersA(int32_t context, const std::string& groups,
                                           std::string& buffer, uint32_t& length) override;
    platform::mcard_code SCardReleaseContext(int32_t context) override;
    platform::mcard_code MCardInitialize(int32_t scardContext, const std::string& readerName,
                                         int32_t& mcardContext, uint32_t& version) override;
    platform::mcard_code MCardShutdown(int32_t mcardContext) override;
    platform::mcard_code MCardConnect(int32_t mcardContext, uint32_t connectMode, uint8_t type,
                                      int32_t& cardHandle) override;
    platform::mcard_code MCardGetAttrib(int32_t cardHandle, uint32_t attribId, std::string& buffer,
                                        uint32_t& length) override;
    platform::mcard_code MCardDisconnect(int32_t cardHandle, uint32_t disposition) override;
    platform::mcard_code MCardWaitForCardState(int32_t mcardContext, uint32_t expectedState,
                                               int32_t& state, uint32_t timeoutMs) override;
    platform::mcard_code MCardReadMemory(int32_t cardHandle, uint8_t zone, uint32_t offset,
                                         std::string& buffer, uint32_t& length) override;
    platform::mcard_code MCardWriteMemory(int32_t cardHandle, uint8_t zone, uint32_t offset,
                                          const std::string& data, uint32_t& length) override;

private:
    // Records the call and takes its scripted answer, if any; throws when the
    // library is to be missing.
    std::optional<Answer> enter(const std::string& function, std::vector<int64_t> numbers,
                                std::string text = {});
    bool inMemory(uint32_t offset, uint32_t length) const;

    std::map<std::string, std::deque<Answer>> scripts_;
    std::vector<Call> calls_;
    std::function<std::chrono::milliseconds()> now_;
    bool unavailable_ = false;
};

}  // namespace orvex::test
