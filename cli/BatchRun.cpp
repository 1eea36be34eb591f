#include "cli/BatchRun.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "cli/CliText.h"
#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "foundation/modCommon.h"
#include "platform/mcard/MemoryCardBackend.h"
#include "platform/eventloop/programLoop.h"
#include "platform/process/ProgramProcess.h"

namespace orvex::cli {
namespace {

// A message on one line: a batch reports each card on one.
std::string oneLine(std::string message) {
    std::erase(message, '\r');
    std::replace(message.begin(), message.end(), '\n', ' ');
    return message;
}

// One whole line in one write, flushed at once so that a production line
// reading the output sees every card as soon as it is done.
void putLine(std::FILE* out, std::string line) {
    std::erase(line, '\r');
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
    std::fflush(out);
}

std::optional<long> number(const std::string& text) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// What the record keeps, read back from the card just programmed.
CardRecord readRecord(CardSession& session) {
    CardObject& fields = session.card().cardObject();
    CardRecord r;
    r.serial = windows1252ToUtf8(fields.cardSerial(true));
    r.name = session.card().cardName(true);
    r.durationSeconds = number(fields.cardDuration());
    return r;
}

long long millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

// One reader's thread: everything of the reader lives and dies here.
void readerThread(const SessionSettings& base, const std::string& name, const CardJob& job,
                  BatchReport& report, const std::atomic<bool>& stop, std::atomic<int>& started) {
    const std::unique_ptr<platform::EventLoop> loop = platform::makeThreadLoop();
    SessionSettings settings = base;
    settings.api = ReaderApi::SCM;  // the driver that addresses a reader by its name
    settings.readerName = name;
    CardSession session(*loop, settings);
    if (const SessionProblem p = session.startReader(); p != SessionProblem::None) {
        report.readerFailed(name, sessionProblemText(p, settings, session));
        return;
    }
    ++started;
    runReaderBatch(session, name, job, report, stop);
}

// Why the readers cannot be listed: the simulated reader's directory, or the
// PC/SC service.
std::string listServiceProblem() {
    const std::string sim = platform::environmentVariable("ORVEXCARD_SIM");
    return !sim.empty() ? text(msg::kSimUnusable, {inert(sim)}) : text(msg::kNoService);
}

}  // namespace

std::string BatchReport::prefix(const std::string& reader) const {
    return readerNames_ ? inert(reader) + ": " : std::string();
}

void BatchReport::waiting(const std::string& reader) {
    const std::lock_guard<std::mutex> lock(mutex_);
    putLine(stderr, prefix(reader) + text(msg::kBatchWaiting));
}

void BatchReport::card(const std::string& reader, const CardOutcome& outcome, const CardRecord& record,
                       long long elapsedMs) {
    const std::lock_guard<std::mutex> lock(mutex_);
    (outcome.ok ? done_ : failed_)++;
    const int n = done_ + failed_;
    if (json_) {
        putLine(stdout, cardJson(n, reader, outcome, record, elapsedMs));
    } else if (outcome.ok) {
        putLine(stdout, prefix(reader) + text(msg::kBatchDone, {std::to_string(n)}));
    } else {
        putLine(stdout, prefix(reader) + text(msg::kBatchFailed, {std::to_string(n), oneLine(outcome.message)}));
    }
}

void BatchReport::readerFailed(const std::string& reader, const std::string& why) {
    const std::lock_guard<std::mutex> lock(mutex_);
    putLine(stderr, "orvexcard: " + inert(reader) + ": " + oneLine(why));
}

// With --json standard output holds only the cards' objects; the total goes
// to standard error there.
int BatchReport::finish() {
    const std::lock_guard<std::mutex> lock(mutex_);
    putLine(json_ ? stderr : stdout, text(msg::kBatchTotal, {std::to_string(done_), std::to_string(failed_)}));
    return failed_ == 0 ? kExitDone : kExitCardFailed;
}

std::string cardJson(int number, const std::string& reader, const CardOutcome& outcome,
                     const CardRecord& record, long long elapsedMs) {
    using Json = nlohmann::ordered_json;
    Json j;
    j["card"] = number;
    j["reader"] = reader;
    j["result"] = outcome.ok ? "done" : "failed";
    j["serial"] = outcome.ok ? Json(record.serial) : Json(nullptr);
    j["name"] = outcome.ok ? Json(record.name) : Json(nullptr);
    j["duration"] = outcome.ok && record.durationSeconds ? Json(*record.durationSeconds) : Json(nullptr);
    j["elapsedMs"] = elapsedMs;
    j["message"] = outcome.ok ? "" : oneLine(outcome.message);
    // Names from a reader or a card that are not valid text never break the line.
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void runReaderBatch(CardSession& session, const std::string& reader, const CardJob& job,
                    BatchReport& report, const std::atomic<bool>& stop) {
    while (!stop) {
        report.waiting(reader);
        const SessionProblem problem = session.waitForCard(-1, &stop);
        if (stop) break;
        const auto start = std::chrono::steady_clock::now();
        const CardOutcome outcome =
            problem == SessionProblem::None ? job(session) : CardOutcome{false, text(msg::kCardPulled)};
        const CardRecord record = outcome.ok && report.json() ? readRecord(session) : CardRecord{};
        report.card(reader, outcome, record, millisecondsSince(start));
        session.waitForRemoval(stop);
    }
}

int runAllReadersBatch(const SessionSettings& settings, const CardJob& job, bool json,
                       const std::atomic<bool>& stop) {
    std::vector<std::string> names;
    const platform::BackendStatus listed = platform::makeMemoryCardBackend()->listReaders(names);
    if (!listed.ok()) {
        fail(listServiceProblem());
        return kExitNoReader;
    }
    if (names.empty()) {
        fail(text(msg::kNoReaderAttached));
        return kExitNoReader;
    }
    BatchReport report(true, json);
    std::atomic<int> started{0};
    std::vector<std::thread> threads;
    threads.reserve(names.size());
    for (const auto& name : names)
        threads.emplace_back(readerThread, std::cref(settings), name, std::cref(job), std::ref(report),
                             std::cref(stop), std::ref(started));
    for (auto& t : threads) t.join();
    const int rc = report.finish();
    return started == 0 ? kExitNoReader : rc;
}

}  // namespace orvex::cli
