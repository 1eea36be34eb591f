// The commands that need a reader and a card: status, inspect, format, write
// (single and batch), dump, restore.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cards/modTasks.h"
#include "cli/BatchRun.h"
#include "cli/CardReport.h"
#include "cli/CardSession.h"
#include "cli/CliText.h"
#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "cli/ProgressBar.h"
#include "foundation/appInfo.h"
#include "foundation/clsRegistry.h"
#include "foundation/modCommon.h"
#include "foundation/modRes.h"
#include "platform/fs/FileIo.h"
#include "platform/process/ProgramProcess.h"
#include "samplefile/file7kx.h"
#include "samplefile/modDecimal.h"

namespace orvex::cli {

std::atomic<bool> interruptRequested{false};

std::string sessionProblemText(SessionProblem p, const SessionSettings& s, const CardSession& session) {
    switch (p) {
        case SessionProblem::None:
            break;
        case SessionProblem::NoService: {
            const std::string sim = platform::environmentVariable("ORVEXCARD_SIM");
            return !sim.empty() ? text(msg::kSimUnusable, {inert(sim)}) : text(msg::kNoService);
        }
        case SessionProblem::NoAccess:
            return text(msg::kNoAccess);
        case SessionProblem::NoReaders:
            return text(msg::kNoReaderAttached);
        case SessionProblem::NoSuchReader:
            return text(msg::kNoSuchReader, {inert(s.readerName), inert(session.attachedReaders())});
        case SessionProblem::DriverNotStarted:
            return text(msg::kDriverNotStarted);
        case SessionProblem::CardNotTaken:
        case SessionProblem::NoCard: {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", s.waitSeconds);
            return text(msg::kNoCard, {seconds, session.lastState()});
        }
    }
    return {};
}

namespace {

constexpr int32_t kCardSize = 16384;

// The reader choice of the settings, as the window's start-up reads it; the
// command line overrides it.
SessionSettings sessionSettings(const CliOptions& o) {
    SessionSettings s;
    clsRegistry reg;
    if (reg.ReadRegistry(HKEY_CURRENT_USER, kProductKey, "api") == "MCARD") {
        s.api = ReaderApi::SCM;
        const std::string name = reg.ReadRegistry(HKEY_CURRENT_USER, kProductKey, "reader");
        s.readerName = name == clsRegistry::notFoundVal() ? "" : name;
    }
    if (o.api) s.api = *o.api == "mcard" ? ReaderApi::SCM : ReaderApi::Chipdrive;
    if (o.reader) s.readerName = *o.reader;
    s.waitSeconds = o.waitSeconds;
    return s;
}

// The exit code of a problem; its message goes to standard error.
int reportProblem(SessionProblem p, const SessionSettings& s, const CardSession& session) {
    if (p == SessionProblem::None) return kExitDone;
    fail(sessionProblemText(p, s, session));
    switch (p) {
        case SessionProblem::NoCard:
        case SessionProblem::CardNotTaken:
            return kExitNoCard;
        default:
            return kExitNoReader;
    }
}

// What the last card operation of this thread cost, for --timings.
struct OperationStats {
    long long milliseconds = 0;
    int pieces = 0;  // memory pieces the reader moved: one progress step each
};
thread_local OperationStats lastOperation;

// Watches one card operation: shows the reader's progress as a bar on a
// terminal (not while several readers work: their bars would overwrite each
// other), counts the pieces moved and times the whole operation.
class OperationMeter {
public:
    explicit OperationMeter(reader& rd, bool showBar = true)
        : events_(rd.EventSource()),
          bar_(stderr, showBar && ProgressBar::stderrIsTerminal()),
          start_(std::chrono::steady_clock::now()) {
        lastOperation = {};
        id_ = events_.subscribe({[this, &rd] {
                                     ++lastOperation.pieces;
                                     bar_.setValue(rd.progress());
                                 },
                                 [this, &rd] { bar_.setMaximum(rd.progressMax()); }, nullptr});
    }
    ~OperationMeter() {
        events_.unsubscribe(id_);
        lastOperation.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start_)
                                         .count();
    }
    OperationMeter(const OperationMeter&) = delete;
    OperationMeter& operator=(const OperationMeter&) = delete;

private:
    readerEvents& events_;
    ProgressBar bar_;
    std::chrono::steady_clock::time_point start_;
    readerEvents::SubscriptionId id_ = 0;
};

std::optional<int32_t> chosenKind(const CliOptions& o) {
    const auto kind = o.value("kind");
    if (!kind) return std::nullopt;
    return *kind == "station" ? cardTypeStation : cardTypeDrink;
}

bool cardPulled(CardSession& session) { return session.rd().cardConnected() != state::kActive; }

// Where the card did not keep what the last format or sample write wrote.
std::optional<std::string> notKept(CardSession& session) {
    const auto at = session.card().notKeptAt();
    if (!at) return std::nullopt;
    return text(msg::kNotKept, {std::to_string(*at)});
}

// Why a card operation failed, for the operator: another program kept the
// card, the card did not keep what was written, the card left the reader,
// or the given message.
std::string failureReason(CardSession& session, const std::string& otherwise) {
    if (session.rd().cardHeldElsewhere()) return text(msg::kCardInUse);
    if (const auto why = notKept(session)) return *why;
    return cardPulled(session) ? text(msg::kCardPulled) : otherwise;
}

// Reader texts come from the device: shown inert.
std::string readerText(const std::string& bytes) { return inert(windows1252ToUtf8(bytes)); }

int cmdStatus(CardSession& session) {
    reader& rd = session.rd();
    say(text(9060) + ": " + readerText(rd.deviceType()));
    say(text(9061) + ": " + readerText(rd.driverVersion()));
    say(text(9062) + ": " + inert(rd.cardState()));
    return kExitDone;
}

int cmdInspect(CardSession& session, const CliOptions& o) {
    const CardReport report = readCardReport(session.card(), session.verified());
    std::fputs((o.flag("json") ? reportJson(report) : reportText(report)).c_str(), stdout);
    if (!session.verified()) {
        fail(text(msg::kNotVerified));
        return kExitCardFailed;
    }
    return kExitDone;
}

// Formats the card and reads it back as the window does after a format.
bool formatAndVerify(CardSession& session, const CliOptions& o) {
    orvexcard& card = session.card();
    const int32_t kind = tasks::taskKind(chosenKind(o), card.OCardDefinedType());
    const std::string serial = o.value("serial").value_or(
        tasks::formatCreatorText(applicationVersion(), tasks::installationSerial()));
    bool formatted = false;
    {
        OperationMeter meter(session.rd(), !o.flag("all-readers"));
        formatted = card.formatCard(kind, serial, 65535, !o.flag("read-only"));
    }
    return formatted && session.restartAndVerify() == SessionProblem::None && session.verified();
}

int cmdFormat(CardSession& session, const CliOptions& o) {
    if (!formatAndVerify(session, o)) {
        fail(failureReason(session, text(msg::kFormatFailed)));
        return kExitCardFailed;
    }
    say(text(msg::kFormatted));
    return kExitDone;
}

// The stored duration text for the kind, or nothing when the card would
// refuse it (the card takes a number within 0..65535, rounded half to even).
std::optional<std::string> storedDuration(const CliOptions& o, int32_t kind) {
    const std::string stored = tasks::durationForCard(kind, o.value("duration").value_or("0"));
    if (!roundedDecimalInRange(stored, 0, 65535)) return std::nullopt;
    return stored;
}

bool validDurationEntry(const CliOptions& o) {
    const auto entered = o.value("duration");
    if (!entered) return true;
    if (!tasks::durationEntry(*entered)) return false;
    if (const auto kind = chosenKind(o)) return storedDuration(o, *kind).has_value();
    return storedDuration(o, cardTypeDrink) || storedDuration(o, cardTypeStation);
}

struct WriteOutcome {
    bool ok = false;
    std::string message;
    int exitCode = kExitCardFailed;  // when not ok
};

// The window offers a sample write only for a card that verifies: any other
// card is formatted first (--format) or refused untouched.
std::optional<WriteOutcome> refusedCard(CardSession& session, const CliOptions& o) {
    if (o.flag("format") && !formatAndVerify(session, o))
        return WriteOutcome{false, failureReason(session, text(msg::kFormatFailed))};
    if (!session.verified()) return WriteOutcome{false, text(msg::kFormatFirst)};
    return std::nullopt;
}

WriteOutcome writeSample(CardSession& session, const CliOptions& o, const file7kx& file) {
    if (auto refused = refusedCard(session, o)) return *refused;
    orvexcard& card = session.card();
    int32_t kind = tasks::taskKind(chosenKind(o), card.OCardDefinedType());
    const auto duration = storedDuration(o, kind);
    if (!duration)  // only the card's own kind showed the entry cannot be stored
        return {false, text(msg::kBadDuration, {o.value("duration").value_or("")}), kExitUsage};
    const std::string name = o.value("name").value_or(getBaseName(file.filename()));
    bool written = false;
    {
        OperationMeter meter(session.rd(), !o.flag("all-readers"));
        written = card.writeFile7kx(file, kind, name, *duration, o.flag("combine"), o.flag("placebo"));
    }
    const tasks::WriteReport report = tasks::writeReport(written, file, kind);
    const std::string message = resText(report.textOffset) + report.suffix;
    if (report.success) return {true, message};
    // The window's message first, then why, when it is known.
    if (const auto why = notKept(session)) return {false, message + ": " + *why};
    return {false, cardPulled(session) ? message + ": " + text(msg::kCardPulled) : message};
}

int cmdWrite(CardSession& session, const CliOptions& o, const file7kx& file) {
    const WriteOutcome outcome = writeSample(session, o, file);
    if (!outcome.ok) {
        fail(outcome.message);
        return outcome.exitCode;
    }
    say(outcome.message);
    session.restartAndVerify();  // leaves the card reconnected, as the window does
    return kExitDone;
}

// The card operation of a batch: a format, or a sample write.
CardJob batchJob(const CliOptions& o, const file7kx& file) {
    if (o.command == "format") {
        return [&o](CardSession& session) {
            if (formatAndVerify(session, o)) return CardOutcome{true, text(msg::kFormatted)};
            return CardOutcome{false, failureReason(session, text(msg::kFormatFailed))};
        };
    }
    return [&o, &file](CardSession& session) {
        const WriteOutcome outcome = writeSample(session, o, file);
        return CardOutcome{outcome.ok, outcome.message};
    };
}

// Cards until Ctrl+C on the session's reader; the exit code tells whether
// one failed.
int cmdBatch(CardSession& session, const CliOptions& o, const file7kx& file) {
    BatchReport report(false, o.flag("json"));
    runReaderBatch(session, windows1252ToUtf8(session.rd().deviceType()), batchJob(o, file), report, interruptRequested);
    return report.finish();
}

int cmdDump(CardSession& session, const std::string& path) {
    std::string bytes;
    {
        const ExclusiveCard hold = session.rd().beginExclusive();
        OperationMeter meter(session.rd());
        if (hold) bytes = session.rd().readOffset(0, kCardSize, false);
    }
    if (bytes.size() != static_cast<size_t>(kCardSize)) {
        fail(failureReason(session, text(msg::kReadFailed)));
        return kExitCardFailed;
    }
    // The image appears whole or not at all; an earlier dump survives a crash.
    if (!platform::replaceFile(path, bytes)) {
        fail(text(msg::kCannotWrite, {inert(path), std::strerror(errno)}));
        return kExitUsage;
    }
    say(text(msg::kDumped, {inert(path)}));
    return kExitDone;
}

// The first byte where the card differs from the image, or -1.
int32_t firstDifference(const std::string& card, const std::string& image) {
    const auto [at, _] = std::mismatch(card.begin(), card.end(), image.begin(), image.end());
    return at == card.end() ? -1 : static_cast<int32_t>(at - card.begin());
}

// The image is read back after it was written: a card that answers every
// write with success may still not keep a byte.
int cmdRestore(CardSession& session, const std::string& image) {
    int32_t length = kCardSize;
    int32_t written = 0;
    std::string back;
    {
        const ExclusiveCard hold = session.rd().beginExclusive();
        OperationMeter meter(session.rd());
        if (hold) written = session.rd().writeOffset(0, length, image, false);
        if (written == kCardSize) back = session.rd().readOffset(0, kCardSize, false);
    }
    if (written != kCardSize || back.size() != static_cast<size_t>(kCardSize)) {
        fail(failureReason(session, text(msg::kWriteFailed)));
        return kExitCardFailed;
    }
    if (const int32_t at = firstDifference(back, image); at >= 0) {
        fail(text(msg::kNotKept, {std::to_string(at)}));
        return kExitCardFailed;
    }
    say(text(msg::kRestored));
    session.restartAndVerify();
    return kExitDone;
}

// Everything that can be checked without a card is checked before the reader
// is touched, so a typo never costs a card.
struct Inputs {
    file7kx sample;
    std::string image;
};

int checkInputs(const CliOptions& o, Inputs& in) {
    if (o.command == "write") {
        if (!validDurationEntry(o)) {
            fail(text(msg::kBadDuration, {*o.value("duration")}));
            return kExitUsage;
        }
        if (!in.sample.loadFromFile(o.operands[0])) {
            fail(resText(610) + " (610-100): " + sampleRefusalReason(in.sample, o.operands[0]));
            return kExitUsage;
        }
    }
    if (o.command == "restore") return readCardImage(o.operands[0], in.image);
    return kExitDone;
}

int runOnCard(CardSession& session, const CliOptions& o, Inputs& in) {
    if (o.command == "inspect") return cmdInspect(session, o);
    if (o.command == "format") return cmdFormat(session, o);
    if (o.command == "write") return cmdWrite(session, o, in.sample);
    if (o.command == "dump") return cmdDump(session, o.operands[0]);
    return cmdRestore(session, in.image);
}

}  // namespace

