#pragma once
// One reader folder of the simulated reader in a fresh directory, and either
// driver started on it the way the programs start theirs, so a test can run
// card operations through the real drivers and back end and look at the card
// file afterwards, also after a pull_after_writes fault. While it lives, the
// back end's failure lines (a pulled card makes many) are dropped instead of
// going to standard error.
#include <memory>
#include <string>

#include "platform/eventloop/VirtualEventLoop.h"
#include "readers/reader.h"

namespace orvex::test {

class SimulatedReaderCard {
public:
    SimulatedReaderCard();
    ~SimulatedReaderCard();

    // Puts the card into the reader, with a faults file of these lines.
    void insert(const std::string& image, const std::string& faults = "");
    // readerSCM or readerChipdrive, started, its card active, optimizeWrite on.
    std::unique_ptr<reader> startDriver(bool scm, platform::VirtualEventLoop& loop) const;
    // The card as it is now, or as it was when the fault pulled it.
    std::string card() const;
    // The reader's folder: renaming it away unplugs the reader.
    const std::string& readerDirectory() const { return dir_; }

private:
    std::string root_, dir_;
};

}  // namespace orvex::test
