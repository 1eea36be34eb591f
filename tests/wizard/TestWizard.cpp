// The operator's paths through the real window, offscreen, on the simulated reader: each test in
// a private world (settings in English with fast polling and the SCM driver, the trace log, the
// simulated reader directory), message boxes and the file dialog answered.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <future>

#include "cards/orvexcard.h"
#include "foundation/clsRegistry.h"
#include "platform/mcard/BackendLog.h"
#include "platform/sim/SimDirectory.h"
#include "readers/makeReader.h"
#include "readers/readerChipdrive.h"
#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"
#include "support/MemoryCardReader.h"
#include "support/ScriptedLibraries.h"
#include "support/TestEnvironment.h"
#include "wizard/CommandLine.h"
#include "wizard/ComponentCheck.h"
#include "wizard/FileDialog.h"
#include "wizard/MessageBox.h"
#include "wizard/Startup.h"
#include "wizard/StatusMapping.h"
#include "wizard/WebLink.h"
#include "wizard/WizardText.h"
#include "wizard/frmMain.h"

using namespace orvex;
using namespace orvex::test;
using namespace orvex::wizard;

namespace {

constexpr int kWaitMs = 8000;
constexpr const char* kReader = "OrvexCard Simulated Reader 0";

// The text-command library under a Chipdrive driver: a reader always there, a card of NUL bytes with
// the status word the test sets. With refuseAssign only the polling tick's status query (right after
// a device query) gets the word, any other "failed": an assign that asks again is refused.
class StatusLibrary final : public platform::SCard32Api {
public:
    std::string status = "active";
    bool refuseAssign = false;

    int32_t SCardComand(int32_t& handle, const std::string& command, int32_t& commandLength,
                        const std::string& input, int32_t& inputLength, std::string& output,
                        int32_t& outputLength) override {
        if (command == "Card,Info,Status") library_.cardStatus = refuseAssign && !afterDeviceQuery_ ? "failed" : status;
        afterDeviceQuery_ = command == "Device,Info,Status";
        return library_.SCardComand(handle, command, commandLength, input, inputLength, output, outputLength);
    }

private:
    ScriptedSCard32Api library_;
    bool afterDeviceQuery_ = false;
};

// Settings for the user's key on the given driver ("MCARD" or "SCARD").
std::string settingsFor(const std::string& api, int language = 2) {
    return "\"api\"=\"" + api + "\"\r\n\"lng\"=dword:0000000" + std::to_string(language) + "\r\n";
}

class WizardWorld {
public:
    explicit WizardWorld(const std::string& settings = settingsFor("MCARD")) {
        const std::string registry = dir() + "/registry";
        std::filesystem::create_directories(registry);
        writeTestSettings(registry, dir() + "/trace.log", settings);
        qputenv("ORVEXCARD_REGISTRY_DIR", QByteArray::fromStdString(registry));
        qputenv("ORVEXCARD_SIM", QByteArray::fromStdString(dir() + "/sim"));
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString(dir() + "/state"));
        sim().init();
        MessageBox::setNextAnswer(QMessageBox::Ok);
        MessageBox::clearShown();
    }
    ~WizardWorld() {
        window_.reset();
        frmMain::setDriverMaker(makeReader);
    }

    // The window started as the program starts it (nothing when another copy ran).
    frmMain* start(const QStringList& arguments = {}) {
        window_ = startWizard(arguments);
        return window_.get();
    }
    void closeWindow() { window_.reset(); }

