#include "readers/readerSCM.h"

#include <utility>

#include "platform/DriverUnavailable.h"
#include "readers/mcardErrorText.h"

namespace orvex {
namespace {

namespace mc = platform::mcard;
using platform::mcard_code;

constexpr uint32_t kReaderListLength = 1024;
constexpr uint8_t kMemoryZone = 0;
constexpr uint32_t kDisposition = 0;

// Codes appear in the log as the library's signed 32-bit numbers.
std::string codeText(mcard_code code) { return std::to_string(static_cast<int32_t>(code)); }

}  // namespace

template <typename Call>
mcard_code readerSCM::guarded(Call&& call) {
    try {
        return call();
    } catch (const platform::DriverUnavailable&) {
        return mc::MCARD_E_INTERNAL_ERROR;
    }
}

readerSCM::readerSCM(std::shared_ptr<platform::MCardApi> api, platform::EventLoop& loop)
    : readerBase("readerSCM", loop), api_(std::move(api)) {
    if (driverCheck()) finishConstruction();
}

readerSCM::~readerSCM() {
    Stopp();
    releaseCommon();
    if (SCardCtx_ != 0) guarded([&] { return api_->SCardReleaseContext(SCardCtx_); });
    logLine("readerSCM.Class_Terminate()");
}

// Proves only that both libraries answer; the context opened for the default
// reader is closed again at once.
bool readerSCM::driverCheck() {
    try {
        logLine("create SCardCtx number (SCardEstablishContext)");
        const mcard_code established = api_->SCardEstablishContext(0, SCardCtx_);
        logLine("SCardCtx: " + std::to_string(SCardCtx_));
        if (established != mc::MCARD_S_SUCCESS) {
            logLine("  FAILED: SCardEstablishContext");
            SCardCtx_ = 0;
        }
        logLine("call MCardInitialize -> Treibercheck -> MCard dll check (mcscm.dll)");
        uint32_t version = 0;
        const mcard_code code = api_->MCardInitialize(SCardCtx_, kDefaultReaderName, MCardCtx_, version);
        logLine("return MCardInitialize: " + codeText(code) + "; DLL v." + std::to_string(version) +
                "; MCardCtx: " + std::to_string(MCardCtx_));
        if (code == mc::MCARD_S_SUCCESS) api_->MCardShutdown(MCardCtx_);
        MCardCtx_ = 0;
        return true;
    } catch (const platform::DriverUnavailable&) {
        logLine("  FAILED: driver not found");
        if (SCardCtx_ > 0) guarded([&] { return api_->SCardReleaseContext(SCardCtx_); });
        SCardCtx_ = 0;
        MCardCtx_ = 0;
        return false;
    }
}

bool readerSCM::Start(const std::string& readerName) {
    logLine("readerSCM.Start()");
    if (SCardCtx_ == 0) return false;
    readerName_ = readerName;
    setRunning(true);
    initialize();
    firstTickSoon();
    return true;
}

void readerSCM::Stopp() {
    forgetHolds();
    setRunning(false);
    shutdown();
    logLine("readerSCM.Stopp()");
}

void readerSCM::restart() {
    Stopp();
    const std::string name = readerName_;
    Start(name);
    announceRestart();
}

std::string readerSCM::driverVersion() { return "MCSCM " + dllVersion_; }

std::string readerSCM::deviceType() { return readerName_; }

bool readerSCM::initialize() {
    if (initialized_) shutdown();
    logLine("SCardCtx: " + std::to_string(SCardCtx_) + ";  ReaderName: " + readerName_ +
            "; MCardCtx: " + std::to_string(MCardCtx_) + "; DLLV: 0");
    uint32_t version = 0;
    const mcard_code code =
        guarded([&] { return api_->MCardInitialize(SCardCtx_, readerName_, MCardCtx_, version); });
    if (code == mc::MCARD_S_SUCCESS) {
        dllVersion_ = std::to_string(version);
        initialized_ = true;
        logLine("mcard: " + driverVersion());
        logLine("device: " + deviceType());
    } else {
        initialized_ = false;
        logLine("  FAILED: initialize (ret=" + codeText(code) + ")");
    }
    return initialized_;
}

void readerSCM::shutdown() {
    if (!initialized_) return;
    disconnect();
    guarded([&] { return api_->MCardShutdown(MCardCtx_); });
    MCardCtx_ = 0;
    initialized_ = false;
}

void readerSCM::disconnect() {
    if (cardHandle_ == 0) return;
    guarded([&] { return api_->MCardDisconnect(cardHandle_, kDisposition); });
    cardHandle_ = 0;
}

std::string readerSCM::getReaderList() {
    std::string buffer(kReaderListLength, ' ');
    uint32_t length = kReaderListLength;
    const mcard_code code =
        guarded([&] { return api_->SCardListReadersA(SCardCtx_, "", buffer, length); });
    if (code != mc::MCARD_S_SUCCESS) return "";
    if (buffer.size() > kReaderListLength) buffer.resize(kReaderListLength);
    return buffer;
}

// An unplugged and re-plugged reader is opened again on the first tick that
// finds it listed.
bool readerSCM::deviceConnected() {
    const std::string list = getReaderList();
    if (list.empty() || list.find(readerName_) == std::string::npos) {
        shutdown();
        return false;
    }
    if (!initialized_ && isRunning()) return initialize();
    return true;
}

std::string readerSCM::cardConnected() {
    if (!isCardInserted()) return state::kWait;
    if (cardHandle_ != 0) return busy() ? state::kActiveLocked : state::kActive;
    return connectCard() ? state::kDetect : state::kFailed;
}

// A card that is gone leaves its handle behind unless it is closed here, and
// the next card would then pass as connected.
bool readerSCM::isCardInserted() {
    if (!isRunning() || MCardCtx_ <= 0) return false;
    int32_t cardStateValue = 0;
    const mcard_code code = guarded([&] {
        return api_->MCardWaitForCardState(MCardCtx_, mc::kExpectCardPresent, cardStateValue,
                                           mc::kWaitTimeoutMs);
    });
    if (code == mc::MCARD_S_SUCCESS || cardStateValue == mc::kStatePresent) return true;
    if (cardStateValue <= 0) logLine("readerSCM.isCardInserted: failed, " + mcardErrorText(code));
    disconnect();
    return false;
}

bool readerSCM::connectCard() {
    if (!isRunning() || !initialized_) return false;
    const mcard_code code = guarded([&] {
        return api_->MCardConnect(MCardCtx_, mc::kConnectMode, mc::kMemoryCardType, cardHandle_);
    });
    if (code != mc::MCARD_S_SUCCESS) {
        logLine("readerSCM.connectCard: failed, " + mcardErrorText(code));
        cardHandle_ = 0;
        return false;
    }
    std::string type(1, ' ');
    uint32_t length = 1;
    const mcard_code attrib =
        guarded([&] { return api_->MCardGetAttrib(cardHandle_, mc::kAttribCardType, type, length); });
    if (attrib == mc::MCARD_S_SUCCESS && !type.empty() &&
        static_cast<uint8_t>(type[0]) == mc::kMemoryCardType) {
        return true;
    }
    logLine("readerSCM.connectCard: failed, wrong card type, " + mcardErrorText(attrib));
    disconnect();
    return false;
}

// A card that was connected anew since has lost the hold with its old
// handle; the library ended it then.
readerBase::Hold readerSCM::holdCard() {
    if (cardHandle_ == 0) return Hold::Failed;
    const mcard_code code = guarded([&] { return api_->MCardBeginTransaction(cardHandle_); });
    if (code == mc::kCardHeldElsewhere) return Hold::Busy;
    if (code != mc::MCARD_S_SUCCESS) {
        logLine("readerSCM.beginExclusive: failed, " + mcardErrorText(code));
        return Hold::Failed;
    }
    heldHandle_ = cardHandle_;
    return Hold::Taken;
}

void readerSCM::releaseCard() {
    if (heldHandle_ != 0 && heldHandle_ == cardHandle_)
        guarded([&] { return api_->MCardEndTransaction(heldHandle_); });
    heldHandle_ = 0;
}

bool readerSCM::readPiece(int32_t offset, int32_t& pieceLength, std::string& buffer, ReadCall&) {
    uint32_t length = static_cast<uint32_t>(pieceLength);
    const mcard_code code = guarded([&] {
        return api_->MCardReadMemory(cardHandle_, kMemoryZone, static_cast<uint32_t>(offset), buffer, length);
    });
    if (code != mc::MCARD_S_SUCCESS) {
        logLine("readerSCM.reader_readOffset: failed, " + mcardErrorText(code));
        return false;
    }
    pieceLength = length > static_cast<uint32_t>(pieceLength) ? -1 : static_cast<int32_t>(length);
    return true;
}

bool readerSCM::writePiece(int32_t offset, int32_t& pieceLength, const std::string& piece) {
    uint32_t length = static_cast<uint32_t>(pieceLength);
    const mcard_code code = guarded([&] {
        return api_->MCardWriteMemory(cardHandle_, kMemoryZone, static_cast<uint32_t>(offset), piece, length);
    });
    if (code != mc::MCARD_S_SUCCESS) {
        logLine("readerSCM.reader_writeOffset: failed, " + mcardErrorText(code));
        return false;
    }
    pieceLength = length > static_cast<uint32_t>(pieceLength) ? -1 : static_cast<int32_t>(length);
    return true;
}

}  // namespace orvex
