#include "cards/CardObject.h"

#include <algorithm>

#include "foundation/modCommon.h"
#include "foundation/modHash.h"
#include "foundation/modUTC.h"
#include "readers/reader.h"
#include "samplefile/file7kx.h"
#include "samplefile/modDecimal.h"

namespace orvex {
namespace {

constexpr const char* kFormattedName = "OrvexCard";

// Formatting writes full field widths: optimizeWrite is off for the operation
// and back to what it was afterwards, whichever way the operation ends.
class FullWidthWrites {
public:
    explicit FullWidthWrites(reader* rd) : reader_(rd), saved_(rd && rd->optimizeWrite()) {
        if (reader_) reader_->setOptimizeWrite(false);
    }
    ~FullWidthWrites() {
        if (reader_) reader_->setOptimizeWrite(saved_);
    }
    FullWidthWrites(const FullWidthWrites&) = delete;
    FullWidthWrites& operator=(const FullWidthWrites&) = delete;

private:
    reader* reader_;
    bool saved_;
};

std::string trueFalse(bool value) { return value ? "True" : "False"; }

std::string hexByte(char c) { return "0x" + toHexText(std::string(1, c)); }

}  // namespace

CardObject::CardObject(KindTexts texts) : texts_(std::move(texts)) {
    log_.log(texts_.className + ".Class_Initialize()");
}

bool CardObject::assign_reader(reader& rd) {
    if (rd.cardConnected() != state::kActive) return false;
    reader_ = &rd;
    return true;
}

// --- header fields --------------------------------------------------------

std::string CardObject::cardCompany(bool trimmed) { return readField(layout::kCompany, trimmed); }
bool CardObject::setCardCompany(bool trimmed, const std::string& text) {
    return writeField(layout::kCompany, text, trimmed);
}

std::string CardObject::cardPurpose(bool trimmed) { return readField(layout::kPurpose, trimmed); }
bool CardObject::setCardPurpose(bool trimmed, const std::string& text) {
    return writeField(layout::kPurpose, text, trimmed);
}

std::string CardObject::cardversion(bool trimmed) { return readField(layout::kVersion, trimmed); }
bool CardObject::setCardversion(bool trimmed, const std::string& text) {
    return writeField(layout::kVersion, text, trimmed);
}

std::string CardObject::cardid() { return readField(layout::kCardId, false); }
// An empty id (the digest failed) still blanks the field, and is a failure.
bool CardObject::setCardid(const std::string& id) {
    return writeField(layout::kCardId, id, true) && id.size() == 16;
}

std::string CardObject::cardSerial(bool trimmed) { return readField(layout::kSerial, trimmed); }
bool CardObject::setCardSerial(bool trimmed, const std::string& text) {
    return writeField(layout::kSerial, text, trimmed);
}

std::string CardObject::cardName(bool trimmed) { return readField(layout::kName, trimmed); }
bool CardObject::setCardName(bool trimmed, const std::string& text) {
    return writeField(layout::kName, text, trimmed);
}

std::string CardObject::cardLastModified() { return readField(layout::kLastModified, true); }
bool CardObject::setCardLastModified(const std::string& stamp) {
    return writeField(layout::kLastModified, stamp, true);
}

std::string CardObject::cardDuration() {
    const std::string raw = readField(layout::kDuration, false);
    if (raw.size() != 2) return kReadFailed;
    const int value = static_cast<uint8_t>(raw[0]) * 256 + static_cast<uint8_t>(raw[1]);
    return std::to_string(value);
}

bool CardObject::setCardDuration(const std::string& value) {
    const auto number = roundedDecimalInRange(value, 0, 65535);
    if (!number) {
        log_.log("  FAILED: duration \"" + value + "\" is not a number from 0 to 65535");
        return false;
    }
    const std::string bytes{static_cast<char>(*number >> 8), static_cast<char>(*number & 0xFF)};
    return writeField(layout::kDuration, bytes, true);
}

int32_t CardObject::cardPlaybCounter() {
    const std::string block = readField(layout::kPlaybCounter, false);
    if (block == kReadFailed) return 0;
    return decodePlaybCounter(block, cardid());
}

bool CardObject::setCardPlaybCounter(int32_t& value) {
    value = std::clamp(value, 0, 65535);
    const std::string key = cardid();
    const std::string a = encodePlaybCounter(value, key);
    const std::string b = encodePlaybCounter(value, key);
    if (a.empty() || b.empty()) {
        writeField(layout::kPlaybCounter, std::string(layout::kPlaybCounter.width, ' '), false);
        log_.log("  FAILED: no card id to protect the counter with");
        return false;
    }
    return writeField(layout::kPlaybCounter, a + b, true);
}

bool CardObject::readFlag(layout::Field field, bool trimmed) {
    return readField(field, trimmed) == "1";
}

bool CardObject::writeFlag(layout::Field field, bool trimmed, bool value) {
    return writeField(field, value ? std::string("1") : std::string(1, '\0'), trimmed);
}

// --- file fields ----------------------------------------------------------

std::string CardObject::fileLength() {
    const std::string text = readField(layout::kFileLength, true);
    return decimalValue(text) ? text : "0";
}
bool CardObject::setFileLength(const std::string& text) {
    return writeField(layout::kFileLength, text, false);
}

bool CardObject::fileFieldsPresent() { return decimalValue(fileLength()).value_or(0) > 0; }

std::string CardObject::fileField(layout::Field field) {
    return fileFieldsPresent() ? readField(field, true) : std::string();
}

std::string CardObject::fileLastModified() { return fileField(layout::kFileLastModified); }
bool CardObject::setFileLastModified(const std::string& text) {
    return writeField(layout::kFileLastModified, text, false);
}

std::string CardObject::fileComments() { return fileField(layout::kFileComments); }
bool CardObject::setFileComments(const std::string& text) {
    return writeField(layout::kFileComments, text, false);
}

std::string CardObject::fileSerial() { return fileField(layout::kFileSerial); }
bool CardObject::setFileSerial(const std::string& text) {
    return writeField(layout::kFileSerial, text, false);
}

std::string CardObject::fileFingerprint() { return fileField(layout::kFileFingerprint); }
bool CardObject::setFileFingerprint(const std::string& text) {
    return writeField(layout::kFileFingerprint, text, true);
}

// The stored length comes from the card: never read past the data area.
std::string CardObject::filedata() {
    const double stored = decimalValue(fileLength()).value_or(0);
    const double length = std::min(roundHalfEven(stored), double{layout::kFileData.width});
    if (!(length > 0)) return {};
    return readField({layout::kFileData.offset, static_cast<int32_t>(length)}, false);
}

// --- whole-card operations ------------------------------------------------

bool CardObject::writeFile7kx(const file7kx& file) {
    return stageFile7kx(file) && commitFile7kx(file);
}

bool CardObject::stageFile7kx(const file7kx& file) {
    beginOperation();
    log_.log(texts_.className + ".writefile7kx(" + file.filename() + ")");
    if (!file.verify()) return false;
    // A path is native (UTF-8); the card takes Windows-1252.
    const std::string comment = trimBlanks(file.comment()).empty()
                                    ? utf8ToWindows1252(getBaseName(file.filename()))
                                    : file.comment();
    return sampleWritten(
        setFileLength("0") && setFileComments(comment) && setFileLastModified(file.lastModified()) &&
        setFileSerial(file.serial() + "/" + file.creatorname() + "/" + file.creatorversion()) &&
        writeField(layout::kFileData, file.sampledata(), true));
}

// The sample counts only once the card holds every byte written for it, so
// a card that did not keep them keeps file length 0 (or its old content).
bool CardObject::commitFile7kx(const file7kx& file) {
    if (!readBack()) {
        withdrawSample();
        return sampleWritten(false);
    }
    written_.clear();
    const size_t stored =
        std::min(file.sampledata().size(), static_cast<size_t>(layout::kFileData.width));
    if (!sampleWritten(setFileLength(std::to_string(stored)))) return false;
    if (!readBack()) {
        withdrawSample();
        return sampleWritten(false);
    }
    logSampleWritten();
    return true;
}

bool CardObject::sampleWritten(bool ok) {
    if (!ok) log_.log("  FAILED: sample not written");
    return ok;
}

bool CardObject::formatCardHeader() {
    const std::string oldId = cardid();
    log_.log(texts_.className + ".formatCardHeader (" + texts_.cardtype + ")");
    log_.log("  oCID=" + oldId);
    std::string newId;
    int32_t full = kFullPlaybCounter;
    bool ok = false;
    {
        FullWidthWrites fullWidth(reader_);
        ok = setCardPurpose(true, texts_.cardtype) && setCardversion(true, texts_.version) &&
             writeNewCardId(newId) && setCardDuration("0") && setCardPlaybCounter(full) &&
             clearKindFields() && writeBlanks(texts_.reservedFrom, layout::kHeaderReservedEnd);
    }
    logFormatEnd(ok, "  format card purpose: ok", newId);
    return ok;
}

bool CardObject::formatCard(const std::string& serial, int32_t& counter, bool writeable) {
    beginOperation();
    const std::string oldId = cardid();
    log_.log(texts_.className + ".formatCard(" + texts_.cardtype + ", " + serial + ", " +
             std::to_string(counter) + ", " + trueFalse(writeable) + ")");
    log_.log("  oCID=" + oldId);
    std::string newId;
    bool ok = false;
    {
        FullWidthWrites fullWidth(reader_);
        ok = setFileLength("0") && setCardCompany(true, kCardCompany) &&
             setCardPurpose(true, texts_.cardtype) &&
             setCardversion(true, writeable ? texts_.version : texts_.versionRO) &&
             setCardSerial(true, serial) &&
             setCardLastModified(formatUtcStamp(utcNow(), "YYYYMMDD", "HHMMSS")) &&
             writeNewCardId(newId) && setCardDuration("0") && setCardPlaybCounter(counter) &&
             setCardName(false, kFormattedName) && clearKindFields() &&
             writeBlanks(texts_.reservedFrom, layout::kHeaderReservedEnd) &&
             setFileLastModified("") && setFileComments("") && setFileSerial("") &&
             setFileFingerprint("") &&
             writeBlanks(layout::kFileReserved.offset,
                         layout::kFileReserved.offset + layout::kFileReserved.width) &&
             writeField(layout::kFileData, "", true);
    }
    if (ok && !readBack()) {
        withdrawSample();
        ok = false;
    }
    logFormatEnd(ok, "  format: ok", newId);
    return ok;
}

// The id covers the header texts as the card holds them now (a serial that
// was too long counts as cut to its field).
bool CardObject::writeNewCardId(std::string& id) {
    id = computeCardId(cardSerial(true), cardLastModified(), cardversion(true), cardCompany(true),
                       cardPurpose(true));
    return setCardid(id);
}

bool CardObject::writeBlanks(int32_t from, int32_t to) {
    return writeField({from, to - from}, std::string(static_cast<size_t>(to - from), ' '), false);
}

void CardObject::logFormatEnd(bool ok, const std::string& okLine, const std::string& newId) {
    if (!ok) {
        log_.log("  FAILED: the card was not completely written");
        return;
    }
    log_.log(okLine);
    log_.log("  nCID=" + toHexText(newId));
}

// --- read-back --------------------------------------------------------------

void CardObject::beginOperation() {
    written_.clear();
    notKeptAt_.reset();
    readBackTime_ = {};
}

bool CardObject::readBack() {
    const auto start = std::chrono::steady_clock::now();
    const bool kept = cardKeptRecord();
    readBackTime_ += std::chrono::steady_clock::now() - start;
    return kept;
}

// One read per block of the record (a whole format is one block).
bool CardObject::cardKeptRecord() {
    if (!reader_) return false;
    for (const layout::Field block : written_.blocks()) {
        const std::string read = reader_->readOffset(block.offset, block.width, false);
        if (read.size() != static_cast<size_t>(block.width)) {
            log_.log("  FAILED: readOffset(" + std::to_string(block.offset) + ", " +
                     std::to_string(block.width) + ") to read back what was written");
            return false;
        }
        if (const auto at = written_.firstDifference(block, read)) {
            notKeptAt_ = at;
            log_.log("  FAILED: the card did not keep what was written: offset " + std::to_string(*at) +
                     " reads " + hexByte(read[static_cast<size_t>(*at - block.offset)]) + ", " +
                     hexByte(written_.expected(*at)) + " was written");
            return false;
        }
    }
    return true;
}

// Blanks read as no sample whichever single bit of them the card fails to
// keep; a "0" could turn into "1".
void CardObject::withdrawSample() {
    if (!fileFieldsPresent()) return;
    setFileLength("");
    log_.log(fileFieldsPresent() ? "  FAILED: the card still shows a sample" : "  file length withdrawn");
}

// --- reader access --------------------------------------------------------

std::string CardObject::readField(layout::Field field, bool trimmed) {
    if (!reader_) return kReadFailed;
    std::string text = reader_->readOffset(field.offset, field.width, trimmed);
    if (text != kReadFailed && text.size() > static_cast<size_t>(field.width)) {
        text.resize(static_cast<size_t>(field.width));
    }
    return text;
}

// Success only when the reader wrote every byte it was asked for: the full
// width, or the value's own bytes when it shortened the write.
bool CardObject::writeField(layout::Field field, const std::string& data, bool trimmed) {
    if (!reader_) return false;
    int32_t length = field.width;
    const int32_t written = reader_->writeOffset(field.offset, length, data, trimmed);
    if (written == length && length >= 0 && length <= field.width) {
        // What the reader wrote: the data cut to the length, blanks after it.
        std::string bytes = data.substr(0, static_cast<size_t>(length));
        bytes.resize(static_cast<size_t>(length), ' ');
        written_.add(field.offset, bytes);
        return true;
    }
    log_.log("  FAILED: writeOffset(" + std::to_string(field.offset) + ", " +
             std::to_string(field.width) + ")");
    return false;
}

}  // namespace orvex
