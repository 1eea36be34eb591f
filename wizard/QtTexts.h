#pragma once
// Qt's own texts (the file dialog, the message box buttons) in the window's
// language: German from Qt's translation built into the program, English as
// Qt has them.
#include <cstdint>

namespace orvex::wizard {

// Installs the German translation of Qt's texts for the German base and
// removes it for any other. Dialogs made afterwards follow; the captions
// already on the window do not change.
void useQtTexts(int16_t languageBase);

}  // namespace orvex::wizard
