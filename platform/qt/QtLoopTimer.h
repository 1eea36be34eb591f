#pragma once
// A LoopTimer on a QTimer. Qt does not deliver a timer's tick while its
// previous tick is still running, which is what LoopTimer promises.
#include <QTimer>
#include <functional>

#include "platform/eventloop/LoopTimer.h"

namespace orvex::platform {

class QtLoopTimer final : public LoopTimer {
public:
    explicit QtLoopTimer(std::function<void()> onTick);

    void setInterval(int32_t milliseconds) override;
    void setEnabled(bool enabled) override;

private:
    void apply();
    void tick();

    QTimer timer_;
    std::function<void()> onTick_;
    int32_t interval_ = 0;
    bool enabled_ = false;
};

}  // namespace orvex::platform
