#include "wizard/Startup.h"

#include <QApplication>
#include <QFileInfo>

#include "foundation/appInfo.h"
#include "foundation/clsRegistry.h"
#include "foundation/modCommon.h"
#include "foundation/modRes.h"
#include "wizard/CommandLine.h"
#include "wizard/ComponentCheck.h"
#include "wizard/MessageBox.h"
#include "wizard/QtTexts.h"
#include "wizard/SingleInstance.h"
#include "wizard/WizardText.h"
#include "wizard/frmMain.h"

namespace orvex::wizard {
namespace {

std::vector<std::string> splitArguments(const QStringList& arguments) {
    std::vector<std::string> separate;
    for (const QString& a : arguments) separate.push_back(a.toStdString());
    std::string line = joinArguments(separate);
    return splitCommandLine(line);
}

void chooseLanguage() {
    std::string lng = clsRegistry().ReadRegistry(HKEY_CURRENT_USER, kProductKey, "lng");
    if (lng == clsRegistry::notFoundVal()) lng = "1";
    setLanguageBase(languageBaseFromSetting(lng));
    useQtTexts(languageBase());
}

void identifyProgram() {
    setApplicationTitle(utf8ToWindows1252(resText(101)));
    setApplicationVersion({ORVEX_VERSION_MAJOR, ORVEX_VERSION_MINOR, ORVEX_VERSION_PATCH});
    setProgramDirectory(QCoreApplication::applicationDirPath().toStdString());
    QApplication::setApplicationDisplayName(uiText(101));
}

// The language switch changes the stored setting and every text looked up
// from now on; the captions already on the window stay as they are.
void applyArguments(const StartArguments& found, frmMain& window) {
    if (found.language) {
        clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kProductKey, "lng", REG_DWORD,
                                    static_cast<int64_t>(*found.language));
        setLanguageBase(static_cast<int16_t>(*found.language * kLanguageGerman));
        // Message boxes and the file dialog from now on, buttons included.
        useQtTexts(languageBase());
    }
    if (found.sampleFile) window.setSampleFile(QString::fromStdString(*found.sampleFile));
}

void chooseStartFolder(frmMain& window) {
    clsRegistry reg;
    std::string folder = reg.ReadRegistry(HKEY_CURRENT_USER, kSharedKey, "VKPATH");
    if (!folderExists(folder)) folder = reg.ReadRegistry(HKEY_LOCAL_MACHINE, kSharedKey, "VKPATH");
    if (folderExists(folder)) window.fileDialog().setDirectory(QString::fromStdString(folder));
}

void chooseReader(frmMain& window) {
    clsRegistry reg;
    const std::string api = reg.ReadRegistry(HKEY_CURRENT_USER, kProductKey, "api");
    if (api == "SCARD" || api == clsRegistry::notFoundVal()) {
        window.setReaderChoice(0, "");
    } else if (api == "MCARD") {
        const std::string name = reg.ReadRegistry(HKEY_CURRENT_USER, kProductKey, "reader");
        window.setReaderChoice(1, name == clsRegistry::notFoundVal() ? "" : name);
    }
}

}  // namespace

std::unique_ptr<frmMain> startWizard(const QStringList& arguments) {
    const StartArguments found = examineArguments(splitArguments(arguments));
    auto instance = std::make_unique<SingleInstance>(SingleInstance::defaultKey());
    if (!instance->claim()) {
        const QString path = found.sampleFile
                                 ? QFileInfo(QString::fromStdString(*found.sampleFile)).absoluteFilePath()
                                 : QString();
        SingleInstance::handOver(SingleInstance::defaultKey(), path);
        return nullptr;
    }
    chooseLanguage();
    identifyProgram();
    auto window = std::make_unique<frmMain>();
    instance->setParent(window.get());
    QObject::connect(instance.release(), &SingleInstance::activationRequested, window.get(),
                     &frmMain::activateFromOtherCopy);
    window->show();
    QCoreApplication::processEvents();
    if (!fileSystemComponentAvailable()) {
        MessageBox::show(window.get(), QMessageBox::NoIcon, uiText(98));
        return window;
    }
    applyArguments(found, *window);
    chooseStartFolder(*window);
    chooseReader(*window);
    window->Init();
    return window;
}

}  // namespace orvex::wizard
