#include "platform/win/Win32EventLoop.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace orvex::platform {
namespace {

constexpr wchar_t kWindowClass[] = L"OrvexCardLoopWindow";
// Messages run by one processEvents() at most: a tick that lasts longer than
// its period is due again at once and would otherwise never let it return.
constexpr int kMessagesPerPass = 32;

LRESULT CALLBACK loopWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_TIMER) return DefWindowProcW(window, message, wParam, lParam);
    auto* loop = reinterpret_cast<Win32EventLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (loop) loop->tick(static_cast<uintptr_t>(wParam));
    return 0;
}

HWND createLoopWindow() {
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = loopWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassExW(&windowClass);
    }();
    if (!registered) return nullptr;
    return CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// The waitable timer of one wait: unnamed, so no other wait (a nested one, or
// one in another copy of the program) can re-arm it and end this wait early.
class WaitTimer {
public:
    WaitTimer() : handle_(CreateWaitableTimerW(nullptr, TRUE, nullptr)) {}
    ~WaitTimer() { close(); }
    WaitTimer(const WaitTimer&) = delete;
    WaitTimer& operator=(const WaitTimer&) = delete;

    // Sleeps until left has passed or input arrives; true when input may be
    // waiting. Input seen but not yet taken also counts, so a pass of
    // processEvents() that stopped early does not leave messages asleep.
    bool sleep(LoopTime left) {
        if (handle_ && !armed_) {
            LARGE_INTEGER relative;  // 100 ns units; negative means from now
            relative.QuadPart = -static_cast<LONGLONG>(left.count()) * 10000;
            armed_ = SetWaitableTimer(handle_, &relative, 0, nullptr, nullptr, FALSE) != 0;
        }
        if (armed_) {
            const DWORD result = MsgWaitForMultipleObjectsEx(1, &handle_, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (result == WAIT_OBJECT_0) {
                armed_ = false;  // fired; armed again if the clock says it was early
                return false;
            }
            if (result == WAIT_OBJECT_0 + 1) return true;
            close();  // the timer cannot be waited on: go on without it
        }
        const DWORD ms = static_cast<DWORD>(std::clamp<int64_t>(left.count(), 1, 0x7FFFFFFF));
        const DWORD result = MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (result == WAIT_FAILED) Sleep(ms);
        return result == WAIT_OBJECT_0;
    }

private:
    void close() {
        if (handle_) CloseHandle(handle_);
        handle_ = nullptr;
        armed_ = false;
    }

    HANDLE handle_;
    bool armed_ = false;
};

class Win32LoopTimer final : public LoopTimer {
public:
    Win32LoopTimer(Win32EventLoop& loop, uintptr_t id) : loop_(loop), id_(id) {}
    ~Win32LoopTimer() override { loop_.removeTimer(id_); }
    Win32LoopTimer(const Win32LoopTimer&) = delete;
    Win32LoopTimer& operator=(const Win32LoopTimer&) = delete;

    void setInterval(int32_t milliseconds) override { loop_.setTimerInterval(id_, milliseconds); }
    void setEnabled(bool enabled) override { loop_.setTimerEnabled(id_, enabled); }

private:
    Win32EventLoop& loop_;
    uintptr_t id_;
};

}  // namespace

Win32EventLoop::Win32EventLoop() : window_(createLoopWindow()) {
    if (!window_) throw std::runtime_error("the event loop's message window cannot be created");
    SetWindowLongPtrW(static_cast<HWND>(window_), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerSecond_ = std::max<int64_t>(frequency.QuadPart, 1);
}

Win32EventLoop::~Win32EventLoop() {
    SetWindowLongPtrW(static_cast<HWND>(window_), GWLP_USERDATA, 0);
    DestroyWindow(static_cast<HWND>(window_));
}

void Win32EventLoop::processEvents() {
    MSG message;
    for (int n = 0; n < kMessagesPerPass && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++n) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (pending_) std::rethrow_exception(std::exchange(pending_, nullptr));
    }
}

std::unique_ptr<LoopTimer> Win32EventLoop::createTimer(std::function<void()> onTick) {
    const uintptr_t id = nextId_++;  // never reused: a stale WM_TIMER finds no slot
    timers_[id].onTick = std::make_shared<std::function<void()>>(std::move(onTick));
    return std::make_unique<Win32LoopTimer>(*this, id);
}

void Win32EventLoop::waitUntil(LoopTime due) {
    WaitTimer timer;
    for (LoopTime left = due - now(); left.count() > 0; left = due - now()) {
        if (timer.sleep(left)) processEvents();
    }
}

LoopTime Win32EventLoop::now() const {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    const int64_t whole = count.QuadPart / ticksPerSecond_, part = count.QuadPart % ticksPerSecond_;
    return LoopTime(whole * 1000 + part * 1000 / ticksPerSecond_);
}

void Win32EventLoop::setTimerInterval(uintptr_t id, int32_t milliseconds) {
    Slot& slot = timers_.at(id);
    slot.interval = milliseconds;
    apply(id, slot);
}

void Win32EventLoop::setTimerEnabled(uintptr_t id, bool enabled) {
    Slot& slot = timers_.at(id);
    slot.enabled = enabled;
    apply(id, slot);
}

void Win32EventLoop::removeTimer(uintptr_t id) {
    KillTimer(static_cast<HWND>(window_), id);
    timers_.erase(id);
}

// SetTimer on a running id restarts its period. A WM_TIMER already queued
// when the timer is stopped finds the slot disabled or gone and is dropped.
void Win32EventLoop::apply(uintptr_t id, const Slot& slot) {
    if (slot.enabled && slot.interval > 0)
        SetTimer(static_cast<HWND>(window_), id, static_cast<UINT>(slot.interval), nullptr);
    else
        KillTimer(static_cast<HWND>(window_), id);
}

// The handler is held by a copy of its pointer, so a timer destroyed inside
// its own tick does not pull the running handler away.
void Win32EventLoop::tick(uintptr_t id) {
    const auto found = timers_.find(id);
    if (found == timers_.end() || found->second.firing || !found->second.enabled || found->second.interval <= 0)
        return;
    found->second.firing = true;
    const std::shared_ptr<std::function<void()>> onTick = found->second.onTick;
    try {
        if (*onTick) (*onTick)();
    } catch (...) {
        pending_ = std::current_exception();
    }
    const auto after = timers_.find(id);
    if (after != timers_.end()) after->second.firing = false;
}

}  // namespace orvex::platform
