// The operator's paths through the real window on the simulated reader.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "WizardFixture.h"
#include "platform/mcard/BackendLog.h"
#include "wizard/CommandLine.h"
#include "wizard/ComponentCheck.h"
#include "wizard/FileDialog.h"
#include "wizard/MessageBox.h"
#include "wizard/Startup.h"
#include "wizard/StatusMapping.h"

using orvex::test::WizardWorld;
using namespace orvex::wizard;

namespace {

constexpr int kWaitMs = 8000;

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

// Up to the load-file page of a verified card, with the sample chosen
// through the browse button.
void openLoadFilePage(WizardWorld& world, const QString& sample) {
    frmMain& w = world.window();
    QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageTasks), kWaitMs);
    child<QRadioButton>(w, "optTodo_0")->setChecked(true);
    QTest::mouseClick(child<QWidget>(w, "lblNext_3"), Qt::LeftButton);
    QCOMPARE(w.currentPage(), int(kPageLoadFile));
    FileDialog::setNextFileName(sample);
    QTest::mouseClick(child<QWidget>(w, "cmdOpen"), Qt::LeftButton);
}

}  // namespace

class TestWizard : public QObject {
    Q_OBJECT
private slots:
    void noReaderShowsSettingsPageAndLanguageSwitchChangesLaterTexts();
    void readerWithoutCardAsksForOne();
    void blankCardIsFormattedToTaskPage();
    void sampleWrittenByteForByte();
    void failedWritesNeverReportSuccess_data();
    void failedWritesNeverReportSuccess();
    void stationCardStatusLines();
    void durationAndCardTypeRules();
    void sampleFromArgumentDropAndSecondCopy();
    void settingsListEveryReader();
    void closingDuringWriteWaitsForIt();
    void missingComponentStartsNoReader();
    void commandLineSplit_data();
    void commandLineSplit();
};

// Without a "lng" setting the window starts in German; "/lng2" stores English
// for the texts that come later, the form keeps its texts.
void TestWizard::noReaderShowsSettingsPageAndLanguageSwitchChangesLaterTexts() {
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

void TestWizard::readerWithoutCardAsksForOne() {
    WizardWorld world;
    frmMain& w = *world.start();
    QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageInsertCard), kWaitMs);
    QCOMPARE(world.text("lblCardStatus"), QStringLiteral("no card"));
    QVERIFY(world.text("lblVersionInfo").startsWith(QStringLiteral("2.1.0, MCSCM ")));
    // A write asked for without a card object never reaches a card.
    w.showPage(kPageLoadFile);
    w.picNext_Click(kPageLoadFile);
    QCOMPARE(w.currentPage(), int(kPageInsertCard));
    QVERIFY(MessageBox::shown().empty());
    // Back-end reports go into this program's trace.
    orvex::platform::backendLog("backend says hello");
    QVERIFY(world.trace().find("backend says hello") != std::string::npos);
    // The window comes back where it was left.
    w.resize(811, 533);
    w.close();
    QVERIFY(world.setting("wizard.placement").find(",811,533") != std::string::npos);
    world.closeWindow();
    QCOMPARE(world.start()->size(), QSize(811, 533));
}

void TestWizard::blankCardIsFormattedToTaskPage() {
    WizardWorld world;
    world.insert();
    frmMain& w = *world.start();
    QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageFormat), kWaitMs);
    QCOMPARE(world.text("lblCardStatus"), QStringLiteral("unformatted / unknown"));
    QVERIFY(child<QWidget>(w, "imgSafelyRemove")->isVisibleTo(&w));
    child<QRadioButton>(w, "optCardType1_1")->setChecked(true);
    child<QCheckBox>(w, "chkRewriteable")->setChecked(true);
    QTest::keyClick(&w, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageTasks), kWaitMs);
    // The labels of the last identification (a slow start may identify twice).
    QTRY_COMPARE_WITH_TIMEOUT(world.text("lblCardStatus"), nameLine("OrvexCard"), kWaitMs);
    QCOMPARE(world.text("lblCardType"), QStringLiteral("Type: OrvexStation"));
    QVERIFY(world.card().find("ocard/2.1.0/") != std::string::npos);
    QCOMPARE(world.card().substr(55, 8), std::string("1-0-0   "));  // rewritable
}

void TestWizard::sampleWrittenByteForByte() {
    WizardWorld world;
    world.insert();
    QVERIFY(world.prepareCard(1));
    world.start();
    openLoadFilePage(world, world.sample());
    frmMain& w = world.window();
    QTest::mouseClick(child<QWidget>(w, "picNext_4"), Qt::LeftButton);
    QCOMPARE(messages(), QStringList{QStringLiteral(
        "The file was successfully written to the Orvex card.\nIt is save to remove the card from the reader now. (612-100)")});
    QCOMPARE(world.card().substr(768, 8820), WizardWorld::sampleBytes().substr(182));
    // The reader reconnects the card and the same card object verifies it.
    QTRY_COMPARE_WITH_TIMEOUT(world.text("lblCardStatus"), nameLine("calm"), kWaitMs);
    QCOMPARE(w.currentPage(), int(kPageTasks));
}

