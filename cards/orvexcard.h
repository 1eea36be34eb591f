#pragma once
// The one object through which the programs deal with the inserted card: it
// identifies and verifies the card and hands formatting and sample writes to
// the drink or the station card object.
//
// Human text crosses here: the name and serial given to it are UTF-8 and go
// onto the card as Windows-1252 (a character outside that code page becomes
// '?'); cardName and fileComments come back as UTF-8. The card objects below
// deal in card bytes only.
//
// Both read back what they wrote (CardObject.h): a card that does not keep
// a byte fails the operation and offers no sample.
//
// A card may leave the reader between any two writes. formatCard sets
// fileLength "0" before anything else; writeFile7kx sets it "0" first and to
// the real length last, after the sample, the header for the kind, the name,
// the duration and the station flags. A card pulled on the way fails to
// verify, or verifies without a sample, or with exactly its old or exactly
// its new content.
//
// Each verification, format and sample write holds the card for itself
// (reader::beginExclusive): no other program reads or writes it meanwhile.
// One that cannot have the card within the reader's wait fails untouched.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "cards/odrinkcard.h"
#include "cards/otherapycard.h"
#include "foundation/clsLog.h"
#include "readers/ExclusiveCard.h"

namespace orvex {

class reader;
class file7kx;

constexpr int32_t cardTypeNone = 0;
constexpr int32_t cardTypeDrink = 1;
constexpr int32_t cardTypeStation = 2;

class orvexcard {
public:
    orvexcard();
    orvexcard(const orvexcard&) = delete;
    orvexcard& operator=(const orvexcard&) = delete;

    bool OCardFound() const { return found_; }
    int32_t OCardDefinedType() const { return definedType_; }
    bool OCardDataError() const { return dataError_; }
    // Every card may be written, a read-only formatted one included.
    bool isWriteable() const { return true; }

    std::string cardName(bool trimmed);
    // Station cards: minutes (seconds / 60, a half to even); others as stored.
    std::string cardDuration();
    bool cardCombineSeq();
    bool cardPlacebo();
    std::string fileComments();

    // -1 when the card is "active" and both card objects took the reader,
    // else -2 (an earlier reader stays assigned when the card is not active).
    int16_t assign(reader& rd);
    bool verifyCard();
    // Formats kind 1 or 2 with the full counter whatever counter says; false
    // for any other kind or when a write failed. Either way the state values
    // are reset: verify the card again to learn its state.
    bool formatCard(int32_t kind, const std::string& serial, int32_t counter, bool writeable);
    // Writes fileLength "0", the sample's file fields and data, then makes
    // the header match the kind, then name, duration and (station) flags,
    // then the real fileLength. A duration that is not a number within
    // 0..65535 is refused before anything is written. kind becomes 0 when
    // the header could not be made to match.
    bool writeFile7kx(const file7kx& file, int32_t& kind, const std::string& name,
                      const std::string& duration, bool combineSeq, bool placebo);

    // Of the last format or sample write: the first offset the card did not
    // keep (it answered the write with success, but reads back another
    // byte), when that is why the operation failed; and the time it spent
    // reading back what it wrote.
    std::optional<int32_t> notKeptAt() const;
    std::chrono::steady_clock::duration readBackTime() const;

    // The card object whose fields describe the card: the station card's for
    // kind 2, the drink card's otherwise (the layout is the same up to the
    // station card's flags).
    CardObject& cardObject() { return cardOf(definedType_); }

private:
    struct Guess {
        int32_t kind = cardTypeNone;
        bool recognised = false;
    };

    void setOCardFound(bool value) { found_ = value; }
    void setOCardDefinedType(int32_t value) { definedType_ = value; }
    void setOCardDataError(bool value) { dataError_ = value; }
    bool verifyCard_chkalg();
    Guess guessCardType();
    bool ensureCardType(int32_t kind);
    ExclusiveCard holdCard();
    bool writeHeldSample(CardObject& card, const file7kx& file, int32_t& kind, const std::string& name,
                         const std::string& duration, bool combineSeq, bool placebo);

    CardObject& cardOf(int32_t kind);
    bool headerVerifies(CardObject& card);
    void logVerified(CardObject& card);
    void logNotVerified();

    clsLog log_;
    reader* reader_ = nullptr;
    odrinkcard drink_;
    otherapycard station_;
    bool found_ = false;
    int32_t definedType_ = cardTypeNone;
    bool dataError_ = false;
    CardObject* operated_ = nullptr;  // the card object of the last format or sample write
};

}  // namespace orvex
