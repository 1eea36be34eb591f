#pragma once
// The memory-card API over a reader back end. Contexts and handles are small
// positive numbers issued here; an unknown one is refused with a code, never
// trusted. Every back end failure is logged with its symbolic cause and turns
// into an MCard code; a read or write either moves all bytes or fails. A
// transaction ends with its handle at the latest.
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/mcard/MCardApi.h"
#include "platform/mcard/MemoryCardBackend.h"

namespace orvex::platform {

namespace mcard {
// Reported by MCardWaitForCardState when the reader is empty.
constexpr int32_t kStateEmpty = 2;
constexpr uint32_t kLibraryVersion = 100;
}  // namespace mcard

class MemoryCardApi final : public MCardApi {
public:
    explicit MemoryCardApi(std::unique_ptr<MemoryCardBackend> backend) : backend_(std::move(backend)) {}

    mcard_code SCardEstablishContext(uint32_t scope, int32_t& context) override;
    mcard_code SCardListReadersA(int32_t context, const std::string& groups, std::string& buffer,
                                 uint32_t& length) override;
    mcard_code SCardReleaseContext(int32_t context) override;
    mcard_code MCardInitialize(int32_t scardContext, const std::string& readerName, int32_t& mcardContext,
                               uint32_t& dllVersion) override;
    mcard_code MCardShutdown(int32_t mcardContext) override;
    mcard_code MCardConnect(int32_t mcardContext, uint32_t connectMode, uint8_t cardType,
                            int32_t& cardHandle) override;
    mcard_code MCardGetAttrib(int32_t cardHandle, uint32_t attribId, std::string& buffer,
                              uint32_t& length) override;
    mcard_code MCardDisconnect(int32_t cardHandle, uint32_t disposition) override;
    mcard_code MCardWaitForCardState(int32_t mcardContext, uint32_t expectedState, int32_t& state,
                                     uint32_t timeoutMs) override;
    mcard_code MCardReadMemory(int32_t cardHandle, uint8_t zone, uint32_t offset, std::string& buffer,
                               uint32_t& length) override;
    mcard_code MCardWriteMemory(int32_t cardHandle, uint8_t zone, uint32_t offset, const std::string& data,
                                uint32_t& length) override;
    mcard_code MCardBeginTransaction(int32_t cardHandle) override;
    mcard_code MCardEndTransaction(int32_t cardHandle) override;

private:
    // A card handle: its context, and the type byte read when it was
    // connected (or why it could not be read).
    struct ConnectedCard {
        int32_t context = 0;
        BackendStatus typeStatus = BackendStatus::success();
        uint8_t type = 0;
    };

    const std::string* readerOfHandle(int32_t cardHandle) const;
    mcard_code memoryCheck(const std::string* reader, uint8_t zone, uint32_t offset, uint32_t length) const;
    mcard_code failed(const char* call, const BackendStatus& status, mcard_code cardCode);
    int32_t issue() { return nextId_++; }
    // Ends the hold of a handle that goes away.
    void endHold(int32_t cardHandle);

    std::unique_ptr<MemoryCardBackend> backend_;
    std::set<int32_t> scardContexts_;
    std::map<int32_t, std::string> mcardContexts_;  // context -> reader name
    std::map<int32_t, ConnectedCard> cardHandles_;
    std::set<int32_t> holding_;                     // handles in a transaction
    int32_t nextId_ = 1;
};

}  // namespace orvex::platform
