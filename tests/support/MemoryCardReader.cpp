#include "MemoryCardReader.h"

#include "foundation/modCommon.h"

namespace orvex::test {

MemoryCardReader::MemoryCardReader(char fill) : memory_(kCardSize, fill) {}

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
    writes_.push_back({offset, length, accepted});
    if (!accepted) return 0;
    data.resize(static_cast<size_t>(length), ' ');
    if (call >= corruptFrom_ && corruptAt_ >= offset && corruptAt_ < offset + length)
        data[static_cast<size_t>(corruptAt_ - offset)] ^= 1;
    memory_.replace(static_cast<size_t>(offset), data.size(), data);
    counters_.bytesWritten += length;
    return length;
}

}  // namespace orvex::test
