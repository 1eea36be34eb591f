#pragma once
// Memory card access through the PC/SC storage-card commands: READ BINARY
// (FF B0 hi lo Le) and UPDATE BINARY (FF D6 hi lo Lc data), answered by status
// word 90 00. A command carries at most 255 bytes, and an update stays inside
// one 64-byte EEPROM page because the card wraps a page write at the page end
// and would overwrite the page's start instead of the next page.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/mcard/BackendStatus.h"
#include "platform/pcsc/ApduTransmitter.h"

namespace orvex::platform {

struct CardPiece {
    uint32_t offset;
    uint32_t length;
    bool operator==(const CardPiece&) const = default;
};

class StorageCardProtocol {
public:
    static constexpr uint32_t kMaxPiece = 255;
    static constexpr uint32_t kPageSize = 64;

    explicit StorageCardProtocol(ApduTransmitter& transmitter) : transmitter_(transmitter) {}

    // The fewest commands that move the range within the limits above.
    static std::vector<CardPiece> readPieces(uint32_t offset, uint32_t length);
    static std::vector<CardPiece> writePieces(uint32_t offset, uint32_t length);

    BackendStatus read(uint32_t offset, uint32_t length, std::string& bytes);
    BackendStatus write(uint32_t offset, const std::string& data);
    // Whether the card answers a one-byte read at offset 0 as a memory card
    // does; a failed exchange is a failure, a refusal is answers = false.
    BackendStatus probe(bool& answers);

private:
    BackendStatus readPiece(CardPiece piece, std::string& bytes);
    BackendStatus writePiece(CardPiece piece, const std::string& data);
    BackendStatus exchange(const char* what, CardPiece piece, const ApduBytes& command,
                           size_t dataExpected, ApduBytes& response);

    ApduTransmitter& transmitter_;
};

}  // namespace orvex::platform
