#pragma once
// Manages the simulated reader directory (layout in SimLayout.h): plugs and
// unplugs readers, inserts and removes cards. A removed card waits as the
// pulled card until it is inserted again.
#include <optional>
#include <string>
#include <vector>

namespace orvex::platform {

enum class SimError { None, NoSuchReader, NoReaders, NoCard, CardPresent, BadName, Io };

struct SimResult {
    SimError error = SimError::None;
    std::string detail;  // the reader concerned, or the system's error text
    bool ok() const { return error == SimError::None; }
};

struct SimReaderStatus {
    std::string name;
    bool cardInserted = false;
    bool pulledCardWaiting = false;
    std::vector<std::string> faults;  // the non-empty lines of the faults file
};

class SimDirectory {
public:
    explicit SimDirectory(std::string directory) : dir_(std::move(directory)) {}

    static constexpr const char* kDefaultReader = "OrvexCard Simulated Reader 0";
    static constexpr size_t kCardSize = 16384;

    SimResult init();
    SimResult plug(const std::string& reader);
    SimResult unplug(const std::string& reader);
    // image: the card bytes to insert (exactly kCardSize); none: put back a
    // pulled card, or else insert a blank card (all blanks).
    SimResult insert(const std::string& reader, const std::optional<std::string>& image);
    SimResult remove(const std::string& reader);

    // Readers in byte order of their names.
    std::vector<std::string> readers() const;
    std::vector<SimReaderStatus> status() const;
    // The named reader, or the first one when the name is empty.
    SimResult resolve(const std::string& reader, std::string& resolved) const;

private:
    std::string readerDir(const std::string& reader) const;

    std::string dir_;
};

}  // namespace orvex::platform
