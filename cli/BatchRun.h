#pragma once
// Batch mode: one card after another, each reported on one line, until
// Ctrl+C. On one reader, or on every attached reader at once: then each
// reader has a thread of its own with its own event loop, driver and card
// objects, created and released on that thread; only the report is shared.
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "cli/CardSession.h"

namespace orvex::cli {

// What became of one card.
struct CardOutcome {
    bool ok = false;
    std::string message;  // why, when it failed
};

// The card operation a batch makes on every card; runs on the reader's thread.
using CardJob = std::function<CardOutcome(CardSession&)>;

// What a production record keeps of a programmed card, read back from it.
struct CardRecord {
    std::string serial;
    std::string name;
    std::optional<long> durationSeconds;
};

// The lines of a batch, from any thread: each line is written whole and at
// once, so lines of different readers never run into each other. With
// readerNames each line starts with the reader's name; with json each card
// is one JSON object on standard output.
class BatchReport {
public:
    BatchReport(bool readerNames, bool json) : readerNames_(readerNames), json_(json) {}

    void waiting(const std::string& reader);
    void card(const std::string& reader, const CardOutcome& outcome, const CardRecord& record,
              long long elapsedMs);
    // A reader that could not be used; the others go on.
    void readerFailed(const std::string& reader, const std::string& why);
    // The total line; answers the exit code.
    int finish();
    bool json() const { return json_; }

private:
    std::string prefix(const std::string& reader) const;

    std::mutex mutex_;
    const bool readerNames_;
    const bool json_;
    int done_ = 0;
    int failed_ = 0;
};

// One JSON line of a card (without the line end).
std::string cardJson(int number, const std::string& reader, const CardOutcome& outcome,
                     const CardRecord& record, long long elapsedMs);

// Cards on the session's started reader until stop is set; the running card
// operation is finished first.
void runReaderBatch(CardSession& session, const std::string& reader, const CardJob& job,
                    BatchReport& report, const std::atomic<bool>& stop);

// Every reader attached now, each with the SCM driver on its own thread.
// Answers the exit code: no reader at all, or whether a card failed.
int runAllReadersBatch(const SessionSettings& settings, const CardJob& job, bool json,
                       const std::atomic<bool>& stop);

}  // namespace orvex::cli
