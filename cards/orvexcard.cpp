#include "cards/orvexcard.h"

#include <cctype>

#include "cards/modCardLayout.h"
#include "foundation/modCommon.h"
#include "readers/reader.h"
#include "samplefile/file7kx.h"
#include "samplefile/modDecimal.h"

namespace orvex {
namespace {

std::string quoted(const std::string& label, const std::string& value) {
    return label + "\"" + value + "\"";
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Positions where text matches expected, case aside.
int32_t matchingPositions(const std::string& expected, const std::string& text) {
    int32_t count = 0;
    for (size_t i = 0; i < expected.size() && i < text.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(expected[i])) ==
            std::tolower(static_cast<unsigned char>(text[i]))) {
            ++count;
        }
    }
    return count;
}

// Enough matching positions to call a damaged text recognisable.
bool halfMatches(const std::string& expected, int32_t count) {
    const auto length = static_cast<int32_t>(expected.size());
    return count >= length / 2 - length % 2;
}

}  // namespace

orvexcard::orvexcard() { log_.log("ocard.Class_Initialize()"); }

CardObject& orvexcard::cardOf(int32_t kind) {
    if (kind == cardTypeStation) return station_;
    return drink_;
}

std::string orvexcard::cardName(bool trimmed) {
    return windows1252ToUtf8(cardOf(definedType_).cardName(trimmed));
}

std::string orvexcard::cardDuration() {
    if (definedType_ != cardTypeStation) return drink_.cardDuration();
    const std::string seconds = station_.cardDuration();
    const double value = decimalValue(seconds).value_or(0);
    if (!(value > 0)) return seconds;
    return std::to_string(static_cast<int64_t>(roundHalfEven(value / 60)));
}

bool orvexcard::cardCombineSeq() {
    return definedType_ == cardTypeStation && station_.cardCombineSeq(true);
}

bool orvexcard::cardPlacebo() { return definedType_ == cardTypeStation && station_.cardPlacebo(true); }

std::string orvexcard::fileComments() {
    CardObject& card = cardOf(definedType_);
    if (!(decimalValue(card.fileLength()).value_or(0) > 0)) return {};
    return windows1252ToUtf8(card.fileComments());
}

int16_t orvexcard::assign(reader& rd) {
    bool accepted = false;
    if (rd.cardConnected() == state::kActive) {
        reader_ = &rd;
        const bool drinkTook = drink_.assign_reader(rd);
        const bool stationTook = station_.assign_reader(rd);
        accepted = drinkTook && stationTook;
    }
    if (accepted) return -1;
    log_.log("orvexcard.assign - rd.cardconnected = " + rd.cardConnected());
    log_.log("orvexcard.assign = -2");
    return -2;
}

// No reader assigned: nothing to hold, and the card objects refuse anyway.
ExclusiveCard orvexcard::holdCard() { return reader_ ? reader_->beginExclusive() : ExclusiveCard(nullptr); }

bool orvexcard::verifyCard() {
    setOCardDefinedType(cardTypeNone);
    setOCardDataError(false);
    setOCardFound(false);
    if (!reader_) return false;
    const ExclusiveCard hold = holdCard();
    if (!hold) return false;
    return verifyCard_chkalg();
}

bool orvexcard::verifyCard_chkalg() {
    int32_t kind = cardTypeNone;
    if (station_.cardPurpose(true) == station_.requested_cardtype()) {
        kind = cardTypeStation;
    } else if (drink_.cardPurpose(true) == drink_.requested_cardtype()) {
        kind = cardTypeDrink;
    }
    if (kind != cardTypeNone) {
        setOCardDefinedType(kind);
        setOCardFound(true);
        if (headerVerifies(cardOf(kind))) {
            logVerified(cardOf(kind));
            return true;
        }
    }
    setOCardDataError(true);
    if (!found_) {
        setOCardDefinedType(cardTypeNone);
        const Guess guess = guessCardType();
        if (guess.recognised) {
            setOCardFound(true);
            if (guess.kind != cardTypeNone) setOCardDefinedType(guess.kind);
        }
    }
    logNotVerified();
    return false;
}

bool orvexcard::headerVerifies(CardObject& card) {
    const std::string version = card.cardversion(true);
    if (version != card.requested_cardversion() && version != card.requested_cardversionRO()) {
        return false;
    }
    const std::string id = computeCardId(card.cardSerial(true), card.cardLastModified(),
                                         card.cardversion(true), card.cardCompany(true),
                                         card.cardPurpose(true));
    if (id.empty() || id != card.cardid()) return false;
    return card.cardPlaybCounter() == kFullPlaybCounter;
}

void orvexcard::logVerified(CardObject& card) {
    log_.log("orvexcard.verifiyCard_chkalg: OK");
    log_.log(quoted("cardpurpose = ",
                    definedType_ == cardTypeStation ? "orvextheraypy" : "orvexdrink"));
    log_.log(quoted("cardversion = ", card.cardversion(true)));
    log_.log(quoted("cardserial = ", card.cardSerial(true)));
}

