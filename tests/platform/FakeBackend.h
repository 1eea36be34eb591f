#pragma once
// A memory-card back end held in memory; failNext makes its next call fail.
// A caller that reaches outside the card stops the program.
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/mcard/MemoryCardBackend.h"

namespace orvex::test {

class FakeBackend final : public platform::MemoryCardBackend {
public:
    using Status = platform::BackendStatus;
    struct State {
        std::vector<std::string> readers{"Reader A", "Reader B"};
        platform::CardPresence presence = platform::CardPresence::Present;
        uint8_t type = platform::kMemoryCardTypeByte;
        std::string memory = std::string(platform::kMemoryCardSize, '\0');
        std::optional<Status> failNext;
        std::vector<std::string> readersUsed;
        uint32_t lastWaitMs = 0;
        int releases = 0;
    };

    explicit FakeBackend(State& state) : s_(state) {}

    Status listReaders(std::vector<std::string>& names) override { return call([&] { names = s_.readers; }); }
    Status cardPresence(const std::string& reader, uint32_t waitMs, platform::CardPresence& presence) override {
        s_.lastWaitMs = waitMs;
        return call([&] { presence = s_.presence; }, &reader);
    }
    // Like a real back end, connecting finds no card in an empty or gone reader.
    Status cardType(const std::string& reader, uint8_t& type) override {
        if (s_.presence == platform::CardPresence::Absent)
            return Status::failure(platform::BackendFault::NoCard, "no card");
        if (s_.presence == platform::CardPresence::ReaderGone)
            return Status::failure(platform::BackendFault::Reader, "no reader");
        return call([&] { type = s_.type; }, &reader);
    }
    Status read(const std::string& reader, uint32_t offset, uint32_t length, std::string& bytes) override {
        inCard(offset, length);
        return call([&] { bytes = s_.memory.substr(offset, length); }, &reader);
    }
    Status write(const std::string& reader, uint32_t offset, const std::string& data) override {
        inCard(offset, data.size());
        return call([&] { s_.memory.replace(offset, data.size(), data); }, &reader);
    }
    void release(const std::string&) override { ++s_.releases; }
    Status beginExclusive(const std::string& reader) override { return call([] {}, &reader); }
    void endExclusive(const std::string&) override {}

private:
    void inCard(size_t offset, size_t length) const {
        if (offset > s_.memory.size() || length > s_.memory.size() - offset) std::abort();
    }
    template <typename Effect>
    Status call(Effect effect, const std::string* reader = nullptr) {
        if (reader) s_.readersUsed.push_back(*reader);
        const auto failure = std::exchange(s_.failNext, std::nullopt);
        if (failure) return *failure;
        effect();
        return Status::success();
    }

    State& s_;
};

}  // namespace orvex::test
