#pragma once
// Every message box of the wizard goes through here: titled with the
// application title, modal to the window. Tests set an answer first, so no
// box ever waits for a click, and read back what the operator was told.
#include <QMessageBox>
#include <QString>
#include <optional>
#include <vector>

namespace orvex::wizard {

class MessageBox {
public:
    struct Shown {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString text;
    };

    static QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);

    // From now on every box is recorded and answered at once with this
    // button instead of being shown; nothing restores interactive boxes.
    static void setNextAnswer(QMessageBox::StandardButton answer);
    static const std::vector<Shown>& shown();
    static void clearShown();

private:
    static std::optional<QMessageBox::StandardButton>& answer();
    static std::vector<Shown>& record();
};

}  // namespace orvex::wizard
