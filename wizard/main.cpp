// orvexcard-wizard: the operator's window.
#include <QApplication>

#include "wizard/Startup.h"
#include "wizard/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const auto window = orvex::wizard::startWizard(arguments);
    if (!window) return 0;  // another copy runs and has been told
    return QApplication::exec();
}
