// The reader driver's life in the window (Init) and the reader settings page.
#include "cards/orvexcard.h"
#include "foundation/appInfo.h"
#include "foundation/clsRegistry.h"
#include "platform/mcard/MCardApi.h"
#include "readers/makeReader.h"
#include "readers/readerSCM.h"
#include "ui_frmMain.h"
#include "wizard/MessageBox.h"
#include "wizard/ReaderList.h"
#include "wizard/StatusMapping.h"
#include "wizard/WizardText.h"
#include "wizard/frmMain.h"

namespace orvex::wizard {
namespace {

constexpr int kApiChipdrive = kReaderApiChipdrive;
constexpr int kApiSCM = kReaderApiSCM;

const char* apiSettingText(int index) {
    if (index == kApiChipdrive) return "SCARD";
    if (index == kApiSCM) return "MCARD";
    return "";
}

frmMain::DriverMaker& driverMaker() {
    static frmMain::DriverMaker maker = makeReader;
    return maker;
}

}  // namespace

void frmMain::setDriverMaker(DriverMaker maker) { driverMaker() = std::move(maker); }

void frmMain::Init() {
    log("frmMain.Init()");
    if (!rd_) {
        bool started = false;
        {
            Work work(*this);
            rd_ = driverMaker()(readerApi_, loop_);
            subscription_ = rd_->EventSource().subscribe({
                [this] { readerEvents_progressChange(); },
                [this] { readerEvents_progressMaxChange(); },
                [this] { readerEvents_stateChange(); },
            });
            started = rd_->Start(readerName_);
        }
        if (!started) {
            MessageBox::show(this, QMessageBox::Critical, uiText(97));
            ui->cmbReaderType->setCurrentIndex(readerApi_ == kApiSCM ? kApiSCM : kApiChipdrive);
            cmbReaderType_Click();
            showPage(kPageSettings);
        } else {
            rd_->setOptimizeWrite(true);
            ui->lblVersionInfo->setText(QString::fromStdString(applicationVersionText()) +
                                        QStringLiteral(", ") +
                                        inertText(rd_->driverVersion()));
        }
    }
    ui->frameStatus->show();
}

void frmMain::cmbReaderType_Click() {
    if (ui->cmbReaderType->currentIndex() != kApiSCM) {
        ui->cmbReaderName->setEnabled(false);
        ui->cmbReaderName->clear();
        return;
    }
    if (fillingReaderNames_) return;
    fillingReaderNames_ = true;
    setListCursor(true);
    ui->cmbReaderType->setEnabled(false);
    ui->cmbReaderName->setEnabled(false);
    ui->cmbReaderName->clear();
    std::string list;
    {
        Work work(*this);
        readerSCM lister(platform::makeMCardApi(), loop_);
        list = lister.getReaderList();
    }
    int selected = -1;
    for (const std::string& name : readerNamesFromList(list)) {
        ui->cmbReaderName->addItem(QString::fromStdString(name));
        if (name == readerName_) selected = ui->cmbReaderName->count() - 1;
    }
    if (!readerName_.empty() && selected < 0) {
        ui->cmbReaderName->addItem(QString::fromStdString(readerName_));
        selected = ui->cmbReaderName->count() - 1;
    } else if (selected < 0) {
        selected = ui->cmbReaderName->count() - 1;
    }
    ui->cmbReaderName->setCurrentIndex(selected);
    ui->cmbReaderName->setEnabled(true);
    ui->cmbReaderType->setEnabled(true);
    setListCursor(false);
    fillingReaderNames_ = false;
}

void frmMain::saveReaderSettings() {
    showPage(kPageWaiting);
    const int index = ui->cmbReaderType->currentIndex();
    readerApi_ = index;
    readerName_ = ui->cmbReaderName->currentText().toStdString();
    clsRegistry reg;
    reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, "api", REG_SZ, std::string(apiSettingText(index)));
    reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, "reader", REG_SZ, readerName_);
    if (busyDepth_ > 0) {
        reinitRequested_ = true;
        return;
    }
    releaseDriver();
    Init();
}

}  // namespace orvex::wizard
