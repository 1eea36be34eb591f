// wizard_bench: one measurement of the real window on the simulated reader,
// printed as "key=value" lines for bench/bench_wizard.sh.
//   wizard_bench --work DIR start         process start to the first paint of the window
//   wizard_bench --work DIR insert RUNS   formatted card inserted to the task page painted
//   wizard_bench --work DIR idle SECONDS  CPU of the idle window polling an empty reader
//   wizard_bench --work DIR write         longest event-loop pause during a sample write
// The process start is ORVEX_BENCH_T0_NS (CLOCK_REALTIME, set by the caller
// just before starting this program), else the entry of main().
#include <QApplication>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QStackedWidget>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

#include "readers/readerBase.h"
#include "tools/WizardStage.h"
#include "wizard/FileDialog.h"
#include "wizard/MessageBox.h"
#include "wizard/StatusMapping.h"
#include "wizard/frmMain.h"

using namespace orvex;
using namespace orvex::wizard;
using orvex::tools::WizardStage;

namespace {

constexpr int kWaitMs = 15000;

double nowMs() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double cpuMs() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    auto ms = [](const timeval& v) { return static_cast<double>(v.tv_sec) * 1e3 + static_cast<double>(v.tv_usec) / 1e3; };
    return ms(use.ru_utime) + ms(use.ru_stime);
}

// The moment a widget is first painted after arm().
class PaintWatch : public QObject {
public:
    void arm(QWidget* widget) {
        if (widget_) widget_->removeEventFilter(this);
        widget_ = widget;
        paintedAt_ = 0;
        widget_->installEventFilter(this);
    }
    double paintedAt() const { return paintedAt_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget_ && event->type() == QEvent::Paint && paintedAt_ == 0) paintedAt_ = nowMs();
        return false;
    }

private:
    QWidget* widget_ = nullptr;
    double paintedAt_ = 0;
};

QWidget* page(frmMain& w, int index) {
    return w.findChild<QStackedWidget*>(QStringLiteral("frameMain"))->widget(index);
}

bool fail(const char* what) {
    std::fprintf(stderr, "wizard_bench: %s\n", what);
    return false;
}

// Paints of the window only, the way the program starts it.
class FirstPaint : public QObject {
public:
    double at = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (at == 0 && event->type() == QEvent::Paint && qobject_cast<frmMain*>(watched)) at = nowMs();
        return false;
    }
};

bool measureStart(WizardStage& stage, double t0, double mainAt) {
    FirstPaint watch;
    qApp->installEventFilter(&watch);
    if (!stage.start()) return fail("the window did not start");
    WizardStage::waitFor([&] { return watch.at != 0; }, kWaitMs);
    if (watch.at == 0) return fail("the window was never painted");
    std::printf("start_ms=%.1f\nstart_from_main_ms=%.1f\n", watch.at - t0, watch.at - mainAt);
    return true;
}

// A reader with no card, then a blank card formatted through the window;
// the formatted card's image.
bool formatCard(WizardStage& stage, std::string& image) {
    if (!stage.start() || !stage.waitForPage(kPageInsertCard, kWaitMs)) return fail("no insert-card page");
    stage.insert();
    if (!stage.waitForPage(kPageFormat, kWaitMs)) return fail("the blank card was not shown");
    stage.window().picNext_Click(kPageFormat);
    if (!stage.waitForPage(kPageTasks, kWaitMs)) return fail("the format did not finish");
    image = stage.card();
    return true;
}

