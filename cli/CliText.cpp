#include "cli/CliText.h"

#include <cstdio>

#include "foundation/modRes.h"
#include "platform/process/ProgramProcess.h"

namespace orvex::cli {
namespace {

// Length of the well-formed UTF-8 sequence at i that is no control
// character, or 0.
size_t printableSequence(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead >= 0x20 && lead < 0x7f) return 1;
    size_t length = 0;
    if (lead >= 0xc2 && lead <= 0xdf) length = 2;
    else if (lead >= 0xe0 && lead <= 0xef) length = 3;
    else if (lead >= 0xf0 && lead <= 0xf4) length = 4;
    if (length == 0 || i + length > s.size()) return 0;
    for (size_t k = i + 1; k < i + length; ++k)
        if ((byte(k) & 0xc0) != 0x80) return 0;
    if (lead == 0xc2 && byte(i + 1) < 0xa0) return 0;  // C1 controls U+0080..U+009F
    if (lead == 0xe0 && byte(i + 1) < 0xa0) return 0;  // overlong
    if (lead == 0xed && byte(i + 1) >= 0xa0) return 0;  // surrogates
    if (lead == 0xf0 && byte(i + 1) < 0x90) return 0;  // overlong
    if (lead == 0xf4 && byte(i + 1) >= 0x90) return 0;  // beyond U+10FFFF
    return length;
}

void put(std::FILE* out, std::string_view prefix, std::string message) {
    std::erase(message, '\r');
    message.insert(0, prefix);
    message += '\n';
    std::fwrite(message.data(), 1, message.size(), out);
}

}  // namespace

std::string text(int offset, std::initializer_list<std::string> args) {
    const std::vector<std::string> values(args);
    const std::string pattern = resText(offset);
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '%' && next >= '1' && next <= '9') {
            const size_t index = static_cast<size_t>(next - '1');
            if (index < values.size()) out += values[index];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string inert(std::string_view s) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < s.size();) {
        if (const size_t n = printableSequence(s, i)) {
            out.append(s.substr(i, n));
            i += n;
            continue;
        }
        unsigned value = static_cast<unsigned char>(s[i++]);
        const bool c1 = value == 0xc2 && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xe0) == 0x80;
        if (c1) value = static_cast<unsigned char>(s[i++]);
        out += "\\x";
        out += kDigits[value >> 4];
        out += kDigits[value & 0xf];
    }
    return out;
}

void say(const std::string& message) { put(stdout, "", message); }
void fail(const std::string& message) { put(stderr, "orvexcard: ", message); }

int languageBaseFromLocale() {
    return platform::userLanguage().starts_with("de") ? kLanguageGerman : kLanguageEnglish;
}

int languageBaseFromArgs(const std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        std::string value;
        if (args[i].starts_with("--lang=")) value = args[i].substr(7);
        else if (args[i] == "--lang" && i + 1 < args.size()) value = args[i + 1];
        if (value == "de") return kLanguageGerman;
        if (value == "en") return kLanguageEnglish;
    }
    return 0;
}

}  // namespace orvex::cli
