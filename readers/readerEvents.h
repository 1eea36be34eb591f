#pragma once
// Carries a driver's three argument-less events. A handler reads the new value
// from the driver's properties. Handlers run synchronously in subscription
// order; an exception thrown by one travels back to the raising driver code.
#include <functional>
#include <map>

namespace orvex {

class readerEvents {
public:
    struct Handlers {
        std::function<void()> progressChange;
        std::function<void()> progressMaxChange;
        std::function<void()> stateChange;
    };
    using SubscriptionId = int;

    SubscriptionId subscribe(Handlers handlers) {
        const SubscriptionId id = nextId_++;
        subscribers_.emplace(id, std::move(handlers));
        return id;
    }
    void unsubscribe(SubscriptionId id) { subscribers_.erase(id); }

    // Raised by the drivers only.
    void raiseProgressChange() { raise(&Handlers::progressChange); }
    void raiseProgressMaxChange() { raise(&Handlers::progressMaxChange); }
    void raiseStateChange() { raise(&Handlers::stateChange); }

private:
    void raise(std::function<void()> Handlers::*which) {
        // Copy first: a handler may subscribe or unsubscribe while it runs.
        std::map<SubscriptionId, Handlers> current = subscribers_;
        for (auto& [id, h] : current) {
            if (subscribers_.count(id) && h.*which) (h.*which)();
        }
    }

    std::map<SubscriptionId, Handlers> subscribers_;
    SubscriptionId nextId_ = 1;
};

}  // namespace orvex
