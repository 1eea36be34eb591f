#pragma once
// One loaded .7kx sample file: a 182-byte text header (Windows-1252 bytes)
// and 4410 signed 16-bit samples. The path is a native file-system path
// (UTF-8 on Linux); every header text is kept as the file's own bytes.
#include <array>
#include <cstdint>
#include <istream>
#include <string>

namespace orvex {

class clsLog;

class file7kx {
public:
    static constexpr int32_t kFileSize = 9002;
    static constexpr int32_t kHeaderSize = 182;
    static constexpr int32_t kSampleCount = 4410;
    static constexpr int32_t kSampleBytes = 2 * kSampleCount;
    using Samples = std::array<int16_t, kSampleCount>;
    // Why the last load was refused, for the operator's message.
    enum class LoadError { None, NotFound, WrongSize, WrongFormat, Unreadable };

    // Reads and checks the file; every step leaves its own line in a log of
    // this load. Fields reached before a failure keep their new values.
    bool loadFromFile(const std::string& path);
    LoadError loadError() const { return loadError_; }
    // The format name the last load found (blanks removed at both ends).
    const std::string& formatName() const { return formatName_; }

    const std::string& filename() const { return filename_; }
    void setFilename(const std::string& path) { filename_ = path; }
    const std::string& lastModified() const { return lastModified_; }
    void setLastModified(const std::string& stamp) { lastModified_ = stamp; }

    const std::string& comment() const { return comment_; }
    // Keeps at most the first 100 characters.
    void setComment(const std::string& text);
    std::string comment1() const;
    std::string comment2() const;
    // Overwrite the comment from character 1 (or 51) with at most 50
    // characters of text, never beyond the comment's end: its length stays.
    void setComment1(const std::string& text);
    void setComment2(const std::string& text);

    // The creator text is name/version/serial.
    std::string creatorname() const { return creatorPart(0); }
    std::string creatorversion() const { return creatorPart(1); }
    // First and second "."-separated part of the version, 0 when not numeric.
    int32_t creatorversionMajor() const { return versionPart(0); }
    int32_t creatorversionMinor() const { return versionPart(1); }
    // "name version", or the whole creator text when it holds no "/".
    std::string creator() const;
    // Replaces name and version from a "name/version" text, keeping the serial.
    void setCreator(const std::string& text);
    std::string serial() const { return creatorPart(2); }
    void setSerial(const std::string& text);

    // The samples as the file holds them: 8820 bytes, low byte first.
    std::string sampledata() const;
    const Samples& sampledata_int() const { return samples_; }

    // Every file that passed the size and format checks is accepted; the
    // fingerprint is kept but not checked.
    bool verify() const { return true; }

private:
    bool readHeader(std::istream& in, clsLog& log);
    bool readSamples(std::istream& in);
    std::string creatorPart(size_t index) const;
    int32_t versionPart(size_t index) const;
    void overwriteComment(size_t from, const std::string& text);

    LoadError loadError_ = LoadError::None;
    std::string formatName_;
    std::string filename_;
    std::string lastModified_;
    std::string comment_;
    std::string creator_;
    std::string fingerprint_;
    Samples samples_{};
};

}  // namespace orvex
