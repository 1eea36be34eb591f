#pragma once
// The reader names in the SCM driver's reader list text: names separated by
// single NUL characters, ended by one more NUL and padded with blanks.
#include <string>
#include <vector>

namespace orvex::wizard {

// Every attached reader as its own entry, in list order; blanks around a
// name and empty pieces are dropped.
std::vector<std::string> readerNamesFromList(const std::string& listText);

}  // namespace orvex::wizard