void TestWizard::failedWritesNeverReportSuccess_data() {
    QTest::addColumn<QString>("faults");
    QTest::addColumn<QString>("creator");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("read-only card") << "read_only=1" << "OSC/3.6/1" << " (614-100)";
    QTest::newRow("pulled mid-write") << "pull_after_writes=3" << "OSC/3.6/1" << " (614-100)";
    QTest::newRow("old creator") << "read_only=1" << "OSC/3.5/1" << " (617-100)";
}

void TestWizard::failedWritesNeverReportSuccess() {
    QFETCH(QString, faults);
    QFETCH(QString, creator);
    QFETCH(QString, suffix);
    WizardWorld world;
    world.insert();
    QVERIFY(world.prepareCard(2));
    world.setFaults(faults.toStdString());
    world.start();
    openLoadFilePage(world, world.sample("calm.7kx", creator.toStdString()));
    world.window().picNext_Click(kPageLoadFile);
    QCOMPARE(MessageBox::shown().size(), size_t(1));
    QCOMPARE(MessageBox::shown().front().icon, QMessageBox::Warning);
    QVERIFY2(MessageBox::shown().front().text.endsWith(suffix), qPrintable(messages().join('|')));
}

void TestWizard::stationCardStatusLines() {
    WizardWorld world;
    world.insert();
    QVERIFY(world.prepareCard(2, "90", true, true));
    frmMain& w = *world.start();
    QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageTasks), kWaitMs);
    // The labels of the last identification (a slow start may identify twice).
    QTRY_COMPARE_WITH_TIMEOUT(world.text("lblCardType"), QStringLiteral("Type: OrvexStation+ (Pcb.)"), kWaitMs);
    QCOMPARE(world.text("lblCardDuration"), QStringLiteral("Duration: 2 m"));
    QVERIFY(child<QRadioButton>(w, "optCardType_1")->isChecked());
    QVERIFY(!child<QWidget>(w, "chkPlacebo")->isHidden());
}

void TestWizard::durationAndCardTypeRules() {
    WizardWorld world;
    frmMain& w = *world.start();
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

void TestWizard::sampleFromArgumentDropAndSecondCopy() {
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
    // A second copy hands its file over and ends.
    QVERIFY(startWizard({first}) == nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(child<QLineEdit>(w, "txtFile")->text(), first, kWaitMs);
}

void TestWizard::settingsListEveryReader() {
    WizardWorld world;
    world.plug("OrvexCard Simulated Reader 1");
    frmMain& w = *world.start();
    QTRY_COMPARE_WITH_TIMEOUT(w.currentPage(), int(kPageInsertCard), kWaitMs);
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
}

void TestWizard::closingDuringWriteWaitsForIt() {
    WizardWorld world;
    world.insert();
    QVERIFY(world.prepareCard(1));
    world.setFaults("latency_ms=5");
    world.start();
    openLoadFilePage(world, world.sample());
    frmMain& w = world.window();
    bool closedWhileWriting = false;
    bool busyShown = false;
    QTimer::singleShot(50, &w, [&] {
        QTest::keyClick(&w, Qt::Key_Escape);  // harmless
        closedWhileWriting = w.cardOperationRunning();
        // The card object stays through "activelocked".
        busyShown = w.card() && child<QWidget>(w, "pgbCardStatus")->isVisible() &&
                    QApplication::overrideCursor()->shape() == Qt::BusyCursor;
        w.close();
        w.picNext_Click(kPageSettings);  // a driver restart asked for meanwhile waits too
    });
    w.picNext_Click(kPageLoadFile);
    QVERIFY(closedWhileWriting);
    QVERIFY(busyShown);
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible() && w.rd() == nullptr, kWaitMs);
    QVERIFY(MessageBox::shown().empty());
    QCOMPARE(world.card().substr(768, 8820), WizardWorld::sampleBytes().substr(182));
}

void TestWizard::missingComponentStartsNoReader() {
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

void TestWizard::commandLineSplit_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("quoted first, words reversed") << "a \"b c\" d" << QStringList{"b c", "d", "a"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("blanks give empty words") << " x " << QStringList{"", "x", ""};
    QTest::newRow("unclosed quote stays") << "\"a b" << QStringList{"b", "\"a"};
    QTest::newRow("quoted path and switch") << "/lng2 \"/My Samples/x.7kx\"" << QStringList{"/My Samples/x.7kx", "/lng2"};
}

void TestWizard::commandLineSplit() {
    QFETCH(QString, line);
    QFETCH(QStringList, arguments);
    std::string text = line.toStdString();
    QStringList split;
    for (const std::string& a : splitCommandLine(text)) split << QString::fromStdString(a);
    QCOMPARE(split, arguments);
}

QTEST_MAIN(TestWizard)
#include "TestWizard.moc"
