#pragma once
// The text-command library over a reader back end; it always speaks to the
// first reader the back end lists. Codes: 0 = success, small positive numbers
// for failures, so a caller's "positive code = no device" test holds. Answers
// are written into the caller's buffer in place and never beyond the length
// it gave; card bytes either all arrive or the call fails. "Card,Lock" holds
// the first reader's card until "Card,Unlock"; meanwhile the card commands
// speak to that reader.
#include <memory>
#include <string>

#include "platform/mcard/MemoryCardBackend.h"
#include "platform/scard32/SCard32Api.h"
#include "platform/scard32/TextCommand.h"

namespace orvex::platform {

namespace scard32 {
constexpr int32_t kOk = 0;
constexpr int32_t kUnknownCommand = 1;
constexpr int32_t kBadArgument = 2;
constexpr int32_t kNoReader = 3;
constexpr int32_t kNoCard = 4;
constexpr int32_t kCardFailure = 5;
constexpr int32_t kBufferTooSmall = 6;
constexpr int32_t kServiceFailure = 7;
}  // namespace scard32

class TextCommandLibrary final : public SCard32Api {
public:
    TextCommandLibrary(std::unique_ptr<MemoryCardBackend> backend, std::string versionText)
        : backend_(std::move(backend)), versionText_(std::move(versionText)) {}

    int32_t SCardComand(int32_t& handle, const std::string& command, int32_t& commandLength,
                        const std::string& input, int32_t& inputLength, std::string& output,
                        int32_t& outputLength) override;

private:
    struct Buffer {
        std::string& bytes;
        int32_t& length;
    };

    int32_t run(const TextCommand& command, const std::string& input, int32_t inputLength, Buffer output);
    int32_t deviceStatus(Buffer output);
    int32_t deviceType(Buffer output);
    int32_t cardStatus(Buffer output);
    int32_t memRead(const TextCommand& command, Buffer output);
    int32_t memWrite(const TextCommand& command, const std::string& input, int32_t inputLength, Buffer output);
    int32_t cardReset();
    int32_t cardLock();
    int32_t cardUnlock();
    int32_t firstReader(std::string& reader);
    // The held card's reader, or the first one.
    int32_t cardReader(std::string& reader);
    int32_t failed(const char* what, const BackendStatus& status);

    std::unique_ptr<MemoryCardBackend> backend_;
    std::string versionText_;
    std::string held_;  // the reader whose card "Card,Lock" holds, or empty
};

}  // namespace orvex::platform
