#include "platform/pcsc/PcscBackend.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "platform/pcsc/StorageCardProtocol.h"
#include "platform/pcsc/pcscErrorName.h"

namespace orvex::platform {
namespace {

constexpr DWORD kResponseCapacity = 258;  // 256 data bytes and the status word

BackendFault faultOf(LONG code) {
    switch (code) {
    case SCARD_E_NO_SERVICE:
    case SCARD_E_SERVICE_STOPPED:
    case SCARD_E_NO_ACCESS:
    case SCARD_W_SECURITY_VIOLATION:
    case SCARD_E_INVALID_HANDLE:
        return BackendFault::Service;
    case SCARD_E_UNKNOWN_READER:
    case SCARD_E_READER_UNAVAILABLE:
    case SCARD_E_NO_READERS_AVAILABLE:
        return BackendFault::Reader;
    case SCARD_E_NO_SMARTCARD:
    case SCARD_W_REMOVED_CARD:
        return BackendFault::NoCard;
    case SCARD_E_SHARING_VIOLATION:
        return BackendFault::Busy;
    default:
        return BackendFault::Card;
    }
}

class PcscTransmitter final : public ApduTransmitter {
public:
    PcscTransmitter(SCARDHANDLE handle, DWORD protocol) : handle_(handle), protocol_(protocol) {}

    BackendStatus transmit(const ApduBytes& command, ApduBytes& response) override {
        response.assign(kResponseCapacity, 0);
        DWORD received = kResponseCapacity;
        const SCARD_IO_REQUEST* pci = protocol_ == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
        const LONG code = SCardTransmit(handle_, pci, command.data(), static_cast<DWORD>(command.size()),
                                        nullptr, response.data(), &received);
        if (code != SCARD_S_SUCCESS) {
            response.clear();
            return BackendStatus::failure(faultOf(code), "SCardTransmit: " + pcscFailureText(code));
        }
        response.resize(received);
        return BackendStatus::success();
    }

private:
    SCARDHANDLE handle_;
    DWORD protocol_;
};

std::vector<std::string> splitMultiString(const std::string& buffer) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start < buffer.size() && buffer[start] != '\0') {
        const size_t end = buffer.find('\0', start);
        const size_t stop = end == std::string::npos ? buffer.size() : end;
        names.push_back(buffer.substr(start, stop - start));
        start = stop + 1;
    }
    return names;
}

// By default the client library answers a call on a card that another
// program holds in a transaction only once that transaction ends, however
// long that is. Asked before the first context of the process, it answers
// SCARD_E_SHARING_VIOLATION at once instead, and the caller decides how long
// to try again.
// The switch is the client library's on POSIX systems; winscard has none.
void answerHeldCardsAtOnce() {
#ifndef _WIN32
    static std::once_flag once;
    std::call_once(once, [] { ::setenv("PCSCLITE_NO_BLOCKING", "1", 0); });
#endif
}

}  // namespace

PcscBackend::~PcscBackend() { forgetContext(); }

// One request to the service: the client library allocates the list at the
// length it needs.
BackendStatus PcscBackend::listReaders(std::vector<std::string>& names) {
    names.clear();
    BackendStatus status = ensureContext();
    if (!status.ok()) return status;
    LPSTR list = nullptr;
    DWORD length = SCARD_AUTOALLOCATE;
    const LONG code = SCardListReaders(context_, nullptr, reinterpret_cast<LPSTR>(&list), &length);
    if (code == SCARD_E_NO_READERS_AVAILABLE) return BackendStatus::success();
    if (code != SCARD_S_SUCCESS) return failure(code, "SCardListReaders");
    if (list == nullptr) return BackendStatus::success();
    names = splitMultiString(std::string(list, length));
    SCardFreeMemory(context_, list);
    return BackendStatus::success();
}

BackendStatus PcscBackend::cardPresence(const std::string& reader, uint32_t waitMs, CardPresence& presence) {
    DWORD state = 0;
    BackendStatus status = readerState(reader, SCARD_STATE_UNAWARE, 0, state);
    if (status.ok() && (state & SCARD_STATE_EMPTY) && waitMs > 0)
        status = readerState(reader, state & ~SCARD_STATE_CHANGED, waitMs, state);
    if (!status.ok()) {
        presence = CardPresence::ReaderGone;
        return status.fault() == BackendFault::Reader ? BackendStatus::success() : status;
    }
    if (state & (SCARD_STATE_UNKNOWN | SCARD_STATE_IGNORE | SCARD_STATE_UNAVAILABLE))
        presence = CardPresence::ReaderGone;
    else
        presence = (state & SCARD_STATE_PRESENT) ? CardPresence::Present : CardPresence::Absent;
    if (presence != CardPresence::Present) release(reader);
    return BackendStatus::success();
}

BackendStatus PcscBackend::cardType(const std::string& reader, uint8_t& type) {
    Connection connection;
    BackendStatus status = connect(reader, connection);
    if (!status.ok()) return status;
    PcscTransmitter transmitter(connection.handle, connection.protocol);
    bool answers = false;
    status = StorageCardProtocol(transmitter).probe(answers);
    if (!status.ok()) {
        dropAfter(reader, status);
        return status;
    }
    type = answers ? kMemoryCardTypeByte : 0;
    return status;
}

BackendStatus PcscBackend::read(const std::string& reader, uint32_t offset, uint32_t length,
                                std::string& bytes) {
    Connection connection;
    BackendStatus status = connect(reader, connection);
    if (!status.ok()) return status;
    PcscTransmitter transmitter(connection.handle, connection.protocol);
    status = StorageCardProtocol(transmitter).read(offset, length, bytes);
    dropAfter(reader, status);
    return status;
}

