#pragma once
// The commands of orvexcard. Each prints its result on standard output and
// every failure as one line on standard error, and answers the exit code.
#include <atomic>
#include <string>

#include "cli/CardSession.h"
#include "cli/CliOptions.h"
#include "platform/eventloop/EventLoop.h"

namespace orvex {
class file7kx;
}

namespace orvex::cli {

int runCardCommand(const CliOptions& options, platform::EventLoop& loop);
int runSampleInfo(const CliOptions& options);
int runSimCommand(const CliOptions& options);
// Program version, and the reader driver's version when it starts.
int runVersion(const CliOptions& options, platform::EventLoop& loop);

// Reads a card image file: exactly 16384 bytes, else a message and the exit
// code of a bad input file.
int readCardImage(const std::string& path, std::string& bytes);

// Why a sample file was refused, in the operator's words.
std::string sampleRefusalReason(const file7kx& file, const std::string& path);

// Why no usable card could be had, in the operator's words.
std::string sessionProblemText(SessionProblem problem, const SessionSettings& settings,
                               const CardSession& session);

// Set from the interrupt handler: a running card operation finishes first.
extern std::atomic<bool> interruptRequested;

}  // namespace orvex::cli
