// Qt's own texts (here a message box's buttons) follow the window's language:
// the stored setting at start-up, then a language switch on the command line.
#include <QAbstractButton>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include "tools/WizardStage.h"

class TestQtTexts : public QObject {
    Q_OBJECT
private slots:
    void messageBoxButtons_data();
    void messageBoxButtons();
};

void TestQtTexts::messageBoxButtons_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("yes");
    QTest::newRow("stored German") << 1 << QStringList() << QStringLiteral("&Ja");
    QTest::newRow("stored English") << 2 << QStringList() << QStringLiteral("&Yes");
    QTest::newRow("German, then /lng2") << 1 << QStringList{QStringLiteral("/lng2")} << QStringLiteral("&Yes");
    QTest::newRow("English, then /lng1") << 2 << QStringList{QStringLiteral("/lng1")} << QStringLiteral("&Ja");
}

void TestQtTexts::messageBoxButtons() {
    QFETCH(int, stored);
    QFETCH(QStringList, arguments);
    QFETCH(QString, yes);
    QTemporaryDir dir;
    orvex::tools::StageOptions options;
    options.language = stored;
    orvex::tools::WizardStage stage(dir.path() + QStringLiteral("/stage"), options);
    QVERIFY(stage.start(arguments));
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.button(QMessageBox::Yes)->text(), yes);
}

QTEST_MAIN(TestQtTexts)
#include "TestQtTexts.moc"
