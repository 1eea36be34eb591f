#pragma once
// Appends trace lines to the one log file all components share. Holds only the
// file's path: each line opens, appends and closes the file.
#include <string>

namespace orvex {

class clsLog {
public:
    // Chooses the path (registry value "ocardlog" or the default, which is
    // written back) and writes the start block.
    clsLog();
    ~clsLog();  // writes "clsLog.Class_Terminate()"
    clsLog(const clsLog&) = delete;
    clsLog& operator=(const clsLog&) = delete;

    // Appends one line: with withTime the local time "yyyy-mm-dd HH:MM:SS",
    // " - " and the text; otherwise the text alone. Control bytes of the text
    // (CR, LF, NUL, ESC, ... and DEL) are written as \xNN, so text from a
    // card, a file or a reader can never end the line or start a forged one.
    // Always answers true; a file that cannot be written is reported once on
    // standard error.
    bool log(const std::string& text, bool withTime = true);

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace orvex
