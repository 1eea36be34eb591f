#include <gtest/gtest.h>

#include <functional>

#include "CardFixture.h"
#include "cards/modTasks.h"
#include "cards/odrinkcard.h"
#include "cards/orvexcard.h"
#include "cards/otherapycard.h"
#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"

using namespace orvex;
using namespace orvex::test;

namespace {

file7kx loaded(const SampleFileParts& parts = {}, const std::string& name = "s.7kx") {
    file7kx file;
    EXPECT_TRUE(file.loadFromFile(writeSampleFile(sampleFileBytes(parts), name)));
    return file;
}

class Cards : public CardFixture {
protected:
    void SetUp() override {
        CardFixture::SetUp();
        ASSERT_TRUE(drink_.assign_reader(card_));
        ASSERT_TRUE(station_.assign_reader(card_));
    }
    static bool format(CardObject& card, bool writeable = true, const std::string& serial = "serial") {
        int32_t counter = 65535;
        return card.formatCard(serial, counter, writeable);
    }
    std::string field(layout::Field f) const { return card_.bytes(f.offset, f.width); }
    static std::string blanks(int32_t n) { return std::string(static_cast<size_t>(n), ' '); }
    // MD5 over the salt and the five header texts as the card holds them.
    std::string expectedCardId() const {
        const auto text = [&](layout::Field f) {
            const std::string raw = field(f);
            return raw.substr(0, raw.find_last_not_of(' ') + 1);
        };
        return hashText(std::string("k4w9#\xA8\xA8") + text(layout::kSerial) + text(layout::kLastModified) +
                            text(layout::kVersion) + text(layout::kCompany) + text(layout::kPurpose),
                        kHashMd5, false);
    }
    void formatAs(int32_t kind, bool writeable = true) {
        ASSERT_EQ(ocard_.assign(card_), -1);
        ASSERT_TRUE(ocard_.formatCard(kind, "ocard/2.1.0/1", 65535, writeable));
    }
    void formatStation() {
        card_ = MemoryCardReader('Z');
        formatAs(cardTypeStation);
        ASSERT_TRUE(ocard_.verifyCard());
        card_.resetCounters();
    }
    void expectState(bool verified, bool found, int32_t kind, bool dataError, const std::string& row = "") {
        EXPECT_EQ(ocard_.verifyCard(), verified) << row;
        EXPECT_EQ(ocard_.OCardFound(), found) << row;
        EXPECT_EQ(ocard_.OCardDefinedType(), kind) << row;
        EXPECT_EQ(ocard_.OCardDataError(), dataError) << row;
    }
    bool write(int32_t kind, const std::string& name = "Calm", const std::string& duration = "10") {
        kindBack_ = kind;
        return ocard_.writeFile7kx(file_, kindBack_, name, duration, true, false);
    }
    odrinkcard drink_;
    otherapycard station_;
    orvexcard ocard_;
    file7kx file_ = loaded();
    int32_t kindBack_ = cardTypeNone;  // as writeFile7kx handed it back
};

class CardFields : public Cards {
protected:
    void SetUp() override {
        Cards::SetUp();
        ASSERT_TRUE(format(drink_));
        card_.resetCounters();
    }
};

}  // namespace

TEST_F(CardFields, counter_is_limited_to_0_and_65535_blanked_without_a_card_id_and_read_raw) {
    for (const auto& [asked, stored] : {std::pair{70000, 65535}, std::pair{-5, 0}}) {
        int32_t value = asked;
        ASSERT_TRUE(drink_.setCardPlaybCounter(value)) << asked;
        EXPECT_EQ(value, stored);
        EXPECT_EQ(drink_.cardPlaybCounter(), stored);
    }
    int32_t value = 65535;
    card_.failReads(true);
    EXPECT_FALSE(drink_.setCardPlaybCounter(value));
    EXPECT_EQ(drink_.cardPlaybCounter(), 0);
    card_.failReads(false);
    EXPECT_EQ(field(layout::kPlaybCounter), blanks(10));
    // Raw fields keep a trailing blank.
    card_.setBytes(63, std::string(15, '\x07') + " ");
    EXPECT_EQ(drink_.cardid(), std::string(15, '\x07') + " ");
    installCounterRandomSource([] { return uint8_t{0x01}; });
    value = 20485;  // on this card its second copy's CRC ends in 0x20, a blank a trimmed read drops
    ASSERT_TRUE(drink_.setCardPlaybCounter(value));
    ASSERT_EQ(field(layout::kPlaybCounter).back(), ' ');
    EXPECT_EQ(drink_.cardPlaybCounter(), 20485);
}

