// orvexcard: the command-line twin of the window. It shares the window's
// settings, log and card code and only adds the commands around them.
#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliText.h"
#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "foundation/appInfo.h"
#include "foundation/clsRegistry.h"
#include "foundation/modCommon.h"
#include "foundation/modRes.h"
#include "foundation/clsLog.h"
#include "platform/mcard/BackendLog.h"
#include "platform/qt/QtEventLoop.h"

namespace {

void onInterrupt(int) { orvex::cli::interruptRequested = true; }

// Language of the settings ("lng"), unless the command line names one.
void chooseLanguage(const orvex::cli::CliOptions& o) {
    orvex::clsRegistry reg;
    std::string lng = reg.ReadRegistry(orvex::HKEY_CURRENT_USER, orvex::kProductKey, "lng");
    if (lng == orvex::clsRegistry::notFoundVal()) lng = "1";
    orvex::setLanguageBase(orvex::languageBaseFromSetting(lng));
    if (o.lang) orvex::setLanguageBase(*o.lang == "en" ? orvex::kLanguageEnglish
                                                        : orvex::kLanguageGerman);
}

// The same title and version as the window, so both append to one log.
void identifyProgram(const QCoreApplication& app) {
    orvex::setApplicationTitle(orvex::utf8ToWindows1252(orvex::resText(101)));
    orvex::setApplicationVersion({PROJECT_VERSION_MAJOR, PROJECT_VERSION_MINOR, PROJECT_VERSION_PATCH});
    orvex::setProgramDirectory(app.applicationDirPath().toStdString());
    // What the reader back ends report belongs in the trace, not on the
    // operator's screen; the log object exists from the first such line on.
    orvex::platform::setBackendLogSink([](const std::string& line) {
        static orvex::clsLog log;
        log.log(line);
    });
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orvex::cli;
    QCoreApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = parseCommandLine(args);
    chooseLanguage(parsed.options);
    if (!parsed.ok()) {
        std::fprintf(stderr, "orvexcard: %s\n", text(msg::kUsage, {parsed.error}).c_str());
        return kExitUsage;
    }
    const CliOptions& o = parsed.options;
    if (o.command == "help" || o.flag("help")) {
        std::fputs(usageText().c_str(), stdout);
        return kExitDone;
    }
    identifyProgram(app);
    if (o.command == "sim") return runSimCommand(o);
    if (o.command == "sample-info") return runSampleInfo(o);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    orvex::platform::QtEventLoop loop;
    return runCardCommand(o, loop);
}
