#pragma once
// The decisions the operator's two tasks take before and after they reach the
// card, shared by the window and the command-line program: which kind to use,
// how the entered duration is stored, the creator text of a format, and which
// message reports a sample write.
#include <cstdint>
#include <optional>
#include <string>

#include "foundation/appInfo.h"

namespace orvex {

class file7kx;

namespace tasks {

// Kind for a format or a sample write: the chosen one, else the card's own,
// else drink.
int32_t taskKind(std::optional<int32_t> chosen, int32_t cardDefinedType);

// The number an operator's duration entry holds: plain decimal digits with
// at most one point ("12", "2.5"); nothing for anything else.
std::optional<double> durationEntry(const std::string& entered);

// The duration text as the card stores it: "0" unless the entry is a number
// above 0; a station card's entry is minutes, rounded half to even and
// stored as seconds; other kinds keep the entry as typed (seconds).
std::string durationForCard(int32_t kind, const std::string& entered);

// "ocard/" major.minor.revision "/" installation serial.
std::string formatCreatorText(const AppVersion& version, uint32_t installationSerial);
// This installation's serial number: kept in the user's settings, drawn at
// random on first use.
uint32_t installationSerial();

// Whether a sample file comes from a creator version the devices accept.
bool creatorVersionAllowed(const file7kx& file);

// How a sample write is reported: the message text offset and its suffix.
struct WriteReport {
    int textOffset = 0;  // 612, 614 or 617
    std::string suffix;  // " (612-100)", " (614-100)", " (614-101)", " (617-100)"
    bool success = false;
};
// kind as the write left it (0 when the header could not be matched).
WriteReport writeReport(bool written, const file7kx& file, int32_t kind);

}  // namespace tasks
}  // namespace orvex
