// wizard_screenshots: walks the real window through its pages on the
// simulated reader, offscreen, and saves each page as a PNG:
//   wizard_screenshots --out DIR [--work DIR] [--lang de|en|both] [--sample FILE.7kx] [--font FAMILY]
// The work folder (default <temp>/orvexcard-screenshots) is cleared and
// holds the settings, trace log, simulated reader and, unless one is given,
// the sample file that is written.
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <map>

#include "tools/WizardStage.h"
#include "wizard/FileDialog.h"
#include "wizard/PageRender.h"
#include "wizard/StatusMapping.h"
#include "wizard/frmMain.h"

using namespace orvex;
using namespace orvex::wizard;
using orvex::tools::WizardStage;

namespace {

constexpr int kWaitMs = 10000;
constexpr int kPollingMs = 50;

const std::map<int, const char*> kPageNames = {
    {kPageSettings, "settings"},    {kPageInsertCard, "insert-card"}, {kPageFormat, "format"},
    {kPageTasks, "tasks"},          {kPageLoadFile, "load-file"},     {kPageProcessing, "processing"},
    {kPageWaiting, "waiting"},      {kPageNotProgrammable, "not-programmable"},
};

struct Language {
    const char* code;
    int setting;
};

class Shooter {
public:
    Shooter(QString out, const Language& language) : out_(std::move(out)), language_(language) {}

    QString file(int page) const {
        return QStringLiteral("%1/page%2-%3-%4.png")
            .arg(out_).arg(page).arg(QLatin1String(kPageNames.at(page)), QLatin1String(language_.code));
    }
    // The page as it is on the window now.
    bool grab(frmMain& w, int page) {
        return record(page, w.currentPage() == page && w.grab().save(file(page), "PNG"));
    }
    // The page brought to the front for the picture.
    bool render(frmMain& w, int page) { return record(page, renderPageToPng(w, page, file(page))); }
    bool fail(const char* what) {
        std::fprintf(stderr, "wizard_screenshots (%s): %s\n", language_.code, what);
        return false;
    }
    bool has(int page) const { return saved_.count(page) != 0; }

private:
    bool record(int page, bool saved) {
        if (saved) saved_[page] = true;
        std::printf("%s %s\n", saved ? "saved " : "FAILED", qPrintable(file(page)));
        return saved;
    }

    QString out_;
    Language language_;
    std::map<int, bool> saved_;
};

template <typename T>
T* child(frmMain& w, const char* name) {
    return w.findChild<T*>(QString::fromLatin1(name));
}

// The write runs with a slow card; the processing page is taken half-way
// through, the waiting page if the window shows it while it restarts.
bool shootWrite(WizardStage& stage, Shooter& shooter) {
    frmMain& w = stage.window();
    stage.setFaults("latency_ms=20\n");
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* bar = child<QProgressBar>(w, "pgbCardStatus");
        if (!shooter.has(kPageProcessing) && w.currentPage() == kPageProcessing && bar &&
            bar->isVisible() && bar->value() * 2 >= bar->maximum()) {
            shooter.grab(w, kPageProcessing);
        }
        if (!shooter.has(kPageWaiting) && w.currentPage() == kPageWaiting) shooter.grab(w, kPageWaiting);
    });
    watch.start(5);
    w.picNext_Click(kPageLoadFile);
    watch.stop();
    stage.setFaults("");
    if (!stage.waitForPage(kPageTasks, kWaitMs)) return shooter.fail("the written card was not shown again");
    if (!shooter.has(kPageProcessing)) return shooter.fail("the write showed no progress");
    return shooter.has(kPageWaiting) || shooter.render(w, kPageWaiting);
}

bool shootCardPages(WizardStage& stage, Shooter& shooter, const QString& sample) {
    frmMain& w = stage.window();
    stage.plug();
    if (!stage.waitForPage(kPageInsertCard, kWaitMs)) return shooter.fail("the plugged reader was not found");
    shooter.grab(w, kPageInsertCard);
    stage.insert();
    if (!stage.waitForPage(kPageFormat, kWaitMs)) return shooter.fail("the blank card was not shown");
    shooter.grab(w, kPageFormat);
    w.picNext_Click(kPageFormat);
    if (!stage.waitForPage(kPageTasks, kWaitMs)) return shooter.fail("the formatted card was not shown");
    shooter.grab(w, kPageTasks);
    child<QRadioButton>(w, "optTodo_0")->setChecked(true);
    w.picNext_Click(kPageTasks);
    FileDialog::setNextFileName(sample);
    w.cmdOpen_Click();
    if (!shooter.grab(w, kPageLoadFile)) return shooter.fail("the load-file page did not come");
    return shootWrite(stage, shooter) && shooter.render(w, kPageNotProgrammable);
}

bool shootLanguage(const QString& out, const QString& work, const Language& language,
                   const QString& sample) {
    WizardStage stage(work + QLatin1Char('/') + QLatin1String(language.code),
                      {language.setting, kPollingMs, "MCARD", WizardStage::kReader});
    Shooter shooter(out, language);
    stage.unplugAll();
    frmMain* w = stage.start();
    if (!w) return shooter.fail("the window did not start (another copy on the same settings?)");
    if (!stage.waitForPage(kPageSettings, kWaitMs)) return shooter.fail("no settings page without a reader");
    shooter.grab(*w, kPageSettings);
    return shootCardPages(stage, shooter, sample);
}

QString argument(const QStringList& args, const QString& name, const QString& fallback) {
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString out = argument(args, QStringLiteral("--out"), {});
    const QString work = argument(args, QStringLiteral("--work"),
                                  QDir::tempPath() + QStringLiteral("/orvexcard-screenshots"));
    const QString lang = argument(args, QStringLiteral("--lang"), QStringLiteral("both"));
    // The font the pictures are drawn in, where the system's own is missing
    // (Wine has no Windows dialog font of its own unless it is given one).
    const QString family = argument(args, QStringLiteral("--font"), {});
    if (!family.isEmpty()) {
        QFont font = QApplication::font();
        font.setFamily(family);
        QApplication::setFont(font);
    }
    if (out.isEmpty() || !QDir().mkpath(out)) {
        std::fprintf(stderr, "usage: wizard_screenshots --out DIR [--work DIR] [--lang de|en|both] [--sample FILE.7kx] [--font FAMILY]\n");
        return 2;
    }
    QString sample = argument(args, QStringLiteral("--sample"), {});
    if (sample.isEmpty()) {
        sample = work + QStringLiteral("/Samples/evening-calm.7kx");
        QDir().mkpath(work);
        if (!tools::writeDemoSample(sample, "Evening calm, demo take")) return 1;
    }
    bool ok = true;
    for (const Language& language : {Language{"de", 1}, Language{"en", 2}}) {
        if (lang == QLatin1String("both") || lang == QLatin1String(language.code))
            ok = shootLanguage(out, work, language, sample) && ok;
    }
    return ok ? 0 : 1;
}
