#include "wizard/MessageBox.h"

#include "foundation/appInfo.h"
#include "foundation/modCommon.h"

namespace orvex::wizard {

QMessageBox::StandardButton MessageBox::show(QWidget* parent, QMessageBox::Icon icon,
                                             const QString& text,
                                             QMessageBox::StandardButtons buttons) {
    if (answer()) {
        record().push_back({icon, text});
        return *answer();
    }
    QMessageBox box(icon, QString::fromStdString(windows1252ToUtf8(applicationTitle())), text,
                    buttons, parent);
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton a) { answer() = a; }
const std::vector<MessageBox::Shown>& MessageBox::shown() { return record(); }
void MessageBox::clearShown() { record().clear(); }

std::optional<QMessageBox::StandardButton>& MessageBox::answer() {
    static std::optional<QMessageBox::StandardButton> a;
    return a;
}

std::vector<MessageBox::Shown>& MessageBox::record() {
    static std::vector<Shown> r;
    return r;
}

}  // namespace orvex::wizard
