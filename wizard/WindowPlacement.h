#pragma once
// The window's size and position, kept as one text value under the
// program's key ("left,top,width,height"), so the next start opens where the
// operator left it.
class QWidget;

namespace orvex::wizard {

inline constexpr const char* kPlacementValue = "wizard.placement";

void restorePlacement(QWidget& window);
void savePlacement(const QWidget& window);

}  // namespace orvex::wizard
