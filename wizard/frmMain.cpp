#include "wizard/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QUrl>

#include "cards/orvexcard.h"
#include "foundation/modCommon.h"
#include "readers/readerBase.h"
#include "ui_frmMain.h"
#include "wizard/FormLocalizer.h"
#include "wizard/StatusMapping.h"
#include "wizard/WebLink.h"
#include "wizard/WindowPlacement.h"

namespace orvex::wizard {
namespace {

// A dropped or handed-over file: a local path ending in .7kx, any case.
QString samplePathOf(const QMimeData* mime) {
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return {};
    const QUrl url = mime->urls().constFirst();
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    return path.endsWith(QStringLiteral(".7kx"), Qt::CaseInsensitive) ? path : QString();
}

bool isActivationKey(const QEvent* event) {
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

}  // namespace

// Load handler: texts of the current language, the waiting page in front.
frmMain::frmMain(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::frmMain>()) {
    ui->setupUi(this);
    log("frmMain.Form_Load()");
    localizeForm(this);
    decorate();
    connectControls();
    ui->txtComments->hide();
    ui->lblComments->hide();
    ui->txtDuration->hide();
    ui->lblDurationSek->hide();
    ui->lblDurationMin->hide();
    ui->chk115cardplus->hide();
    ui->chkPlacebo->hide();
    ui->lineOrvexCC->hide();
    ui->pgbCardStatus->hide();
    ui->imgSafelyRemove->hide();
    ui->lblClosing->hide();
    ui->optTodo_2->hide();
    ui->optTodo_2->setEnabled(false);
    ui->cmbReaderName->setEnabled(false);
    restorePlacement(*this);
    showPage(kPageWaiting);
}

frmMain::~frmMain() {
    releaseDriver();
    listCursor_ = false;
    applyCursor();
}

// Pictures of our own choosing, and the accessibility that goes with them.
void frmMain::decorate() {
    for (int page = 0; page <= kPageNotProgrammable; ++page) {
        if (auto* next = findChild<QWidget*>(QStringLiteral("picNext_%1").arg(page)))
            static_cast<QAbstractButton*>(next)->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
        if (auto* quit = findChild<QWidget*>(QStringLiteral("picAbbrechen_%1").arg(page)))
            static_cast<QAbstractButton*>(quit)->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    }
    ui->cmdOpen->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    ui->imgSafelyRemove->setPixmap(style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(32));
    ui->Image1->setStyleSheet(QStringLiteral(
        "background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #1d4f73, stop:1 #5fa3c8);"
        "color: white; font-size: 18pt; font-weight: bold; padding-left: 12px;"));
    ui->lblOrvexCC->setCursor(Qt::PointingHandCursor);
    ui->lblOrvexCC->setFocusPolicy(Qt::TabFocus);
    ui->lblOrvexCC->installEventFilter(this);
    ui->txtDuration->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]*")), this));
}

void frmMain::connectControls() {
    for (int page = 0; page <= kPageNotProgrammable; ++page) {
        for (const char* stem : {"picNext_%1", "lblNext_%1"}) {
            if (auto* b = findChild<QAbstractButton*>(QString::fromLatin1(stem).arg(page)))
                connect(b, &QAbstractButton::clicked, this, [this, page] { picNext_Click(page); });
        }
        if (auto* b = findChild<QAbstractButton*>(QStringLiteral("picAbbrechen_%1").arg(page)))
            connect(b, &QAbstractButton::clicked, this, [this, page] { picAbbrechen_Click(page); });
    }
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmMain::cmdCancel_Click);
    connect(ui->cmdOpen, &QToolButton::clicked, this, &frmMain::cmdOpen_Click);
    connect(ui->optCardType_0, &QRadioButton::clicked, this, [this] { optCardType_Click(0); });
    connect(ui->optCardType_1, &QRadioButton::clicked, this, [this] { optCardType_Click(1); });
    connect(ui->chkDuration, &QCheckBox::toggled, this, &frmMain::chkDuration_Click);
    connect(ui->chk115cardplus, &QCheckBox::toggled, this, &frmMain::chk115cardplus_Click);
    connect(ui->cmbReaderType, &QComboBox::activated, this, &frmMain::cmbReaderType_Click);
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, [this] {
            if (enterRunsNext(currentPage())) picNext_Click(currentPage());
        });
    }
    connect(ui->frameMain, &QStackedWidget::currentChanged, this, &frmMain::focusFirstControl);
}

