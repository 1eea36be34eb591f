#include "wizard/ReaderList.h"

#include "foundation/modCommon.h"

namespace orvex::wizard {

std::vector<std::string> readerNamesFromList(const std::string& listText) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= listText.size()) {
        size_t end = listText.find('\0', start);
        if (end == std::string::npos) end = listText.size();
        const std::string name = trimBlanks(listText.substr(start, end - start));
        if (!name.empty()) names.push_back(name);
        start = end + 1;
    }
    return names;
}

}  // namespace orvex::wizard
