#pragma once
// The outcome of one memory-card back end call: success, or a failure of a
// kind the APIs above turn into their own codes, with a text that names the
// cause symbolically (SCARD_W_REMOVED_CARD, "status word 6B00", ...).
#include <string>
#include <utility>

namespace orvex::platform {

enum class BackendFault {
    None,
    Service,    // the PC/SC service or the simulated reader directory
    Reader,     // the reader is not (or no longer) attached
    NoCard,     // no card, or the card was pulled during the call
    Card,       // the card answered wrongly or the exchange broke down
    Range,      // offset or length outside the card
    Protected,  // the card refuses writes
    Busy,       // another program holds the card for an operation of its own
};

class BackendStatus {
public:
    static BackendStatus success() { return BackendStatus(BackendFault::None, {}); }
    static BackendStatus failure(BackendFault fault, std::string text) {
        return BackendStatus(fault, std::move(text));
    }

    bool ok() const { return fault_ == BackendFault::None; }
    BackendFault fault() const { return fault_; }
    const std::string& text() const { return text_; }

private:
    BackendStatus(BackendFault fault, std::string text) : fault_(fault), text_(std::move(text)) {}

    BackendFault fault_;
    std::string text_;
};

}  // namespace orvex::platform