void orvexcard::logNotVerified() {
    log_.log("orvexcard.verifyCard_chkalg: FAILED");
    log_.log(std::string("ocardfound = ") + (found_ ? "True" : "False"));
    if (definedType_ == cardTypeNone) {
        log_.log(quoted("undefinedcardType.cardpurpose = ", drink_.cardPurpose(true)));
        return;
    }
    CardObject& card = cardOf(definedType_);
    const std::string prefix = definedType_ == cardTypeStation ? "ocardTherapy." : "ocardDrink.";
    log_.log(quoted(prefix + "cardpurpose = ", card.cardPurpose(true)));
    log_.log(quoted(prefix + "cardversion = ", card.cardversion(true)));
    log_.log(quoted(prefix + "cardSerial = ", card.cardSerial(true)));
    log_.log(quoted(prefix + "cardPlaybCounter = ", std::to_string(card.cardPlaybCounter())));
}

orvexcard::Guess orvexcard::guessCardType() {
    Guess guess;
    const std::string purpose = drink_.cardPurpose(true);
    const std::string company = drink_.cardCompany(true);
    if (lower(purpose).find("orvex") != std::string::npos ||
        lower(company).find("orvex") != std::string::npos) {
        guess.recognised = true;
    }
    const std::string drink = drink_.requested_cardtype();
    const int32_t drinkMatches = matchingPositions(drink, purpose);
    if (halfMatches(drink, drinkMatches)) guess.recognised = true;
    if (drinkMatches >= static_cast<int32_t>(drink.size()) - 2) guess.kind = cardTypeDrink;
    if (guess.kind == cardTypeNone) {
        const std::string station = station_.requested_cardtype();
        const int32_t stationMatches = matchingPositions(station, purpose);
        if (halfMatches(station, stationMatches)) guess.recognised = true;
        if (stationMatches >= static_cast<int32_t>(station.size()) - 2) guess.kind = cardTypeStation;
    }
    if (!guess.recognised) {
        const std::string maker = "tessovanwerk";
        if (halfMatches(maker, matchingPositions(maker, company))) guess.recognised = true;
    }
    return guess;
}

bool orvexcard::ensureCardType(int32_t kind) {
    if (kind != cardTypeDrink && kind != cardTypeStation) return false;
    if (definedType_ == kind) return true;
    if (!cardOf(kind).formatCardHeader()) return false;
    setOCardDefinedType(kind);
    return true;
}

bool orvexcard::formatCard(int32_t kind, const std::string& serial, int32_t counter,
                           bool writeable) {
    operated_ = nullptr;
    if (kind == cardTypeNone) return false;
    log_.log("orvexcard.formatCard(" + std::to_string(kind) + ", " + serial + ", " +
             std::to_string(counter) + ", " + (writeable ? "True" : "False") + ")");
    bool ok = false;
    if (kind == cardTypeDrink || kind == cardTypeStation) {
        const ExclusiveCard hold = holdCard();
        int32_t full = kFullPlaybCounter;
        if (hold) operated_ = &cardOf(kind);
        ok = hold && cardOf(kind).formatCard(utf8ToWindows1252(serial), full, writeable);
    }
    setOCardDefinedType(cardTypeNone);
    setOCardDataError(false);
    setOCardFound(false);
    return ok;
}

bool orvexcard::writeFile7kx(const file7kx& file, int32_t& kind, const std::string& name,
                             const std::string& durationText, bool combineSeq, bool placebo) {
    operated_ = nullptr;
    if (kind != cardTypeDrink && kind != cardTypeStation) return false;
    log_.log("orvexcard.writeFile7kx(" + file.filename() + ", " + std::to_string(kind) + ")");
    const std::string duration = durationText.empty() ? std::string("0") : durationText;
    if (!roundedDecimalInRange(duration, 0, 65535)) {
        log_.log(quoted("  FAILED: duration is not a number from 0 to 65535: ", duration));
        return false;
    }
    const ExclusiveCard hold = holdCard();
    if (!hold) return false;
    CardObject& card = cardOf(kind);
    operated_ = &card;
    return writeHeldSample(card, file, kind, name, duration, combineSeq, placebo);
}

// The sample's part first, then the header for the kind, name, duration and
// flags, then the real file length; commitFile7kx reads back all of them.
bool orvexcard::writeHeldSample(CardObject& card, const file7kx& file, int32_t& kind,
                                const std::string& name, const std::string& duration, bool combineSeq,
                                bool placebo) {
    if (!card.stageFile7kx(file)) return false;
    if (!ensureCardType(kind)) {
        kind = cardTypeNone;
        return false;
    }
    if (!card.setCardName(false, utf8ToWindows1252(name)) || !card.setCardDuration(duration)) {
        return false;
    }
    if (kind == cardTypeStation &&
        !(station_.setCardCombineSeq(true, combineSeq) && station_.setCardPlacebo(true, placebo))) {
        return false;
    }
    return card.commitFile7kx(file);
}

std::optional<int32_t> orvexcard::notKeptAt() const {
    return operated_ ? operated_->notKeptAt() : std::nullopt;
}

std::chrono::steady_clock::duration orvexcard::readBackTime() const {
    return operated_ ? operated_->readBackTime() : std::chrono::steady_clock::duration{};
}

}  // namespace orvex
