#pragma once
// The wizard's one window: the status frame that always shows reader and
// card, and the page stack frameMain (pages 0 to 8). It builds the reader
// driver and the card object, connects the reader's events and shows what
// the card code reports; the card logic lives in cards/ and samplefile/.
//
// Reader work runs the event loop (the drivers let pending events run while
// they move card memory), so window events arrive in the middle of it. The
// window never destroys the driver or the card object under such work:
// closing, recreating the driver and letting go of a card wait until the
// work has returned.
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/clsLog.h"
#include "platform/qt/QtEventLoop.h"
#include "readers/BackendLogConnection.h"
#include "readers/readerEvents.h"
#include "wizard/FileDialog.h"

namespace Ui {
class frmMain;
}

namespace orvex {
class readerBase;
class orvexcard;
}  // namespace orvex

namespace orvex::wizard {

struct CardLines;

class frmMain : public QWidget {
    Q_OBJECT
public:
    // The maker's web site, opened from the link under the pages.
    static constexpr const char* kMakerSite = "https://www.tessovanwerk.example/";

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Where Init gets its driver: by default the one the reader choice
    // names (makeReader). Tests hand the window a driver of their own and
    // put makeReader back when they are done.
    using DriverMaker =
        std::function<std::unique_ptr<readerBase>(int32_t api, platform::EventLoop& loop)>;
    static void setDriverMaker(DriverMaker maker);

    // Creates and starts the driver readerApi names; with a driver already
    // there it only shows the status frame.
    void Init();
    // readerApi: 1 the SCM driver, anything else the Chipdrive driver.
    void setReaderChoice(int api, const std::string& name);
    int readerApi() const { return readerApi_; }
    const std::string& readerName() const { return readerName_; }

    FileDialog& fileDialog() { return fileDialog_; }
    // Puts an existing .7kx file onto the load-file page, as a start
    // argument does; false (nothing changes) for any other path.
    bool setSampleFile(const QString& path);
    // A later copy of the program was started, perhaps with a file.
    void activateFromOtherCopy(const QString& path);

    int currentPage() const;
    void showPage(int page);
    readerBase* rd() const { return rd_.get(); }
    orvexcard* card() const { return card_.get(); }
    // True while the window's own reader or card work is on the stack.
    bool cardOperationRunning() const { return busyDepth_ > 0; }

    // The window's handlers; the controls run them, and so may a caller
    // that drives the window without a mouse.
    void picNext_Click(int index);
    void picAbbrechen_Click(int index);
    void cmdCancel_Click();
    void cmdOpen_Click();
    void optCardType_Click(int index);
    void chkDuration_Click();
    void chk115cardplus_Click();
    void cmbReaderType_Click();
    void lblOrvexCC_Click();
    void readerEvents_stateChange();
    void readerEvents_progressChange();
    void readerEvents_progressMaxChange();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Work;

    void connectControls();
    void fillSampleFields(const QString& path);
    void decorate();
    void unload();
    void releaseDriver();
    void releaseCard();
    void workEnded();
    void finishDeferred();
    void showClosing();
    void focusFirstControl(int page);
    void log(const std::string& text) { log_.log(text); }

    // Status procedure.
    bool actOnState(const std::string& word);
    bool identifyCard();
    bool assignFailed();
    void showCardLines(const CardLines& lines);
    void clearCardDisplay();
    void showReaderMissing();
    void showProgress();
    void setBusyCursor(bool on);
    void setListCursor(bool on);
    void applyCursor();
    void retryLater();

    // Page actions.
    void saveReaderSettings();
    void formatCard();
    void chooseTask();
    void writeSample();
    void rechargeCard();
    void restartReader();

    std::unique_ptr<Ui::frmMain> ui;
    clsLog log_;
    // What the reader back ends report belongs in this program's trace.
    BackendLogConnection backendLines_{log_};
    platform::QtEventLoop loop_;
    FileDialog fileDialog_;
    std::unique_ptr<readerBase> rd_;
    readerEvents::SubscriptionId subscription_ = 0;
    std::unique_ptr<orvexcard> card_;
    std::vector<std::unique_ptr<orvexcard>> retiredCards_;
    std::string lastState_;
    int readerApi_ = 0;
    std::string readerName_;
    int busyDepth_ = 0;
    bool identifying_ = false;
    bool fillingReaderNames_ = false;
    bool closeRequested_ = false;
    bool reinitRequested_ = false;
    bool retryPending_ = false;
    // Failed assigns of the card now in the reader.
    int assignFailures_ = 0;
    // The mouse pointer: card work and the reader-list fill each have their
    // own flag, so the one that ends first never drops the other's pointer.
    bool busyCursor_ = false;
    bool listCursor_ = false;
    std::optional<Qt::CursorShape> shownCursor_;
};

// Marks the window's own reader or card work for as long as it runs.
class frmMain::Work {
public:
    explicit Work(frmMain& window) : window_(window) { ++window_.busyDepth_; }
    ~Work() {
        --window_.busyDepth_;
        window_.workEnded();
    }
    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;

private:
    frmMain& window_;
};

}  // namespace orvex::wizard
