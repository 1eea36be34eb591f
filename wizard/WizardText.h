#pragma once
// Texts on their way onto the window: table texts with their CR LF line
// breaks as Qt's, and text from a card or a file made inert (control
// characters never reach a label as commands or layout).
#include <QString>
#include <string>

namespace orvex::wizard {

// Text languageBase + offset; empty when the table has none.
QString uiText(int offset);
// A table text (UTF-8) with "\r\n" as a plain line break.
QString fromTableText(const std::string& utf8);
// UTF-8 text from outside, every control character shown as '?'.
QString inertText(const std::string& utf8);

}  // namespace orvex::wizard
