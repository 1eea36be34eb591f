// Batches on every attached simulated reader at once, as a production line
// runs them: each reader on its own thread, one line per card.
#include <gmock/gmock.h>
#include <signal.h>

#include <map>
#include <sstream>

#include "CliFixture.h"
#include "cli/CliOptions.h"

using namespace orvex::test;
using ::testing::HasSubstr;

namespace {

class AllReadersTest : public CliTest {
protected:
    // Readers plugged in beside the default one, each with its own faults.
    void plug(const std::string& name, const std::string& faults = "") const {
        orvex::platform::SimDirectory sim(sim_);
        ASSERT_TRUE(sim.plug(name).ok());
        writeFileBytes(sim_ + "/" + name + "/faults", faults);
    }
    void insertInto(const std::string& name) const {
        ASSERT_TRUE(orvex::platform::SimDirectory(sim_).insert(name, std::string(16384, ' ')).ok());
    }
    std::string cardOf(const std::string& name) const { return readFileBytes(sim_ + "/" + name + "/card.bin"); }
    nlohmann::json inspectOf(const std::string& name) const {
        return nlohmann::json::parse(run({"--api", "mcard", "--reader", name, "inspect", "--json"}).out);
    }
    static std::vector<nlohmann::json> jsonLines(const std::string& out) {
        std::vector<nlohmann::json> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
        return lines;
    }
};

const std::string kEsc = "Reader \x1b[31mC";  // a name that would colour a terminal

}  // namespace

// Three readers, one of which holds a read-only card: the other two are
// written all the same, and every card is one JSON line naming its reader.
TEST_F(AllReadersTest, json_records_every_card_and_a_failing_reader_leaves_the_others_written) {
    orvex::platform::SimDirectory(sim_).unplug(kReader);
    plug("Reader A");
    plug("Reader B", "read_only=1\n");
    plug(kEsc);
    ChildProcess batch({ORVEXCARD_PROGRAM, "write", sample(), "--batch", "--all-readers", "--format", "--json",
                        "--name", "Calm"},
                       dir_ + "/out", dir_ + "/err", env());
    // The failing card first: the other readers take their cards after it.
    insertInto("Reader B");
    ASSERT_TRUE(batch.waitFor(0, "\"result\":\"failed\"", 1));
    for (const auto* name : {"Reader A", kEsc.c_str()}) insertInto(name);
    ASSERT_TRUE(batch.waitFor(0, "\"reader\"", 3));
    batch.signal(SIGINT);
    const ProgramResult r = batch.finish();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("2 cards programmed, 1 failed\n"));
    std::map<std::string, nlohmann::json> byReader;
    std::set<int> numbers;
    for (const auto& j : jsonLines(r.out)) {
        byReader[j["reader"]] = j;
        numbers.insert(j["card"].get<int>());
    }
    ASSERT_EQ(byReader.size(), 3u) << r.out;
    EXPECT_EQ(numbers, (std::set<int>{1, 2, 3}));
    EXPECT_EQ(byReader["Reader B"]["card"], 1);
    const std::string data = sampleFileBytes({}).substr(182);
    for (const auto* name : {"Reader A", kEsc.c_str()}) {
        const auto& j = byReader[name];
        EXPECT_EQ(j["result"], "done") << j;
        EXPECT_EQ(cardOf(name).substr(768, 8820), data) << name;
        const auto card = inspectOf(name);
        EXPECT_EQ(j["serial"], card["serial"]);
        EXPECT_EQ(j["name"], "Calm");
        EXPECT_EQ(j["duration"], card["durationSeconds"]);
        EXPECT_GE(j["elapsedMs"].get<long>(), 0);
    }
    const auto& failed = byReader["Reader B"];
    EXPECT_EQ(failed["result"], "failed");
    EXPECT_TRUE(failed["serial"].is_null());
    EXPECT_NE(failed["message"], "");
    EXPECT_EQ(cardOf("Reader B"), std::string(16384, ' '));
}

// Text lines lead with the reader's name, shown inert; a reader goes on with
// its next card while the others wait, and a card pulled on one reader is a
// failure of that card only.
TEST_F(AllReadersTest, text_lines_name_the_reader_and_each_reader_takes_card_after_card) {
    plug("Reader A");
    plug(kEsc, "pull_after_writes=3\n");
    ChildProcess batch({ORVEXCARD_PROGRAM, "format", "--batch", "--all-readers", "--kind", "station"},
                       dir_ + "/out", dir_ + "/err", env());
    insertInto(kReader);
    insertInto(kEsc);
    ASSERT_TRUE(batch.waitFor(0, "Reader \\x1B[31mC: card ", 1));
    ASSERT_TRUE(batch.waitFor(0, std::string(kReader) + ": card ", 1));
    // The same reader, a second card: seen as soon as it is in.
    orvex::platform::SimDirectory(sim_).remove(kReader);
    ASSERT_TRUE(batch.waitFor(1, std::string(kReader) + ": waiting for the next card", 2));
    insertInto(kReader);
    ASSERT_TRUE(batch.waitFor(0, std::string(kReader) + ": card ", 2));
    batch.signal(SIGINT);
    const ProgramResult r = batch.finish();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.out, ::testing::MatchesRegex(
                           "(([^\n]*Simulated Reader 0: card [0-9]: done|Reader \\\\x1B\\[31mC: card [0-9]: "
                           "failed: [^\n]*pulled[^\n]*)\n){3}2 cards programmed, 1 failed\n"));
    EXPECT_EQ(inspectOf(kReader)["kind"], 2);
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
    EXPECT_THAT(r.err, HasSubstr("Reader A: waiting for the next card"));  // a reader with no card waits
}

TEST(CliOptions, all_readers_and_json_belong_to_a_batch) {
    const std::vector<std::pair<std::vector<std::string>, bool>> rows = {
        {{"write", "a.7kx", "--batch", "--all-readers", "--json"}, true},
        {{"format", "--batch", "--all-readers"}, true},
        {{"--api", "mcard", "format", "--batch", "--all-readers"}, true},
        {{"write", "a.7kx", "--all-readers"}, false},
        {{"format", "--json"}, false},
        {{"write", "a.7kx", "--batch", "--all-readers", "--reader", "R"}, false},
        {{"--api", "scard", "format", "--batch", "--all-readers"}, false},
        {{"inspect", "--all-readers"}, false},
    };
    for (const auto& [args, ok] : rows) {
        const auto parsed = orvex::cli::parseCommandLine(args);
        EXPECT_EQ(parsed.ok(), ok) << args[0] << " " << args.back() << ": " << parsed.error;
    }
}