    platform::SimDirectory sim() const { return platform::SimDirectory(dir() + "/sim"); }
    void unplugAll() const { for (const std::string& r : sim().readers()) sim().unplug(r); }
    void insert() const { sim().insert(kReader, std::string(16384, ' ')); }  // a blank card
    std::string card() const { return readFileBytes(dir() + "/sim/" + kReader + "/card.bin"); }
    void setFaults(const std::string& lines) const { writeFileBytes(dir() + "/sim/" + kReader + "/faults", lines); }
    // Inserts a card formatted without the window as a drink (1) or station (2) card; with a
    // duration it also holds the sample with these flags.
    bool prepareCard(int32_t kind, const std::string& duration = {}, bool combine = false, bool placebo = false) {
        MemoryCardReader rd;
        orvexcard card;
        file7kx file;
        return card.assign(rd) == -1 && card.formatCard(kind, "ocard/2.1.0/1", 65535, true) &&
               (duration.empty() || (file.loadFromFile(sample().toStdString()) &&
                                     card.writeFile7kx(file, kind, "Station", duration, combine, placebo))) &&
               sim().insert(kReader, rd.memory()).ok();
    }
    QString sample(const std::string& name = "calm.7kx") const {
        writeFileBytes(dir() + "/" + name, sampleFileBytes());
        return QString::fromStdString(dir() + "/" + name);
    }

    QString text(const char* label) const { return window_->findChild<QLabel*>(QString::fromLatin1(label))->text(); }
    static std::string setting(const std::string& value) {
        return clsRegistry().ReadRegistry(HKEY_CURRENT_USER, kProductKey, value);
    }
    QString trace() const { return QString::fromStdString(readFileBytes(dir() + "/trace.log")); }
    std::string dir() const { return dir_.path().toStdString(); }

private:
    QTemporaryDir dir_;
    std::unique_ptr<frmMain> window_;
};

template <typename T>
T* child(frmMain& w, const char* name) {
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
}

// The name line shows the card's whole 25-character name field.
QString nameLine(const char* name) { return (QStringLiteral("name: ") + QLatin1String(name)).leftJustified(31); }

QStringList messages() {
    QStringList texts;
    for (const auto& m : MessageBox::shown()) texts << m.text;
    return texts;
}

std::optional<Qt::CursorShape> overrideCursor() {
    const QCursor* c = QApplication::overrideCursor();
    return c ? std::optional(c->shape()) : std::nullopt;
}

QString focusName() {
    const QWidget* f = QApplication::focusWidget();
    return f ? f->objectName() : QStringLiteral("<none>");
}

// Keys as the operator presses them: each on the control that has the focus.
template <typename... Key>
void press(Key... keys) {
    (QTest::keyClick(QApplication::focusWidget(), keys), ...);
}

// Tab until the named control has the focus, then press the keys there.
template <typename... Key>
bool tabTo(const char* name, Key... keys) {
    for (int i = 0; i < 20 && focusName() != QLatin1String(name); ++i) press(Qt::Key_Tab);
    if (focusName() != QLatin1String(name)) return false;
    press(keys...);
    return true;
}

// Runs once, from the first progress the write reports after the window has shown it writing:
// the write is then under way and has pieces left.
void duringWrite(frmMain& w, std::function<void()> action) {
    auto* bar = child<QProgressBar>(w, "pgbCardStatus");
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = QObject::connect(bar, &QProgressBar::valueChanged, &w, [bar, once, action](int value) {
        if (value <= 0 || bar->isHidden()) return;
        QObject::disconnect(*once);
        action();
    });
}

// Up to the load-file page of a verified card, with the sample chosen through the browse button.
void openLoadFilePage(frmMain& w, const QString& sample) {
    QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageTasks), kWaitMs);
    child<QRadioButton>(w, "optTodo_0")->setChecked(true);
    QTest::mouseClick(child<QWidget>(w, "lblNext_3"), Qt::LeftButton);
    QCOMPARE(w.currentPage(), int(kPageLoadFile));
    FileDialog::setNextFileName(sample);
    QTest::mouseClick(child<QWidget>(w, "cmdOpen"), Qt::LeftButton);
}

// A write that fails says so; afterwards the window shows where the card and the reader are,
// nothing says a write still runs, and it shows this page. "unplug": the reader is unplugged in
// the middle of the write.
struct FailedWrite {
    std::string faults;
    int page;
    std::string api = "MCARD";
};

}  // namespace

