#include "foundation/modRes.h"

#include <charconv>
#include <cstddef>
#include <string_view>
#include <unordered_map>

namespace orvex {
namespace detail {
extern const unsigned char textTableData[];
extern const std::size_t textTableSize;
}  // namespace detail

namespace {

int16_t& baseStore() {
    static int16_t base = kLanguageGerman;
    return base;
}

std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'r' || text[i + 1] == 'n')) {
            out += text[i + 1] == 'r' ? '\r' : '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Rows "offset<TAB>English<TAB>German"; '#' lines are comments.
std::unordered_map<int, std::string> parseTable() {
    std::unordered_map<int, std::string> table;
    const std::string_view data(reinterpret_cast<const char*>(detail::textTableData),
                                detail::textTableSize);
    size_t pos = 0;
    while (pos < data.size()) {
        size_t eol = data.find('\n', pos);
        if (eol == std::string_view::npos) eol = data.size();
        std::string_view line = data.substr(pos, eol - pos);
        pos = eol + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const size_t t1 = line.find('\t');
        const size_t t2 = t1 == std::string_view::npos ? t1 : line.find('\t', t1 + 1);
        if (t2 == std::string_view::npos) continue;
        int offset = 0;
        const auto [end, ec] = std::from_chars(line.data(), line.data() + t1, offset);
        if (ec != std::errc() || end != line.data() + t1) continue;
        table[kLanguageEnglish + offset] = unescape(line.substr(t1 + 1, t2 - t1 - 1));
        table[kLanguageGerman + offset] = unescape(line.substr(t2 + 1));
    }
    return table;
}

const std::unordered_map<int, std::string>& table() {
    static const std::unordered_map<int, std::string> t = parseTable();
    return t;
}

}  // namespace

int16_t languageBase() { return baseStore(); }
void setLanguageBase(int16_t base) { baseStore() = base; }

int16_t languageBaseFromSetting(const std::string& lngSetting) {
    int value = 0;
    const char* first = lngSetting.data();
    const char* last = first + lngSetting.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || lngSetting.empty()) return kLanguageGerman;
    // Only the two languages have texts; anything else keeps German.
    return value == 2 ? kLanguageEnglish : kLanguageGerman;
}

std::optional<std::string> resourceText(int id) {
    const auto it = table().find(id);
    if (it == table().end()) return std::nullopt;
    return it->second;
}

std::string resText(int offset) { return resourceText(languageBase() + offset).value_or(""); }

}  // namespace orvex
