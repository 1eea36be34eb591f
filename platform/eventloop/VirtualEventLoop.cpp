#include "platform/eventloop/VirtualEventLoop.h"

#include <utility>

namespace orvex::platform {
namespace {

class VirtualTimer final : public LoopTimer {
public:
    VirtualTimer(VirtualEventLoop& loop, int id) : loop_(loop), id_(id) {}
    ~VirtualTimer() override { loop_.removeTimer(id_); }
    VirtualTimer(const VirtualTimer&) = delete;
    VirtualTimer& operator=(const VirtualTimer&) = delete;

    void setInterval(int32_t milliseconds) override { loop_.setTimerInterval(id_, milliseconds); }
    void setEnabled(bool enabled) override { loop_.setTimerEnabled(id_, enabled); }

private:
    VirtualEventLoop& loop_;
    int id_;
};

}  // namespace

void VirtualEventLoop::processEvents() {
    ++processEventsCalls_;
    runUntil(now_);
}

std::unique_ptr<LoopTimer> VirtualEventLoop::createTimer(std::function<void()> onTick) {
    const int id = nextId_++;
    timers_[id].onTick = std::move(onTick);
    return std::make_unique<VirtualTimer>(*this, id);
}

void VirtualEventLoop::waitUntil(LoopTime due) {
    waits_.push_back({now_, due});
    runUntil(due);
}

void VirtualEventLoop::advance(LoopTime by) { runUntil(now_ + by); }

void VirtualEventLoop::post(std::function<void()> event) { posted_.push_back(std::move(event)); }

int VirtualEventLoop::activeTimers() const {
    int n = 0;
    for (const auto& [id, slot] : timers_) n += (slot.enabled && slot.interval > 0) ? 1 : 0;
    return n;
}

void VirtualEventLoop::setTimerInterval(int id, int32_t milliseconds) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second.interval = milliseconds;
    it->second.due = now_ + LoopTime(milliseconds);
}

void VirtualEventLoop::setTimerEnabled(int id, bool enabled) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    if (enabled && !it->second.enabled) it->second.due = now_ + LoopTime(it->second.interval);
    it->second.enabled = enabled;
}

void VirtualEventLoop::removeTimer(int id) { timers_.erase(id); }

// A handler may wait in turn and move the clock past target; the outer run
// then ends as soon as control comes back to it.
void VirtualEventLoop::runUntil(LoopTime target) {
    while (now_ <= target) {
        runPosted();
        if (now_ > target) break;
        const int id = nextDue(target);
        if (id == 0) break;
        if (timers_[id].due > now_) now_ = timers_[id].due;
        fire(id);
    }
    if (now_ < target) now_ = target;
}

void VirtualEventLoop::runPosted() {
    std::deque<std::function<void()>> batch;
    batch.swap(posted_);
    for (auto& event : batch) event();
}

int VirtualEventLoop::nextDue(LoopTime target) const {
    int best = 0;
    LoopTime bestDue{};
    for (const auto& [id, slot] : timers_) {
        if (!slot.enabled || slot.interval <= 0 || slot.firing || slot.due > target) continue;
        if (best == 0 || slot.due < bestDue) {
            best = id;
            bestDue = slot.due;
        }
    }
    return best;
}

void VirtualEventLoop::fire(int id) {
    Slot& slot = timers_[id];
    slot.due = now_ + LoopTime(slot.interval);
    slot.firing = true;
    const std::function<void()> onTick = slot.onTick;  // the timer may go away while it runs
    onTick();
    auto it = timers_.find(id);
    if (it != timers_.end()) it->second.firing = false;
}

}  // namespace orvex::platform
