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
    void SetUp() override {
        CardFixture::SetUp();
        ASSERT_TRUE(file_.loadFromFile(writeSampleFile(sampleFileBytes())));
    }
    // A freshly formatted card of that kind, the card object verified on it.
    void formatAs(int32_t kind) {
        card_ = MemoryCardReader('Z');
        ASSERT_EQ(ocard_.assign(card_), -1);
        ASSERT_TRUE(ocard_.formatCard(kind, "serial", 65535, true));
        ASSERT_TRUE(ocard_.verifyCard());
        card_.resetCounters();
    }
    bool write(int32_t kind, const std::string& name = "Calm", const std::string& duration = "10",
               bool combine = false, bool placebo = false) {
        const int32_t asked = kind;
        const bool ok = ocard_.writeFile7kx(file_, kind, name, duration, combine, placebo);
        EXPECT_EQ(kind, asked) << "the kind is handed back unchanged";
        return ok;
    }
    file7kx loaded(const SampleFileParts& parts, const std::string& name = "sample.7kx") {
        file7kx file;
        EXPECT_TRUE(file.loadFromFile(writeSampleFile(sampleFileBytes(parts), name)));
        return file;
    }
    bool sampleIsComplete() const {
        return card_.bytes(768, file7kx::kSampleBytes) == file_.sampledata();
    }
    orvexcard ocard_;
    file7kx file_;
};

}  // namespace

TEST_F(SampleWrite, onto_a_drink_card_sample_file_fields_name_and_duration) {
    formatAs(cardTypeDrink);
    ASSERT_TRUE(write(cardTypeDrink, "Calm", "10"));
    EXPECT_TRUE(sampleIsComplete());
    EXPECT_EQ(drink_.fileLength(), "8820");
    EXPECT_EQ(drink_.filedata(), file_.sampledata());
    EXPECT_EQ(drink_.fileLastModified(), "20240315T10111");
    EXPECT_EQ(drink_.fileComments(), "Evening calm, second take");
    EXPECT_EQ(drink_.fileSerial(), "10010/osc/3.6");
    EXPECT_EQ(field(layout::kName), padded("Calm", 25));
    EXPECT_EQ(drink_.cardDuration(), "10");
    EXPECT_EQ(card_.bytes(9588, 16384 - 9588), blanks(16384 - 9588));
    EXPECT_TRUE(ocard_.verifyCard()) << "the header is left as it was";
}

TEST_F(SampleWrite, onto_a_station_card_with_its_flags_and_across_kinds_with_the_header_rewritten) {
    formatAs(cardTypeStation);
    ASSERT_TRUE(write(cardTypeStation, "Deep", "5400", true, false));
    EXPECT_TRUE(sampleIsComplete());
    EXPECT_EQ(card_.bytes(157, 2), std::string("1\0", 2));
    EXPECT_TRUE(ocard_.verifyCard());
    EXPECT_EQ(ocard_.cardDuration(), "90");
    EXPECT_TRUE(ocard_.cardCombineSeq());
    EXPECT_FALSE(ocard_.cardPlacebo());
    EXPECT_EQ(ocard_.fileComments(), "Evening calm, second take");
    // A drink sample onto the station card: header rewritten, sample kept.
    ASSERT_TRUE(write(cardTypeDrink));
    EXPECT_TRUE(sampleIsComplete());
    EXPECT_EQ(drink_.fileLength(), "8820");
    EXPECT_TRUE(ocard_.verifyCard());
    EXPECT_EQ(ocard_.OCardDefinedType(), cardTypeDrink);
    EXPECT_EQ(card_.bytes(157, 2), "  ");
    // And back.
    ASSERT_TRUE(write(cardTypeStation, "Back", "60", false, true));
    EXPECT_TRUE(ocard_.verifyCard());
    EXPECT_EQ(ocard_.OCardDefinedType(), cardTypeStation);
    EXPECT_TRUE(ocard_.cardPlacebo());
    EXPECT_TRUE(sampleIsComplete());
}

TEST_F(SampleWrite, the_data_goes_between_two_length_writes_and_optimize_write_moves_only_the_sample) {
    formatAs(cardTypeDrink);
    ASSERT_TRUE(drink_.writeFile7kx(file_));
    std::vector<int32_t> offsets;
    for (const auto& w : card_.writes())
        if (w.offset == 256 || w.offset == 768) offsets.push_back(w.offset);
    EXPECT_EQ(offsets, (std::vector<int32_t>{256, 256, 768, 256}));
    // The length arrives last: refused, the card holds no sample.
    formatAs(cardTypeDrink);
    card_.refuseWrite(static_cast<int32_t>(card_.writes().size()) + 10);
    EXPECT_FALSE(drink_.writeFile7kx(file_));
    EXPECT_TRUE(sampleIsComplete());
    EXPECT_EQ(drink_.fileLength(), "0");
    EXPECT_EQ(drink_.filedata(), "");
    // With optimizeWrite the sample's 8820 bytes move once and the tail stays.
    formatAs(cardTypeDrink);
    card_.setBytes(9588, "tail");
    card_.setOptimizeWrite(true);
    ASSERT_TRUE(drink_.writeFile7kx(file_));
    EXPECT_EQ(card_.bytes(9588, 4), "tail");
    EXPECT_EQ(card_.counters().bytesWritten, 8 + 14 + 100 + 25 + 100 + 14 + 25 + 8 + 8820 + 8);
}

