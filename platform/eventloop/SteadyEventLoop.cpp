#include "platform/eventloop/SteadyEventLoop.h"

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

namespace orvex::platform {
namespace {

constexpr LoopTime kNever = LoopTime::max();

class SteadyTimer final : public LoopTimer {
public:
    SteadyTimer(SteadyEventLoop& loop, int id) : loop_(loop), id_(id) {}
    ~SteadyTimer() override { loop_.removeTimer(id_); }
    SteadyTimer(const SteadyTimer&) = delete;
    SteadyTimer& operator=(const SteadyTimer&) = delete;

    void setInterval(int32_t milliseconds) override { loop_.setTimerInterval(id_, milliseconds); }
    void setEnabled(bool enabled) override { loop_.setTimerEnabled(id_, enabled); }
    void tickSoon() override { loop_.setTimerDueNow(id_); }

private:
    SteadyEventLoop& loop_;
    int id_;
};

}  // namespace

SteadyEventLoop::SteadyEventLoop() : start_(std::chrono::steady_clock::now()) {}

LoopTime SteadyEventLoop::now() const {
    return std::chrono::duration_cast<LoopTime>(std::chrono::steady_clock::now() - start_);
}

void SteadyEventLoop::processEvents() { fireDue(); }

std::unique_ptr<LoopTimer> SteadyEventLoop::createTimer(std::function<void()> onTick) {
    const int id = nextId_++;
    timers_[id].onTick = std::move(onTick);
    return std::make_unique<SteadyTimer>(*this, id);
}

// A handler that waits in turn nests here; when it returns after this wait's
// due time, the loop condition ends this wait at once.
void SteadyEventLoop::waitUntil(LoopTime due) {
    while (now() < due) {
        if (fireDue()) continue;
        const LoopTime wake = std::min(due, nextDue());
        const LoopTime left = wake - now();
        if (left.count() > 0) std::this_thread::sleep_for(left);
    }
    fireDue();
}

void SteadyEventLoop::setTimerInterval(int id, int32_t milliseconds) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second.interval = milliseconds;
    it->second.due = now() + LoopTime(milliseconds);
}

void SteadyEventLoop::setTimerEnabled(int id, bool enabled) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    if (enabled && !it->second.enabled) it->second.due = now() + LoopTime(it->second.interval);
    it->second.enabled = enabled;
}

// Due at once: the next processEvents or wait runs it, without sleeping
// for a period first.
void SteadyEventLoop::setTimerDueNow(int id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second.interval = std::max(it->second.interval, int32_t{1});
    it->second.enabled = true;
    it->second.due = now();
}

void SteadyEventLoop::removeTimer(int id) { timers_.erase(id); }

// A tick that falls due while its own handler still runs is dropped; the
// next one is a whole period after the handler began.
bool SteadyEventLoop::fireDue() {
    const LoopTime at = now();
    std::vector<int> due;
    for (const auto& [id, slot] : timers_) {
        if (slot.enabled && slot.interval > 0 && !slot.firing && slot.due <= at) due.push_back(id);
    }
    for (const int id : due) {
        auto it = timers_.find(id);  // an earlier handler may have removed or stopped it
        if (it == timers_.end() || !it->second.enabled || it->second.firing) continue;
        it->second.due = at + LoopTime(it->second.interval);
        it->second.firing = true;
        const std::function<void()> onTick = it->second.onTick;  // the timer may go away while it runs
        onTick();
        it = timers_.find(id);
        if (it != timers_.end()) it->second.firing = false;
    }
    return !due.empty();
}

LoopTime SteadyEventLoop::nextDue() const {
    LoopTime next = kNever;
    for (const auto& [id, slot] : timers_) {
        if (slot.enabled && slot.interval > 0 && !slot.firing) next = std::min(next, slot.due);
    }
    return next;
}

}  // namespace orvex::platform
