#include "platform/pcsc/StorageCardProtocol.h"

#include <algorithm>
#include <cstdio>

#include "platform/mcard/MemoryCardBackend.h"

namespace orvex::platform {
namespace {

constexpr uint8_t kClass = 0xFF;
constexpr uint8_t kReadBinary = 0xB0;
constexpr uint8_t kUpdateBinary = 0xD6;

ApduBytes header(uint8_t instruction, uint32_t offset, uint32_t length) {
    return {kClass, instruction, static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset & 0xFF),
            static_cast<uint8_t>(length)};
}

std::string describe(const char* what, CardPiece piece) {
    char text[80];
    std::snprintf(text, sizeof text, "%s of %u bytes at %u", what, static_cast<unsigned>(piece.length),
                  static_cast<unsigned>(piece.offset));
    return text;
}

BackendStatus rangeFailure(uint32_t offset, uint64_t length) {
    return BackendStatus::failure(BackendFault::Range, "range " + std::to_string(offset) + "+" +
                                                           std::to_string(length) + " beyond the card");
}

}  // namespace

std::vector<CardPiece> StorageCardProtocol::readPieces(uint32_t offset, uint32_t length) {
    std::vector<CardPiece> pieces;
    for (uint32_t done = 0; done < length;) {
        const uint32_t piece = std::min(kMaxPiece, length - done);
        pieces.push_back({offset + done, piece});
        done += piece;
    }
    return pieces;
}

std::vector<CardPiece> StorageCardProtocol::writePieces(uint32_t offset, uint32_t length) {
    std::vector<CardPiece> pieces;
    for (uint32_t done = 0; done < length;) {
        const uint32_t at = offset + done;
        const uint32_t toPageEnd = kPageSize - at % kPageSize;
        const uint32_t piece = std::min({kMaxPiece, toPageEnd, length - done});
        pieces.push_back({at, piece});
        done += piece;
    }
    return pieces;
}

BackendStatus StorageCardProtocol::read(uint32_t offset, uint32_t length, std::string& bytes) {
    if (!withinCard(offset, length)) return rangeFailure(offset, length);
    std::string collected;
    collected.reserve(length);
    for (const CardPiece& piece : readPieces(offset, length)) {
        const BackendStatus status = readPiece(piece, collected);
        if (!status.ok()) return status;
    }
    bytes = std::move(collected);
    return BackendStatus::success();
}

BackendStatus StorageCardProtocol::write(uint32_t offset, const std::string& data) {
    if (data.size() > kMemoryCardSize || !withinCard(offset, static_cast<uint32_t>(data.size())))
        return rangeFailure(offset, data.size());
    for (const CardPiece& piece : writePieces(offset, static_cast<uint32_t>(data.size()))) {
        const BackendStatus status = writePiece(piece, data.substr(piece.offset - offset, piece.length));
        if (!status.ok()) return status;
    }
    return BackendStatus::success();
}

BackendStatus StorageCardProtocol::probe(bool& answers) {
    ApduBytes response;
    const BackendStatus status = transmitter_.transmit(header(kReadBinary, 0, 1), response);
    if (!status.ok()) return status;
    answers = response.size() == 3 && response[1] == 0x90 && response[2] == 0x00;
    return BackendStatus::success();
}

BackendStatus StorageCardProtocol::readPiece(CardPiece piece, std::string& bytes) {
    ApduBytes response;
    const BackendStatus status =
        exchange("READ BINARY", piece, header(kReadBinary, piece.offset, piece.length), piece.length, response);
    if (status.ok()) bytes.append(response.begin(), response.end() - 2);
    return status;
}

BackendStatus StorageCardProtocol::writePiece(CardPiece piece, const std::string& data) {
    ApduBytes command = header(kUpdateBinary, piece.offset, piece.length);
    command.resize(command.size() + data.size());
    std::copy(data.begin(), data.end(), command.end() - static_cast<std::ptrdiff_t>(data.size()));
    ApduBytes response;
    return exchange("UPDATE BINARY", piece, command, 0, response);
}

// A status word other than 90 00, or an answer of another length than asked,
// fails the whole operation: short data is never passed on as card content.
BackendStatus StorageCardProtocol::exchange(const char* what, CardPiece piece, const ApduBytes& command,
                                            size_t dataExpected, ApduBytes& response) {
    const BackendStatus status = transmitter_.transmit(command, response);
    if (!status.ok())
        return BackendStatus::failure(status.fault(), describe(what, piece) + ": " + status.text());
    if (response.size() < 2)
        return BackendStatus::failure(BackendFault::Card, describe(what, piece) + ": answer without status word");
    const uint8_t sw1 = response[response.size() - 2];
    const uint8_t sw2 = response[response.size() - 1];
    if (sw1 != 0x90 || sw2 != 0x00) {
        char text[32];
        std::snprintf(text, sizeof text, ": status word %02X%02X", sw1, sw2);
        return BackendStatus::failure(BackendFault::Card, describe(what, piece) + text);
    }
    if (response.size() - 2 != dataExpected) {
        return BackendStatus::failure(BackendFault::Card, describe(what, piece) + ": answer of " +
                                                              std::to_string(response.size() - 2) + " bytes");
    }
    return BackendStatus::success();
}

}  // namespace orvex::platform
