// The status procedure: what the window shows for each card state word, and
// the identification of a card that became active.
#include <QApplication>
#include <QTimer>

#include "cards/orvexcard.h"
#include "readers/readerBase.h"
#include "ui_frmMain.h"
#include "wizard/MessageBox.h"
#include "wizard/StatusMapping.h"
#include "wizard/WizardText.h"
#include "wizard/frmMain.h"

namespace orvex::wizard {
namespace {

constexpr int kMinimumRetryMs = 50;
// Tries to take a card the reader reports but will not hand over.
constexpr int kAssignTries = 5;
constexpr const char* kAssignFailedText =
    "error 939: Reader assign failed. Contact your software vendor if this error occurs again.";

}  // namespace

void frmMain::readerEvents_progressChange() {
    if (!rd_) return;
    ui->pgbCardStatus->setValue(rd_->progress());
    loop_.processEvents();
}

void frmMain::readerEvents_progressMaxChange() {
    if (rd_) ui->pgbCardStatus->setMaximum(rd_->progressMax());
}

void frmMain::clearCardDisplay() {
    for (QLabel* label : {ui->lblCardStatus, ui->lblCardDuration, ui->lblCardCounter,
                          ui->lblFileComments, ui->lblCardType}) {
        label->clear();
    }
    ui->imgSafelyRemove->hide();
}

void frmMain::readerEvents_stateChange() {
    // A window that is about to close keeps saying so.
    if (!rd_ || closeRequested_) return;
    // A tick while the window itself reads the card reports that reading
    // ("activelocked"); the identification decides what to show.
    if (identifying_) return showProgress();
    if (!rd_->deviceConnected()) {
        showReaderMissing();
        lastState_ = rd_->cardState();
        return;
    }
    const std::string word = rd_->cardState();
    if (word != lastState_ && !actOnState(word)) return;
    if (!rd_) return;
    ui->lblDeviceStatus->setText(inertText(rd_->deviceType()));
    showProgress();
    lastState_ = word;
    // The card may have left while it was being identified: act on where
    // the reader is now.
    const std::string now = rd_->cardState();
    if (now != word && now != state::kActive && now != state::kActiveLocked)
        QTimer::singleShot(0, this, &frmMain::readerEvents_stateChange);
}

// No reader, so no card work either: nothing shows progress.
void frmMain::showReaderMissing() {
    showPage(kPageWaiting);
    clearCardDisplay();
    releaseCard();
    ui->pgbCardStatus->hide();
    setBusyCursor(false);
    ui->lblDeviceStatus->setText(uiText(7013));
    ui->cmbReaderType->setCurrentIndex(readerApi_ == 1 ? 1 : 0);
    cmbReaderType_Click();
    showPage(kPageSettings);
}

// False when the card could not be taken yet: nothing changed on the window
// and the same word is tried again later.
bool frmMain::actOnState(const std::string& word) {
    if (word != state::kActive) assignFailures_ = 0;  // the card has left
    const StateRow row = stateRow(word);
    if (!row.known) return true;
    if (row.identify) return identifyCard();
    clearCardDisplay();
    if (row.releaseCard) releaseCard();
    ui->lblCardStatus->setText(uiText(row.statusText));
    if (row.showSafelyRemove) ui->imgSafelyRemove->show();
    if (row.page) showPage(*row.page);
    return true;
}

bool frmMain::identifyCard() {
    CardFacts facts;
    bool verified = false;
    {
        Work work(*this);
        identifying_ = true;
        if (!card_) {
            auto fresh = std::make_unique<orvexcard>();
            if (fresh->assign(*rd_) != -1) {
                identifying_ = false;
                return assignFailed();
            }
            card_ = std::move(fresh);
        }
        verified = card_->verifyCard();
        facts.kind = card_->OCardDefinedType();
        if (verified) {
            facts.name = card_->cardName(false);
            facts.duration = card_->cardDuration();
            facts.combineSeq = card_->cardCombineSeq();
            facts.placebo = card_->cardPlacebo();
        }
        identifying_ = false;
    }
    if (!verified) {
        showCardLines(unverifiedCardLines(facts.kind));
        showPage(kPageFormat);
        return true;
    }
    const CardLines lines = verifiedCardLines(facts);
    showCardLines(lines);
    if (lines.cardTypeOption) {
        (*lines.cardTypeOption == 0 ? ui->optCardType_0 : ui->optCardType_1)->setChecked(true);
        optCardType_Click(*lines.cardTypeOption);
    }
    ui->lblCardCounter->hide();
    ui->lblFileComments->setText(inertText(card_->fileComments()));
    showPage(kPageTasks);
    return true;
}

// A card the reader reports but will not hand over. It is tried again every
// polling interval, with one line in the trace per inserted card; after
// kAssignTries tries the operator is told once and the card is left alone
// until it is taken out.
bool frmMain::assignFailed() {
    if (++assignFailures_ == 1) log(kAssignFailedText);
    if (assignFailures_ < kAssignTries) {
        retryLater();
        return false;
    }
    clearCardDisplay();
    ui->lblCardStatus->setText(uiText(stateRow("error").statusText));
    // Not inside the reader's tick that may have brought the word.
    QTimer::singleShot(0, this, [this] {
        MessageBox::show(this, QMessageBox::Critical, QString::fromLatin1(kAssignFailedText));
    });
    return true;
}

void frmMain::showCardLines(const CardLines& lines) {
    clearCardDisplay();
    ui->lblCardStatus->setText(inertText(lines.status));
    ui->lblCardType->setText(inertText(lines.type));
    ui->lblCardDuration->setText(inertText(lines.duration));
    ui->imgSafelyRemove->show();
}

void frmMain::retryLater() {
    if (retryPending_ || !rd_) return;
    retryPending_ = true;
    QTimer::singleShot(std::max(rd_->pollingInterval(), kMinimumRetryMs), this, [this] {
        retryPending_ = false;
        readerEvents_stateChange();
    });
}

// A card object another piece of work still uses is let go when that work
// has returned.
void frmMain::releaseCard() {
    if (card_ && busyDepth_ > 0) retiredCards_.push_back(std::move(card_));
    card_.reset();
}

void frmMain::showProgress() {
    const bool locked = rd_ && rd_->cardState() == state::kActiveLocked;
    ui->pgbCardStatus->setVisible(locked);
    if (locked) ui->pgbCardStatus->setMaximum(rd_->progressMax() + 1);
    setBusyCursor(locked);
}

void frmMain::setBusyCursor(bool on) {
    busyCursor_ = on;
    applyCursor();
}

void frmMain::setListCursor(bool on) {
    listCursor_ = on;
    applyCursor();
}

// The reader-list fill shows the hourglass, card work the arrow with the
// hourglass; the window holds at most one override pointer of its own.
void frmMain::applyCursor() {
    std::optional<Qt::CursorShape> wanted;
    if (listCursor_) {
        wanted = Qt::WaitCursor;
    } else if (busyCursor_) {
        wanted = Qt::BusyCursor;
    }
    if (wanted == shownCursor_) return;
    if (!shownCursor_) {
        QApplication::setOverrideCursor(*wanted);
    } else if (!wanted) {
        QApplication::restoreOverrideCursor();
    } else {
        QApplication::changeOverrideCursor(*wanted);
    }
    shownCursor_ = wanted;
}

}  // namespace orvex::wizard
