#include <gtest/gtest.h>

#include <functional>

#include "CardFixture.h"
#include "cards/orvexcard.h"

using namespace orvex;
using namespace orvex::test;

namespace {

class Identification : public CardFixture {
protected:
    void format(int32_t kind, bool writeable = true) {
        ASSERT_EQ(ocard_.assign(card_), -1);
        ASSERT_TRUE(ocard_.formatCard(kind, "ocard/2.1.0/1", 65535, writeable));
    }
    void expectState(bool verified, bool found, int32_t kind, bool dataError, const std::string& row = "") {
        EXPECT_EQ(ocard_.verifyCard(), verified) << row;
        EXPECT_EQ(ocard_.OCardFound(), found) << row;
        EXPECT_EQ(ocard_.OCardDefinedType(), kind) << row;
        EXPECT_EQ(ocard_.OCardDataError(), dataError) << row;
    }
    orvexcard ocard_;
};

}  // namespace

TEST_F(Identification, the_identification_table) {
    const auto patch = [](int32_t at, std::string bytes) {
        return [=](MemoryCardReader& c) { c.setBytes(at, bytes); };
    };
    const auto flip = [](int32_t at, char bits) {
        return [=](MemoryCardReader& c) { c.memory()[static_cast<size_t>(at)] ^= bits; };
    };
    const struct {
        const char* name; int32_t kind; bool writeable;
        std::vector<std::function<void(MemoryCardReader&)>> damage;
        bool verified, found; int32_t guessed; bool dataError;
    } rows[] = {
        {"valid drink", cardTypeDrink, true, {}, true, true, cardTypeDrink, false},
        {"valid station", cardTypeStation, true, {}, true, true, cardTypeStation, false},
        {"valid read-only drink", cardTypeDrink, false, {}, true, true, cardTypeDrink, false},
        {"one counter copy damaged", cardTypeStation, true, {flip(147, 0x10)}, true, true, cardTypeStation, false},
        {"counter below full", cardTypeDrink, true, {[](MemoryCardReader& c) {
             const std::string copy = encodePlaybCounter(65534, c.bytes(63, 16));
             c.setBytes(147, copy + copy);
         }}, false, true, cardTypeDrink, true},
        {"wrong version", cardTypeDrink, true, {patch(55, "1.1.2   ")}, false, true, cardTypeDrink, true},
        {"tampered card id", cardTypeStation, true, {flip(70, 0x01)}, false, true, cardTypeStation, true},
        {"purpose wrong in its first character", cardTypeDrink, true, {patch(40, "x")}, false, true, cardTypeDrink, true},
        {"purpose wrong twice", cardTypeStation, true, {patch(40, "Xrvexthxrapy")}, false, true, cardTypeStation, true},
        {"ten x's, maker's company", cardTypeDrink, true, {patch(40, "xxxxxxxxxx     ")}, false, true, cardTypeNone, true},
        // Without "orvex" anywhere, half the maker's name or half the
        // station purpose (6 of 12 positions) still recognises it; 5 do not.
        {"half the maker's name", cardTypeDrink, true,
         {patch(40, "xxxxxxxxxx     "), patch(0, padded("TESSOVxxxxxx", 40))}, false, true, cardTypeNone, true},
        {"less than half", cardTypeDrink, true,
         {patch(40, "xxxxxxxxxx     "), patch(0, padded("Tessoxxxxxxx", 40))}, false, false, cardTypeNone, true},
        {"half the station purpose", cardTypeStation, true,
         {patch(40, "orvzzthezzzz"), patch(0, padded("x", 40))}, false, true, cardTypeNone, true},
        {"less than half the station purpose", cardTypeStation, true,
         {patch(40, "orvzzthzzzzz"), patch(0, padded("x", 40))}, false, false, cardTypeNone, true}};
    expectState(false, false, cardTypeNone, false, "no reader");
    for (const auto& row : rows) {
        format(row.kind, row.writeable);
        for (const auto& damage : row.damage) damage(card_);
        expectState(row.verified, row.found, row.guessed, row.dataError, row.name);
    }
    MemoryCardReader blank;
    ASSERT_EQ(ocard_.assign(blank), -1);
    expectState(false, false, cardTypeNone, true, "blank card");
}

TEST_F(Identification, assign_refuses_a_card_that_is_not_active_and_keeps_the_old_reader) {
    format(cardTypeDrink);
    MemoryCardReader busy;
    busy.setCardState("activelocked");
    EXPECT_EQ(ocard_.assign(busy), -2);
    EXPECT_EQ(busy.counters().readCalls, 0);
    expectState(true, true, cardTypeDrink, false);
}

TEST_F(Identification, duration_in_minutes_half_to_even_on_station_cards_as_stored_on_drink_cards) {
    const auto duration = [&](int seconds) {
        card_.setBytes(145, std::string{static_cast<char>(seconds >> 8), static_cast<char>(seconds & 0xFF)});
        return ocard_.cardDuration();
    };
    format(cardTypeDrink);
    ASSERT_TRUE(ocard_.verifyCard());
    EXPECT_EQ(duration(90), "90");
    format(cardTypeStation);
    ASSERT_TRUE(ocard_.verifyCard());
    for (const auto& [seconds, minutes] : {std::pair{5400, "90"}, {90, "2"}, {150, "2"}, {30, "0"}, {0, "0"}})
        EXPECT_EQ(duration(seconds), minutes) << seconds;
    card_.failReads(true);
    EXPECT_EQ(ocard_.cardDuration(), "failed");
}

TEST_F(Identification, format_checks_the_kind_always_fills_the_counter_and_reports_failure) {
    ASSERT_EQ(ocard_.assign(card_), -1);
    const std::string before = card_.memory();
    EXPECT_FALSE(ocard_.formatCard(cardTypeNone, "s", 65535, true));
    EXPECT_FALSE(ocard_.formatCard(7, "s", 65535, true));
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
    card_.acceptAllWrites();
    expectState(false, true, cardTypeStation, true);
}
