#pragma once
// One command/response exchange with the card in a reader: the seam between
// the storage-card commands and PC/SC, so tests can answer and count exchanges.
#include <cstdint>
#include <vector>

#include "platform/mcard/BackendStatus.h"

namespace orvex::platform {

using ApduBytes = std::vector<uint8_t>;

class ApduTransmitter {
public:
    virtual ~ApduTransmitter() = default;
    // Sends a command APDU; response receives the whole answer, status word
    // included. A failure of the exchange itself is a failed status.
    virtual BackendStatus transmit(const ApduBytes& command, ApduBytes& response) = 0;
};

}  // namespace orvex::platform