// A card image: exactly the card's size; anything else is refused before a
// byte of it is read.
int readCardImage(const std::string& path, std::string& bytes) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || !std::filesystem::is_regular_file(path, ec)) {
        fail(text(msg::kCannotRead, {inert(path), text(9068)}));
        return kExitUsage;
    }
    if (size != static_cast<std::uintmax_t>(kCardSize)) {
        fail(text(msg::kNotAnImage, {inert(path), std::to_string(size)}));
        return kExitUsage;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (bytes.size() != static_cast<size_t>(kCardSize)) {
        fail(text(msg::kCannotRead, {inert(path), text(9071)}));
        return kExitUsage;
    }
    return kExitDone;
}

int runVersion(const CliOptions& o, platform::EventLoop& loop) {
    say("orvexcard " + applicationVersionText());
    CardSession session(loop, sessionSettings(o));
    if (session.startDriver()) say(text(9061) + ": " + readerText(session.rd().driverVersion()));
    return kExitDone;
}

int runCardCommand(const CliOptions& o, platform::EventLoop& loop) {
    Inputs in;
    if (const int rc = checkInputs(o, in); rc != kExitDone) return rc;
    const SessionSettings settings = sessionSettings(o);
    if (o.flag("all-readers"))
        return runAllReadersBatch(settings, batchJob(o, in.sample), o.flag("json"), interruptRequested);
    CardSession session(loop, settings);
    if (const SessionProblem p = session.startReader(); p != SessionProblem::None)
        return reportProblem(p, settings, session);
    if (o.command == "status") return cmdStatus(session);
    if (o.flag("batch")) return cmdBatch(session, o, in.sample);
    // Ctrl+C while waiting for a card ends the wait; once a card operation
    // runs, it is finished first.
    if (const SessionProblem p = session.waitForCard(settings.waitSeconds, &interruptRequested);
        p != SessionProblem::None)
        return interruptRequested ? kExitInterrupted : reportProblem(p, settings, session);
    const int rc = runOnCard(session, o, in);
    if (o.flag("timings")) {
        const auto readBack = std::chrono::duration_cast<std::chrono::microseconds>(session.card().readBackTime());
        std::fprintf(stderr,
                     "timings: active_ms=%lld operation_ms=%lld readback_ms=%.1f reader_pieces=%d reader_calls=%d\n",
                     session.millisUntilActive(), lastOperation.milliseconds,
                     static_cast<double>(readBack.count()) / 1000.0, lastOperation.pieces, session.memoryCalls());
    }
    return rc;
}

}  // namespace orvex::cli
