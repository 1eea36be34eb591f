#include "platform/sim/SimDirectory.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/fs/FileIo.h"
#include "platform/sim/SimLayout.h"

namespace orvex::platform {
namespace fs = std::filesystem;

namespace {

using sim::kCardFile;
using sim::kFaultsFile;
using sim::kPulledCardFile;
using sim::validReaderName;

SimResult ioError(const std::error_code& ec) { return {SimError::Io, ec.message()}; }

// Existence tests that answer false instead of throwing when a folder cannot
// be examined.
bool present(const fs::path& p) {
    std::error_code ec;
    return fs::exists(p, ec);
}
bool isFolder(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

}  // namespace

std::string SimDirectory::readerDir(const std::string& reader) const {
    return utf8Of(pathFromUtf8(dir_) / pathFromUtf8(reader));
}

SimResult SimDirectory::init() {
    std::error_code ec;
    fs::create_directories(pathFromUtf8(dir_), ec);
    if (ec) return ioError(ec);
    if (!readers().empty()) return {};  // an existing set-up is kept as it is
    return plug(kDefaultReader);
}

SimResult SimDirectory::plug(const std::string& reader) {
    if (!validReaderName(reader)) return {SimError::BadName, reader};
    std::error_code ec;
    fs::create_directories(pathFromUtf8(readerDir(reader)), ec);
    return ec ? ioError(ec) : SimResult{};
}

SimResult SimDirectory::unplug(const std::string& reader) {
    if (!validReaderName(reader) || !isFolder(pathFromUtf8(readerDir(reader))))
        return {SimError::NoSuchReader, reader};
    std::error_code ec;
    fs::remove_all(pathFromUtf8(readerDir(reader)), ec);
    return ec ? ioError(ec) : SimResult{};
}

SimResult SimDirectory::resolve(const std::string& reader, std::string& resolved) const {
    if (reader.empty()) {
        const auto all = readers();
        if (all.empty()) return {SimError::NoReaders, {}};
        resolved = all.front();
        return {};
    }
    if (!validReaderName(reader) || !isFolder(pathFromUtf8(readerDir(reader))))
        return {SimError::NoSuchReader, reader};
    resolved = reader;
    return {};
}

SimResult SimDirectory::insert(const std::string& reader, const std::optional<std::string>& image) {
    std::string name;
    if (SimResult r = resolve(reader, name); !r.ok()) return r;
    const fs::path dir = pathFromUtf8(readerDir(name));
    if (present(dir / kCardFile)) return {SimError::CardPresent, name};
    std::error_code ec;
    if (!image && present(dir / kPulledCardFile)) {
        fs::rename(dir / kPulledCardFile, dir / kCardFile, ec);
        return ec ? ioError(ec) : SimResult{};
    }
    // The card appears whole or not at all: a reader polling the folder never
    // sees half a file.
    if (!replaceFile(utf8Of(dir / kCardFile), image ? *image : std::string(kCardSize, ' ')))
        return {SimError::Io, "cannot write " + utf8Of(dir / kCardFile)};
    return {};
}

SimResult SimDirectory::remove(const std::string& reader) {
    std::string name;
    if (SimResult r = resolve(reader, name); !r.ok()) return r;
    const fs::path dir = pathFromUtf8(readerDir(name));
    if (!present(dir / kCardFile)) return {SimError::NoCard, name};
    std::error_code ec;
    fs::rename(dir / kCardFile, dir / kPulledCardFile, ec);  // kept, so it can be inserted again
    return ec ? ioError(ec) : SimResult{};
}

std::vector<std::string> SimDirectory::readers() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(pathFromUtf8(dir_), ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec)) names.push_back(utf8Of(it->path().filename()));
    }
    std::sort(names.begin(), names.end());  // byte order, as the back end lists them
    return names;
}

std::vector<SimReaderStatus> SimDirectory::status() const {
    std::vector<SimReaderStatus> result;
    for (const auto& name : readers()) {
        const fs::path dir = pathFromUtf8(readerDir(name));
        SimReaderStatus s{name, present(dir / kCardFile), present(dir / kPulledCardFile), {}};
        std::ifstream faults(dir / kFaultsFile);
        for (std::string line; std::getline(faults, line) && s.faults.size() < 32;) {
            if (!line.empty()) s.faults.push_back(line.substr(0, 200));
        }
        result.push_back(std::move(s));
    }
    return result;
}

}  // namespace orvex::platform
