#pragma once
// The reader driver for PC/SC readers whose memory cards are driven through
// the memory-card API: PC/SC lists the readers, the memory-card API connects
// the card and moves its bytes.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/mcard/MCardApi.h"
#include "readers/readerBase.h"

namespace orvex {

class readerSCM final : public readerBase {
public:
    // The reader name the driver check opens a context for.
    static constexpr const char* kDefaultReaderName =
        "SCM Microsystems Inc. SCR33x USB Smart Card Reader 0";

    readerSCM(std::shared_ptr<platform::MCardApi> api, platform::EventLoop& loop);
    ~readerSCM() override;

    bool Start(const std::string& readerName) override;
    void Stopp() override;
    void restart() override;
    std::string driverVersion() override;
    bool deviceConnected() override;
    std::string deviceType() override;
    std::string cardConnected() override;

    // The PC/SC reader list as the call left its 1024-character buffer:
    // NUL-separated names; empty when the list cannot be had.
    std::string getReaderList();

private:
    bool driverCheck();
    bool initialize();
    void shutdown();
    void disconnect();
    bool isCardInserted();
    bool connectCard();
    bool readPiece(int32_t offset, int32_t& pieceLength, std::string& buffer,
                   ReadCall& call) override;
    bool writePiece(int32_t offset, int32_t& pieceLength, const std::string& piece) override;
    Hold holdCard() override;
    void releaseCard() override;
    // Runs one library call; a library that has gone missing answers as an
    // internal error instead of throwing into the tick or the caller.
    template <typename Call>
    platform::mcard_code guarded(Call&& call);

    std::shared_ptr<platform::MCardApi> api_;
    bool initialized_ = false;
    std::string readerName_;
    int32_t SCardCtx_ = 0;
    int32_t MCardCtx_ = 0;
    int32_t cardHandle_ = 0;
    int32_t heldHandle_ = 0;  // the handle holdCard took the card on
    std::string dllVersion_;
};

}  // namespace orvex
