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
            return text(9070, {windows1252ToUtf8(file.formatName())});
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
        std::fprintf(stderr, "orvexcard: %s\n",
                     text(msg::kSampleRefused, {sampleRefusalReason(file, path)}).c_str());
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
    std::printf("%s: %s\n", text(9063).c_str(), "7kx/1.0.0");
    std::printf("%s: %s\n", text(9048).c_str(), utf8(file.lastModified()).c_str());
    std::printf("%s: %s\n", text(9064).c_str(), utf8(trimRight(file.comment())).c_str());
    std::printf("%s: %s\n", text(9065).c_str(), utf8(file.creator()).c_str());
    std::printf("%s: %s\n", text(9046).c_str(), utf8(file.serial()).c_str());
    std::printf("%s: %zu\n", text(9066).c_str(), file.sampledata().size());
    std::printf("%s: %s\n", text(9067).c_str(), text(accepted ? 9057 : 9058).c_str());
    return kExitDone;
}

}  // namespace orvex::cli
