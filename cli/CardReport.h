#pragma once
// What inspect shows of a card: identification, header and file fields, read
// through the card identification object, rendered as text or as JSON.
#include <cstdint>
#include <optional>
#include <string>

namespace orvex {
class orvexcard;
}

namespace orvex::cli {

struct CardReport {
    int32_t kind = 0;
    bool verified = false;
    bool found = false;
    bool dataError = false;
    // Texts as UTF-8.
    std::string purpose;
    std::string version;
    std::string serial;
    std::string name;
    std::string lastModified;
    std::optional<long> durationSeconds;  // as stored; none when unreadable
    std::optional<long> durationMinutes;  // station cards
    int32_t counter = 0;
    bool combineSeq = false;
    bool placebo = false;
    double fileLength = 0;  // as the card code reads the field
    std::string fileComments;
    std::string fileSerial;
    std::string fileLastModified;
};

CardReport readCardReport(orvexcard& card, bool verified);
std::string reportText(const CardReport& report);
std::string reportJson(const CardReport& report);

}  // namespace orvex::cli
