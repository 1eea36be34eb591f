#include "wizard/FormLocalizer.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>
#include <optional>

#include "foundation/modRes.h"
#include "wizard/WizardText.h"

namespace orvex::wizard {
namespace {

// The text a property's offset names, when it names one.
std::optional<QString> offsetText(const QWidget* w, const char* property, int minimum) {
    const QVariant v = w->property(property);
    if (!v.isValid()) return std::nullopt;
    bool numeric = false;
    const int offset = v.toString().trimmed().toInt(&numeric);
    if (!numeric || offset < minimum) return std::nullopt;
    const auto text = resourceText(languageBase() + offset);
    if (!text) return std::nullopt;
    return fromTableText(*text);
}

// Sets the caption through whichever caption property the control has.
void setCaption(QWidget* w, const QString& text, bool isForm) {
    if (isForm) {
        w->setWindowTitle(text);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        group->setTitle(text);
    } else if (w->metaObject()->indexOfProperty("text") >= 0) {
        w->setProperty("text", text);
    }
}

// A screen reader reads the caption as the name; a control known only by its
// picture is named by its tool tip.
void describe(QWidget* w, const std::optional<QString>& caption,
              const std::optional<QString>& toolTip) {
    const QString name = caption ? *caption : toolTip.value_or(QString());
    if (name.isEmpty()) return;
    w->setAccessibleName(QString(name).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    w->setAccessibleDescription(toolTip.value_or(name));
}

void localizeControl(QWidget* w, bool isForm) {
    const auto caption = offsetText(w, kTextOffsetProperty, 1);
    const auto toolTip = offsetText(w, kToolTipOffsetProperty, 1);
    if (caption) setCaption(w, *caption, isForm);
    if (toolTip) w->setToolTip(*toolTip);
    describe(w, caption, toolTip);
}

}  // namespace

void localizeForm(QWidget* form) {
    if (!form) return;
    localizeControl(form, true);
    for (QWidget* child : form->findChildren<QWidget*>()) localizeControl(child, false);
}

}  // namespace orvex::wizard
