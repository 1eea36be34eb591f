#pragma once
// Renders one page of the window to a PNG file, for screenshots and
// documentation built from the real window (offscreen works).
#include <QString>

namespace orvex::wizard {

class frmMain;

// Brings the page to the front, lets the window lay itself out and saves
// what it shows. False when the page does not exist or the file cannot be
// written. The page in front before stays in front afterwards.
bool renderPageToPng(frmMain& window, int page, const QString& pngPath);

}  // namespace orvex::wizard
