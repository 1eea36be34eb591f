#include <QCoreApplication>
#include <QEventLoop>

#include "platform/eventloop/programLoop.h"
#include "platform/qt/QtEventLoop.h"

namespace orvex::platform {
namespace {

// QtEventLoop needs the application object for as long as it is used.
class QtProgramLoop final : public EventLoop {
public:
    QtProgramLoop(int& argc, char** argv) : app_(argc, argv) {}

    void processEvents() override { loop_.processEvents(); }
    std::unique_ptr<LoopTimer> createTimer(std::function<void()> onTick) override {
        return loop_.createTimer(std::move(onTick));
    }
    void waitUntil(LoopTime due) override { loop_.waitUntil(due); }
    LoopTime now() const override { return loop_.now(); }

private:
    QCoreApplication app_;
    QtEventLoop loop_;
};

// Qt gives a thread it did not start an event dispatcher only with its first
// event loop; a timer made on the thread needs one from the start.
class QtThreadLoop final : public EventLoop {
public:
    void processEvents() override { loop_.processEvents(); }
    std::unique_ptr<LoopTimer> createTimer(std::function<void()> onTick) override {
        return loop_.createTimer(std::move(onTick));
    }
    void waitUntil(LoopTime due) override { loop_.waitUntil(due); }
    LoopTime now() const override { return loop_.now(); }

private:
    const QEventLoop dispatcher_;
    QtEventLoop loop_;
};

}  // namespace

std::unique_ptr<EventLoop> makeProgramLoop(int& argc, char** argv) {
    return std::make_unique<QtProgramLoop>(argc, argv);
}

std::unique_ptr<EventLoop> makeThreadLoop() { return std::make_unique<QtThreadLoop>(); }

}  // namespace orvex::platform