TEST_F(SampleWrite, texts_comment_serial_name_and_duration_fit_their_fields) {
    formatAs(cardTypeDrink);
    // A blank comment becomes the file's base name, in Windows-1252.
    SampleFileParts parts;
    parts.comment = "";
    ASSERT_TRUE(drink_.writeFile7kx(loaded(parts, "calm tide.7kx")));
    EXPECT_EQ(drink_.fileComments(), "calm tide");
    ASSERT_TRUE(drink_.writeFile7kx(loaded(parts, "café ☕.v2.7kx")));
    EXPECT_EQ(drink_.fileComments(), "caf\xE9 ?.v2");
    // The file serial is cut to its field.
    parts.creator = "LongToolName/12.34/1";
    file7kx file = loaded(parts);
    file.setSerial("1234567890");
    ASSERT_TRUE(drink_.writeFile7kx(file));
    EXPECT_EQ(drink_.fileSerial(), "1234567890/LongToolName/1");
    // A name outside Windows-1252 is written with question marks.
    ASSERT_TRUE(write(cardTypeDrink, "Grüße 日本 und mehr Text als passt"));
    EXPECT_EQ(field(layout::kName), std::string("Gr\xFC\xDF" "e ?? und mehr Text al"));
    ASSERT_TRUE(ocard_.verifyCard());
    EXPECT_EQ(ocard_.cardName(true), "Grüße ?? und mehr Text al");
    // An empty duration writes 0.
    card_.setBytes(145, "\x01\x02");
    ASSERT_TRUE(write(cardTypeDrink, "Calm", ""));
    EXPECT_EQ(field(layout::kDuration), std::string(2, '\0'));
}

TEST_F(SampleWrite, a_bad_duration_or_kind_is_refused_before_anything_is_written) {
    formatAs(cardTypeStation);
    for (const char* bad : {"abc", "70000", "-3", "12,5"}) EXPECT_FALSE(write(cardTypeStation, "Calm", bad)) << bad;
    for (int32_t badKind : {cardTypeNone, 3, -1}) {
        int32_t kind = badKind;
        EXPECT_FALSE(ocard_.writeFile7kx(file_, kind, "Calm", "10", false, false)) << badKind;
    }
    EXPECT_EQ(card_.counters().writeCalls, 0);
}

TEST_F(SampleWrite, a_write_refused_at_any_point_is_reported_and_never_leaves_half_a_sample) {
    for (const auto& [name, cardKind, sampleKind] :
         {std::tuple{"drink on drink", 1, 1}, {"station on station", 2, 2},
          {"drink on station", 2, 1}, {"station on drink", 1, 2}}) {
        formatAs(cardKind);
        ASSERT_TRUE(write(sampleKind, "Calm", "10", true, true)) << name;
        const auto total = static_cast<int32_t>(card_.writes().size());
        for (int32_t n = 1; n <= total; ++n) {
            formatAs(cardKind);
            card_.refuseWrite(n);
            int32_t kind = sampleKind;
            EXPECT_FALSE(ocard_.writeFile7kx(file_, kind, "Calm", "10", true, true)) << name << ", write " << n;
            EXPECT_TRUE(drink_.fileLength() == "0" || sampleIsComplete()) << name << ", write " << n;
        }
    }
}

TEST_F(SampleWrite, a_format_or_header_rewrite_refused_at_any_point_is_reported) {
    const std::pair<const char*, std::function<bool()>> operations[] = {
        {"drink format", [&] { return format(drink_, true, "s"); }},
        {"station format", [&] { return format(station_, false, "s"); }},
        {"drink header", [&] { return drink_.formatCardHeader(); }},
        {"station header", [&] { return station_.formatCardHeader(); }}};
    for (const auto& [name, operation] : operations) {
        formatAs(cardTypeStation);
        ASSERT_TRUE(operation()) << name;
        const auto total = static_cast<int32_t>(card_.writes().size());
        for (int32_t n = 1; n <= total; ++n) {
            formatAs(cardTypeStation);
            card_.refuseWrite(n);
            EXPECT_FALSE(operation()) << name << ", write " << n;
        }
    }
}
