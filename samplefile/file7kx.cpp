#include "samplefile/file7kx.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "foundation/clsLog.h"
#include "foundation/modCommon.h"
#include "platform/fs/FileIo.h"
#include "samplefile/modDecimal.h"

namespace orvex {
namespace {

constexpr const char* kFormatName = "7kx/1.0.0";
constexpr size_t kCommentLength = 100;
constexpr size_t kCommentHalf = 50;

// Header fields: offset and length.
struct Span {
    size_t offset;
    size_t length;
};
constexpr Span kFormat{0, 25};
constexpr Span kStamp{25, 16};
constexpr Span kComment{42, 100};
constexpr Span kCreator{142, 24};
constexpr Span kFingerprint{166, 16};

std::string take(const std::string& header, Span span) {
    return header.substr(span.offset, span.length);
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t begin = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, begin)) {
        parts.push_back(text.substr(begin, at - begin));
        begin = at + 1;
    }
    parts.push_back(text.substr(begin));
    return parts;
}

}  // namespace

bool file7kx::loadFromFile(const std::string& path) {
    clsLog log;
    log.log("filename: " + path);
    loadError_ = LoadError::NotFound;
    if (!fileExists(path)) {
        log.log(path + " - File not found");
        return false;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(platform::pathFromUtf8(path), ec);
    loadError_ = LoadError::Unreadable;
    if (ec) return false;
    if (size != static_cast<std::uintmax_t>(kFileSize)) {
        log.log("filelen: " + std::to_string(size));
        loadError_ = LoadError::WrongSize;
        return false;
    }
    filename_ = path;
    std::ifstream in(platform::pathFromUtf8(path), std::ios::binary);
    if (!in || !readHeader(in, log) || !readSamples(in)) return false;
    loadError_ = LoadError::None;
    return verify();
}

bool file7kx::readHeader(std::istream& in, clsLog& log) {
    std::string header(kHeaderSize, '\0');
    if (!in.read(header.data(), kHeaderSize)) return false;
    formatName_ = trimBlanks(take(header, kFormat));
    log.log("file format: " + formatName_);
    if (formatName_ != kFormatName) {
        loadError_ = LoadError::WrongFormat;
        return false;
    }
    log.log("last modified: " + take(header, kStamp));
    lastModified_ = take(header, kStamp);
    log.log("lastmod: " + lastModified_);
    comment_ = take(header, kComment);
    log.log("comments: " + comment_);
    creator_ = trimBlanks(take(header, kCreator));
    log.log("creatorserial: " + creator_);
    fingerprint_ = take(header, kFingerprint);
    return true;
}

bool file7kx::readSamples(std::istream& in) {
    std::string bytes(kSampleBytes, '\0');
    if (!in.read(bytes.data(), kSampleBytes)) return false;
    for (int32_t i = 0; i < kSampleCount; ++i) {
        const auto lo = static_cast<uint8_t>(bytes[2 * i]);
        const auto hi = static_cast<uint8_t>(bytes[2 * i + 1]);
        samples_[i] = static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
    }
    return true;
}

void file7kx::setComment(const std::string& text) { comment_ = text.substr(0, kCommentLength); }

std::string file7kx::comment1() const { return comment_.substr(0, kCommentHalf); }

std::string file7kx::comment2() const {
    return comment_.size() > kCommentHalf ? comment_.substr(kCommentHalf, kCommentHalf) : std::string();
}

void file7kx::setComment1(const std::string& text) { overwriteComment(0, text); }
void file7kx::setComment2(const std::string& text) { overwriteComment(kCommentHalf, text); }

void file7kx::overwriteComment(size_t from, const std::string& text) {
    if (from >= comment_.size()) return;
    const size_t count = std::min({text.size(), kCommentHalf, comment_.size() - from});
    comment_.replace(from, count, text, 0, count);
}

std::string file7kx::creatorPart(size_t index) const {
    if (creator_.empty()) return {};
    const auto parts = split(creator_, '/');
    return index < parts.size() ? parts[index] : std::string();
}

int32_t file7kx::versionPart(size_t index) const {
    const std::string version = creatorversion();
    if (version.empty()) return 0;
    const auto parts = split(version, '.');
    if (index >= parts.size()) return 0;
    return static_cast<int32_t>(
        roundedDecimalInRange(parts[index], INT32_MIN, INT32_MAX).value_or(0));
}

std::string file7kx::creator() const {
    if (creator_.find('/') == std::string::npos) return creator_;
    return creatorname() + " " + creatorversion();
}

void file7kx::setCreator(const std::string& text) {
    std::string nameVersion = text;
    if (std::count(text.begin(), text.end(), '/') != 1) nameVersion += "/";
    const std::string kept = serial();
    creator_ = kept.empty() ? nameVersion : nameVersion + "/" + kept;
}

void file7kx::setSerial(const std::string& text) {
    creator_ = creatorname() + "/" + creatorversion() + "/" + text;
}

std::string file7kx::sampledata() const {
    std::string bytes;
    bytes.reserve(kSampleBytes);
    for (const int16_t value : samples_) {
        const auto word = static_cast<uint16_t>(value);
        bytes += static_cast<char>(word & 0xFF);
        bytes += static_cast<char>(word >> 8);
    }
    return bytes;
}

}  // namespace orvex
