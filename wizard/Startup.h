#pragma once
// The wizard's start-up: one running copy, the language, the window, the
// command line, the reader choice, the driver.
#include <QStringList>
#include <memory>

namespace orvex::wizard {

class frmMain;

// Starts the wizard with the program's arguments (without the program
// name). Nothing when another copy runs: the arguments' sample file, if
// any, has been handed to it. The window is shown and its driver started
// unless the file-system component is missing.
std::unique_ptr<frmMain> startWizard(const QStringList& arguments);

}  // namespace orvex::wizard
