#pragma once
// A card operation's hold on the card: while it lives, no other program
// reads or writes the card (a PC/SC transaction, or the simulated reader's
// lock file). It ends when the object goes, on every path out of the
// operation. An empty hold (held() false) means the card could not be had;
// the operation must not touch the card then.
#include <functional>
#include <utility>

namespace orvex {

class ExclusiveCard {
public:
    // Not held.
    ExclusiveCard() = default;
    // Held; end runs once when the hold goes (may be empty: nothing to end).
    explicit ExclusiveCard(std::function<void()> end) : held_(true), end_(std::move(end)) {}
    ~ExclusiveCard() { release(); }
    ExclusiveCard(ExclusiveCard&& other) noexcept
        : held_(std::exchange(other.held_, false)), end_(std::exchange(other.end_, nullptr)) {}
    ExclusiveCard& operator=(ExclusiveCard&& other) noexcept {
        if (this != &other) {
            release();
            held_ = std::exchange(other.held_, false);
            end_ = std::exchange(other.end_, nullptr);
        }
        return *this;
    }
    ExclusiveCard(const ExclusiveCard&) = delete;
    ExclusiveCard& operator=(const ExclusiveCard&) = delete;

    bool held() const { return held_; }
    explicit operator bool() const { return held_; }

    // Ends the hold now.
    void release() {
        held_ = false;
        if (auto end = std::exchange(end_, nullptr)) end();
    }

private:
    bool held_ = false;
    std::function<void()> end_;
};

}  // namespace orvex
