#pragma once
// The programs' event loop: the Qt main thread. Needs a QCoreApplication (or
// QApplication) to exist while it is used.
#include <QElapsedTimer>

#include "platform/eventloop/EventLoop.h"

namespace orvex::platform {

class QtEventLoop final : public EventLoop {
public:
    QtEventLoop();

    void processEvents() override;
    std::unique_ptr<LoopTimer> createTimer(std::function<void()> onTick) override;
    void waitUntil(LoopTime due) override;
    LoopTime now() const override;

private:
    QElapsedTimer clock_;
};

}  // namespace orvex::platform