TEST_F(CardFields, duration_is_two_bytes_high_first_and_bad_values_write_nothing) {
    ASSERT_TRUE(drink_.setCardDuration("5400"));
    EXPECT_EQ(field(layout::kDuration), std::string("\x15\x18"));
    card_.resetCounters();
    for (const char* bad : {"abc", "70000", "-1", "", "1e3"}) EXPECT_FALSE(drink_.setCardDuration(bad)) << bad;
    EXPECT_EQ(card_.counters().writeCalls, 0);
    EXPECT_EQ(drink_.cardDuration(), "5400");
    card_.failReads(true);  // a failed read is the field's value
    EXPECT_EQ(drink_.cardDuration() + drink_.cardName(true) + drink_.fileLength(), "failedfailed0");
    EXPECT_FALSE(station_.cardPlacebo(true));
}

TEST_F(CardFields, file_fields_follow_the_length_and_never_read_past_the_data_area) {
    card_.setBytes(256, "eight   ");
    card_.setBytes(278, "a comment");
    card_.resetCounters();
    EXPECT_EQ(drink_.fileLength(), "0");
    EXPECT_EQ(drink_.fileComments() + drink_.fileSerial() + drink_.filedata(), "");
    EXPECT_EQ(card_.counters().bytesRead, 4 * 8) << "only the length field is read";
    card_.setBytes(256, "99999999");
    EXPECT_EQ(drink_.filedata().size(), 15616u);
    card_.setBytes(256, "-5      ");
    EXPECT_EQ(drink_.filedata(), "");
    card_.setBytes(256, "3       ");
    card_.setBytes(768, "ab ");
    EXPECT_EQ(drink_.filedata(), "ab ");
}

TEST_F(CardFields, a_reader_whose_card_is_not_active_and_an_empty_optimized_write) {
    odrinkcard other;
    card_.setCardState("activelocked");
    EXPECT_FALSE(other.assign_reader(card_));
    EXPECT_EQ(other.cardName(true), "failed");
    EXPECT_FALSE(other.setCardName(false, "x"));
    EXPECT_EQ(card_.counters().writeCalls, 0);
    card_.setOptimizeWrite(true);
    EXPECT_TRUE(drink_.setCardPurpose(true, ""));
    EXPECT_EQ(drink_.cardPurpose(true), "orvexdrink");
}

// A serial too long for its field is cut, and the card id covers it as stored;
// a counter argument above 65535 is limited.
TEST_F(Cards, format_each_kind_byte_for_byte_with_a_protected_id_and_a_full_counter) {
    const struct {
        CardObject* card; bool writeable, optimize; const char *serial, *purpose, *version; int32_t counter;
        std::string flags;
    } rows[] = {{&drink_, false, true, "ocard/2.1.0/4711", "orvexdrink", "1.1.1ro", 65535, ""},
                {&station_, true, false, "a serial of thirty characters", "orvextherapy", "1-0-0", 70000,
                 std::string(2, '\0')}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.purpose);
        card_ = MemoryCardReader('\xFF');
        card_.setOptimizeWrite(row.optimize);
        draws_ = 0;
        int32_t counter = row.counter;
        ASSERT_TRUE(row.card->formatCard(row.serial, counter, row.writeable));
        EXPECT_EQ(counter, 65535);
        std::string image = padded(kCardCompany, 40) + padded(row.purpose, 15) + padded(row.version, 8) +
                            field(layout::kCardId) + padded(row.serial, 25) + padded("OrvexCard", 25) +
                            "20240102T030405Z" + std::string(2, '\0') + field(layout::kPlaybCounter) + row.flags;
        image += blanks(256 - static_cast<int32_t>(image.size())) + padded("0", 8);
        EXPECT_EQ(card_.memory(), image + blanks(16384 - static_cast<int32_t>(image.size())));
        EXPECT_EQ(card_.optimizeWrite(), row.optimize) << "the setting is restored";
        const std::string id = field(layout::kCardId);
        EXPECT_EQ(id, expectedCardId());
        const std::string block = field(layout::kPlaybCounter);
        EXPECT_TRUE(block[2] == '\x11' && block[7] == '\x22');
        // Each copy on its own holds the full counter.
        EXPECT_EQ(decodePlaybCounter(block.substr(0, 5) + block.substr(0, 5), id), 65535);
        EXPECT_EQ(decodePlaybCounter(block.substr(5) + block.substr(5), id), 65535);
    }
}

