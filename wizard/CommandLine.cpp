#include "wizard/CommandLine.h"

#include <algorithm>
#include <cctype>

#include "foundation/modCommon.h"

namespace orvex::wizard {
namespace {

// A quoted argument leaves with the blank that separated it from its
// neighbours, so it does not leave an empty word behind.
void dropSeparatorAt(std::string& text, size_t at) {
    const bool blankBefore = at > 0 && text[at - 1] == ' ';
    const bool blankAfter = at < text.size() && text[at] == ' ';
    if (blankAfter && (at == 0 || blankBefore)) {
        text.erase(at, 1);
    } else if (blankBefore && at == text.size()) {
        text.erase(at - 1, 1);
    }
}

std::vector<std::string> takeQuotedParts(std::string& text) {
    std::vector<std::string> parts;
    for (;;) {
        const size_t open = text.find('"');
        if (open == std::string::npos) break;
        const size_t close = text.find('"', open + 1);
        if (close == std::string::npos) break;
        parts.push_back(text.substr(open + 1, close - open - 1));
        text.erase(open, close - open + 1);
        dropSeparatorAt(text, open);
    }
    return parts;
}

std::vector<std::string> blankSeparatedWords(const std::string& text) {
    std::vector<std::string> words;
    if (text.empty()) return words;
    size_t start = 0;
    for (;;) {
        const size_t blank = text.find(' ', start);
        words.push_back(text.substr(start, blank == std::string::npos ? std::string::npos : blank - start));
        if (blank == std::string::npos) break;
        start = blank + 1;
    }
    return words;
}

bool endsWithSampleExtension(const std::string& argument) {
    if (argument.size() < 4) return false;
    std::string tail = argument.substr(argument.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".7kx";
}

}  // namespace

std::vector<std::string> splitCommandLine(std::string& commandLine) {
    std::vector<std::string> result = takeQuotedParts(commandLine);
    std::vector<std::string> words = blankSeparatedWords(commandLine);
    std::reverse(words.begin(), words.end());
    result.insert(result.end(), words.begin(), words.end());
    return result;
}

std::string joinArguments(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& a : arguments) {
        if (!line.empty()) line += ' ';
        line += a.find(' ') == std::string::npos ? a : "\"" + a + "\"";
    }
    return line;
}

StartArguments examineArguments(const std::vector<std::string>& arguments) {
    StartArguments found;
    for (const std::string& a : arguments) {
        if (a.compare(0, 4, "/lng") == 0) {
            const char last = a.back();
            if (last == '1' || last == '2') found.language = last - '0';
        } else if (endsWithSampleExtension(a) && fileExists(a)) {
            found.sampleFile = a;
        }
    }
    return found;
}

}  // namespace orvex::wizard