class TestWizard : public QObject {
    Q_OBJECT
private slots:
    // Without a "lng" setting the window starts in German; "/lng2" stores English for the texts
    // that come later, the form keeps its texts.
    void noReaderShowsSettingsPageAndLanguageSwitchChangesLaterTexts() {
        WizardWorld world("");  // default driver and language
        world.unplugAll();
        frmMain& w = *world.start({QStringLiteral("/lng2")});
        QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageSettings), kWaitMs);
        QCOMPARE(world.text("lblDeviceStatus"), QStringLiteral("not detected"));
        QCOMPARE(w.windowTitle(), QStringLiteral("OrvexCard Assistent"));
        QCOMPARE(world.text("lblCardReader"), QStringLiteral("Kartenleser"));
        QCOMPARE(std::stoi(world.setting("lng")), 2);
        QCOMPARE(child<QComboBox>(w, "cmbReaderType")->currentIndex(), 0);
    }

    // Two readers, neither with a card.
    void readerWithoutCardAsksForOne() {
        WizardWorld world;
        world.sim().plug("OrvexCard Simulated Reader 1");
        frmMain& w = *world.start();
        QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageInsertCard), kWaitMs);
        QCOMPARE(world.text("lblCardStatus"), QStringLiteral("no card"));
        QVERIFY(world.text("lblVersionInfo").startsWith(QStringLiteral("2.1.0, MCSCM ")));
        // The settings page lists every reader, and the choice is stored.
        w.showPage(kPageSettings);
        auto* type = child<QComboBox>(w, "cmbReaderType");
        auto* names = child<QComboBox>(w, "cmbReaderName");
        type->setCurrentIndex(1);
        w.cmbReaderType_Click();
        QCOMPARE(names->count(), 2);
        QCOMPARE(names->itemText(0), QStringLiteral("OrvexCard Simulated Reader 0"));
        QCOMPARE(names->itemText(1), QStringLiteral("OrvexCard Simulated Reader 1"));
        QCOMPARE(names->currentIndex(), 1);
        w.picNext_Click(kPageSettings);
        QCOMPARE(world.setting("api"), std::string("MCARD"));
        QCOMPARE(world.setting("reader"), std::string("OrvexCard Simulated Reader 1"));
        QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageInsertCard), kWaitMs);
        type->setCurrentIndex(0);
        w.cmbReaderType_Click();
        QVERIFY(!names->isEnabled());
        QCOMPARE(names->count(), 0);
        // A write asked for without a card object never reaches a card.
        w.showPage(kPageLoadFile);
        w.picNext_Click(kPageLoadFile);
        QCOMPARE(w.currentPage(), int(kPageInsertCard));
        QVERIFY(MessageBox::shown().empty());
        orvex::platform::backendLog("backend says hello");
        QVERIFY(world.trace().contains("backend says hello"));
        // The window comes back where it was left.
        w.resize(811, 533);
        w.close();
        QVERIFY(world.setting("wizard.placement").find(",811,533") != std::string::npos);
        world.closeWindow();
        QCOMPARE(world.start()->size(), QSize(811, 533));
    }

    // With the keyboard alone: the first control of the page in front has the focus, Tab goes through
    // the page as it reads, on to the web link and round again (a page that goes takes the focus with
    // it); a format and a write, the sample byte for byte. Enter runs a page's "next" but never the
    // format, which erases the card.
    void keyboardAloneReachesEveryControlFormatsAndWrites() {
        const char* const orders[] = {  // from the reader settings to the processing page
            "cmbReaderType picAbbrechen_0 picNext_0 lblNext_0", "picAbbrechen_1",
            "optCardType1_0 chkRewriteable picAbbrechen_2 picNext_2 lblNext_2",
            "optTodo_0 picAbbrechen_3 picNext_3 lblNext_3",
            "txtFile cmdOpen txtCardName optCardType_0 chkDuration picAbbrechen_4 picNext_4 lblNext_4", "cmdCancel"};
        WizardWorld world;
        frmMain& w = *world.start();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageInsertCard), kWaitMs);
        for (int page = kPageSettings; page <= kPageProcessing; ++page) {
            const QString order = QLatin1String(orders[page]);
            w.showPage(kPageWaiting);  // a page without a control
            QCOMPARE(focusName(), QStringLiteral("<none>"));
            w.showPage(page);
            QStringList seen{focusName()};
            const QStringList expected = (order + QLatin1String(" lblOrvexCC ") + order.section(' ', 0, 0)).split(' ');
            while (seen.size() < expected.size()) {
                press(Qt::Key_Tab);
                seen << focusName();
            }
            QCOMPARE(seen, expected);
        }
        world.insert();
        const std::string blank = world.card();
        QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageFormat), kWaitMs);
        QCOMPARE(world.text("lblCardStatus"), QStringLiteral("unformatted / unknown"));
        QVERIFY(child<QWidget>(w, "imgSafelyRemove")->isVisibleTo(&w));
        QCOMPARE(child<QWidget>(w, "imgSafelyRemove")->toolTip(), QStringLiteral("Remove card safely now."));
        QCOMPARE(focusName(), QStringLiteral("optCardType1_0"));
        press(Qt::Key_Return, Qt::Key_Enter);
        QVERIFY(tabTo("picNext_2", Qt::Key_Return));
        QCOMPARE(w.currentPage(), int(kPageFormat));
        QVERIFY(world.card() == blank);
        QVERIFY(tabTo("optCardType1_0", Qt::Key_Right, Qt::Key_Space));  // on to the station card
        QVERIFY(tabTo("chkRewriteable", Qt::Key_Space));
        QVERIFY(tabTo("picNext_2", Qt::Key_Space));
        QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageTasks), kWaitMs);
        // The labels of the last identification (a slow start may identify twice).
        QTRY_COMPARE_WITH_TIMEOUT(world.text("lblCardStatus"), nameLine("OrvexCard"), kWaitMs);
        QCOMPARE(world.text("lblCardType"), QStringLiteral("Type: OrvexStation"));
        QVERIFY(world.card().find("ocard/2.1.0/") != std::string::npos);
        QCOMPARE(world.card().substr(55, 8), std::string("1-0-0   "));  // rewritable
        QCOMPARE(focusName(), QStringLiteral("optTodo_0"));
        press(Qt::Key_Space, Qt::Key_Return);
        QCOMPARE(w.currentPage(), int(kPageLoadFile));
        FileDialog::setNextFileName(world.sample());
        QVERIFY(tabTo("cmdOpen", Qt::Key_Space, Qt::Key_Return));
        QCOMPARE(messages(), QStringList{QStringLiteral(
            "The file was successfully written to the Orvex card.\n"
            "It is save to remove the card from the reader now. (612-100)")});
        // The reader reconnects the card and the same card object verifies it.
        QTRY_COMPARE_WITH_TIMEOUT(world.text("lblCardStatus"), nameLine("calm"), kWaitMs);
        QCOMPARE(w.currentPage(), int(kPageTasks));
        // The web link opens from the keyboard too; Enter there is the link's.
        WebLink::recordOnly();
        QVERIFY(tabTo("lblOrvexCC", Qt::Key_Return, Qt::Key_Space));
        QCOMPARE(WebLink::opened(), std::vector<QUrl>(2, QUrl(QString::fromLatin1(frmMain::kMakerSite))));
        QCOMPARE(w.currentPage(), int(kPageTasks));
    }

    void failedWritesNeverReportSuccess_data() {
        QTest::addColumn<FailedWrite>("row");
        QTest::newRow("read-only card") << FailedWrite{"read_only=1", kPageTasks};
        QTest::newRow("pulled mid-write") << FailedWrite{"pull_after_writes=3", kPageInsertCard};
#ifndef _WIN32  // Windows keeps a folder whose files are open: no simulated reader is unplugged mid-write
        QTest::newRow("reader unplugged, SCM") << FailedWrite{"unplug", kPageSettings};
        QTest::newRow("reader unplugged, Chipdrive") << FailedWrite{"unplug", kPageSettings, "SCARD"};
#endif
    }

    void failedWritesNeverReportSuccess() {
        QFETCH(FailedWrite, row);
        WizardWorld world(settingsFor(row.api));
        QVERIFY(world.prepareCard(2));
        const bool unplug = row.faults == "unplug";
        world.setFaults(unplug ? "latency_ms=5" : row.faults);
        frmMain& w = *world.start();
        openLoadFilePage(w, world.sample());
        if (unplug) duringWrite(w, [&] { world.unplugAll(); });
        w.picNext_Click(kPageLoadFile);
        QCOMPARE(MessageBox::shown().size(), size_t(1));
        QCOMPARE(MessageBox::shown().front().icon, QMessageBox::Warning);
        QVERIFY2(MessageBox::shown().front().text.endsWith(QLatin1String(" (614-100)")),
                 qPrintable(messages().join('|')));
        QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), row.page, kWaitMs);
        QVERIFY(child<QWidget>(w, "pgbCardStatus")->isHidden());
        QCOMPARE(overrideCursor(), std::nullopt);
    }

    // The state words a reader reports besides the card's own each let go of the card object, and
    // the page stays or asks for a card. Then a card the reader reports but will not hand over: a
    // few tries, one line in the trace and one message per inserted card, then it is left alone.
    void stateWordsReleaseTheCardAndAnUnassignableOneIsToldOnce() {
        const std::tuple<const char*, const char*, int, bool> rows[] = {  // word, status, page, safely remove
            {"error", "error", kPageFormat, false},
            {"invalid", "not detected", kPageFormat, true},
            {"locked", "locked", kPageInsertCard, false},
            {"failed", "communication error", kPageInsertCard, false},
            {"disconnected", "not activated", kPageInsertCard, false}};
        const QString error939 = QStringLiteral(
            "error 939: Reader assign failed. Contact your software vendor if this error occurs again.");
        WizardWorld world(settingsFor("SCARD"));
        const auto library = std::make_shared<StatusLibrary>();  // under the window's Chipdrive driver
        frmMain::setDriverMaker([library](int32_t, platform::EventLoop& loop) {
            return std::make_unique<readerChipdrive>(library, loop);
        });
        frmMain& w = *world.start();
        for (const auto& [word, status, page, safelyRemove] : rows) {
            library->status = "active";  // a card of NUL bytes does not verify
            QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageFormat), kWaitMs);
            QTRY_VERIFY_WITH_TIMEOUT(w.card() != nullptr, kWaitMs);
            library->status = word;
            QTRY_COMPARE_WITH_TIMEOUT(world.text("lblCardStatus"), QLatin1String(status), kWaitMs);
            QCOMPARE(w.currentPage(), page);
            QVERIFY(w.card() == nullptr);
            QCOMPARE(child<QWidget>(w, "imgSafelyRemove")->isVisibleTo(&w), safelyRemove);
        }
        library->refuseAssign = true;
        for (int told = 1; told <= 2; ++told) {  // put in, then taken out and put back
            library->status = "active";
            QTRY_COMPARE_WITH_TIMEOUT(MessageBox::shown().size(), size_t(told), kWaitMs);
            QCOMPARE(MessageBox::shown().back().icon, QMessageBox::Critical);
            QCOMPARE(messages().back(), error939);
            QCOMPARE(world.text("lblCardStatus"), QStringLiteral("error"));
            QTest::qWait(300);  // many polling intervals, and no more tries
            QCOMPARE(world.trace().count(error939), told);
            QCOMPARE(world.trace().count(QStringLiteral("orvexcard.assign = -2")), 5 * told);
            QCOMPARE(MessageBox::shown().size(), size_t(told));
            library->status = "wait";
            QTRY_COMPARE_WITH_TIMEOUT(world.text("lblCardStatus"), QStringLiteral("no card"), kWaitMs);
            QCOMPARE(w.currentPage(), int(kPageInsertCard));
        }
    }

    // A station card's lines, and the load-file page's rules for the card type and the duration.
    void stationCardLinesAndDurationRules() {
        WizardWorld world;
        QVERIFY(world.prepareCard(2, "90", true, true));
        frmMain& w = *world.start();
        QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageTasks), kWaitMs);
        // The labels of the last identification (a slow start may identify twice).
        QTRY_COMPARE_WITH_TIMEOUT(world.text("lblCardType"), QStringLiteral("Type: OrvexStation+ (Pcb.)"), kWaitMs);
        QCOMPARE(world.text("lblCardDuration"), QStringLiteral("Duration: 2 m"));
        QVERIFY(child<QRadioButton>(w, "optCardType_1")->isChecked());
        QVERIFY(!child<QWidget>(w, "chkPlacebo")->isHidden());
        w.showPage(kPageLoadFile);
        auto* duration = child<QCheckBox>(w, "chkDuration");
        auto* combine = child<QCheckBox>(w, "chk115cardplus");
        auto* box = child<QLineEdit>(w, "txtDuration");
        child<QRadioButton>(w, "optCardType_0")->click();
        duration->click();
        QCOMPARE(box->text(), QStringLiteral("10"));
        QVERIFY(child<QWidget>(w, "lblDurationSek")->isVisible());
        QVERIFY(!combine->isVisible());
        box->clear();
        QTest::keyClicks(box, "1a2.5x9");
        QCOMPARE(box->text(), QStringLiteral("12.5"));  // at most 4 characters, digits and point
        child<QRadioButton>(w, "optCardType_1")->click();
        QCOMPARE(box->text(), QStringLiteral("0"));
        QVERIFY(!duration->isChecked());
        duration->click();
        QCOMPARE(box->text(), QStringLiteral("30"));
        QVERIFY(child<QWidget>(w, "lblDurationMin")->isVisible());
        combine->click();  // the energy sequence and a duration exclude each other
        QVERIFY(!duration->isChecked());
        QVERIFY(!box->isVisible());
        duration->click();
        QVERIFY(!combine->isChecked());
    }

    void sampleFromArgumentDropAndSecondCopy() {
        WizardWorld world;
        const QString first = world.sample("First Take.7kx");
        frmMain& w = *world.start({first, QStringLiteral("/lng3")});
        QCOMPARE(child<QLineEdit>(w, "txtFile")->text(), first);
        QCOMPARE(child<QLineEdit>(w, "txtCardName")->text(), QStringLiteral("First Take"));
        const QString second = world.sample("second.7KX");
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(second)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &drop);
        QCOMPARE(child<QLineEdit>(w, "txtFile")->text(), second);
        QCOMPARE(child<QLineEdit>(w, "txtComments")->text(), QStringLiteral("second.7KX"));
        // Cancelling the browse dialog empties only the file box.
        FileDialog::setNextFileName(std::nullopt);
        w.cmdOpen_Click();
        QVERIFY(child<QLineEdit>(w, "txtFile")->text().isEmpty());
        QCOMPARE(child<QLineEdit>(w, "txtCardName")->text(), QStringLiteral("second"));
        QCOMPARE(FileDialog::lastRequest().filter, QStringLiteral("7kx (*.7kx);;all files (*.*)"));
        // A second copy hands its file over and ends, from a thread of its own as from a process
        // of its own: a Windows pipe takes a write only as the window's end reads it.
        auto copy = std::async(std::launch::async, [&first] { return startWizard({first}) == nullptr; });
        QTRY_VERIFY_WITH_TIMEOUT(copy.wait_for(std::chrono::seconds(0)) == std::future_status::ready, kWaitMs);
        QVERIFY(copy.get());
        QTRY_COMPARE_WITH_TIMEOUT(child<QLineEdit>(w, "txtFile")->text(), first, kWaitMs);
    }

    // Closing while a write runs: the window answers at once (no button takes a click, the
    // processing page says it closes when the card is written), lets the write finish, logs its
    // result and then closes.
    void closingDuringWriteWaitsForIt_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("window closed") << "close";
        QTest::newRow("quit") << "quit";
        QTest::newRow("new reader choice, then window closed") << "settings, close";
    }

    void closingDuringWriteWaitsForIt() {
        QFETCH(QString, how);
        WizardWorld world;
        QVERIFY(world.prepareCard(1));
        world.setFaults("latency_ms=5");
        frmMain& w = *world.start();
        openLoadFilePage(w, world.sample());
        auto* quit = child<QWidget>(w, "cmdCancel");
        auto* closing = child<QLabel>(w, "lblClosing");
        QVERIFY(closing->isHidden());
        bool answered = false;
        std::optional<Qt::CursorShape> cursorAfterListFill;
        duringWrite(w, [&] {
            QTest::keyClick(&w, Qt::Key_Escape);  // harmless
            // The reader list filled meanwhile leaves the write's pointer.
            child<QComboBox>(w, "cmbReaderType")->setCurrentIndex(1);
            w.cmbReaderType_Click();
            cursorAfterListFill = overrideCursor();
            if (how.startsWith(QLatin1String("settings")))
                w.picNext_Click(kPageSettings);  // a driver restart asked for meanwhile waits too
            if (how.endsWith(QLatin1String("close")))
                w.close();
            else
                QTest::mouseClick(quit, Qt::LeftButton);
            // The card object stays through "activelocked".
            answered = w.cardOperationRunning() && w.isVisible() && w.card() && !quit->isEnabled() &&
                       !child<QWidget>(w, "picNext_4")->isEnabled() && w.currentPage() == kPageProcessing &&
                       closing->isVisible() &&
                       closing->text() == QStringLiteral("The window closes when the card is written.") &&
                       !child<QWidget>(w, "pgbCardStatus")->isHidden();
        });
        w.picNext_Click(kPageLoadFile);
        QCOMPARE(cursorAfterListFill, std::optional(Qt::BusyCursor));
        QVERIFY(answered);
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible() && w.rd() == nullptr, kWaitMs);
        QVERIFY(MessageBox::shown().empty());
        const std::string trace = world.trace().toStdString();
        QVERIFY(trace.find("frmMain.writeSample: written") < trace.find("frmMain.Form_Unload()"));
    }

    void missingComponentStartsNoReader() {
        WizardWorld world;
        setFileSystemComponentBroken(true);
        frmMain& w = *world.start({world.sample()});
        setFileSystemComponentBroken(false);
        QCOMPARE(messages(), QStringList{QStringLiteral(
            "A required component (\"MS Scripting Host\") was not found on your system!\n"
            "For additional information see file \"info.txt\" on the setup cd!")});
        QVERIFY(w.rd() == nullptr);
        QCOMPARE(w.currentPage(), int(kPageWaiting));
        QVERIFY(child<QLineEdit>(w, "txtFile")->text().isEmpty());
    }

    void commandLineSplit() {
        const std::pair<std::string, QStringList> rows[] = {
            {"a \"b c\" d", {"b c", "d", "a"}},  // quoted first, words reversed
            {"", {}},
            {" x ", {"", "x", ""}},  // blanks give empty words
            {"\"a b", {"b", "\"a"}},  // an unclosed quote stays
            {"/lng2 \"/My Samples/x.7kx\"", {"/My Samples/x.7kx", "/lng2"}}};
        for (auto [line, arguments] : rows) {
            QStringList split;
            for (const std::string& a : splitCommandLine(line)) split << QString::fromStdString(a);
            QCOMPARE(split, arguments);
        }
    }

    // Qt's own texts (here a message box's buttons) follow the stored language, then a language
    // switch on the command line.
    void qtTextsFollowTheLanguage() {
        for (const auto& [stored, arguments, yes] :
             {std::tuple{1, QStringList(), "&Ja"}, {2, QStringList(), "&Yes"}, {1, QStringList{"/lng2"}, "&Yes"},
              {2, QStringList{"/lng1"}, "&Ja"}}) {
            WizardWorld world(settingsFor("MCARD", stored));
            QVERIFY(world.start(arguments));
            QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes);
            QCOMPARE(box.button(QMessageBox::Yes)->text(), QString::fromLatin1(yes));
        }
    }

    // Every C0 and C1 control, DEL and the line separators as '?'; the characters next to them stay.
    void inertTextReplacesControlCharacters() {
        QCOMPARE(inertText(std::string("\0\x1f \x7e\x7f\xc2\x80\xc2\x9f\xc2\xa0\xe2\x80\xa8\xe2\x80\xa9", 17)),
                 QString::fromUtf8("?? ~???\u00a0??"));
    }
};

QTEST_MAIN(TestWizard)
#include "TestWizard.moc"