bool measureInsert(WizardStage& stage, int runs) {
    std::string image;
    if (!formatCard(stage, image)) return false;
    frmMain& w = stage.window();
    PaintWatch watch;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        stage.remove();
        if (!stage.waitForPage(kPageInsertCard, kWaitMs)) return fail("the pulled card was not noticed");
        const int interval = std::max<int>(w.rd()->pollingInterval(), 1);
        // Insert at a random moment of the polling period.
        WizardStage::idle(100 + QRandomGenerator::global()->bounded(interval));
        std::printf("polling_ms=%d\n", static_cast<int>(w.rd()->pollingInterval()));
        watch.arm(page(w, kPageTasks));
        stage.insert(image);
        const double t0 = nowMs();
        if (!WizardStage::waitFor([&] { return watch.paintedAt() != 0; }, kWaitMs))
            return fail("the task page was not shown");
        times.push_back(watch.paintedAt() - t0);
        std::printf("insert_ms=%.1f\n", times.back());
    }
    return true;
}

bool measureIdle(WizardStage& stage, int seconds) {
    if (!stage.start() || !stage.waitForPage(kPageInsertCard, kWaitMs)) return fail("no insert-card page");
    WizardStage::idle(1000);
    const double cpu0 = cpuMs();
    const double wall0 = nowMs();
    WizardStage::idle(seconds * 1000);
    const double cpu = cpuMs() - cpu0;
    const double wall = nowMs() - wall0;
    std::printf("polling_ms=%d\nidle_seconds=%.1f\nidle_cpu_ms=%.1f\nidle_cpu_percent=%.3f\n",
                static_cast<int>(stage.window().rd()->pollingInterval()), wall / 1e3, cpu,
                100.0 * cpu / wall);
    return true;
}

bool measureWrite(WizardStage& stage, const QString& sample) {
    std::string image;
    if (!formatCard(stage, image)) return false;
    frmMain& w = stage.window();
    w.findChild<QRadioButton*>(QStringLiteral("optTodo_0"))->setChecked(true);
    w.picNext_Click(kPageTasks);
    FileDialog::setNextFileName(sample);
    w.cmdOpen_Click();
    if (w.currentPage() != kPageLoadFile) return fail("the load-file page did not come");
    stage.setFaults("latency_ms=20\n");
    MessageBox::clearShown();
    double last = 0, longest = 0, took = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double now = nowMs();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start(1);
    QTimer::singleShot(0, [&] {
        last = nowMs();
        const double began = last;
        w.picNext_Click(kPageLoadFile);
        longest = std::max(longest, nowMs() - last);
        took = nowMs() - began;
    });
    WizardStage::waitFor([&] { return took != 0; }, 60000);
    const bool written = !MessageBox::shown().empty() && MessageBox::shown().back().text.contains(QStringLiteral("612"));
    std::printf("write_ms=%.1f\nwrite_max_pause_ms=%.1f\nwrite_reported=%s\n", took, longest,
                written ? "612" : "not-612");
    return took != 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    const double mainAt = nowMs();
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    const qsizetype workAt = args.indexOf(QStringLiteral("--work"));
    if (workAt < 1 || workAt + 2 >= args.size()) {
        std::fprintf(stderr, "usage: wizard_bench --work DIR start|insert RUNS|idle SECONDS|write\n");
        return 2;
    }
    const QString work = args.at(workAt + 1);
    const QString mode = args.at(workAt + 2);
    const int count = workAt + 3 < args.size() ? args.at(workAt + 3).toInt() : 5;
    const QByteArray t0 = qgetenv("ORVEX_BENCH_T0_NS");
    WizardStage stage(work + QStringLiteral("/stage"), {2, 0, "MCARD", WizardStage::kReader});
    bool ok = false;
    if (mode == QLatin1String("start")) {
        ok = measureStart(stage, t0.isEmpty() ? mainAt : t0.toDouble() / 1e6, mainAt);
    } else if (mode == QLatin1String("insert")) {
        ok = measureInsert(stage, std::max(count, 1));
    } else if (mode == QLatin1String("idle")) {
        ok = measureIdle(stage, std::max(count, 1));
    } else if (mode == QLatin1String("write")) {
        const QString sample = work + QStringLiteral("/bench.7kx");
        ok = tools::writeDemoSample(sample, "Benchmark sample") && measureWrite(stage, sample);
    }
    std::fflush(stdout);
    return ok ? 0 : 1;
}
