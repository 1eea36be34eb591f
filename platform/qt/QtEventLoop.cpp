#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/qt/QtLoopTimer.h"

namespace orvex::platform {

QtEventLoop::QtEventLoop() { clock_.start(); }

void QtEventLoop::processEvents() { QCoreApplication::processEvents(); }

std::unique_ptr<LoopTimer> QtEventLoop::createTimer(std::function<void()> onTick) {
    return std::make_unique<QtLoopTimer>(std::move(onTick));
}

// A local event loop sleeps until input or the wake-up timer arrives. When a
// handler nests a wait, this wait's wake-up only marks its loop for leaving,
// and it is left as soon as the inner one returns. A wake-up that comes a
// little early is simply armed again.
void QtEventLoop::waitUntil(LoopTime due) {
    for (LoopTime left = due - now(); left.count() > 0; left = due - now()) {
        QEventLoop loop;
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
        wake.start(static_cast<int>(std::min<int64_t>(left.count(), INT32_MAX)));
        loop.exec();
    }
}

LoopTime QtEventLoop::now() const { return LoopTime(clock_.elapsed()); }

}  // namespace orvex::platform
