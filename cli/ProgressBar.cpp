#include "cli/ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <string>

namespace orvex::cli {

ProgressBar::ProgressBar(std::FILE* out, bool enabled) : out_(out), enabled_(enabled) {}

ProgressBar::~ProgressBar() { finish(); }

bool ProgressBar::stderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void ProgressBar::setMaximum(int maximum) {
    maximum_ = std::max(0, maximum);
    draw();
}

void ProgressBar::setValue(int value) {
    value_ = std::clamp(value, 0, std::max(maximum_, value));
    draw();
}

void ProgressBar::finish() {
    if (enabled_ && drawn_) std::fputc('\n', out_);
    drawn_ = false;
    lastPercent_ = -1;
}

void ProgressBar::draw() {
    if (!enabled_ || maximum_ <= 0) return;
    const int percent = static_cast<int>(100LL * std::min(value_, maximum_) / maximum_);
    if (percent == lastPercent_) return;  // one redraw per visible step
    lastPercent_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    const std::string bar = std::string(filled, '#') + std::string(kWidth - filled, '.');
    std::fprintf(out_, "\r[%s] %3d%% %d/%d", bar.c_str(), percent, value_, maximum_);
    std::fflush(out_);
    drawn_ = true;
}

}  // namespace orvex::cli
