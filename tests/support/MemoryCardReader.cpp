#include "MemoryCardReader.h"

#include "foundation/modCommon.h"

namespace orvex::test {

MemoryCardReader::MemoryCardReader(char fill) : memory_(kCardSize, fill) {}

std::string MemoryCardReader::bytes(int32_t offset, int32_t length) const {
    return memory_.substr(static_cast<size_t>(offset), static_cast<size_t>(length));
}

void MemoryCardReader::setBytes(int32_t offset, const std::string& data) {
    memory_.replace(static_cast<size_t>(offset), data.size(), data);
    memory_.resize(kCardSize);
}

void MemoryCardReader::resetCounters() {
    counters_ = {};
    writes_.clear();
}

bool MemoryCardReader::Start(const std::string&) {
    running_ = true;
    return true;
}

void MemoryCardReader::restart() {
    Stopp();
    Start({});
}

bool MemoryCardReader::inCard(int32_t offset, int32_t length) {
    return offset >= 0 && length >= 0 && offset <= kCardSize - length;
}

std::string MemoryCardReader::readOffset(int32_t offset, int32_t length, bool trimmed) {
    ++counters_.readCalls;
    if (!running_) return {};
    if (failReads_ || !inCard(offset, length)) return kReadFailed;
    counters_.bytesRead += length;
    std::string data = bytes(offset, length);
    return trimmed ? trimRight(data) : data;
}

int32_t MemoryCardReader::writeOffset(int32_t offset, int32_t& length, std::string data,
                                      bool trimmed) {
    const int32_t call = ++counters_.writeCalls;
    if (!running_) return 0;
    if (trimmed && optimizeWrite_ && static_cast<int64_t>(data.size()) < length) {
        length = static_cast<int32_t>(data.size());
    }
    const bool accepted = length > 0 && inCard(offset, length) && !refusesCall(call);
    writes_.push_back({offset});
    if (!accepted) return 0;
    data.resize(static_cast<size_t>(length), ' ');
    memory_.replace(static_cast<size_t>(offset), data.size(), data);
    counters_.bytesWritten += length;
    return length;
}

}  // namespace orvex::test
