#pragma once
// The command line's event loop on Windows: the thread's message queue. Each
// wait sleeps in MsgWaitForMultipleObjectsEx on a waitable timer of its own
// and runs the messages that arrive meanwhile; timers are SetTimer timers of
// a hidden message-only window, so their ticks arrive as WM_TIMER on this
// thread, inside processEvents() and waits only.
#include <cstdint>
#include <exception>
#include <map>
#include <memory>

#include "platform/eventloop/EventLoop.h"

namespace orvex::platform {

class Win32EventLoop final : public EventLoop {
public:
    Win32EventLoop();
    ~Win32EventLoop() override;
    Win32EventLoop(const Win32EventLoop&) = delete;
    Win32EventLoop& operator=(const Win32EventLoop&) = delete;

    void processEvents() override;
    std::unique_ptr<LoopTimer> createTimer(std::function<void()> onTick) override;
    void waitUntil(LoopTime due) override;
    LoopTime now() const override;

    // Used by the timers this loop hands out and by its window.
    void setTimerInterval(uintptr_t id, int32_t milliseconds);
    void setTimerEnabled(uintptr_t id, bool enabled);
    void removeTimer(uintptr_t id);
    void tick(uintptr_t id);

private:
    struct Slot {
        std::shared_ptr<std::function<void()>> onTick;
        int32_t interval = 0;
        bool enabled = false;
        bool firing = false;
    };

    void apply(uintptr_t id, const Slot& slot);
    // One pass of a wait: sleeps until the timer fires or a message arrives.
    void sleepOnce(void* waitableTimer, bool& armed, LoopTime left);

    void* window_ = nullptr;  // HWND
    int64_t ticksPerSecond_ = 1;
    std::map<uintptr_t, Slot> timers_;
    uintptr_t nextId_ = 1;
    // An exception from a tick's handler, carried past DispatchMessage (which
    // it must not cross) and thrown again from processEvents().
    std::exception_ptr pending_;
};

}  // namespace orvex::platform
