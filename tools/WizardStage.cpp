#include "tools/WizardStage.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

#include "foundation/clsRegistry.h"
#include "foundation/modCommon.h"
#include "platform/sim/SimDirectory.h"
#include "wizard/MessageBox.h"
#include "wizard/Startup.h"
#include "wizard/frmMain.h"

namespace orvex::tools {
namespace {

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

std::string padded(std::string text, size_t width) {
    text.resize(width, ' ');
    return text;
}

// The stage's settings, written the way the program reads them: into the
// store folder named by the environment on Linux, into the registry on
// Windows. Values an earlier stage left in the product key go first.
void writeSettings(const std::string& folder, const StageOptions& options) {
    clsRegistry reg;
    for (const uint32_t root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (int n = 0; n < 1000; ++n) {
            const RegistryEntry first = reg.ReadRegistryGetAll(root, kProductKey, 0);
            if (first.data == clsRegistry::notFoundVal()) break;
            reg.DeleteValue(root, kProductKey, first.name);
        }
    }
    reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, "ocardlog", REG_SZ, utf8ToWindows1252(folder + "/trace.log"));
    reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, "lng", REG_DWORD, static_cast<int64_t>(options.language));
    if (!options.api.empty()) reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, "api", REG_SZ, options.api);
    if (!options.reader.empty()) reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, "reader", REG_SZ, options.reader);
    if (options.pollingMs > 0) {
        const std::string ms = std::to_string(options.pollingMs);
        reg.WriteRegistry(HKEY_LOCAL_MACHINE, kProductKey, "omsc.idleTimerInterval", REG_SZ, ms);
        reg.WriteRegistry(HKEY_LOCAL_MACHINE, kProductKey, "omsc.onlineTimerInterval", REG_SZ, ms);
    }
}

}  // namespace

WizardStage::WizardStage(const QString& folder, const StageOptions& options) : folder_(folder) {
    QDir(folder_).removeRecursively();
    QDir().mkpath(folder_ + QStringLiteral("/registry"));
    const std::string dir = folder_.toStdString();
    qputenv("ORVEXCARD_REGISTRY_DIR", QByteArray::fromStdString(dir + "/registry"));
    writeSettings(dir, options);
    qputenv("ORVEXCARD_SIM", QByteArray::fromStdString(sim()));
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(dir + "/state"));
    platform::SimDirectory(sim()).init();
    // Every message box is answered at once, so nothing waits for a click.
    wizard::MessageBox::setNextAnswer(QMessageBox::Ok);
}

WizardStage::~WizardStage() { close(); }

std::string WizardStage::sim() const { return folder_.toStdString() + "/sim"; }

wizard::frmMain* WizardStage::start(const QStringList& arguments) {
    window_ = wizard::startWizard(arguments);
    return window_.get();
}

void WizardStage::close() {
    if (!window_) return;
    window_->close();
    window_.reset();
    QCoreApplication::processEvents();
}

void WizardStage::plug() const { platform::SimDirectory(sim()).plug(kReader); }

void WizardStage::unplugAll() const {
    platform::SimDirectory dir(sim());
    for (const std::string& reader : dir.readers()) dir.unplug(reader);
}

void WizardStage::insert(const std::optional<std::string>& image) const {
    platform::SimDirectory(sim()).insert(kReader, image);
}

void WizardStage::remove() const { platform::SimDirectory(sim()).remove(kReader); }

std::string WizardStage::card() const {
    std::ifstream in(sim() + "/" + kReader + "/card.bin", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WizardStage::setFaults(const std::string& lines) const {
    writeBytes(sim() + "/" + kReader + "/faults", lines);
}

bool WizardStage::waitFor(const std::function<bool()>& condition, int timeoutMs) {
    if (condition()) return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition()) loop.quit();
    });
    check.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

void WizardStage::idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WizardStage::waitForPage(int page, int timeoutMs) const {
    return window_ && waitFor([&] { return window_->currentPage() == page; }, timeoutMs);
}

bool writeDemoSample(const QString& path, const std::string& comment) {
    std::string bytes = padded("7kx/1.0.0", 25) + padded("20240315T101112Z", 16) + " " +
                        padded(comment, 100) + padded("OSC/3.6/10010", 24) +
                        padded("5d41402abc4b2a76", 16);
    // A soft tone that swells and fades: signed 8-bit samples.
    constexpr size_t kSamples = 8820;
    for (size_t i = 0; i < kSamples; ++i) {
        const double envelope = std::sin(std::numbers::pi * static_cast<double>(i) / kSamples);
        const double tone = std::sin(2.0 * std::numbers::pi * 220.0 * static_cast<double>(i) / 11025.0);
        bytes += static_cast<char>(static_cast<int>(std::lround(100.0 * envelope * tone)));
    }
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    return writeBytes(path.toStdString(), bytes);
}

}  // namespace orvex::tools
