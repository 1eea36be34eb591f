#pragma once
// Memory cards in PC/SC readers through pcsc-lite. The resource-manager
// context is opened on first use and opened again after the service went
// away; a card connection is kept per reader and dropped on any failure, so a
// pulled or reset card is connected afresh on the next call.
//
// An exclusive hold is a PC/SC transaction on the reader's connection. A
// connection lost while held is not made again until the hold ends: calls
// fail instead, so no byte moves outside the transaction it belongs to.
// While another program holds the card, every call on it fails Busy at once
// and the connection stays; only SCardConnect itself (a card just inserted
// or reset) is held up by the service until that program lets the card go.
#include <PCSC/winscard.h>

#include <map>
#include <set>
#include <string>

#include "platform/mcard/MemoryCardBackend.h"

namespace orvex::platform {

class PcscBackend final : public MemoryCardBackend {
public:
    PcscBackend() = default;
    ~PcscBackend() override;
    PcscBackend(const PcscBackend&) = delete;
    PcscBackend& operator=(const PcscBackend&) = delete;

    BackendStatus listReaders(std::vector<std::string>& names) override;
    BackendStatus cardPresence(const std::string& reader, uint32_t waitMs, CardPresence& presence) override;
    BackendStatus cardType(const std::string& reader, uint8_t& type) override;
    BackendStatus read(const std::string& reader, uint32_t offset, uint32_t length,
                       std::string& bytes) override;
    BackendStatus write(const std::string& reader, uint32_t offset, const std::string& data) override;
    void release(const std::string& reader) override;
    BackendStatus beginExclusive(const std::string& reader) override;
    void endExclusive(const std::string& reader) override;

private:
    struct Connection {
        SCARDHANDLE handle = 0;
        DWORD protocol = 0;
    };

    BackendStatus ensureContext();
    BackendStatus connect(const std::string& reader, Connection& connection);
    BackendStatus failure(LONG code, const std::string& call);
    BackendStatus readerState(const std::string& reader, DWORD known, uint32_t waitMs, DWORD& state);
    BackendStatus heldElsewhere(const Connection& connection);
    void dropAfter(const std::string& reader, const BackendStatus& status);
    void forgetContext();

    SCARDCONTEXT context_ = 0;
    bool hasContext_ = false;
    std::map<std::string, Connection> connections_;
    std::set<std::string> held_;  // readers whose card this back end holds
};

}  // namespace orvex::platform
