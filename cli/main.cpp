// orvexcard: the command-line twin of the window. It shares the window's
// settings, log and card code and only adds the commands around them.
#include <cstdio>
#include <memory>
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
#include "platform/eventloop/programLoop.h"
#include "platform/process/ProgramProcess.h"
#include "readers/BackendLogConnection.h"

namespace {

// The language: --lang, else the "lng" setting, else the locale.
void chooseLanguage(const std::vector<std::string>& args) {
    int base = orvex::cli::languageBaseFromArgs(args);
    if (base == 0) {
        orvex::clsRegistry reg;
        const std::string lng = reg.ReadRegistry(orvex::HKEY_CURRENT_USER, orvex::kProductKey, "lng");
        base = lng == orvex::clsRegistry::notFoundVal() ? orvex::cli::languageBaseFromLocale()
                                                        : orvex::languageBaseFromSetting(lng);
    }
    orvex::setLanguageBase(static_cast<int16_t>(base));
}

// The same title and version as the window, so both append to one log.
void identifyProgram() {
    orvex::setApplicationTitle(orvex::utf8ToWindows1252(orvex::resText(101)));
    orvex::setApplicationVersion({PROJECT_VERSION_MAJOR, PROJECT_VERSION_MINOR, PROJECT_VERSION_PATCH});
    orvex::setProgramDirectory(orvex::platform::executableDirectory());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orvex::cli;
    const std::unique_ptr<orvex::platform::EventLoop> loop = orvex::platform::makeProgramLoop(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    chooseLanguage(args);
    const ParseResult parsed = parseCommandLine(args);
    if (!parsed.ok()) {
        fail(text(msg::kUsage, {parsed.error}));
        return kExitUsage;
    }
    const CliOptions& o = parsed.options;
    if (o.command == "help" || o.flag("help")) {
        std::fputs(usageText().c_str(), stdout);
        return kExitDone;
    }
    identifyProgram();
    if (o.command == "sim") return runSimCommand(o);
    if (o.command == "sample-info") return runSampleInfo(o);
    orvex::platform::installInterruptHandler(interruptRequested);
    // What the reader back ends report belongs in the trace, through the
    // program's own log object, never on the operator's screen.
    orvex::clsLog log;
    const orvex::BackendLogConnection backendLines = orvex::connectBackendLog(log);
    if (o.command == "version" || o.flag("version")) return runVersion(o, *loop);
    return runCardCommand(o, *loop);
}
