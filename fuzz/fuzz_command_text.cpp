// No write outside the caller's buffer, no answer longer than the length the
// caller gave.
#include <algorithm>

#include "FuzzSetup.h"
#include "platform/scard32/TextCommand.h"
#include "platform/scard32/TextCommandLibrary.h"
#include "tests/platform/FakeBackend.h"  // stops the run on a card access outside the card

using namespace orvex::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int32_t outputLength = static_cast<int16_t>(data[0] | (data[1] << 8));
    const size_t bufferSize = data[2] * 80u;
    const std::string rest(reinterpret_cast<const char*>(data + 4), size - 4);
    const size_t split = rest.find('\n');
    const std::string command = rest.substr(0, split);
    const std::string input = split == std::string::npos ? std::string() : rest.substr(split + 1);

    TextCommand::parse(command);
    static orvex::test::FakeBackend::State state;
    static TextCommandLibrary library(std::make_unique<orvex::test::FakeBackend>(state), "fuzz");
    state.readersUsed.clear();
    int32_t handle = 0, commandLength = 0;
    int32_t inputLength = data[3] == 0 ? static_cast<int32_t>(input.size()) : data[3] - 128;
    int32_t length = outputLength;
    std::string output(bufferSize, ' ');
    const int32_t code = library.SCardComand(handle, command, commandLength, input, inputLength, output, length);
    if (output.size() != bufferSize) std::abort();
    // A negative length gives no room at all: 0 is the longest answer then.
    if (code == 0 && length != outputLength && (length < 0 || length > std::max(outputLength, 0)))
        std::abort();
    if (static_cast<size_t>(std::max(outputLength, 0)) < bufferSize &&
        output.find_first_not_of(' ', static_cast<size_t>(std::max(outputLength, 0))) != std::string::npos)
        std::abort();
    return 0;
}
