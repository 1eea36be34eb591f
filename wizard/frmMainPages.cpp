// The wizard pages' actions: task choice, the load-file page with its
// controls and the write, the format, the recharge page.
#include <QFont>

#include "cards/modTasks.h"
#include "cards/orvexcard.h"
#include "foundation/appInfo.h"
#include "readers/readerBase.h"
#include "samplefile/file7kx.h"
#include "ui_frmMain.h"
#include "wizard/MessageBox.h"
#include "wizard/StatusMapping.h"
#include "wizard/WizardText.h"
#include "wizard/frmMain.h"

namespace orvex::wizard {
namespace {

constexpr int32_t kFullCounter = 65535;

void setEmphasis(QWidget* option, bool on) {
    QFont font = option->font();
    font.setBold(on);
    font.setUnderline(on);
    option->setFont(font);
}

QString withSuffix(int offset, const std::string& suffix) {
    return uiText(offset) + QString::fromStdString(suffix);
}

}  // namespace

void frmMain::picNext_Click(int index) {
    // A card task asked for while card work runs does nothing; a new driver
    // choice is stored and taken up when the work has returned. A window
    // that is closing takes nothing more.
    if (closeRequested_ || (busyDepth_ > 0 && index != kPageSettings)) return;
    switch (index) {
        case kPageSettings: return saveReaderSettings();
        case kPageFormat: return formatCard();
        case kPageTasks: return chooseTask();
        case kPageLoadFile: return writeSample();
        case kPageRecharge: return rechargeCard();
        default: return;
    }
}

void frmMain::chooseTask() {
    if (ui->optTodo_0->isChecked()) {
        showPage(kPageLoadFile);
    } else if (ui->optTodo_1->isChecked()) {
        showPage(kPageFormat);
    }
}

void frmMain::cmdOpen_Click() {
    const auto chosen = fileDialog_.getOpenFileName(
        this, uiText(151), FileDialog::qtFilter(uiText(152)));
    if (chosen) {
        fillSampleFields(*chosen);
    } else {
        ui->txtFile->clear();
    }
}

void frmMain::optCardType_Click(int index) {
    const bool station = index == 1;
    setEmphasis(ui->optCardType_0, !station);
    setEmphasis(ui->optCardType_1, station);
    if (ui->chkDuration->isChecked()) {
        ui->lblDurationMin->setVisible(station);
        ui->lblDurationSek->setVisible(!station);
    }
    if (!station) ui->chk115cardplus->setChecked(false);
    ui->chk115cardplus->setVisible(station);
    ui->txtDuration->setMaxLength(station ? 3 : 4);
    ui->txtDuration->setText(QStringLiteral("0"));
    ui->chkDuration->setChecked(false);
    if (!station) ui->chkPlacebo->setChecked(false);
    ui->chkPlacebo->setVisible(station);
}

void frmMain::chkDuration_Click() {
    if (!ui->chkDuration->isChecked()) {
        ui->txtDuration->hide();
        ui->lblDurationSek->hide();
        ui->lblDurationMin->hide();
        ui->txtDuration->setText(QStringLiteral("0"));
        return;
    }
    ui->chk115cardplus->setChecked(false);
    ui->txtDuration->show();
    const bool drink = ui->optCardType_0->isChecked();
    (drink ? ui->lblDurationSek : ui->lblDurationMin)->show();
    ui->txtDuration->setText(drink ? QStringLiteral("10") : QStringLiteral("30"));
    ui->txtDuration->setFocus();
    ui->txtDuration->selectAll();
}

// A user-defined duration and the energy sequence exclude each other.
void frmMain::chk115cardplus_Click() {
    if (ui->chk115cardplus->isChecked() && ui->chkDuration->isChecked())
        ui->chkDuration->setChecked(false);
}

void frmMain::writeSample() {
    // After "error" no card object is left: the card is not reached.
    if (!card_) return showPage(kPageInsertCard);
    file7kx file;
    if (!file.loadFromFile(ui->txtFile->text().toStdString())) {
        MessageBox::show(this, QMessageBox::Critical, withSuffix(610, " (610-100)"));
        return;
    }
    showPage(kPageProcessing);
    int32_t kind = ui->optCardType_0->isChecked()   ? cardTypeDrink
                   : ui->optCardType_1->isChecked() ? cardTypeStation
                                                    : cardTypeNone;
    const std::string duration = tasks::durationForCard(kind, ui->txtDuration->text().toStdString());
    bool written = false;
    {
        Work work(*this);
        orvexcard& card = *card_;
        written = card.writeFile7kx(file, kind, ui->txtCardName->text().toStdString(), duration,
                                    ui->chk115cardplus->isChecked(), ui->chkPlacebo->isChecked());
    }
    log(std::string("frmMain.writeSample: ") + (written ? "written" : "failed"));
    if (closeRequested_) return;  // the operator left; nothing to report to
    const tasks::WriteReport report = tasks::writeReport(written, file, kind);
    if (report.success) showPage(kPageWaiting);
    MessageBox::show(this, report.success ? QMessageBox::Information : QMessageBox::Warning,
                     withSuffix(report.textOffset, report.suffix));
    restartReader();
}

void frmMain::formatCard() {
    if (!card_) return showPage(kPageInsertCard);
    showPage(kPageProcessing);
    std::optional<int32_t> chosen;
    if (ui->optCardType1_0->isEnabled()) {
        if (ui->optCardType1_0->isChecked()) chosen = cardTypeDrink;
        else if (ui->optCardType1_1->isChecked()) chosen = cardTypeStation;
    }
    bool formatted = false;
    {
        Work work(*this);
        orvexcard& card = *card_;
        const int32_t kind = tasks::taskKind(chosen, card.OCardDefinedType());
        formatted = card.formatCard(
            kind, tasks::formatCreatorText(applicationVersion(), tasks::installationSerial()),
            kFullCounter, ui->chkRewriteable->isChecked());
    }
    log(std::string("frmMain.formatCard: ") + (formatted ? "formatted" : "failed"));
    restartReader();
}

void frmMain::rechargeCard() {
    showPage(kPageProcessing);
    restartReader();
}

// The card is detected and verified anew; the status procedure chooses the
// next page. Not when the window is closing or the driver is about to be
// recreated.
void frmMain::restartReader() {
    if (!rd_ || closeRequested_ || reinitRequested_) return;
    Work work(*this);
    rd_->restart();
}

}  // namespace orvex::wizard
