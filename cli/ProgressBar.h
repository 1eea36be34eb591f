#pragma once
// A one-line progress bar on standard error, drawn only when standard error
// is a terminal, so logs and pipes stay clean.
#include <cstdio>

namespace orvex::cli {

class ProgressBar {
public:
    explicit ProgressBar(std::FILE* out, bool enabled);
    ~ProgressBar();  // ends the line if one was drawn
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void setMaximum(int maximum);
    void setValue(int value);
    void finish();

    // True when stderr is a terminal.
    static bool stderrIsTerminal();

private:
    void draw();

    std::FILE* out_;
    bool enabled_;
    bool drawn_ = false;
    int maximum_ = 0;
    int value_ = 0;
    int lastPercent_ = -1;
};

}  // namespace orvex::cli