// A copy is the value xor the random byte xor the key byte it picks, then its
// CRC low byte first; it decodes from copy a, else copy b, else 0.
TEST(PlaybCounter, encodes_and_decodes_from_copy_a_else_copy_b_else_0) {
    std::string key;
    for (int i = 0; i < 16; ++i) key += static_cast<char>(i);
    uint8_t next = 0x25;  // picks key byte 5
    installCounterRandomSource([&] { return next; });
    EXPECT_EQ(encodePlaybCounter(65535, key), std::string("\xDF\xDF\x25\xA8\x11"));
    const std::string a = encodePlaybCounter(1234, key);
    EXPECT_EQ(a, std::string("\x24\xF2\x25\xC4\xB0"));
    EXPECT_EQ(encodePlaybCounter(5, "failed") + encodePlaybCounter(5, key.substr(1)), "");
    next = 0x9A;
    std::string block = a + encodePlaybCounter(1234, key);
    EXPECT_EQ(decodePlaybCounter(block, key), 1234);
    block[1] ^= 0x40;
    EXPECT_EQ(decodePlaybCounter(block, key), 1234);
    block[7] ^= 0x01;
    EXPECT_EQ(decodePlaybCounter(block, key), 0);
    EXPECT_EQ(decodePlaybCounter(a + a.substr(1), key), 0);  // wrong lengths give 0
    EXPECT_EQ(decodePlaybCounter(a + a, key + "x"), 0);
    for (int r = 0; r < 256; r += 7) {  // every key byte can serve
        next = static_cast<uint8_t>(r);
        const std::string copy = encodePlaybCounter(40000, key);
        EXPECT_EQ(decodePlaybCounter(copy + copy, key), 40000) << r;
    }
    installCounterRandomSource({});
}

TEST_F(Cards, the_identification_table) {
    const auto patch = [](int32_t at, std::string bytes) {
        return [=](MemoryCardReader& c) { c.setBytes(at, bytes); };
    };
    const auto flip = [](int32_t at, char bits) {
        return [=](MemoryCardReader& c) { c.memory()[static_cast<size_t>(at)] ^= bits; };
    };
    const struct {
        const char* name; int32_t kind; bool writeable; std::vector<std::function<void(MemoryCardReader&)>> damage;
        bool verified, found; int32_t guessed; bool dataError;
    } rows[] = {
        {"valid read-only drink", cardTypeDrink, false, {}, true, true, cardTypeDrink, false},
        {"one counter copy damaged", cardTypeStation, true, {flip(147, 0x10)}, true, true, cardTypeStation, false},
        {"counter below full", cardTypeDrink, true, {[](MemoryCardReader& c) {
             const std::string copy = encodePlaybCounter(65534, c.bytes(63, 16));
             c.setBytes(147, copy + copy);
         }}, false, true, cardTypeDrink, true},
        {"wrong version", cardTypeDrink, true, {patch(55, "1.1.2   ")}, false, true, cardTypeDrink, true},
        {"tampered card id", cardTypeStation, true, {flip(70, 0x01)}, false, true, cardTypeStation, true},
        {"purpose wrong in its first letter", cardTypeDrink, true, {patch(40, "x")}, false, true, cardTypeDrink, true},
        {"purpose off twice", cardTypeStation, true, {patch(40, "Xrvexthxrapy")}, false, true, cardTypeStation, true},
        {"x's, maker's company", cardTypeDrink, true, {patch(40, "xxxxxxxxxx     ")}, false, true, cardTypeNone, true},
        // Without "orvex" anywhere, half the maker's name or half the
        // station purpose (6 of 12 positions) still recognises it; 5 do not.
        {"half the maker's name", cardTypeDrink, true,
         {patch(40, "xxxxxxxxxx     "), patch(0, padded("TESSOVxxxxxx", 40))}, false, true, cardTypeNone, true},
        {"less than half", cardTypeDrink, true,
         {patch(40, "xxxxxxxxxx     "), patch(0, padded("Tessoxxxxxxx", 40))}, false, false, cardTypeNone, true},
        {"half the station purpose", cardTypeStation, true,
         {patch(40, "orvzzthezzzz"), patch(0, padded("x", 40))}, false, true, cardTypeNone, true},
        {"less than half the station purpose", cardTypeStation, true,
         {patch(40, "orvzzthzzzzz"), patch(0, padded("x", 40))}, false, false, cardTypeNone, true},
        {"blank card", cardTypeDrink, true, {[](MemoryCardReader& c) { c = MemoryCardReader(); }}, false, false,
         cardTypeNone, true}};
    expectState(false, false, cardTypeNone, false, "no reader");
    for (const auto& row : rows) {
        formatAs(row.kind, row.writeable);
        for (const auto& damage : row.damage) damage(card_);
        expectState(row.verified, row.found, row.guessed, row.dataError, row.name);
    }
    // assign refuses a card that is not active and keeps the old reader.
    formatAs(cardTypeDrink);
    MemoryCardReader busy;
    busy.setCardState("activelocked");
    EXPECT_EQ(ocard_.assign(busy), -2);
    EXPECT_EQ(busy.counters().readCalls, 0);
    expectState(true, true, cardTypeDrink, false, "the old reader");
}

