#pragma once
// Puts the texts of the current language on a form. Every control that shows
// a text carries its text offset as the dynamic property "textOffset" (its
// caption) and "toolTipOffset" (its tool tip); the routine walks the widget
// tree, so a new control needs no code. A missing, non-numeric or unknown
// offset leaves that property as it is and the walk goes on.
//
// Each control also gets an accessible name and description from its texts,
// so screen readers and UI automation find it by what the operator reads.
class QWidget;

namespace orvex::wizard {

inline constexpr const char* kTextOffsetProperty = "textOffset";
inline constexpr const char* kToolTipOffsetProperty = "toolTipOffset";

void localizeForm(QWidget* form);

}  // namespace orvex::wizard
