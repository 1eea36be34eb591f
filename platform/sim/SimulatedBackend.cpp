#include "platform/sim/SimulatedBackend.h"

#include "platform/fs/FileIo.h"
#include "platform/sim/SimLayout.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace orvex::platform {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kPollMs = 10;
constexpr size_t kMaxSmallFile = 4096;

std::string smallFile(const std::string& path) {
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    std::string text(kMaxSmallFile, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

// Parses card.type: a decimal byte, blanks and line ends around it allowed.
bool parseTypeByte(const std::string& text, uint8_t& type) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return false;
    const std::string digits = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    if (digits.size() > 3 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const int value = std::stoi(digits);
    if (value > 255) return false;
    type = static_cast<uint8_t>(value);
    return true;
}

void simulateLatency(const SimFaults& faults) {
    if (faults.latencyMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(faults.latencyMs));
}

}  // namespace

BackendStatus SimulatedBackend::listReaders(std::vector<std::string>& names) {
    names.clear();
    std::error_code error;
    fs::directory_iterator entries(pathFromUtf8(directory_), error);
    if (error)
        return BackendStatus::failure(BackendFault::Service,
                                      "the simulated reader directory " + directory_ + " cannot be read: " +
                                          error.message());
    for (const auto& entry : entries) {
        if (entry.is_directory(error)) names.push_back(utf8Of(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return BackendStatus::success();
}

BackendStatus SimulatedBackend::cardPresence(const std::string& reader, uint32_t waitMs, CardPresence& presence) {
    presence = presenceOf(reader);
    for (uint32_t waited = 0; presence == CardPresence::Absent && waited < waitMs; waited += kPollMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kPollMs, waitMs - waited)));
        presence = presenceOf(reader);
    }
    if (presence != CardPresence::Present) writesSincePull_.erase(reader);
    return BackendStatus::success();
}

BackendStatus SimulatedBackend::cardType(const std::string& reader, uint8_t& type) {
    std::string path;
    const BackendStatus status = cardFile(reader, path);
    if (status.fault() == BackendFault::Card) {
        type = 0;  // a card.bin of the wrong size: a card, but not one of ours
        return BackendStatus::success();
    }
    if (!status.ok()) return status;
    std::error_code error;
    const std::string typePath = readerPath(reader) + "/" + sim::kTypeFile;
    if (!fs::exists(pathFromUtf8(typePath), error)) {
        type = kMemoryCardTypeByte;
        return BackendStatus::success();
    }
    if (!parseTypeByte(smallFile(typePath), type))
        return BackendStatus::failure(BackendFault::Card, typePath + " does not hold a decimal byte");
    return BackendStatus::success();
}

BackendStatus SimulatedBackend::read(const std::string& reader, uint32_t offset, uint32_t length,
                                     std::string& bytes) {
    std::string path;
    BackendStatus status = cardFile(reader, path);
    if (!status.ok()) return status;
    simulateLatency(faultsOf(reader));
    if (!withinCard(offset, length))
        return BackendStatus::failure(BackendFault::Range, "range beyond the card");
    std::string error;
    const IoResult result = readAt(path, offset, length, bytes, error);
    if (result == IoResult::OpenFailed) return BackendStatus::failure(BackendFault::NoCard, path + ": " + error);
    if (result != IoResult::Ok) return BackendStatus::failure(BackendFault::Card, path + ": " + error);
    return BackendStatus::success();
}

// pull_after_writes counts successful write calls since the card went in;
// the card leaves the reader right after the Nth, so the next call of any
// kind finds no card. corrupt_write_at changes the bytes kept, not the answer.
BackendStatus SimulatedBackend::write(const std::string& reader, uint32_t offset, const std::string& data) {
    std::string path;
    BackendStatus status = cardFile(reader, path);
    if (!status.ok()) return status;
    const SimFaults faults = faultsOf(reader);
    simulateLatency(faults);
    uint32_t& written = writesSincePull_[reader];
    if (faults.pullAfterWrites && written >= *faults.pullAfterWrites) {
        pull(reader);
        return BackendStatus::failure(BackendFault::NoCard, "card pulled (pull_after_writes)");
    }
    if (faults.readOnly) return BackendStatus::failure(BackendFault::Protected, "card is read-only (read_only)");
    std::string kept = data;
    if (faults.corruptWriteAt && *faults.corruptWriteAt >= offset && *faults.corruptWriteAt - offset < kept.size())
        kept[*faults.corruptWriteAt - offset] ^= 0x01;
    status = writeOnce(reader, offset, kept);
    if (!status.ok()) return status;
    if (faults.pullAfterWrites && ++written >= *faults.pullAfterWrites) pull(reader);
    return status;
}

// Writes in place: the bytes are in the file, for every other process to
// see, when the call returns. A simulated card needs no protection against a
// crash of the whole machine, so it is not synced to the disk.
BackendStatus SimulatedBackend::writeOnce(const std::string& reader, uint32_t offset, const std::string& data) {
    if (data.size() > kMemoryCardSize || !withinCard(offset, static_cast<uint32_t>(data.size())))
        return BackendStatus::failure(BackendFault::Range, "range beyond the card");
    const std::string path = readerPath(reader) + "/" + sim::kCardFile;
    std::string error;
    const IoResult result = writeAt(path, offset, data, error);
    if (result == IoResult::OpenFailed) return BackendStatus::failure(BackendFault::NoCard, path + ": " + error);
    if (result != IoResult::Ok) return BackendStatus::failure(BackendFault::Card, path + ": write: " + error);
    return BackendStatus::success();
}

// A hold needs a card to hold; one already held here is simply kept.
BackendStatus SimulatedBackend::beginExclusive(const std::string& reader) {
    std::string path;
    const BackendStatus status = cardFile(reader, path);
    if (!status.ok()) return status;
    if (holds_.contains(reader)) return status;
    auto lock = std::make_unique<FileLock>();
    const std::string lockPath = readerPath(reader) + "/" + sim::kLockFile;
    switch (lock->tryAcquire(lockPath)) {
    case FileLock::Attempt::Taken:
        holds_[reader] = std::move(lock);
        return status;
    case FileLock::Attempt::Busy:
        return BackendStatus::failure(BackendFault::Busy, "another program holds the card (" + lockPath + ")");
    case FileLock::Attempt::Failed:
        break;
    }
    return BackendStatus::failure(BackendFault::Card, "cannot open the lock file " + lockPath);
}

BackendStatus SimulatedBackend::cardFile(const std::string& reader, std::string& path) {
    switch (presenceOf(reader)) {
    case CardPresence::ReaderGone:
        return BackendStatus::failure(BackendFault::Reader, "no simulated reader named \"" + reader + "\"");
    case CardPresence::Absent:
        writesSincePull_.erase(reader);  // the next card counts its own writes
        return BackendStatus::failure(BackendFault::NoCard, "no card in the simulated reader");
    case CardPresence::Present:
        break;
    }
    path = readerPath(reader) + "/" + sim::kCardFile;
    std::error_code error;
    const auto size = fs::file_size(pathFromUtf8(path), error);
    if (error) return BackendStatus::failure(BackendFault::NoCard, path + ": " + error.message());
    if (size != kMemoryCardSize) {
        return BackendStatus::failure(BackendFault::Card, path + " holds " + std::to_string(size) +
                                                              " bytes, not " + std::to_string(kMemoryCardSize));
    }
    return BackendStatus::success();
}

SimFaults SimulatedBackend::faultsOf(const std::string& reader) const {
    return SimFaults::parse(smallFile(readerPath(reader) + "/" + sim::kFaultsFile));
}

CardPresence SimulatedBackend::presenceOf(const std::string& reader) const {
    std::error_code error;
    if (!sim::validReaderName(reader) || !fs::is_directory(pathFromUtf8(readerPath(reader)), error)) return CardPresence::ReaderGone;
    return fs::is_regular_file(pathFromUtf8(readerPath(reader) + "/" + sim::kCardFile), error) ? CardPresence::Present
                                                                        : CardPresence::Absent;
}

void SimulatedBackend::pull(const std::string& reader) {
    std::error_code error;
    fs::rename(pathFromUtf8(readerPath(reader) + "/" + sim::kCardFile),
               pathFromUtf8(readerPath(reader) + "/" + sim::kPulledCardFile), error);
    writesSincePull_[reader] = 0;
}

}  // namespace orvex::platform
