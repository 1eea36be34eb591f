#include <gtest/gtest.h>

#include "cards/modTasks.h"
#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"

using namespace orvex;
using namespace orvex::test;

namespace {

file7kx sampleBy(const std::string& creator) {
    SampleFileParts parts;
    parts.creator = creator;
    file7kx file;
    EXPECT_TRUE(file.loadFromFile(writeSampleFile(sampleFileBytes(parts))));
    return file;
}

}  // namespace

TEST(tasks, station_minutes_round_half_to_even_and_drink_seconds_stay) {
    const struct { int kind; const char* entered; const char* stored; } rows[] = {
        {2, "2.5", "120"}, {2, "3.5", "240"}, {2, "30", "1800"}, {1, "2.5", "2.5"}, {1, "45", "45"},
        {2, "", "0"}, {2, "0", "0"}, {2, "-3", "0"}, {2, "x", "0"}, {2, "1e3", "0"}, {2, " 5", "0"},
        {2, "1.2.3", "0"}};
    for (const auto& row : rows)
        EXPECT_EQ(tasks::durationForCard(row.kind, row.entered), row.stored) << row.kind << " " << row.entered;
}

TEST(tasks, kind_is_the_chosen_one_else_the_cards_else_drink) {
    EXPECT_EQ(tasks::taskKind(2, 1), 2);
    EXPECT_EQ(tasks::taskKind(std::nullopt, 2), 2);
    EXPECT_EQ(tasks::taskKind(std::nullopt, 0), 1);
    EXPECT_EQ(tasks::taskKind(7, 0), 1);
}

TEST(tasks, write_report_names_the_version_rule_before_the_write_failure) {
    const file7kx accepted = sampleBy("OSC/3.6/1");
    EXPECT_TRUE(tasks::creatorVersionAllowed(accepted));
    EXPECT_TRUE(tasks::creatorVersionAllowed(sampleBy("osc/4.0/1")));
    for (const char* refused : {"OSC/3.5/1", "OSC/2.9/1", "Other/9.9/1", "OSC"}) {
        const file7kx file = sampleBy(refused);
        EXPECT_FALSE(tasks::creatorVersionAllowed(file)) << refused;
        EXPECT_EQ(tasks::writeReport(false, file, 1).suffix, " (617-100)") << refused;
        // A written card is a success whatever made the file.
        EXPECT_TRUE(tasks::writeReport(true, file, 1).success) << refused;
    }
    EXPECT_EQ(tasks::writeReport(true, accepted, 2).suffix, " (612-100)");
    EXPECT_EQ(tasks::writeReport(false, accepted, 2).suffix, " (614-100)");
    EXPECT_EQ(tasks::writeReport(false, accepted, 0).suffix, " (614-101)");
}

TEST(tasks, creator_text_of_a_format_and_a_lasting_installation_serial) {
    EXPECT_EQ(tasks::formatCreatorText({2, 1, 0}, 4711), "ocard/2.1.0/4711");
    const uint32_t serial = tasks::installationSerial();
    EXPECT_GT(serial, 0u);
    EXPECT_EQ(tasks::installationSerial(), serial);
}
