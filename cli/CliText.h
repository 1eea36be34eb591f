#pragma once
// Messages of the command-line program from the text table, in the language
// chosen at start-up, with %1, %2, ... filled in.
#include <initializer_list>
#include <string>

namespace orvex::cli {

std::string text(int offset, std::initializer_list<std::string> args = {});

// Text offsets of the command-line program's messages.
namespace msg {
constexpr int kUsage = 9001;
constexpr int kNoService = 9002;
constexpr int kNoAccess = 9003;
constexpr int kNoReaderAttached = 9004;
constexpr int kNoSuchReader = 9005;
constexpr int kDriverNotStarted = 9006;
constexpr int kNoCard = 9007;
constexpr int kNotVerified = 9008;
constexpr int kFormatFailed = 9009;
constexpr int kFormatted = 9010;
constexpr int kReadFailed = 9011;
constexpr int kWriteFailed = 9012;
constexpr int kDumped = 9013;
constexpr int kRestored = 9014;
constexpr int kNotAnImage = 9015;
constexpr int kCannotRead = 9016;
constexpr int kCannotWrite = 9017;
constexpr int kBadDuration = 9018;
constexpr int kBatchDone = 9019;
constexpr int kBatchFailed = 9020;
constexpr int kBatchTotal = 9021;
constexpr int kBatchWaiting = 9022;
constexpr int kSimNotSet = 9023;
constexpr int kSimNoSuchReader = 9024;
constexpr int kSimNoReaders = 9025;
constexpr int kSimNoCard = 9026;
constexpr int kSimCardPresent = 9027;
constexpr int kSimFailed = 9028;
constexpr int kCardPulled = 9029;
constexpr int kSampleRefused = 9030;
constexpr int kSimUnusable = 9031;
}  // namespace msg

}  // namespace orvex::cli
