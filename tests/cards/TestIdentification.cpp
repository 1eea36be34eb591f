#include <gtest/gtest.h>

#include "CardFixture.h"
#include "cards/orvexcard.h"
#include "foundation/clsLog.h"
#include "support/TestEnvironment.h"

using namespace orvex;
using namespace orvex::test;

namespace {

class Identification : public CardFixture {
protected:
    void format(int32_t kind, bool writeable = true) {
        ASSERT_EQ(ocard_.assign(card_), -1);
        ASSERT_TRUE(ocard_.formatCard(kind, "ocard/2.1.0/1", 65535, writeable));
    }
    void expectState(bool verified, bool found, int32_t kind, bool dataError) {
        EXPECT_EQ(ocard_.verifyCard(), verified);
        EXPECT_EQ(ocard_.OCardFound(), found);
        EXPECT_EQ(ocard_.OCardDefinedType(), kind);
        EXPECT_EQ(ocard_.OCardDataError(), dataError);
    }
    static std::string logText() { return readFileBytes(clsLog().path()); }

    orvexcard ocard_;
};

}  // namespace

TEST_F(Identification, formatted_cards_of_both_kinds_verify) {
    format(cardTypeDrink);
    expectState(true, true, cardTypeDrink, false);
    format(cardTypeStation);
    expectState(true, true, cardTypeStation, false);
    format(cardTypeDrink, false);
    expectState(true, true, cardTypeDrink, false);
}

TEST_F(Identification, verified_card_logs_the_purpose_as_the_devices_log_spells_it) {
    format(cardTypeStation);
    ASSERT_TRUE(ocard_.verifyCard());
    const std::string log = logText();
    const size_t ok = log.rfind(" - orvexcard.verifiyCard_chkalg: OK\r\n");
    ASSERT_NE(ok, std::string::npos);
    EXPECT_NE(log.find(" - cardpurpose = \"orvextheraypy\"\r\n", ok), std::string::npos);
    EXPECT_NE(log.find(" - cardversion = \"1-0-0\"\r\n", ok), std::string::npos);
    EXPECT_NE(log.find(" - cardserial = \"ocard/2.1.0/1\"\r\n", ok), std::string::npos);
}

TEST_F(Identification, a_counter_below_full_is_a_damaged_card_of_its_kind) {
    format(cardTypeDrink);
    odrinkcard drink;
    ASSERT_TRUE(drink.assign_reader(card_));
    int32_t counter = 65534;
    ASSERT_TRUE(drink.setCardPlaybCounter(counter));
    expectState(false, true, cardTypeDrink, true);
    const std::string log = logText();
    const size_t failed = log.rfind(" - orvexcard.verifyCard_chkalg: FAILED\r\n");
    ASSERT_NE(failed, std::string::npos);
    EXPECT_NE(log.find(" - ocardfound = True\r\n", failed), std::string::npos);
    EXPECT_NE(log.find(" - ocardDrink.cardPlaybCounter = \"65534\"\r\n", failed), std::string::npos);
}

TEST_F(Identification, one_damaged_counter_copy_still_verifies) {
    format(cardTypeStation);
    card_.memory()[147] ^= 0x10;
    expectState(true, true, cardTypeStation, false);
}

TEST_F(Identification, a_wrong_version_or_a_tampered_card_id_is_damage) {
    format(cardTypeDrink);
    card_.setBytes(55, "1.1.2   ");
    expectState(false, true, cardTypeDrink, true);
    format(cardTypeStation);
    card_.memory()[70] ^= 0x01;
    expectState(false, true, cardTypeStation, true);
}

TEST_F(Identification, a_purpose_wrong_in_its_first_character_is_guessed) {
    format(cardTypeDrink);
    card_.setBytes(40, "x");
    expectState(false, true, cardTypeDrink, true);
    format(cardTypeStation);
    card_.setBytes(40, "Xrvexthxrapy");
    expectState(false, true, cardTypeStation, true);
}