BackendStatus PcscBackend::write(const std::string& reader, uint32_t offset, const std::string& data) {
    Connection connection;
    BackendStatus status = connect(reader, connection);
    if (!status.ok()) return status;
    PcscTransmitter transmitter(connection.handle, connection.protocol);
    status = StorageCardProtocol(transmitter).write(offset, data);
    dropAfter(reader, status);
    return status;
}

// A card another program holds is still connected: keeping the connection
// spares a new SCardConnect, which the service holds up until that
// program's transaction ends.
void PcscBackend::dropAfter(const std::string& reader, const BackendStatus& status) {
    if (!status.ok() && status.fault() != BackendFault::Busy) release(reader);
}

// Closing a connection also ends a transaction on it.
void PcscBackend::release(const std::string& reader) {
    const auto found = connections_.find(reader);
    if (found == connections_.end()) return;
    SCardDisconnect(found->second.handle, SCARD_LEAVE_CARD);
    connections_.erase(found);
}

// SCardBeginTransaction itself waits without limit while another program
// holds the card, so a call that finds the card held is answered Busy at
// once, and the transaction is begun only on a card nobody held a moment
// before (one that another program takes in between is waited for until
// that program lets it go). A card another program reset is connected
// afresh once.
BackendStatus PcscBackend::beginExclusive(const std::string& reader) {
    if (held_.contains(reader)) return BackendStatus::success();
    LONG code = SCARD_S_SUCCESS;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Connection connection;
        BackendStatus status = connect(reader, connection);
        if (status.ok()) status = heldElsewhere(connection);
        if (!status.ok()) return status;
        code = SCardBeginTransaction(connection.handle);
        if (code == SCARD_S_SUCCESS) {
            held_.insert(reader);
            return status;
        }
        if (code != SCARD_W_RESET_CARD) break;
        release(reader);
    }
    const BackendStatus status = failure(code, "SCardBeginTransaction");
    dropAfter(reader, status);
    return status;
}

void PcscBackend::endExclusive(const std::string& reader) {
    if (!held_.erase(reader)) return;
    const auto found = connections_.find(reader);
    if (found != connections_.end()) SCardEndTransaction(found->second.handle, SCARD_LEAVE_CARD);
}

// The service refuses a status query on a card another connection holds in
// a transaction; the client library passes that on at once
// (answerHeldCardsAtOnce).
BackendStatus PcscBackend::heldElsewhere(const Connection& connection) {
    DWORD state = 0;
    DWORD protocol = 0;
    DWORD atrLength = 0;
    const LONG code = SCardStatus(connection.handle, nullptr, nullptr, &state, &protocol, nullptr, &atrLength);
    if (code == SCARD_E_SHARING_VIOLATION) return failure(code, "SCardStatus");
    return BackendStatus::success();
}

BackendStatus PcscBackend::ensureContext() {
    if (hasContext_) return BackendStatus::success();
    answerHeldCardsAtOnce();
    const LONG code = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context_);
    // No context means no resource manager to talk to, whatever the code:
    // a winscard without its service may answer SCARD_F_INTERNAL_ERROR.
    if (code != SCARD_S_SUCCESS)
        return BackendStatus::failure(BackendFault::Service, "SCardEstablishContext: " + pcscFailureText(code));
    hasContext_ = true;
    return BackendStatus::success();
}

BackendStatus PcscBackend::connect(const std::string& reader, Connection& connection) {
    const auto found = connections_.find(reader);
    if (found != connections_.end()) {
        connection = found->second;
        return BackendStatus::success();
    }
    if (held_.contains(reader))
        return BackendStatus::failure(BackendFault::NoCard, "the connection that held the card was lost");
    const BackendStatus status = ensureContext();
    if (!status.ok()) return status;
    const LONG code = SCardConnect(context_, reader.c_str(), SCARD_SHARE_SHARED,
                                   SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &connection.handle,
                                   &connection.protocol);
    if (code != SCARD_S_SUCCESS) return failure(code, "SCardConnect");
    connections_[reader] = connection;
    return BackendStatus::success();
}

// A service failure also invalidates the context: the next call opens a new
// one, which is how the back end survives a restart of the service.
BackendStatus PcscBackend::failure(LONG code, const std::string& call) {
    const BackendFault fault = faultOf(code);
    if (fault == BackendFault::Service) forgetContext();
    return BackendStatus::failure(fault, call + ": " + pcscFailureText(static_cast<uint32_t>(code)));
}

BackendStatus PcscBackend::readerState(const std::string& reader, DWORD known, uint32_t waitMs, DWORD& state) {
    const BackendStatus status = ensureContext();
    if (!status.ok()) return status;
    SCARD_READERSTATE query{};
    query.szReader = reader.c_str();
    query.dwCurrentState = known;
    const LONG code = SCardGetStatusChange(context_, waitMs, &query, 1);
    if (code == SCARD_E_TIMEOUT) {
        state = known;
        return BackendStatus::success();
    }
    if (code != SCARD_S_SUCCESS) return failure(code, "SCardGetStatusChange");
    state = query.dwEventState;
    return BackendStatus::success();
}

void PcscBackend::forgetContext() {
    for (const auto& [reader, connection] : connections_) SCardDisconnect(connection.handle, SCARD_LEAVE_CARD);
    connections_.clear();
    if (hasContext_) SCardReleaseContext(context_);
    hasContext_ = false;
    context_ = 0;
}

}  // namespace orvex::platform
