#pragma once
// Messages of the command-line program from the text table, in the language
// chosen at start-up, with %1, %2, ... filled in; and the way text reaches
// the operator's terminal.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::cli {

std::string text(int offset, std::initializer_list<std::string> args = {});

// Text from a card, a file, a reader or the command line made harmless for a
// terminal: control bytes (C0, DEL, C1) and bytes that are not UTF-8 show as
// \xNN, so nothing is cut at a NUL and nothing acts as a terminal command.
std::string inert(std::string_view text);

// One line on standard output, or "orvexcard: " and one line on standard
// error. The whole text is written, NULs included; CRs of the text table's
// line breaks are dropped.
void say(const std::string& message);
void fail(const std::string& message);

// The language when neither the command line nor the settings choose one:
// German for a user language (platform::userLanguage) that starts with "de",
// else English.
int languageBaseFromLocale();
// The --lang value of a command line, when it names de or en.
int languageBaseFromArgs(const std::vector<std::string>& args);  // 0: none

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
constexpr int kUnknownOption = 9074;
constexpr int kNoCommand = 9075;
constexpr int kUnknownCommand = 9076;
constexpr int kForeignOption = 9077;
constexpr int kOperandCount = 9078;
constexpr int kNeedsValue = 9079;
constexpr int kGivenTwice = 9080;
constexpr int kTakesOneOf = 9081;
constexpr int kBadWait = 9082;
constexpr int kFormatFirst = 9083;
constexpr int kImageOrBlank = 9084;
constexpr int kSimCard = 9085;
constexpr int kSimNoCardIn = 9086;
constexpr int kSimPulledWaiting = 9087;
constexpr int kUnreadable = 9088;
constexpr int kCardInUse = 9110;
constexpr int kNeedsBatch = 9120;
constexpr int kAllReadersNotOne = 9121;
constexpr int kAllReadersNeedMcard = 9122;
constexpr int kNotKept = 9130;
}  // namespace msg

}  // namespace orvex::cli
