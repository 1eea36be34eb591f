#include "platform/mcard/MemoryCardApi.h"

#include <algorithm>
#include <vector>

#include "platform/mcard/BackendLog.h"

namespace orvex::platform {
namespace {

// PC/SC codes for the resource-manager calls of this API.
constexpr mcard_code kScardInvalidHandle = 0x80100003u;
constexpr mcard_code kScardInsufficientBuffer = 0x80100008u;
constexpr mcard_code kScardNoService = 0x8010001Du;
constexpr mcard_code kScardNoReaders = 0x8010002Eu;

// Longer waits are cut short: the caller runs on the user-interface thread.
constexpr uint32_t kMaxWaitMs = 5000;

std::string joinedNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const auto& name : names) joined += name + '\0';
    return joined + '\0';
}

}  // namespace

mcard_code MemoryCardApi::SCardEstablishContext(uint32_t, int32_t& context) {
    context = 0;
    std::vector<std::string> names;
    const BackendStatus status = backend_->listReaders(names);
    if (!status.ok() && status.fault() == BackendFault::Service) {
        backendLog("SCardEstablishContext: " + status.text());
        return kScardNoService;
    }
    context = issue();
    scardContexts_.insert(context);
    return mcard::MCARD_S_SUCCESS;
}

// The groups argument is not looked at: every call lists all readers.
mcard_code MemoryCardApi::SCardListReadersA(int32_t context, const std::string&, std::string& buffer,
                                            uint32_t& length) {
    if (!scardContexts_.contains(context)) return kScardInvalidHandle;
    std::vector<std::string> names;
    const BackendStatus status = backend_->listReaders(names);
    if (!status.ok()) {
        backendLog("SCardListReadersA: " + status.text());
        return kScardNoService;
    }
    if (names.empty()) return kScardNoReaders;
    const std::string joined = joinedNames(names);
    const size_t capacity = std::min<size_t>(length, buffer.size());
    length = static_cast<uint32_t>(joined.size());
    if (joined.size() > capacity) return kScardInsufficientBuffer;
    buffer.replace(0, joined.size(), joined);
    return mcard::MCARD_S_SUCCESS;
}

mcard_code MemoryCardApi::SCardReleaseContext(int32_t context) {
    return scardContexts_.erase(context) ? mcard::MCARD_S_SUCCESS : kScardInvalidHandle;
}

mcard_code MemoryCardApi::MCardInitialize(int32_t scardContext, const std::string& readerName,
                                          int32_t& mcardContext, uint32_t& dllVersion) {
    dllVersion = mcard::kLibraryVersion;
    mcardContext = 0;
    if (!scardContexts_.contains(scardContext)) return mcard::MCARD_E_INVALID_PARAMETER;
    std::vector<std::string> names;
    const BackendStatus status = backend_->listReaders(names);
    if (!status.ok()) return failed("MCardInitialize", status, mcard::MCARD_E_INTERNAL_ERROR);
    // The driver takes a reader whose name contains the configured one (an
    // empty name fits any); an exact name wins over a longer one.
    auto match = std::find(names.begin(), names.end(), readerName);
    if (match == names.end()) {
        match = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
            return n.find(readerName) != std::string::npos;
        });
    }
    if (match == names.end()) {
        backendLog("MCardInitialize: no reader named \"" + readerName + "\" is attached");
        return mcard::MCARD_E_INCOMPATIBLE_READER;
    }
    mcardContext = issue();
    mcardContexts_[mcardContext] = *match;
    return mcard::MCARD_S_SUCCESS;
}

mcard_code MemoryCardApi::MCardShutdown(int32_t mcardContext) {
    const auto found = mcardContexts_.find(mcardContext);
    if (found == mcardContexts_.end()) return mcard::MCARD_E_NOT_INITIALIZED;
    for (const auto& [handle, card] : cardHandles_) {
        if (card.context == mcardContext) endHold(handle);
    }
    std::erase_if(cardHandles_, [&](const auto& entry) { return entry.second.context == mcardContext; });
    backend_->release(found->second);
    mcardContexts_.erase(found);
    return mcard::MCARD_S_SUCCESS;
}

