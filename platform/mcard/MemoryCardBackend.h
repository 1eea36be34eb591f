#pragma once
// What both reader APIs (memory-card calls and text commands) need from the
// readers: the list, whether a card sits in one, its type byte, and its bytes.
// Implemented over PC/SC and over the simulated reader directory.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/mcard/BackendStatus.h"

namespace orvex::platform {

inline constexpr uint32_t kMemoryCardSize = 16384;
// The type byte of the 16384-byte memory cards the program prepares.
inline constexpr uint8_t kMemoryCardTypeByte = 15;

enum class CardPresence { Present, Absent, ReaderGone };

class MemoryCardBackend {
public:
    virtual ~MemoryCardBackend() = default;

    // Reader names in the order the back end lists them.
    virtual BackendStatus listReaders(std::vector<std::string>& names) = 0;
    // Whether a card sits in the reader; waits up to waitMs for one to arrive.
    virtual BackendStatus cardPresence(const std::string& reader, uint32_t waitMs,
                                       CardPresence& presence) = 0;
    // The card's type byte: kMemoryCardTypeByte for a usable memory card.
    virtual BackendStatus cardType(const std::string& reader, uint8_t& type) = 0;
    // Exactly length bytes from offset, or a failure; never fewer bytes.
    virtual BackendStatus read(const std::string& reader, uint32_t offset, uint32_t length,
                               std::string& bytes) = 0;
    // All of data at offset, or a failure; a failure may leave part written.
    virtual BackendStatus write(const std::string& reader, uint32_t offset,
                                const std::string& data) = 0;
    // Drops whatever connection to the reader's card is held, so the next call
    // starts afresh (after a reset or a disconnect).
    virtual void release(const std::string& reader) = 0;

    // Takes the reader's card for this process alone until endExclusive, so
    // no other program reads or writes it in between. Does not wait: a card
    // that another program holds answers a Busy failure at once, and the
    // caller decides how long to try again. Reads and writes outside a hold
    // stay shared.
    virtual BackendStatus beginExclusive(const std::string& reader) = 0;
    // Ends the hold; nothing when none is held.
    virtual void endExclusive(const std::string& reader) = 0;
};

// The simulated reader when ORVEXCARD_SIM is set and not empty, PC/SC otherwise.
std::unique_ptr<MemoryCardBackend> makeMemoryCardBackend();

// True when [offset, offset + length) lies on the card.
inline bool withinCard(uint32_t offset, uint32_t length) {
    return uint64_t{offset} + length <= kMemoryCardSize;
}

}  // namespace orvex::platform
