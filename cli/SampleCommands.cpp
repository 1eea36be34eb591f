// sample-info: a sample file's header fields, or why it is refused.
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cards/modTasks.h"
#include "cli/CliText.h"
#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "foundation/modCommon.h"
#include "samplefile/file7kx.h"

namespace orvex::cli {

std::string sampleRefusalReason(const file7kx& file, const std::string& path) {
    switch (file.loadError()) {
        case file7kx::LoadError::NotFound:
            return text(9068);
        case file7kx::LoadError::WrongSize: {
            std::error_code ec;
            return text(9069, {std::to_string(std::filesystem::file_size(path, ec))});
        }
        case file7kx::LoadError::WrongFormat:
            return text(9070, {inert(windows1252ToUtf8(file.formatName()))});
        default:
            return text(9071);
    }
}

namespace {

std::string utf8(const std::string& bytes) { return windows1252ToUtf8(bytes); }

}  // namespace

int runSampleInfo(const CliOptions& o) {
    const std::string& path = o.operands[0];
    file7kx file;
    if (!file.loadFromFile(path)) {
        fail(text(msg::kSampleRefused, {sampleRefusalReason(file, path)}));
        return kExitUsage;
    }
    const bool accepted = tasks::creatorVersionAllowed(file);
    if (o.flag("json")) {
        nlohmann::ordered_json j;
        j["filename"] = path;
        j["lastModified"] = utf8(file.lastModified());
        j["comment"] = utf8(trimRight(file.comment()));
        j["creator"] = utf8(file.creator());
        j["creatorname"] = utf8(file.creatorname());
        j["creatorversion"] = utf8(file.creatorversion());
        j["creatorversionMajor"] = file.creatorversionMajor();
        j["creatorversionMinor"] = file.creatorversionMinor();
        j["serial"] = utf8(file.serial());
        j["sampleBytes"] = file.sampledata().size();
        j["creatorVersionAccepted"] = accepted;
        std::printf("%s\n", j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        return kExitDone;
    }
    say(text(9063) + ": 7kx/1.0.0");
    say(text(9048) + ": " + inert(utf8(file.lastModified())));
    say(text(9064) + ": " + inert(utf8(trimRight(file.comment()))));
    say(text(9065) + ": " + inert(utf8(file.creator())));
    say(text(9046) + ": " + inert(utf8(file.serial())));
    say(text(9066) + ": " + std::to_string(file.sampledata().size()));
    say(text(9067) + ": " + text(accepted ? 9057 : 9058));
    return kExitDone;
}

}  // namespace orvex::cli
