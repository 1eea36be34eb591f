#pragma once
// A reader whose card is 16384 bytes in memory, keeping the drivers' reader
// contract (trimmed reads, optimizeWrite shortening, cut and pad with blanks,
// "failed" for a read outside the card, 0 for a failed write). It counts calls
// and can refuse writes (changing no byte), wear a byte, fail reads or report
// a card state other than "active".
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/modCommon.h"
#include "readers/reader.h"

namespace orvex::test {

class MemoryCardReader final : public reader {
public:
    static constexpr int32_t kCardSize = 16384;

    struct Counters {
        int32_t readCalls = 0, writeCalls = 0;
        int64_t bytesRead = 0;
    };
    struct WriteCall { int32_t offset; int32_t length; bool accepted; };

    // A running reader with an "active" card filled with fill.
    explicit MemoryCardReader(char fill = ' ') : memory_(kCardSize, fill) {}

    std::string& memory() { return memory_; }
    const std::string& memory() const { return memory_; }
    std::string bytes(int32_t offset, int32_t length) const { return memory_.substr(offset, length); }
    void setBytes(int32_t offset, const std::string& data) { memory_.replace(offset, data.size(), data), memory_.resize(kCardSize); }

    // The state word cardConnected and cardState answer.
    void setCardState(const std::string& word) { cardState_ = word; }
    // Refuses the n-th write call (1-based, counted since the last
    // resetCounters; 0: none); the writes before and after it succeed.
    void refuseWrite(int32_t n) { refuseFrom_ = refuseTo_ = n; }
    // Refuses the n-th write call and every later one (a pulled card).
    void refuseWritesFrom(int32_t n) { refuseFrom_ = n, refuseTo_ = INT32_MAX; }
    // A write that covers offset succeeds but keeps that byte with its
    // lowest bit flipped (a worn cell), from the n-th write call on (counted
    // as refuseWrite counts); offset -1: every byte is kept.
    void corruptByte(int32_t offset, int32_t fromCall = 1) { corruptAt_ = offset, corruptFrom_ = fromCall; }
    void failReads(bool on) { failReads_ = on; }

    const Counters& counters() const { return counters_; }
    const std::vector<WriteCall>& writes() const { return writes_; }
    void resetCounters() { counters_ = {}, writes_.clear(); }

    readerEvents& EventSource() override { return events_; }
    bool Start(const std::string&) override { return running_ = true; }
    void Stopp() override { running_ = false; }
    void restart() override { Stopp(), Start({}); }
    std::string cardState() const override { return cardState_; }
    bool isRunning() const override { return running_; }
    int16_t progress() const override { return 0; }
    int16_t progressMax() const override { return 0; }
    bool optimizeWrite() const override { return optimizeWrite_; }
    void setOptimizeWrite(bool on) override { optimizeWrite_ = on; }
    std::string driverVersion() override { return "memory 1.0"; }
    bool deviceConnected() override { return true; }
    std::string deviceType() override { return "memory card"; }
    std::string cardConnected() override { return cardState_; }
    std::string readOffset(int32_t offset, int32_t length, bool trimmed) override {
        ++counters_.readCalls;
        if (!running_) return {};
        if (failReads_ || !inCard(offset, length)) return kReadFailed;
        counters_.bytesRead += length;
        std::string data = bytes(offset, length);
        return trimmed ? trimRight(data) : data;
    }
    int32_t writeOffset(int32_t offset, int32_t& length, std::string data, bool trimmed) override {
        const int32_t call = ++counters_.writeCalls;
        if (!running_) return 0;
        if (trimmed && optimizeWrite_ && static_cast<int64_t>(data.size()) < length)
            length = static_cast<int32_t>(data.size());
        const bool accepted = length > 0 && inCard(offset, length) && !refusesCall(call);
        writes_.push_back({offset, length, accepted});
        if (!accepted) return 0;
        data.resize(static_cast<size_t>(length), ' ');
        if (call >= corruptFrom_ && corruptAt_ >= offset && corruptAt_ < offset + length)
            data[static_cast<size_t>(corruptAt_ - offset)] ^= 1;
        memory_.replace(static_cast<size_t>(offset), data.size(), data);
        return length;
    }

private:
    static bool inCard(int32_t offset, int32_t length) {
        return offset >= 0 && length >= 0 && offset <= kCardSize - length;
    }
    bool refusesCall(int32_t call) const { return call >= refuseFrom_ && call <= refuseTo_; }

    std::string memory_;
    std::string cardState_ = state::kActive;
    bool running_ = true, optimizeWrite_ = false, failReads_ = false;
    int32_t refuseFrom_ = 0, refuseTo_ = 0;
    int32_t corruptAt_ = -1, corruptFrom_ = 1;
    Counters counters_;
    std::vector<WriteCall> writes_;
    readerEvents events_;
};

}  // namespace orvex::test
