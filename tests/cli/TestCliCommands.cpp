#include <gmock/gmock.h>

#include <set>

#include "CliFixture.h"
#include "cli/CliOptions.h"

using namespace orvex::test;
using ::testing::HasSubstr;
using orvex::cli::parseCommandLine;

namespace {
const std::string kPulled = ": the card was pulled during the operation";
const std::string kVersion = "orvexcard [0-9]+\\.[0-9]+\\.[0-9]+\n";
}  // namespace

TEST_F(CliTest, format_and_write_hand_their_options_to_the_card) {
    insert(std::string(16384, ' '));
    ASSERT_EQ(run({"--api", "mcard", "format", "--kind", "drink", "--read-only", "--serial", "S-42"}).exitCode, 0);
    ASSERT_EQ(run({"write", sample(), "--duration", "2.5"}).exitCode, 0);  // seconds, rounded by the card
    expectFields(R"({"serial": "S-42", "version": "1.1.1ro", "durationSeconds": 2})");
    // Onto the other kind: a station card takes minutes.
    EXPECT_THAT(run({"write", sample(), "--kind", "station", "--duration", "2.5", "--combine", "--placebo",
                     "--name", "Grüße"}).out, HasSubstr("(612-100)"));
    expectFields(R"({"kind": 2, "durationSeconds": 120, "name": "Grüße", )"
                 R"("combineSeq": true, "placebo": true})");
    std::string keys;  // scripts rely on the keys and their order
    for (const auto j = inspectJson(); const auto& [k, v] : j.items()) keys += k + " ";
    EXPECT_EQ(keys, "kind verified found dataError purpose version serial name lastModified durationSeconds "
                    "durationMinutes counter combineSeq placebo fileLength fileComments fileSerial fileLastModified ");
}

TEST_F(CliTest, write_refuses_a_card_that_does_not_verify_unless_told_to_format_it) {
    // Which cards verify is the card's to tell: a blank one and a wrong card id.
    std::string damaged = formatted("drink");
    damaged[63] ^= 1;
    for (const std::string& c : {std::string(16384, ' '), damaged}) {
        insert(c);
        expectExit({"write", sample()}, 1, "format it first");
        EXPECT_EQ(card(), c);
    }
    ASSERT_EQ(run({"write", sample(), "--format", "--kind", "station"}).exitCode, 0);
    expectFields(R"({"verified": true, "kind": 2, "fileLength": 8820})");
}

TEST_F(CliTest, text_output_shows_card_and_file_text_whole_and_inert) {
    insert(std::string(16384, '\0'));
    const ProgramResult blank = run({"inspect"});
    EXPECT_THAT(blank.out, HasSubstr("purpose: \\x00\\x00"));
    EXPECT_THAT(blank.out, HasSubstr("\nfile last modified: \n"));  // nothing cut at a NUL
    std::string c = formatted("drink");
    c.replace(104, 12, std::string("ab\0cd\x1b]0;x\x07\x9d", 12));
    insert(c);
    EXPECT_THAT(run({"inspect"}).out, HasSubstr("name: ab\\x00cd\\x1B]0;x\\x07\\x9D\n"));
    EXPECT_EQ(inspectJson()["name"], std::string("ab\0cd\x1b]0;x\x07\xc2\x9d", 13));  // JSON as it was
    // The file length as the card code reads it.
    for (const auto& [stored, shown] :
         std::map<std::string, std::string>{{" 12     ", "12"}, {"+12     ", "12"}, {"12.5    ", "12.5"}}) {
        insert(c.replace(256, 8, stored));
        EXPECT_THAT(run({"inspect"}).out, HasSubstr("\nfile length: " + shown + "\n")) << stored;
    }
    EXPECT_THAT(run({"sample-info", sample({.comment = std::string("calm\x1b[2J\0\x7ftail", 14)})}).out,
                HasSubstr("comment: calm\\x1B[2J\\x00\\x7Ftail\n"));
    const ProgramResult r = expectExit({"write", sample({.format = std::string("7kx\0\x1b[31m", 9)})}, 2,
                                       "\"7kx\\x00\\x1B[31m\", not \"7kx/1.0.0\"\n");
    EXPECT_EQ(r.err.find_first_of(std::string("\x1b\x07\x00", 3)), std::string::npos);
}