// The page that comes forward gets the focus on its first control, so the
// keyboard starts where reading starts; Tab then follows the page in reading
// order (the form's creation order) and on to the web link.
void frmMain::focusFirstControl(int page) {
    QWidget* const start = ui->frameMain->widget(page);
    if (!start) return;
    for (QWidget* w = start->nextInFocusChain(); w != start; w = w->nextInFocusChain()) {
        if (start->isAncestorOf(w) && w->isEnabled() && w->isVisibleTo(start) &&
            (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

int frmMain::currentPage() const { return ui->frameMain->currentIndex(); }

// The focus leaves the page that goes first: left on it, it would be handed
// on through the web link while the new page is not shown yet.
void frmMain::showPage(int page) {
    if (page == currentPage()) return;
    QWidget* const focused = focusWidget();
    if (focused && ui->frameMain->currentWidget()->isAncestorOf(focused)) focused->clearFocus();
    ui->frameMain->setCurrentIndex(page);
}

void frmMain::setReaderChoice(int api, const std::string& name) {
    readerApi_ = api;
    readerName_ = name;
}

bool frmMain::setSampleFile(const QString& path) {
    if (!path.endsWith(QStringLiteral(".7kx"), Qt::CaseInsensitive) ||
        !fileExists(path.toStdString())) {
        return false;
    }
    fileDialog_.setFileName(path);
    fillSampleFields(path);
    return true;
}

// The file box, its name without folder in the hidden comment box, and that
// name without its extension as the card name.
void frmMain::fillSampleFields(const QString& path) {
    ui->txtFile->setText(path);
    const QString name = path.mid(std::max(path.lastIndexOf(QLatin1Char('/')),
                                           path.lastIndexOf(QLatin1Char('\\'))) + 1);
    ui->txtComments->setText(name);
    ui->txtCardName->setText(name.left(name.size() - 4));
}

void frmMain::activateFromOtherCopy(const QString& path) {
    log("frmMain.activateFromOtherCopy(" + path.toStdString() + ")");
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    if (!path.isEmpty() && setSampleFile(path) && card_ && busyDepth_ == 0 &&
        (currentPage() == kPageTasks || currentPage() == kPageLoadFile)) {
        showPage(kPageLoadFile);
    }
}

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!samplePathOf(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event) {
    if (setSampleFile(samplePathOf(event->mimeData()))) event->acceptProposedAction();
}

// The maker's link: underlined while the mouse is over it or it has the
// focus; a click, or Enter or Space while it has the focus, opens it (Enter
// is then the link's, not the page's "next").
bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->lblOrvexCC) {
        switch (event->type()) {
            case QEvent::Enter:
            case QEvent::FocusIn: ui->lineOrvexCC->show(); break;
            case QEvent::Leave: ui->lineOrvexCC->setVisible(ui->lblOrvexCC->hasFocus()); break;
            case QEvent::FocusOut: ui->lineOrvexCC->setVisible(ui->lblOrvexCC->underMouse()); break;
            case QEvent::MouseButtonRelease: lblOrvexCC_Click(); break;
            case QEvent::ShortcutOverride:
                if (isActivationKey(event)) event->accept();
                break;
            case QEvent::KeyPress:
                if (!isActivationKey(event)) break;
                lblOrvexCC_Click();
                return true;
            default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::lblOrvexCC_Click() {
    ui->lineOrvexCC->hide();
    WebLink::open(QUrl(QString::fromLatin1(kMakerSite)));
}

void frmMain::picAbbrechen_Click(int) { close(); }

void frmMain::cmdCancel_Click() { close(); }

// Unload: while reader work is on the stack the window waits for it to
// return and closes then; meanwhile it says so.
void frmMain::closeEvent(QCloseEvent* event) {
    if (busyDepth_ > 0) {
        if (!closeRequested_) {
            log("frmMain.Form_Unload: card work running, closing when it returns");
            closeRequested_ = true;
            showClosing();
        }
        event->ignore();
        return;
    }
    unload();
    event->accept();
}

// The operator has asked to leave: no button takes a click any more, and the
// processing page says the window closes when the card is written.
void frmMain::showClosing() {
    for (auto* button : ui->frameMain->findChildren<QAbstractButton*>()) button->setEnabled(false);
    ui->lblClosing->show();
    showPage(kPageProcessing);
}

void frmMain::unload() {
    log("frmMain.Form_Unload()");
    savePlacement(*this);
    hide();
    releaseDriver();
}

// Without a driver nothing shows progress.
void frmMain::releaseDriver() {
    retiredCards_.clear();
    card_.reset();
    assignFailures_ = 0;
    ui->pgbCardStatus->hide();
    setBusyCursor(false);
    if (!rd_) return;
    rd_->Stopp();
    rd_->EventSource().unsubscribe(subscription_);
    rd_.reset();
    lastState_.clear();
}

// Called when card work returns; what waited for it runs from the event
// loop, never inside a reader's own call.
void frmMain::workEnded() {
    if (busyDepth_ > 0) return;
    if (closeRequested_ || reinitRequested_ || !retiredCards_.empty())
        QTimer::singleShot(0, this, &frmMain::finishDeferred);
}

void frmMain::finishDeferred() {
    if (busyDepth_ > 0) return;
    retiredCards_.clear();
    if (closeRequested_) {
        closeRequested_ = false;
        reinitRequested_ = false;
        close();
    } else if (reinitRequested_) {
        reinitRequested_ = false;
        releaseDriver();
        Init();
    }
}

}  // namespace orvex::wizard
