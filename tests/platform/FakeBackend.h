#pragma once
// A memory-card back end held in memory, with switches for every failure the
// APIs above it must turn into codes.
#include <optional>
#include <string>
#include <vector>

#include "platform/mcard/MemoryCardBackend.h"

namespace orvex::test {

class FakeBackend final : public platform::MemoryCardBackend {
public:
    struct State {
        std::vector<std::string> readers{"Reader A", "Reader B"};
        platform::CardPresence presence = platform::CardPresence::Present;
        uint8_t type = platform::kMemoryCardTypeByte;
        std::string memory = std::string(platform::kMemoryCardSize, '\0');
        std::optional<platform::BackendStatus> failNext;  // returned by the next call
        std::vector<std::string> readersUsed;
        uint32_t lastWaitMs = 0;
        int releases = 0;
    };

    explicit FakeBackend(State& state) : s_(state) {}

    platform::BackendStatus listReaders(std::vector<std::string>& names) override {
        if (auto failure = takeFailure()) return *failure;
        names = s_.readers;
        return platform::BackendStatus::success();
    }
    platform::BackendStatus cardPresence(const std::string& reader, uint32_t waitMs,
                                         platform::CardPresence& presence) override {
        s_.readersUsed.push_back(reader);
        s_.lastWaitMs = waitMs;
        if (auto failure = takeFailure()) return *failure;
        presence = s_.presence;
        return platform::BackendStatus::success();
    }
    platform::BackendStatus cardType(const std::string& reader, uint8_t& type) override {
        s_.readersUsed.push_back(reader);
        if (auto failure = takeFailure()) return *failure;
        type = s_.type;
        return platform::BackendStatus::success();
    }
    platform::BackendStatus read(const std::string& reader, uint32_t offset, uint32_t length,
                                 std::string& bytes) override {
        s_.readersUsed.push_back(reader);
        if (auto failure = takeFailure()) return *failure;
        bytes = s_.memory.substr(offset, length);
        return platform::BackendStatus::success();
    }
    platform::BackendStatus write(const std::string& reader, uint32_t offset, const std::string& data) override {
        s_.readersUsed.push_back(reader);
        if (auto failure = takeFailure()) return *failure;
        s_.memory.replace(offset, data.size(), data);
        return platform::BackendStatus::success();
    }
    void release(const std::string&) override { ++s_.releases; }

private:
    std::optional<platform::BackendStatus> takeFailure() {
        auto failure = s_.failNext;
        s_.failNext.reset();
        return failure;
    }

    State& s_;
};

}  // namespace orvex::test