TEST_F(CliTest, a_pulled_write_gives_the_windows_message_then_the_reason) {
    const std::string drink = formatted("drink");
    const std::string station = formatted("station");
    setFaults("pull_after_writes=2\n");
    insert(drink);
    expectExit({"write", sample()}, 1, "Please try again. (614-100)" + kPulled);
    insert(drink);
    expectExit({"write", sample({.creator = "OSC/3.5/10010"})}, 1, "(617-100)" + kPulled);
    // Across kinds, a card pulled while its header is rewritten has no kind.
    std::set<std::string> suffixes = {"(614-100)"};
    for (int n = 1; n < 100 && !suffixes.count("(614-101)"); ++n) {
        setFaults("pull_after_writes=" + std::to_string(n) + "\n");
        insert(station);
        const ProgramResult r = run({"write", sample(), "--kind", "drink"});
        const size_t at = r.err.find(kPulled);
        ASSERT_TRUE(r.exitCode == 1 && at != std::string::npos && at >= 9) << n << r.err;
        suffixes.insert(r.err.substr(at - 9, 9));
    }
    EXPECT_EQ(suffixes, (std::set<std::string>{"(614-100)", "(614-101)"}));
}

TEST_F(CliTest, dump_and_restore_round_trip_and_report_failures) {
    const std::string station = formatted("station");
    const std::string image = dir_ + "/image.bin";
    ASSERT_EQ(run({"dump", image}).exitCode, 0);
    insert(std::string(16384, 'x'));
    ASSERT_EQ(run({"restore", image}).exitCode, 0);
    EXPECT_EQ(card(), station);
    setFaults("read_only=1\n");
    const ProgramResult r = expectExit({"restore", image}, 1, "");
    EXPECT_EQ(r.out + r.err, "orvexcard: writing the card failed: check the card and try again\n");
    writeFileBytes(image, std::string(16383, 'y'));
    expectExit({"restore", image}, 2, "16383 bytes");
}

// A worn card answers every write with success and keeps one byte one bit
// off: "BBB" would become "BCB". Nothing it did not keep is reported done.
TEST_F(CliTest, a_worn_card_fails_write_format_and_restore_and_they_say_where) {
    const std::string drink = formatted("drink");
    const std::string image = dir_ + "/image.bin";
    writeFileBytes(image, drink);
    const std::string notKept = "the card did not keep what was written: byte ";
    for (const auto& [args, worn, message] :
         {std::tuple<Args, int, std::string>{{"format", "--kind", "station"}, 300, "orvexcard: " + notKept + "300 "},
          {{"restore", image}, 16383, "orvexcard: " + notKept + "16383 "},
          {{"write", sample(), "--name", "BBB"}, 105, "(614-100): " + notKept + "105 "}}) {
        insert(drink);
        setFaults("corrupt_write_at=" + std::to_string(worn) + "\n");
        expectExit(args, 1, message);
    }
    EXPECT_NE(readFileBytes(dir_ + "/trace.log")
                  .find("  FAILED: the card did not keep what was written: offset 105 reads 0x43, 0x42 was written"),
              std::string::npos);
    // The sample never counts on a card that did not keep it.
    expectFields(R"({"name": "BCB", "fileLength": 0})");
}

TEST_F(CliTest, no_reader_no_card_and_bad_input_have_their_exit_codes) {
    expectExit({"--wait", "0.3", "inspect"}, 4, "insert a card");
    EXPECT_THAT(run({"--version"}).out, ::testing::MatchesRegex(kVersion + "driver: .*simulated.*\n"));

    ASSERT_EQ(run({"sim", "unplug", kReader}).exitCode, 0);
    expectExit({"--wait", "0.3", "status"}, 3, "no card reader");
    ASSERT_EQ(run({"sim", "plug", "Other"}).exitCode, 0);
    expectExit({"--api", "mcard", "--reader", "Missing", "--wait", "0.3", "inspect"}, 3,
               "no reader named \"Missing\"; these readers are attached: \"Other\"");
    auto missingSim = env();
    missingSim["ORVEXCARD_SIM"] = dir_ + "/nowhere";
    expectExit({"--wait", "0.3", "status"}, 3, "orvexcard sim init", &missingSim);
    // Without a driver, --version names the program only.
    EXPECT_THAT(runProgram({"--version", "--api", "mcard"}, missingSim).out, ::testing::MatchesRegex(kVersion));

    expectExit({"frobnicate"}, 2, "");
    expectExit({"write", sample(), "--kind", "drink", "--duration", "70000"}, 2, "");
    expectExit({"write", dir_ + "/missing.7kx"}, 2, "(610-100)");
}

