#include "WizardFixture.h"

#include <QLabel>
#include <QTest>
#include <filesystem>

#include "cards/orvexcard.h"
#include "foundation/clsRegistry.h"
#include "platform/mcard/MCardApi.h"
#include "platform/qt/QtEventLoop.h"
#include "readers/makeReader.h"
#include "readers/readerChipdrive.h"
#include "readers/readerSCM.h"
#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"
#include "wizard/MessageBox.h"
#include "wizard/Startup.h"

namespace orvex::test {

WizardWorld::WizardWorld(const std::string& settings) {
    const std::string d = dir();
    const std::string registry = d + "/registry";
    std::filesystem::create_directories(registry);
    writeTestSettings(registry, d + "/trace.log", settings);
    qputenv("ORVEXCARD_REGISTRY_DIR", QByteArray::fromStdString(registry));
    qputenv("ORVEXCARD_SIM", QByteArray::fromStdString(d + "/sim"));
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(d + "/state"));
    sim().init();
    wizard::MessageBox::setNextAnswer(QMessageBox::Ok);
    wizard::MessageBox::clearShown();
}

WizardWorld::~WizardWorld() {
    window_.reset();
    wizard::frmMain::setDriverMaker(makeReader);
}

std::shared_ptr<StatusLibrary> WizardWorld::statusLibrary() {
    auto library = std::make_shared<StatusLibrary>();
    wizard::frmMain::setDriverMaker([library](int32_t, platform::EventLoop& loop) {
        return std::make_unique<readerChipdrive>(library, loop);
    });
    return library;
}

wizard::frmMain* WizardWorld::start(const QStringList& arguments) {
    window_ = wizard::startWizard(arguments);
    return window_.get();
}

bool WizardWorld::prepareCard(int kind, const std::string& duration, bool combine,
                              bool placebo) const {
    platform::QtEventLoop loop;
    readerSCM rd(platform::makeMCardApi(), loop);
    orvexcard card;
    if (!rd.Start(kReader) ||
        !QTest::qWaitFor([&] { return rd.cardState() == state::kActive; }, 5000) ||
        card.assign(rd) != -1) {
        return false;
    }
    if (!card.formatCard(kind, "ocard/2.1.0/1", 65535, true)) return false;
    if (duration.empty()) return true;
    file7kx file;
    int32_t k = kind;
    return file.loadFromFile(sample().toStdString()) &&
           card.writeFile7kx(file, k, "Station", duration, combine, placebo);
}

std::string WizardWorld::sampleBytes(const std::string& creator) {
    SampleFileParts parts;
    parts.creator = creator;
    return sampleFileBytes(parts);
}

QString WizardWorld::sample(const std::string& name, const std::string& creator) const {
    const std::string path = dir() + "/" + name;
    writeFileBytes(path, sampleBytes(creator));
    return QString::fromStdString(path);
}

QString WizardWorld::text(const char* label) const {
    const auto* l = window_->findChild<QLabel*>(QString::fromLatin1(label));
    return l ? l->text() : QStringLiteral("<no %1>").arg(QString::fromLatin1(label));
}

std::string WizardWorld::setting(const std::string& value) const {
    return clsRegistry().ReadRegistry(HKEY_CURRENT_USER, kProductKey, value);
}

}  // namespace orvex::test
