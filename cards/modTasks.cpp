#include "cards/modTasks.h"

#include <cctype>
#include <charconv>
#include <random>

#include "cards/orvexcard.h"
#include "foundation/clsRegistry.h"
#include "samplefile/file7kx.h"
#include "samplefile/modDecimal.h"

namespace orvex::tasks {
namespace {

constexpr const char* kSerialValue = "installSerial";

}  // namespace

std::optional<double> durationEntry(const std::string& text) {
    // What the window's duration box lets through: digits and points.
    if (text.empty() || text.size() > 32) return std::nullopt;
    if (text.find_first_not_of("0123456789.") != std::string::npos) return std::nullopt;
    return decimalValue(text);
}

int32_t taskKind(std::optional<int32_t> chosen, int32_t cardDefinedType) {
    if (chosen && (*chosen == cardTypeDrink || *chosen == cardTypeStation)) return *chosen;
    if (cardDefinedType == cardTypeDrink || cardDefinedType == cardTypeStation)
        return cardDefinedType;
    return cardTypeDrink;
}

std::string durationForCard(int32_t kind, const std::string& entered) {
    const auto value = durationEntry(entered);
    if (!value || *value <= 0) return "0";
    if (kind != cardTypeStation) return entered;
    const double minutes = roundHalfEven(*value);  // minutes to seconds
    if (minutes > 1e6) return entered;  // far out of range: the card refuses it
    return std::to_string(static_cast<long long>(minutes) * 60);
}

std::string formatCreatorText(const AppVersion& v, uint32_t serial) {
    return "ocard/" + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.revision) + "/" + std::to_string(serial);
}

uint32_t installationSerial() {
    clsRegistry reg;
    const std::string stored = reg.ReadRegistry(HKEY_CURRENT_USER, kProductKey, kSerialValue);
    uint32_t serial = 0;
    const auto [end, ec] = std::from_chars(stored.data(), stored.data() + stored.size(), serial);
    if (ec == std::errc() && end == stored.data() + stored.size() && serial > 0) return serial;
    std::random_device rd;
    serial = std::uniform_int_distribution<uint32_t>(10000, 99999999)(rd);
    reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, kSerialValue, REG_DWORD,
                      static_cast<int64_t>(serial));
    return serial;
}

bool creatorVersionAllowed(const file7kx& file) {
    std::string name = file.creatorname();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const int32_t major = file.creatorversionMajor();
    const int32_t minor = file.creatorversionMinor();
    return name == "osc" && (major > 3 || (major == 3 && minor >= 6));
}

WriteReport writeReport(bool written, const file7kx& file, int32_t kind) {
    if (written) return {612, " (612-100)", true};
    if (!creatorVersionAllowed(file)) return {617, " (617-100)", false};
    return {614, kind != cardTypeNone ? " (614-100)" : " (614-101)", false};
}

}  // namespace orvex::tasks
