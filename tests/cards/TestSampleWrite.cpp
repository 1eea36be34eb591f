// Sample writes on the card in memory; the write order and the finished
// cards are weighed in TestInterruptedWrites.cpp.
#include <gtest/gtest.h>

#include <functional>

#include "CardFixture.h"
#include "cards/orvexcard.h"
#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"

using namespace orvex;
using namespace orvex::test;

namespace {

class SampleWrite : public CardFixture {
protected:
    // A freshly formatted station card, the card object verified on it.
    void formatStation() {
        card_ = MemoryCardReader('Z');
        ASSERT_EQ(ocard_.assign(card_), -1);
        ASSERT_TRUE(ocard_.formatCard(cardTypeStation, "serial", 65535, true));
        ASSERT_TRUE(ocard_.verifyCard());
        card_.resetCounters();
    }
    bool write(int32_t kind, const std::string& name = "Calm", const std::string& duration = "10") {
        kindBack_ = kind;
        return ocard_.writeFile7kx(file_, kindBack_, name, duration, true, true);
    }
    static file7kx loaded(const SampleFileParts& parts, const std::string& name = "s.7kx") {
        file7kx file;
        EXPECT_TRUE(file.loadFromFile(writeSampleFile(sampleFileBytes(parts), name)));
        return file;
    }
    orvexcard ocard_;
    file7kx file_ = loaded({});
    int32_t kindBack_ = cardTypeNone;  // as writeFile7kx handed it back
};

}  // namespace

TEST_F(SampleWrite, texts_comment_serial_name_and_duration_fit_their_fields) {
    formatStation();
    // A blank comment becomes the file's base name, in Windows-1252.
    SampleFileParts parts;
    parts.comment = "";
    ASSERT_TRUE(station_.writeFile7kx(loaded(parts, "calm tide.7kx")));
    EXPECT_EQ(station_.fileComments(), "calm tide");
    ASSERT_TRUE(station_.writeFile7kx(loaded(parts, "café ☕.v2.7kx")));
    EXPECT_EQ(station_.fileComments(), "caf\xE9 ?.v2");
    // The file serial is cut to its field.
    parts.creator = "LongToolName/12.34/1";
    file_ = loaded(parts);
    file_.setSerial("1234567890");
    // A name outside Windows-1252 is written with question marks.
    ASSERT_TRUE(write(cardTypeStation, "Grüße 日本 und mehr Text als passt"));
    EXPECT_EQ(station_.fileSerial(), "1234567890/LongToolName/1");
    EXPECT_EQ(field(layout::kName), std::string("Gr\xFC\xDF"
                                                "e ?? und mehr Text al"));
    ASSERT_TRUE(ocard_.verifyCard());
    EXPECT_EQ(ocard_.cardName(true), "Grüße ?? und mehr Text al");
    // An empty duration writes 0; with optimizeWrite only the sample's bytes move.
    card_.setBytes(145, "\x01\x02");
    card_.setBytes(9588, "tail");
    card_.setOptimizeWrite(true);
    ASSERT_TRUE(write(cardTypeStation, "Calm", ""));
    EXPECT_EQ(field(layout::kDuration), std::string(2, '\0'));
    EXPECT_EQ(card_.bytes(9588, 4), "tail");
}

TEST_F(SampleWrite, a_bad_duration_or_kind_is_refused_before_anything_is_written) {
    formatStation();
    for (const char* bad : {"abc", "70000", "-3", "12,5"})
        EXPECT_FALSE(write(cardTypeStation, "Calm", bad)) << bad;
    for (int32_t badKind : {cardTypeNone, 3, -1}) EXPECT_FALSE(write(badKind)) << badKind;
    EXPECT_EQ(card_.counters().writeCalls, 0);
}

// One write refused, the ones after it accepted: the operation stops there
// and says so, and never leaves a sample that is not whole.
TEST_F(SampleWrite, a_write_refused_at_any_point_is_reported) {
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