TEST_F(Identification, the_makers_company_alone_is_recognised_without_a_kind) {
    format(cardTypeDrink);
    card_.setBytes(40, "xxxxxxxxxx     ");
    expectState(false, true, cardTypeNone, true);
    // Without "orvex" anywhere, half the maker's name still recognises it.
    card_.setBytes(0, padded("TESSOVAxxxxx", 40));
    expectState(false, true, cardTypeNone, true);
    card_.setBytes(0, padded("Tessoxxxxxxx", 40));
    expectState(false, false, cardTypeNone, true);
    EXPECT_NE(logText().rfind(" - undefinedcardType.cardpurpose = \"xxxxxxxxxx\"\r\n"),
              std::string::npos);
}

TEST_F(Identification, a_blank_card_is_foreign) {
    MemoryCardReader blank;
    ASSERT_EQ(ocard_.assign(blank), -1);
    expectState(false, false, cardTypeNone, true);
}

TEST_F(Identification, nothing_is_verified_without_a_reader) {
    expectState(false, false, cardTypeNone, false);
}

TEST_F(Identification, assign_refuses_a_card_that_is_not_active_and_keeps_the_old_reader) {
    format(cardTypeDrink);
    MemoryCardReader busy;
    busy.setCardState("activelocked");
    EXPECT_EQ(ocard_.assign(busy), -2);
    EXPECT_EQ(busy.counters().readCalls, 0);
    expectState(true, true, cardTypeDrink, false);
    EXPECT_NE(logText().rfind(" - orvexcard.assign - rd.cardconnected = activelocked\r\n"),
              std::string::npos);
}

TEST_F(Identification, station_duration_reads_in_minutes_half_to_even) {
    format(cardTypeStation);
    ASSERT_TRUE(ocard_.verifyCard());
    const auto minutes = [&](int seconds) {
        card_.setBytes(145, std::string{static_cast<char>(seconds >> 8), static_cast<char>(seconds & 0xFF)});
        return ocard_.cardDuration();
    };
    EXPECT_EQ(minutes(5400), "90");
    EXPECT_EQ(minutes(90), "2");
    EXPECT_EQ(minutes(150), "2");
    EXPECT_EQ(minutes(30), "0");
    EXPECT_EQ(minutes(0), "0");
    card_.failReads(true);
    EXPECT_EQ(ocard_.cardDuration(), "failed");
}

TEST_F(Identification, drink_duration_is_reported_as_stored) {
    format(cardTypeDrink);
    ASSERT_TRUE(ocard_.verifyCard());
    card_.setBytes(145, std::string("\x00\x5A", 2));
    EXPECT_EQ(ocard_.cardDuration(), "90");
}

TEST_F(Identification, format_of_kind_0_changes_nothing_and_others_get_the_full_counter) {
    ASSERT_EQ(ocard_.assign(card_), -1);
    const std::string before = card_.memory();
    EXPECT_FALSE(ocard_.formatCard(cardTypeNone, "s", 65535, true));
    EXPECT_FALSE(ocard_.formatCard(7, "s", 65535, true));
    EXPECT_EQ(card_.memory(), before);
    ASSERT_TRUE(ocard_.formatCard(cardTypeDrink, "s", 10, true));
    EXPECT_EQ(ocard_.OCardDefinedType(), cardTypeNone);
    expectState(true, true, cardTypeDrink, false);
    odrinkcard drink;
    ASSERT_TRUE(drink.assign_reader(card_));
    EXPECT_EQ(drink.cardPlaybCounter(), 65535);
}

TEST_F(Identification, a_format_that_fails_reports_it_and_leaves_no_valid_card) {
    ASSERT_EQ(ocard_.assign(card_), -1);
    card_.refuseWritesFrom(3);
    EXPECT_FALSE(ocard_.formatCard(cardTypeStation, "s", 65535, true));
    card_.acceptAllWrites();
    // Company and purpose made it: a damaged station card, not a valid one.
    expectState(false, true, cardTypeStation, true);
}
