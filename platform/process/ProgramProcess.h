#pragma once
// What a program needs from its own process: where its executable lies, its
// environment, the user's own folder, the operator's language and a way to
// hear the operator's Ctrl+C.
#include <atomic>
#include <string>

namespace orvex::platform {

// The directory of the running executable as UTF-8 text; empty when the
// system does not say.
std::string executableDirectory();

// A variable of the process's environment as UTF-8 text (on Windows read in
// UTF-16, so a folder of any name arrives whole); empty when it is not set.
// Read on every call, so a change is followed at once.
std::string environmentVariable(const char* name);

// The user's own folder for what the program writes besides its settings (the
// trace log when the program's folder takes none), as UTF-8 text; it may not
// exist yet. Empty when the system names none.
//   Windows: <local application data>\Tessovanwerk\OrvexCard
//   POSIX:   $XDG_STATE_HOME/OrvexCard (default ~/.local/state/OrvexCard)
std::string userStateDirectory();

// Whether dir (UTF-8) is one of the folders where the system keeps installed
// programs, which hold no files of a program's own even when the user may
// write there (root running a packaged program): on POSIX systems /usr, /bin,
// /sbin, /opt, /snap and everything below them. On Windows writability alone
// decides (Program Files takes no file of an operator's).
bool isSystemProgramFolder(const std::string& dir);

// The operator's language as the locale names it, lower case ("de_de.utf-8",
// "en"; on POSIX systems the first of LC_ALL, LC_MESSAGES, LANG that is set),
// or on Windows the two letters of the user's interface language ("de").
// Empty when the system names none.
std::string userLanguage();

// From now on Ctrl+C (and on POSIX a termination request) sets requested
// instead of ending the process; the program checks it where it can stop
// cleanly. requested must live until the process ends.
void installInterruptHandler(std::atomic<bool>& requested);

}  // namespace orvex::platform
