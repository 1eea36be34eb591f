#pragma once
// The simulated reader: a directory whose subdirectories are readers. A
// reader holds its inserted card as card.bin (16384 bytes), optionally its
// type byte in card.type (decimal, default 15) and fault keys in `faults`.
// A card.bin of any other size is an inserted card that is not a usable
// memory card: it reports type 0 and refuses reads and writes.
//
// An exclusive hold is an advisory lock on the reader's card.lock, so it
// holds against every process, this one's other back ends included. Reads
// and writes outside a hold do not look at the lock.
#include <map>
#include <memory>
#include <string>

#include "platform/mcard/MemoryCardBackend.h"
#include "platform/registry/FileLock.h"
#include "platform/sim/SimFaults.h"

namespace orvex::platform {

class SimulatedBackend final : public MemoryCardBackend {
public:
    explicit SimulatedBackend(std::string directory) : directory_(std::move(directory)) {}

    BackendStatus listReaders(std::vector<std::string>& names) override;
    BackendStatus cardPresence(const std::string& reader, uint32_t waitMs, CardPresence& presence) override;
    BackendStatus cardType(const std::string& reader, uint8_t& type) override;
    BackendStatus read(const std::string& reader, uint32_t offset, uint32_t length,
                       std::string& bytes) override;
    BackendStatus write(const std::string& reader, uint32_t offset, const std::string& data) override;
    void release(const std::string&) override {}
    BackendStatus beginExclusive(const std::string& reader) override;
    void endExclusive(const std::string& reader) override { holds_.erase(reader); }

private:
    BackendStatus cardFile(const std::string& reader, std::string& path);
    SimFaults faultsOf(const std::string& reader) const;
    CardPresence presenceOf(const std::string& reader) const;
    BackendStatus writeOnce(const std::string& reader, uint32_t offset, const std::string& data);
    void pull(const std::string& reader);
    std::string readerPath(const std::string& reader) const { return directory_ + "/" + reader; }

    std::string directory_;
    std::map<std::string, uint32_t> writesSincePull_;
    std::map<std::string, std::unique_ptr<FileLock>> holds_;
};

}  // namespace orvex::platform
