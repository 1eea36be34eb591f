#include "cli/CliText.h"

#include <vector>

#include "foundation/modRes.h"

namespace orvex::cli {

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

}  // namespace orvex::cli
