// Batches on every attached simulated reader at once, as a production line
// runs them: each reader on its own thread, one line per card.
#include <gmock/gmock.h>

#include <map>
#include <sstream>

#include "CliFixture.h"

using namespace orvex::test;
using ::testing::HasSubstr;

namespace {

const std::string kEsc = "Reader \x1b[31mC";  // a name that would colour a terminal

}  // namespace

// Two readers, one of which holds a read-only card: the other is written all
// the same, and every card is one JSON line naming its reader.
TEST_F(CliTest, all_readers_json_records_every_card_and_a_failing_reader_leaves_the_others_written) {
    orvex::platform::SimDirectory(sim_).unplug(kReader);
    plug("Reader A");
    plug("Reader B", "read_only=1\n");
    const auto batch =
        start({"write", sample(), "--batch", "--all-readers", "--format", "--json", "--name", "Calm"}, "batch");
    // The failing card first: the other reader takes its card after it.
    insert(std::string(16384, ' '), "Reader B");
    ASSERT_TRUE(batch->waitFor(0, "\"result\":\"failed\"", 1));
    insert(std::string(16384, ' '), "Reader A");
    ASSERT_TRUE(batch->waitFor(0, "\"reader\"", 2));
    const ProgramResult r = expectEnd(interrupt(*batch), 1, "1 cards programmed, 1 failed\n");
    std::map<std::string, nlohmann::json> byReader;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const auto j = nlohmann::json::parse(line);
        byReader[j["reader"]] = j;
    }
    ASSERT_EQ(byReader.size(), 2u) << r.out;
    const auto written = inspectJson("Reader A");
    EXPECT_EQ(byReader["Reader A"], nlohmann::json::parse(
        "{\"card\":2,\"reader\":\"Reader A\",\"result\":\"done\",\"serial\":" + written["serial"].dump() +
        ",\"name\":\"Calm\",\"duration\":" + written["durationSeconds"].dump() + ",\"elapsedMs\":" +
        byReader["Reader A"]["elapsedMs"].dump() + ",\"message\":\"\"}"));
    EXPECT_EQ(card("Reader A").substr(768, 8820), sampleFileBytes({}).substr(182));
    const auto& failed = byReader["Reader B"];
    EXPECT_EQ(failed["card"], 1);
    EXPECT_EQ(failed["result"], "failed");
    EXPECT_TRUE(failed["serial"].is_null());
    EXPECT_NE(failed["message"], "");
    EXPECT_EQ(card("Reader B"), std::string(16384, ' '));
}

// Text lines lead with the reader's name, shown inert; a reader goes on with
// its next card while the others wait (a reader with no card waits), and a
// card pulled on one reader is a failure of that card only.
TEST_F(CliTest, all_readers_text_lines_name_the_reader_and_each_reader_takes_card_after_card) {
    plug("Reader A");
    plug(kEsc, "pull_after_writes=3\n");
    const auto batch = start({"format", "--batch", "--all-readers", "--kind", "station"}, "batch");
    insert(std::string(16384, ' '));
    insert(std::string(16384, ' '), kEsc);
    ASSERT_TRUE(batch->waitFor(0, "Reader \\x1B[31mC: card ", 1));
    ASSERT_TRUE(batch->waitFor(0, std::string(kReader) + ": card ", 1));
    // The same reader, a second card: seen as soon as it is in.
    orvex::platform::SimDirectory(sim_).remove(kReader);
    ASSERT_TRUE(batch->waitFor(1, std::string(kReader) + ": waiting for the next card", 2));
    insert(std::string(16384, ' '));
    ASSERT_TRUE(batch->waitFor(0, std::string(kReader) + ": card ", 2));
    const ProgramResult r = expectEnd(interrupt(*batch), 1, "Reader A: waiting for the next card");
    EXPECT_THAT(r.out, ::testing::MatchesRegex(
                           "(([^\n]*Simulated Reader 0: card [0-9]: done|Reader \\\\x1B\\[31mC: card [0-9]: "
                           "failed: [^\n]*pulled[^\n]*)\n){3}2 cards programmed, 1 failed\n"));
    EXPECT_EQ(inspectJson()["kind"], 2);
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
}

// The SCM driver reads at most 1024 bytes of reader names: with more, none of
// these readers starts, which is no reader to use at all.
TEST_F(CliTest, all_readers_none_of_which_starts_is_no_reader) {
    orvex::platform::SimDirectory(sim_).unplug(kReader);
    for (char n = '1'; n <= '5'; ++n) plug(std::string(250, n));
    expectExit({"format", "--batch", "--all-readers"}, 3,
               std::string(250, '5') + ": no card reader is attached");
}