TEST_F(CliTest, messages_are_in_one_language_chosen_by_option_setting_or_locale) {
    struct Row {
        std::string lng, lcAll, lcMessages, lang, option;
        bool german;
    };
    for (const Row& row : std::vector<Row>{{"", "", "", "de_DE.UTF-8", "--wait=1", true},
                                           {"", "C", "de_DE", "de_DE", "--wait=1", false},
                                           {"", "", "de_AT", "en_GB", "--wait=1", true},
                                           {"", "", "", "fr_FR", "--wait=1", false},
                                           {"", "", "", "de_DE", "--lang=en", false},
                                           {"\"lng\"=dword:00000001\r\n", "en_US", "", "", "--wait=1", true}}) {
        writeSettings(row.lng);
        auto e = env();
        e.insert({{"LC_ALL", row.lcAll}, {"LC_MESSAGES", row.lcMessages}, {"LANG", row.lang}});
        EXPECT_EQ(runProgram({row.option, "--bogus"}, e).err,
                  row.german ? "orvexcard: Aufruffehler: unbekannte Option \"--bogus\" (siehe orvexcard --help)\n"
                             : "orvexcard: usage error: unknown option \"--bogus\" (see orvexcard --help)\n")
            << row.lcAll << row.lcMessages << row.lang << row.option;
    }
}

TEST(CliOptions, global_options_stand_before_or_after_the_command) {
    for (const auto& r : {parseCommandLine({"--api", "mcard", "--reader=R 1", "--wait", "3600", "write", "a.7kx", "--duration", "45"}),
                          parseCommandLine({"write", "a.7kx", "--reader", "R 1", "--duration=45", "--api=mcard", "--wait=3600"})}) {
        ASSERT_TRUE(r.ok()) << r.error;
        const auto& o = r.options;
        EXPECT_EQ(o.command + "|" + o.operands.at(0) + "|" + o.api.value_or("") + "|" + o.reader.value_or("") + "|" + o.value("duration").value_or(""),
                  "write|a.7kx|mcard|R 1|45");
        EXPECT_EQ(o.waitSeconds, 3600);  // an hour is the longest wait
    }
}

TEST(CliOptions, mistakes_are_usage_errors) {
    const std::pair<std::vector<std::string>, bool> rows[] = {
        {{"dump", "--", "--odd-name.bin"}, true},       // after "--" everything is an operand
        {{}, false},                                    // no command
        {{"inspect", "extra"}, false},                  // an operand too many
        {{"write"}, false},                             // the sample is missing
        {{"write", "a.7kx", "b.7kx"}, false},           // one sample per write
        {{"inspect", "--kind", "drink"}, false},        // an option of another command
        {{"--api", "usb", "status"}, false},            // an unknown driver
        {{"--lang", "fr", "status"}, false},            // an unknown language
        {{"--wait", "-1", "status"}, false},            // a negative wait
        {{"--wait", "nan", "status"}, false},           // not a number
        {{"--wait", "99999", "status"}, false},         // beyond an hour
        {{"--reader"}, false},                          // a value is missing
        {{"--reader", "a", "--reader", "b", "status"}, false},
        {{"format", "--kind", "coffee"}, false},
        {{"status", "-x"}, false},
        {{"status", "--json=1"}, false},                // a flag takes no value
        // Every reader at once and JSON lines belong to a batch, on the SCM
        // driver, without a reader's name.
        {{"write", "a.7kx", "--batch", "--all-readers", "--json"}, true},
        {{"--api", "mcard", "format", "--batch", "--all-readers"}, true},
        {{"write", "a.7kx", "--all-readers"}, false},
        {{"format", "--json"}, false},
        {{"write", "a.7kx", "--batch", "--all-readers", "--reader", "R"}, false},
        {{"--api", "scard", "format", "--batch", "--all-readers"}, false},
        {{"inspect", "--all-readers"}, false},
    };
    for (const auto& [args, ok] : rows)
        EXPECT_EQ(parseCommandLine(args).ok(), ok) << ::testing::PrintToString(args);
}
