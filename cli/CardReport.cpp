#include "cli/CardReport.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "cards/orvexcard.h"
#include "cli/CliText.h"
#include "foundation/modCommon.h"
#include "foundation/modRes.h"
#include "samplefile/modDecimal.h"

namespace orvex::cli {
namespace {

std::optional<long> number(const std::string& text) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string utf8(const std::string& cardBytes) { return windows1252ToUtf8(cardBytes); }

std::string yesNo(bool value) { return text(value ? 9057 : 9058); }

std::string kindName(int32_t kind) {
    if (kind == cardTypeDrink) return resText(111);
    if (kind == cardTypeStation) return resText(110);
    return text(9059);
}

// Card text is shown inert: a NUL or an escape sequence on the card neither
// cuts the report nor reaches the terminal.
void line(std::string& out, int label, const std::string& value) {
    out += text(label) + ": " + inert(value) + "\n";
}

// The shortest text that reads back as the value (8820, 12.5).
std::string numberText(double value) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

}  // namespace

CardReport readCardReport(orvexcard& card, bool verified) {
    CardReport r;
    r.kind = card.OCardDefinedType();
    r.verified = verified;
    r.found = card.OCardFound();
    r.dataError = card.OCardDataError();
    CardObject& fields = card.cardObject();
    r.purpose = utf8(fields.cardPurpose(true));
    r.version = utf8(fields.cardversion(true));
    r.serial = utf8(fields.cardSerial(true));
    r.name = card.cardName(true);
    r.lastModified = utf8(fields.cardLastModified());
    r.durationSeconds = number(fields.cardDuration());
    if (r.kind == cardTypeStation) r.durationMinutes = number(card.cardDuration());
    r.counter = fields.cardPlaybCounter();
    r.combineSeq = card.cardCombineSeq();
    r.placebo = card.cardPlacebo();
    // Read as the card code reads it, so inspect shows what a write or the
    // devices see.
    r.fileLength = decimalValue(fields.fileLength()).value_or(0);
    if (r.fileLength > 0) {  // the file fields mean nothing without a file
        r.fileComments = utf8(fields.fileComments());
        r.fileSerial = utf8(fields.fileSerial());
        r.fileLastModified = utf8(fields.fileLastModified());
    }
    return r;
}

std::string reportText(const CardReport& r) {
    std::string out;
    line(out, 9040, std::to_string(r.kind) + " (" + kindName(r.kind) + ")");
    line(out, 9041, yesNo(r.verified));
    line(out, 9042, yesNo(r.found));
    line(out, 9043, yesNo(r.dataError));
    line(out, 9044, r.purpose);
    line(out, 9045, r.version);
    line(out, 9046, r.serial);
    line(out, 9047, r.name);
    line(out, 9048, r.lastModified);
    std::string duration = r.durationSeconds ? std::to_string(*r.durationSeconds) + " " + text(9072)
                                             : text(msg::kUnreadable);
    if (r.durationMinutes) duration += " (" + std::to_string(*r.durationMinutes) + " " + text(9073) + ")";
    line(out, 9049, duration);
    line(out, 9050, std::to_string(r.counter));
    line(out, 9051, yesNo(r.combineSeq));
    line(out, 9052, yesNo(r.placebo));
    line(out, 9053, numberText(r.fileLength));
    line(out, 9054, r.fileComments);
    line(out, 9055, r.fileSerial);
    line(out, 9056, r.fileLastModified);
    return out;
}

std::string reportJson(const CardReport& r) {
    nlohmann::ordered_json j;
    j["kind"] = r.kind;
    j["verified"] = r.verified;
    j["found"] = r.found;
    j["dataError"] = r.dataError;
    j["purpose"] = r.purpose;
    j["version"] = r.version;
    j["serial"] = r.serial;
    j["name"] = r.name;
    j["lastModified"] = r.lastModified;
    j["durationSeconds"] = r.durationSeconds ? nlohmann::ordered_json(*r.durationSeconds) : nullptr;
    j["durationMinutes"] = r.durationMinutes ? nlohmann::ordered_json(*r.durationMinutes) : nullptr;
    j["counter"] = r.counter;
    j["combineSeq"] = r.combineSeq;
    j["placebo"] = r.placebo;
    if (r.fileLength == std::floor(r.fileLength) && std::abs(r.fileLength) < 1e15)
        j["fileLength"] = static_cast<long long>(r.fileLength);
    else
        j["fileLength"] = r.fileLength;
    j["fileComments"] = r.fileComments;
    j["fileSerial"] = r.fileSerial;
    j["fileLastModified"] = r.fileLastModified;
    // Card bytes that are not valid text never break the output.
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace orvex::cli