// Connecting a card reads its type byte as well, which the caller asks for
// next: one trip to the card instead of a presence query and then the
// connection. A card that is there but answers wrongly still gets its handle;
// the type attribute reports what went wrong, as it would have had it been
// asked first.
mcard_code MemoryCardApi::MCardConnect(int32_t mcardContext, uint32_t connectMode, uint8_t cardType,
                                       int32_t& cardHandle) {
    cardHandle = 0;
    const auto found = mcardContexts_.find(mcardContext);
    if (found == mcardContexts_.end()) return mcard::MCARD_E_NOT_INITIALIZED;
    if (connectMode != mcard::kConnectMode || cardType != mcard::kMemoryCardType)
        return mcard::MCARD_E_INVALID_PARAMETER;
    uint8_t type = 0;
    BackendStatus status = backend_->cardType(found->second, type);
    switch (status.fault()) {
    case BackendFault::NoCard:
        return mcard::MCARD_E_UNKNOWN_CARD;
    case BackendFault::Reader:
        return mcard::MCARD_E_INCOMPATIBLE_READER;
    case BackendFault::Service:
        return failed("MCardConnect", status, mcard::MCARD_E_UNKNOWN_CARD);
    default:
        break;
    }
    cardHandle = issue();
    cardHandles_.insert_or_assign(cardHandle, ConnectedCard{mcardContext, std::move(status), type});
    return mcard::MCARD_S_SUCCESS;
}

mcard_code MemoryCardApi::MCardGetAttrib(int32_t cardHandle, uint32_t attribId, std::string& buffer,
                                         uint32_t& length) {
    const std::string* reader = readerOfHandle(cardHandle);
    if (!reader) return mcard::MCARD_E_INVALID_PARAMETER;
    if (attribId != mcard::kAttribCardType) return mcard::MCARD_E_NOT_IMPLEMENTED;
    if (std::min<size_t>(length, buffer.size()) < 1) return mcard::MCARD_E_BUFFER_TOO_SMALL;
    const ConnectedCard& card = cardHandles_.at(cardHandle);
    if (!card.typeStatus.ok()) return failed("MCardGetAttrib", card.typeStatus, mcard::MCARD_E_PROTOCOL_ERROR);
    buffer[0] = static_cast<char>(card.type);
    length = 1;
    return mcard::MCARD_S_SUCCESS;
}

mcard_code MemoryCardApi::MCardDisconnect(int32_t cardHandle, uint32_t) {
    const std::string* reader = readerOfHandle(cardHandle);
    if (!reader) return mcard::MCARD_E_INVALID_PARAMETER;
    endHold(cardHandle);
    backend_->release(*reader);
    cardHandles_.erase(cardHandle);
    return mcard::MCARD_S_SUCCESS;
}

// Present: code 0 and state 4. Empty: a code and the positive state 2. Reader
// gone or back end failure: a code and state 0.
mcard_code MemoryCardApi::MCardWaitForCardState(int32_t mcardContext, uint32_t expectedState, int32_t& state,
                                                uint32_t timeoutMs) {
    state = 0;
    const auto found = mcardContexts_.find(mcardContext);
    if (found == mcardContexts_.end()) return mcard::MCARD_E_NOT_INITIALIZED;
    if (expectedState != mcard::kExpectCardPresent) return mcard::MCARD_E_NOT_IMPLEMENTED;
    CardPresence presence = CardPresence::Absent;
    const BackendStatus status = backend_->cardPresence(found->second, std::min(timeoutMs, kMaxWaitMs), presence);
    if (!status.ok()) return failed("MCardWaitForCardState", status, mcard::MCARD_E_INTERNAL_ERROR);
    switch (presence) {
    case CardPresence::Present:
        state = mcard::kStatePresent;
        return mcard::MCARD_S_SUCCESS;
    case CardPresence::Absent:
        state = mcard::kStateEmpty;
        return mcard::MCARD_E_UNKNOWN_CARD;
    case CardPresence::ReaderGone:
        break;
    }
    backendLog("MCardWaitForCardState: reader \"" + found->second + "\" is gone");
    return mcard::MCARD_E_INCOMPATIBLE_READER;
}