TEST_F(Cards, duration_in_minutes_half_to_even_on_station_cards_as_stored_on_drink_cards) {
    const auto duration = [&](int seconds) {
        card_.setBytes(145, std::string{static_cast<char>(seconds >> 8), static_cast<char>(seconds & 0xFF)});
        return ocard_.cardDuration();
    };
    formatAs(cardTypeDrink);
    ASSERT_TRUE(ocard_.verifyCard());
    EXPECT_EQ(duration(90), "90");
    formatAs(cardTypeStation);
    ASSERT_TRUE(ocard_.verifyCard());
    for (const auto& [seconds, minutes] : {std::pair{5400, "90"}, {90, "2"}, {150, "2"}, {30, "0"}, {0, "0"}})
        EXPECT_EQ(duration(seconds), minutes) << seconds;
    card_.failReads(true);
    EXPECT_EQ(ocard_.cardDuration(), "failed");
}

TEST_F(Cards, format_checks_the_kind_always_fills_the_counter_and_reports_failure) {
    ASSERT_EQ(ocard_.assign(card_), -1);
    const std::string before = card_.memory();
    for (const int32_t kind : {cardTypeNone, 7}) EXPECT_FALSE(ocard_.formatCard(kind, "s", 65535, true)) << kind;
    EXPECT_EQ(card_.memory(), before);
    ASSERT_TRUE(ocard_.formatCard(cardTypeDrink, "s", 10, true));
    EXPECT_EQ(ocard_.OCardDefinedType(), cardTypeNone);
    expectState(true, true, cardTypeDrink, false);
    EXPECT_EQ(drink_.cardPlaybCounter(), 65535);
    // A format refused part-way: the empty file length, company and purpose
    // made it, so the card is a damaged station card, not a valid one.
    card_ = MemoryCardReader('\xFF');
    ASSERT_EQ(ocard_.assign(card_), -1);
    card_.refuseWritesFrom(4);
    EXPECT_FALSE(ocard_.formatCard(cardTypeStation, "s", 65535, true));
    card_.refuseWrite(0);
    expectState(false, true, cardTypeStation, true);
}

TEST_F(Cards, sample_texts_comment_serial_name_and_duration_fit_their_fields) {
    formatStation();
    // A blank comment becomes the file's base name, in Windows-1252.
    SampleFileParts parts{.comment = ""};
    ASSERT_TRUE(station_.writeFile7kx(loaded(parts, "calm tide.7kx")));
    EXPECT_EQ(station_.fileComments(), "calm tide");
    ASSERT_TRUE(station_.writeFile7kx(loaded(parts, "café ☕.v2.7kx")));
    EXPECT_EQ(station_.fileComments(), "caf\xE9 ?.v2");
    // The file serial is cut to its field; a name outside Windows-1252 is
    // written with question marks.
    parts.creator = "LongToolName/12.34/1";
    file_ = loaded(parts);
    file_.setSerial("1234567890");
    ASSERT_TRUE(write(cardTypeStation, "Grüße 日本 und mehr Text als passt"));
    EXPECT_EQ(station_.fileSerial(), "1234567890/LongToolName/1");
    EXPECT_TRUE(station_.filedata() == file_.sampledata());
    EXPECT_EQ(station_.fileLastModified(), file_.lastModified().substr(0, 14));  // the field's width
    EXPECT_EQ(field(layout::kName), std::string("Gr\xFC\xDF" "e ?? und mehr Text al"));
    ASSERT_TRUE(ocard_.verifyCard());
    EXPECT_EQ(ocard_.cardName(true), "Grüße ?? und mehr Text al");
    // One byte each: the sequence combined, no placebo.
    EXPECT_EQ(card_.bytes(layout::kCombineSeq.offset, 2), std::string("1\0", 2));
    EXPECT_TRUE(ocard_.cardCombineSeq() && !ocard_.cardPlacebo());
    // An empty duration writes 0; with optimizeWrite only the sample's bytes move.
    card_.setBytes(145, "\x01\x02");
    card_.setBytes(9588, "tail");
    card_.setOptimizeWrite(true);
    ASSERT_TRUE(write(cardTypeStation, "Calm", ""));
    EXPECT_EQ(field(layout::kDuration), std::string(2, '\0'));
    EXPECT_EQ(card_.bytes(9588, 4), "tail");
    // A bad duration or kind is refused before anything is written.
    card_.resetCounters();
    for (const char* bad : {"abc", "70000", "-3", "12,5"}) EXPECT_FALSE(write(cardTypeStation, "Calm", bad)) << bad;
    for (int32_t badKind : {cardTypeNone, 3, -1}) EXPECT_FALSE(write(badKind)) << badKind;
    EXPECT_EQ(card_.counters().writeCalls, 0);
}

