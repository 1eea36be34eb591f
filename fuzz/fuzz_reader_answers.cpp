// Codes, answer texts and reported lengths from the fuzz data drive the
// driver's ticks, reads and writes: no crash, no hang, no read outside a buffer.
#include <algorithm>
#include <chrono>
#include <memory>

#include "FuzzSetup.h"  // the driver traces every call
#include "platform/eventloop/VirtualEventLoop.h"
#include "readers/readerChipdrive.h"

namespace {

class FuzzedLibrary final : public orvex::platform::SCard32Api {
public:
    FuzzedLibrary(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    int32_t SCardComand(int32_t&, const std::string&, int32_t&, const std::string&,
                        int32_t& inputLength, std::string& output, int32_t& outputLength) override {
        const int32_t code = static_cast<int8_t>(next()) * 300;
        const size_t answerLength = next() % 40;
        std::string answer;
        for (size_t i = 0; i < answerLength; ++i) answer += static_cast<char>(next());
        output.replace(0, std::min(answer.size(), output.size()), answer, 0,
                       std::min(answer.size(), output.size()));
        if (next() & 1) outputLength = static_cast<int16_t>(next() << 8 | next());
        if (next() & 1) inputLength = static_cast<int16_t>(next() << 8 | next());
        return (next() & 3) == 0 ? code : 0;
    }

private:
    uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orvex::platform::VirtualEventLoop loop;
    orvex::readerChipdrive driver(std::make_shared<FuzzedLibrary>(data, size), loop);
    driver.Start("");
    loop.advance(std::chrono::milliseconds(2000));
    driver.readOffset(0, 700, true);
    int32_t length = 1100;
    driver.writeOffset(16, length, std::string(900, 'w'), true);
    driver.cardConnected();
    return 0;
}