mcard_code MemoryCardApi::MCardReadMemory(int32_t cardHandle, uint8_t zone, uint32_t offset, std::string& buffer,
                                          uint32_t& length) {
    const std::string* reader = readerOfHandle(cardHandle);
    const mcard_code check = memoryCheck(reader, zone, offset, length);
    if (check != mcard::MCARD_S_SUCCESS) return check;
    if (buffer.size() < length) return mcard::MCARD_E_BUFFER_TOO_SMALL;
    std::string bytes;
    const BackendStatus status = backend_->read(*reader, offset, length, bytes);
    if (!status.ok()) {
        length = 0;
        return failed("MCardReadMemory", status, mcard::MCARD_W_NOT_ALL_DATA_READ);
    }
    buffer.replace(0, bytes.size(), bytes);
    return mcard::MCARD_S_SUCCESS;
}

mcard_code MemoryCardApi::MCardWriteMemory(int32_t cardHandle, uint8_t zone, uint32_t offset,
                                           const std::string& data, uint32_t& length) {
    const std::string* reader = readerOfHandle(cardHandle);
    const mcard_code check = memoryCheck(reader, zone, offset, length);
    if (check != mcard::MCARD_S_SUCCESS) return check;
    if (data.size() < length) return mcard::MCARD_E_INVALID_PARAMETER;
    const BackendStatus status = backend_->write(*reader, offset, data.substr(0, length));
    if (!status.ok()) {
        length = 0;
        return failed("MCardWriteMemory", status, mcard::MCARD_W_NOT_ALL_DATA_WRITTEN);
    }
    return mcard::MCARD_S_SUCCESS;
}

mcard_code MemoryCardApi::MCardBeginTransaction(int32_t cardHandle) {
    const std::string* reader = readerOfHandle(cardHandle);
    if (!reader) return mcard::MCARD_E_INVALID_PARAMETER;
    const BackendStatus status = backend_->beginExclusive(*reader);
    if (status.fault() == BackendFault::Busy) return mcard::kCardHeldElsewhere;
    if (!status.ok()) return failed("MCardBeginTransaction", status, mcard::MCARD_E_UNKNOWN_CARD);
    holding_.insert(cardHandle);
    return mcard::MCARD_S_SUCCESS;
}

mcard_code MemoryCardApi::MCardEndTransaction(int32_t cardHandle) {
    if (!readerOfHandle(cardHandle)) return mcard::MCARD_E_INVALID_PARAMETER;
    endHold(cardHandle);
    return mcard::MCARD_S_SUCCESS;
}

void MemoryCardApi::endHold(int32_t cardHandle) {
    if (!holding_.erase(cardHandle)) return;
    if (const std::string* reader = readerOfHandle(cardHandle)) backend_->endExclusive(*reader);
}

const std::string* MemoryCardApi::readerOfHandle(int32_t cardHandle) const {
    const auto handle = cardHandles_.find(cardHandle);
    if (handle == cardHandles_.end()) return nullptr;
    return &mcardContexts_.at(handle->second.context);
}

mcard_code MemoryCardApi::memoryCheck(const std::string* reader, uint8_t zone, uint32_t offset,
                                      uint32_t length) const {
    if (!reader) return mcard::MCARD_E_INVALID_PARAMETER;
    if (zone != 0) return mcard::MCARD_E_INVALID_MEMORY_ZONE_ID;
    if (!withinCard(offset, length)) return mcard::MCARD_E_INVALID_MEMORY_RANGE;
    return mcard::MCARD_S_SUCCESS;
}

mcard_code MemoryCardApi::failed(const char* call, const BackendStatus& status, mcard_code cardCode) {
    backendLog(std::string(call) + ": " + status.text());
    switch (status.fault()) {
    case BackendFault::Service:
        return mcard::MCARD_E_INTERNAL_ERROR;
    case BackendFault::Reader:
        return mcard::MCARD_E_INCOMPATIBLE_READER;
    case BackendFault::Range:
        return mcard::MCARD_E_INVALID_MEMORY_RANGE;
    default:
        return cardCode;
    }
}

}  // namespace orvex::platform