// One write refused, the ones after it accepted: the operation stops there
// and says so, and never leaves a sample that is not whole.
TEST_F(Cards, a_write_refused_at_any_point_is_reported) {
    int headerRefused = 0;  // writes whose refusal makes the kind 0
    const std::pair<const char*, std::function<bool()>> operations[] = {
        {"station sample", [&] { return write(cardTypeStation); }},
        {"drink sample on the station card", [&] { return write(cardTypeDrink); }},
        {"drink format", [&] { return format(drink_, true, "s"); }},
        {"station format", [&] { return format(station_, false, "s"); }},
        {"drink header", [&] { return drink_.formatCardHeader(); }},
        {"station header", [&] { return station_.formatCardHeader(); }}};
    for (const auto& [name, operation] : operations) {
        formatStation();
        ASSERT_TRUE(operation()) << name;
        const auto total = static_cast<int32_t>(card_.writes().size());
        for (int32_t n = 1; n <= total; ++n) {
            formatStation();
            card_.refuseWrite(n);
            EXPECT_FALSE(operation()) << name << ", write " << n;
            headerRefused += kindBack_ == cardTypeNone;
            EXPECT_TRUE(drink_.fileLength() == "0" || drink_.filedata() == file_.sampledata())
                << name << ", write " << n;
        }
    }
    EXPECT_EQ(headerRefused, 6) << "purpose, version, id, duration, counter, reserved bytes";
}

TEST(tasks, station_minutes_round_half_to_even_and_drink_seconds_stay) {
    const struct { int kind; const char* entered; const char* stored; } rows[] = {
        {2, "2.5", "120"}, {2, "3.5", "240"}, {2, "30", "1800"}, {1, "2.5", "2.5"}, {1, "45", "45"},
        {2, "", "0"}, {2, "0", "0"}, {2, "-3", "0"}, {2, "x", "0"}, {2, " 5", "0"}};
    for (const auto& row : rows)
        EXPECT_EQ(tasks::durationForCard(row.kind, row.entered), row.stored) << row.kind << " " << row.entered;
    // The kind is the chosen one, else the card's, else drink.
    EXPECT_EQ(tasks::taskKind(2, 1), 2);
    EXPECT_EQ(tasks::taskKind(std::nullopt, 2), 2);
    EXPECT_EQ(tasks::taskKind(std::nullopt, 0), 1);
    EXPECT_EQ(tasks::taskKind(7, 0), 1);
}

TEST(tasks, write_report_names_the_version_rule_before_the_write_failure) {
    const auto by = [](const char* creator) { return loaded({.creator = creator}); };
    const file7kx accepted = by("OSC/3.6/1");
    EXPECT_TRUE(tasks::creatorVersionAllowed(accepted));
    EXPECT_TRUE(tasks::creatorVersionAllowed(by("osc/4.0/1")));
    for (const char* refused : {"OSC/3.5/1", "OSC/2.9/1", "Other/9.9/1", "OSC"}) {
        const file7kx file = by(refused);
        EXPECT_FALSE(tasks::creatorVersionAllowed(file)) << refused;
        EXPECT_EQ(tasks::writeReport(false, file, 1).suffix, " (617-100)") << refused;
        // A written card is a success whatever made the file.
        EXPECT_TRUE(tasks::writeReport(true, file, 1).success) << refused;
    }
    EXPECT_EQ(tasks::writeReport(true, accepted, 2).suffix, " (612-100)");
    EXPECT_EQ(tasks::writeReport(false, accepted, 2).suffix, " (614-100)");
    EXPECT_EQ(tasks::writeReport(false, accepted, 0).suffix, " (614-101)");
    // The creator text of a format, with a lasting installation serial.
    EXPECT_EQ(tasks::formatCreatorText({2, 1, 0}, 4711), "ocard/2.1.0/4711");
    const uint32_t serial = tasks::installationSerial();
    EXPECT_GT(serial, 0u);
    EXPECT_EQ(tasks::installationSerial(), serial);
}
