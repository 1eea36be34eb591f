#pragma once
// What the drink card and the station card have in common: every field of the
// card layout, read and written through the assigned reader, and the three
// operations that change a whole card. The kinds differ only in their texts,
// their reserved range and the station card's two flags.
//
// Texts are card bytes (Windows-1252, one char per byte). Every setter and
// operation answers whether all of its writes reached the card; a write that
// the reader refused stops the operation at once.
//
// The write orders are chosen for a card pulled between any two writes:
// - formatCard: fileLength "0" first, then company, purpose, version, serial,
//   time stamp, card id, duration, counter, name, the station flags, the
//   reserved header bytes, the file fields, the reserved file bytes and the
//   blank data area. Whatever header a half-formatted card verifies with, it
//   holds no sample.
// - writeFile7kx: fileLength "0" first, then comment, file time stamp, file
//   serial and data, and the real fileLength as the very last write: a card
//   pulled on the way holds no sample or the whole new one. stageFile7kx and
//   commitFile7kx are its two halves, for a caller with more to write before
//   the sample may count (orvexcard writes the header, name, duration and
//   flags between them).
// - formatCardHeader keeps the stored sample as it is; orvexcard calls it
//   only between the two halves, while fileLength is "0".
//
// A card may answer every write with success and still not keep a byte (a
// worn cell). Every byte a format or a sample write writes is recorded and
// read back: a format at its end; a sample write before the real fileLength
// (everything staged and whatever the caller wrote between the halves: the
// header, name, duration and flags), and the real fileLength once more after
// it. A card that did not keep what was written fails the operation and never
// offers a sample: the real fileLength is not written, and a file length that
// no longer reads as 0 is blanked.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "cards/WriteRecord.h"
#include "cards/modCardLayout.h"
#include "foundation/clsLog.h"

namespace orvex {

class reader;
class file7kx;

class CardObject {
public:
    virtual ~CardObject() = default;
    CardObject(const CardObject&) = delete;
    CardObject& operator=(const CardObject&) = delete;

    const std::string& requested_cardtype() const { return texts_.cardtype; }
    const std::string& requested_cardversion() const { return texts_.version; }
    const std::string& requested_cardversionRO() const { return texts_.versionRO; }

    // Takes the reader while its card is "active"; otherwise nothing changes.
    bool assign_reader(reader& rd);

    std::string cardCompany(bool trimmed);
    std::string cardPurpose(bool trimmed);
    bool setCardPurpose(bool trimmed, const std::string& text);
    std::string cardversion(bool trimmed);
    std::string cardid();  // 16 raw bytes or "failed"
    std::string cardSerial(bool trimmed);
    std::string cardName(bool trimmed);
    bool setCardName(bool trimmed, const std::string& text);
    std::string cardLastModified();
    // Decimal text of the two bytes, or "failed".
    std::string cardDuration();
    // Refuses, before writing, a text that is not a number within 0..65535.
    bool setCardDuration(const std::string& value);
    // 0 when the block cannot be read or neither copy is intact.
    int32_t cardPlaybCounter();
    // Limits value to 0..65535 (the caller sees the limited value). Without a
    // readable card id the block becomes blanks and the answer is false.
    bool setCardPlaybCounter(int32_t& value);

    // "0" unless the field holds a number.
    std::string fileLength();
    // The file fields read empty while fileLength is not above 0.
    std::string fileLastModified();
    std::string fileComments();
    std::string fileSerial();
    std::string fileFingerprint();
    // At most the data area, whatever fileLength claims.
    std::string filedata();

    // Writes the sample and its file fields; the header is left alone.
    bool writeFile7kx(const file7kx& file);
    // Everything of writeFile7kx but the real fileLength, which stays "0".
    bool stageFile7kx(const file7kx& file);
    // The real fileLength for the staged file: the last write of a sample.
    bool commitFile7kx(const file7kx& file);
    // Makes the card this kind, keeping serial, name, stamp, company and sample.
    // Not read back on its own: commitFile7kx reads back its writes.
    bool formatCardHeader();
    bool formatCard(const std::string& serial, int32_t& counter, bool writeable);

    // Of the last format or sample write: the first offset the card did not
    // keep (nothing when every byte read back as written, or the operation
    // ended before its read-back), and the time spent reading back.
    std::optional<int32_t> notKeptAt() const { return notKeptAt_; }
    std::chrono::steady_clock::duration readBackTime() const { return readBackTime_; }

protected:
    struct KindTexts {
        std::string className;
        std::string cardtype;
        std::string version;
        std::string versionRO;
        int32_t reservedFrom;  // first reserved header byte, up to 255
    };
    explicit CardObject(KindTexts texts);

    bool setFileComments(const std::string& text);
    bool writeFlag(layout::Field field, bool trimmed, bool value);
    bool readFlag(layout::Field field, bool trimmed);
    clsLog& log() { return log_; }

private:
    // Kind-specific parts of the two format operations.
    virtual bool clearKindFields() { return true; }
    virtual void logSampleWritten() {}

    bool setCardCompany(bool trimmed, const std::string& text);
    bool setCardversion(bool trimmed, const std::string& text);
    bool setCardid(const std::string& id);
    bool setCardSerial(bool trimmed, const std::string& text);
    bool setCardLastModified(const std::string& stamp);
    bool setFileLength(const std::string& text);
    bool setFileLastModified(const std::string& text);
    bool setFileSerial(const std::string& text);
    bool setFileFingerprint(const std::string& text);

    bool sampleWritten(bool ok);
    void beginOperation();
    bool readBack();
    bool cardKeptRecord();
    void withdrawSample();
    bool writeNewCardId(std::string& id);
    bool writeBlanks(int32_t from, int32_t to);
    bool fileFieldsPresent();
    std::string fileField(layout::Field field);
    std::string readField(layout::Field field, bool trimmed);
    bool writeField(layout::Field field, const std::string& data, bool trimmed);
    void logFormatEnd(bool ok, const std::string& okLine, const std::string& newId);

    KindTexts texts_;
    clsLog log_;
    reader* reader_ = nullptr;
    WriteRecord written_;  // every byte written since the operation began
    std::optional<int32_t> notKeptAt_;
    std::chrono::steady_clock::duration readBackTime_{};
};

}  // namespace orvex
