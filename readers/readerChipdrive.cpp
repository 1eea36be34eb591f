#include "readers/readerChipdrive.h"

#include <utility>

#include "foundation/modCommon.h"
#include "platform/DriverUnavailable.h"

namespace orvex {
namespace {

constexpr int32_t kAnswerLength = 200;
// Repetitions one readOffset call may spend on failed pieces, all pieces
// together; codes from kNoPauseCode on are repeated without a pause.
constexpr int kReadRepetitions = 3;
constexpr int32_t kNoPauseCode = 16384;
constexpr double kRepeatPauseSeconds = 0.4;
// What a call answers when the library has gone missing: positive, so the
// device counts as absent, and without a pause before a repetition.
constexpr int32_t kLibraryMissing = 0x7FFFFFFF;

std::string memCommand(const char* verb, int32_t offset, int32_t length) {
    return std::string("Card,") + verb + "," + std::to_string(offset) + "," + std::to_string(length);
}

}  // namespace

readerChipdrive::readerChipdrive(std::shared_ptr<platform::SCard32Api> api, platform::EventLoop& loop)
    : readerBase("readerChipdrive", loop), api_(std::move(api)) {
    try {
        probeLibrary();
    } catch (const platform::DriverUnavailable&) {
        logLine("  FAILED: driver not found");
        return;
    }
    logLine("scard: " + driverVersion());
    finishConstruction();
}

readerChipdrive::~readerChipdrive() {
    Stopp();
    releaseCommon();
    logLine("readerChipdrive.Class_Terminate()");
}

void readerChipdrive::probeLibrary() {
    int32_t handle = 0;
    int32_t commandLength = 0;
    int32_t inputLength = 0;
    int32_t outputLength = 0;
    std::string output;
    api_->SCardComand(handle, "", commandLength, "", inputLength, output, outputLength);
}

bool readerChipdrive::Start(const std::string&) {
    logLine("readerChipdrive.Start()");
    try {
        probeLibrary();
    } catch (const platform::DriverUnavailable&) {
        logLine("  FAILED: driver not found");
        return false;
    }
    logLine("scard: " + driverVersion());
    logLine("device: " + deviceType());
    SendCMD("Card,Reset");
    setRunning(true);
    firstTickSoon();
    return true;
}

void readerChipdrive::Stopp() {
    forgetHolds();
    setRunning(false);
    SendCMD("Card,Unlock");
    logLine("readerChipdrive.Stopp()");
}

void readerChipdrive::restart() {
    Stopp();
    if (!waitForDevice()) return;
    Start("");
    announceRestart();
}

int32_t readerChipdrive::call(const std::string& command, const std::string& input,
                              int32_t& inputLength, std::string& output, int32_t& outputLength) {
    int32_t handle = 0;
    int32_t commandLength = 0;
    try {
        return api_->SCardComand(handle, command, commandLength, input, inputLength, output,
                                 outputLength);
    } catch (const platform::DriverUnavailable&) {
        return kLibraryMissing;
    }
}

readerChipdrive::Answer readerChipdrive::query(const std::string& command) {
    Answer answer;
    answer.text.assign(kAnswerLength, ' ');
    int32_t inputLength = 0;
    int32_t outputLength = kAnswerLength;
    answer.code = call(command, "", inputLength, answer.text, outputLength);
    if (answer.text.size() > static_cast<size_t>(kAnswerLength)) answer.text.resize(kAnswerLength);
    return answer;
}

std::string readerChipdrive::SendCMD(const std::string& command) {
    Answer answer = query(command);
    return answer.code == 0 ? answer.text : std::string(kReadFailed);
}

std::string readerChipdrive::driverVersion() { return trimRight(query("System,Info,VersionText").text); }

std::string readerChipdrive::deviceType() {
    const Answer answer = query("Device,Info,Type");
    return answer.code == 0 ? trimRight(answer.text) : std::string(state::kFailed);
}

// A negative code with an answer that does not start with "error" still
// counts as connected.
bool readerChipdrive::deviceConnected() {
    const Answer answer = query("Device,Info,Status");
    return !(answer.code > 0 || answer.text.compare(0, 5, "error") == 0);
}

std::string readerChipdrive::cardConnected() {
    if (!isRunning()) return "";
    const Answer answer = query("Card,Info,Status");
    if (answer.code != 0) return state::kFailed;
    const std::string word = trimRight(answer.text);
    return word == state::kActive && busy() ? state::kActiveLocked : word;
}

int32_t readerChipdrive::memRead(int32_t offset, int32_t& pieceLength, std::string& buffer) {
    buffer.assign(static_cast<size_t>(pieceLength), ' ');
    int32_t inputLength = 0;
    return call(memCommand("MemRead", offset, pieceLength), "", inputLength, buffer, pieceLength);
}

// The repetitions belong to the whole readOffset call: once they are spent, a
// failing piece is still repeated exactly once.
bool readerChipdrive::readPiece(int32_t offset, int32_t& pieceLength, std::string& buffer,
                                ReadCall& readCall) {
    const int32_t asked = pieceLength;
    const auto lengthUsable = [&] { return pieceLength > 0 && pieceLength <= asked; };
    int32_t code = memRead(offset, pieceLength, buffer);
    while (code != 0) {
        // A library that reports no bytes for a failed read must not turn the
        // repetition into a read of nothing: it asks for the piece again.
        if (!lengthUsable()) pieceLength = asked;
        code = memRead(offset, pieceLength, buffer);
        if (code != 0 && code < kNoPauseCode && !pause(kRepeatPauseSeconds)) return false;
        if (++readCall.repetitions >= kReadRepetitions) break;
    }
    return code == 0;
}

bool readerChipdrive::writePiece(int32_t offset, int32_t& pieceLength, const std::string& piece) {
    std::string output(kAnswerLength, ' ');
    int32_t outputLength = kAnswerLength;
    return call(memCommand("MemWrite", offset, pieceLength), piece, pieceLength, output,
                outputLength) == 0;
}

readerBase::Hold readerChipdrive::holdCard() {
    const int32_t code = query("Card,Lock").code;
    if (code == 0) return Hold::Taken;
    return code == platform::scard32::kCardHeldElsewhere ? Hold::Busy : Hold::Failed;
}

void readerChipdrive::releaseCard() { SendCMD("Card,Unlock"); }

void readerChipdrive::onDisconnectedEntered() { SendCMD("Card,Unlock"); }

void readerChipdrive::resetCard() { SendCMD("Card,reset"); }

}  // namespace orvex
