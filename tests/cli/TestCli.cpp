// orvexcard run as a process against the simulated reader: what only a
// process shows (exit codes, messages, pulls, two processes at once); the
// settings store and the log shared by the threads of one process.
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "cli/CliOptions.h"
#include "foundation/RegTestSupport.h"
#include "foundation/clsLog.h"
#include "foundation/clsRegistry.h"
#include "platform/registry/RegFileStore.h"
#include "platform/sim/SimDirectory.h"
#include "samplefile/SampleFileMaker.h"
#include "support/ChildProcess.h"

namespace orvex::test {
namespace {

using ::testing::HasSubstr;
using orvex::cli::parseCommandLine;
namespace fs = std::filesystem;

const std::string kPulled = ": the card was pulled during the operation";
const std::string kVersion = "orvexcard [0-9]+\\.[0-9]+\\.[0-9]+\n";
const std::string kEsc = "Reader \x1b[31mC";  // a name that would colour a terminal

// A simulated reader directory, private settings and log for each test.
class CliTest : public ::testing::Test {
protected:
    using Args = std::vector<std::string>;
    static constexpr const char* kReader = "OrvexCard Simulated Reader 0";

    // English texts, a private log, and fast polling so the tests run quickly.
    void SetUp() override {
        dir_ = makeTempDir("cli");
        sim_ = dir_ + "/sim";
        registry_ = dir_ + "/registry";
        mkdir(registry_.c_str(), 0700);
        writeSettings("\"lng\"=dword:00000002\r\n");
        ASSERT_TRUE(platform::SimDirectory(sim_).init().ok());
    }
    void writeSettings(const std::string& lngLine) const { writeTestSettings(registry_, dir_ + "/trace.log", lngLine); }
    std::map<std::string, std::string> env() const {
        return {{"ORVEXCARD_SIM", sim_}, {"ORVEXCARD_REGISTRY_DIR", registry_},
                {"XDG_STATE_HOME", dir_ + "/state"}, {"XDG_CONFIG_HOME", dir_ + "/config"}};
    }
    ProgramResult run(const Args& args) const { return runProgram(args, env()); }
    ProgramResult expectExit(const Args& args, int code, const std::string& message) const {
        return expectEnd(run(args), code, message, args.at(0));
    }
    static ProgramResult expectEnd(const ProgramResult& r, int code, const std::string& message,
                                   const std::string& what = "") {
        EXPECT_EQ(r.exitCode, code) << what << ": " << r.err;
        EXPECT_THAT(r.err, ::testing::HasSubstr(message)) << what;
        return r;
    }
    // orvexcard started with these arguments; its output goes to name.out and name.err.
    std::unique_ptr<ChildProcess> start(Args args, const std::string& name) const {
        args.insert(args.begin(), ORVEXCARD_PROGRAM);
        return std::make_unique<ChildProcess>(args, dir_ + "/" + name + ".out", dir_ + "/" + name + ".err", env());
    }
    nlohmann::ordered_json inspectJson(const std::string& reader = kReader) const {
        return nlohmann::ordered_json::parse(run({"--api", "mcard", "--reader", reader, "inspect", "--json"}).out);
    }
    void expectFields(const std::string& fields, const std::string& reader = kReader) const {
        const auto expected = nlohmann::ordered_json::parse(fields), j = inspectJson(reader);
        nlohmann::ordered_json found;
        for (const auto& [k, v] : expected.items())
            found[k] = j.contains(k) ? j.at(k) : nlohmann::ordered_json();
        EXPECT_EQ(found, expected) << reader;
    }
    std::string card(const std::string& reader = kReader) const { return readFileBytes(sim_ + "/" + reader + "/card.bin"); }
    void setFaults(const std::string& lines, const std::string& reader = kReader) const {
        writeFileBytes(sim_ + "/" + reader + "/faults", lines);
    }
    void insert(const std::string& bytes, const std::string& reader = kReader) const {
        platform::SimDirectory sim(sim_);
        sim.remove(reader);
        ASSERT_TRUE(sim.insert(reader, bytes).ok());
    }
    void plug(const std::string& reader, const std::string& faults = "") const {
        ASSERT_TRUE(platform::SimDirectory(sim_).plug(reader).ok());
        setFaults(faults, reader);
    }
    std::string formatted(const std::string& kind) const {
        insert(std::string(16384, ' '));
        EXPECT_EQ(run({"format", "--kind", kind}).exitCode, 0);
        return card();
    }
    std::string sample(const SampleFileParts& parts = {}) const {
        writeFileBytes(dir_ + "/calm.7kx", sampleFileBytes(parts));
        return dir_ + "/calm.7kx";
    }

    std::string dir_, sim_, registry_;
};

const std::string kStoreHead =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n";

// A store file of about this size: one line per value, or one key per
// section. Written in pieces, so the test's own memory (which every child it
// forks starts out sharing, and its peak counts) stays small.
void writeLargeStore(const std::string& path, size_t bytes, bool sections) {
    std::ofstream out(path, std::ios::binary);
    out << kStoreHead;
    std::string text;
    for (size_t n = 0, written = 0; written < bytes; ++n) {
        const std::string name = "v" + std::to_string(n);
        text += sections ? "[HKEY_CURRENT_USER\\SOFTWARE\\" + name + "]\r\n\"a\"=\"b\"\r\n"
                         : "\"" + name + "\"=\"" + std::string(80, 'x') + "\"\r\n";
        if (text.size() >= 64 * 1024) written += text.size(), out << text, text.clear();
    }
}

}  // namespace

TEST_F(CliTest, write_refuses_a_card_that_does_not_verify_unless_told_to_format_it_and_hands_on_its_options) {
    insert(std::string(16384, ' '));
    expectExit({"write", sample()}, 1, "format it first");
    EXPECT_EQ(card(), std::string(16384, ' '));
    EXPECT_THAT(run({"write", sample(), "--format", "--kind", "station", "--duration", "2.5", "--combine", "--placebo",
                     "--name", "Grüße"}).out, HasSubstr("(612-100)"));
    expectFields(R"({"kind": 2, "verified": true, "name": "Grüße", "durationSeconds": 120, )"  // minutes, rounded
                 R"("combineSeq": true, "placebo": true, "fileLength": 8820})");
    std::string keys;  // scripts rely on the keys and their order
    for (const auto j = inspectJson(); const auto& [k, v] : j.items()) keys += k + " ";
    EXPECT_EQ(keys, "kind verified found dataError purpose version serial name lastModified durationSeconds "
                    "durationMinutes counter combineSeq placebo fileLength fileComments fileSerial fileLastModified ");
    ASSERT_EQ(run({"--api", "mcard", "format", "--kind", "drink", "--read-only", "--serial", "S-42"}).exitCode, 0);
    ASSERT_EQ(run({"write", sample(), "--duration", "2.5"}).exitCode, 0);  // seconds, rounded by the card
    expectFields(R"({"serial": "S-42", "version": "1.1.1ro", "durationSeconds": 2})");
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
    const std::string station = formatted("station");
    setFaults("pull_after_writes=2\n");
    insert(station);
    expectExit({"write", sample()}, 1, "Please try again. (614-100)" + kPulled);
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

TEST_F(CliTest, dump_and_restore_round_trip_and_failed_writes_say_why_and_where) {
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
    // A worn card answers every write with success and keeps one byte one bit
    // off: "BBB" would become "BCB". Nothing it did not keep is reported done.
    setFaults("");
    const std::string drink = formatted("drink");
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
    expectEnd(runProgram({"--wait", "0.3", "status"}, missingSim), 3, "orvexcard sim init");
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

TEST_F(CliTest, all_readers_json_records_every_card_and_a_failing_reader_leaves_the_others_written) {
    platform::SimDirectory(sim_).unplug(kReader);
    plug("Reader A");
    plug("Reader B", "read_only=1\n");
    const auto batch =
        start({"write", sample(), "--batch", "--all-readers", "--format", "--json", "--name", "Calm"}, "batch");
    // The failing card first: the other reader takes its card after it.
    insert(std::string(16384, ' '), "Reader B");
    ASSERT_TRUE(batch->waitFor(0, "\"result\":\"failed\"", 1));
    insert(std::string(16384, ' '), "Reader A");
    ASSERT_TRUE(batch->waitFor(0, "\"reader\"", 2));
    batch->signal(SIGINT);  // stopped as the operator stops it
    const ProgramResult r = expectEnd(batch->finish(), 1, "1 cards programmed, 1 failed\n");
    std::istringstream lines(r.out);
    std::string failedLine, doneLine;
    ASSERT_TRUE(std::getline(lines, failedLine) && std::getline(lines, doneLine) && lines.peek() == EOF) << r.out;
    const auto failed = nlohmann::json::parse(failedLine), done = nlohmann::json::parse(doneLine);
    const auto written = inspectJson("Reader A");
    EXPECT_EQ(done, nlohmann::json::parse(
        "{\"card\":2,\"reader\":\"Reader A\",\"result\":\"done\",\"serial\":" + written["serial"].dump() +
        ",\"name\":\"Calm\",\"duration\":" + written["durationSeconds"].dump() + ",\"elapsedMs\":" +
        done["elapsedMs"].dump() + ",\"message\":\"\"}"));
    EXPECT_EQ(failed, nlohmann::json::parse(
        R"({"card":1,"reader":"Reader B","result":"failed","serial":null,"name":null,"duration":null,"elapsedMs":)" +
        failed["elapsedMs"].dump() + R"(,"message":"formatting the card failed: check the card and try again"})"));
}

// A reader goes on with its next card while the others wait (a reader with no
// card waits), and a card pulled on one reader is a failure of that card only.
TEST_F(CliTest, all_readers_text_lines_name_the_reader_and_each_reader_takes_card_after_card) {
    plug("Reader A");
    plug(kEsc, "pull_after_writes=3\n");
    const auto batch = start({"format", "--batch", "--all-readers", "--kind", "station"}, "batch");
    insert(std::string(16384, ' '));
    insert(std::string(16384, ' '), kEsc);
    ASSERT_TRUE(batch->waitFor(0, "Reader \\x1B[31mC: card ", 1));
    ASSERT_TRUE(batch->waitFor(0, std::string(kReader) + ": card ", 1));
    // The same reader, a second card: seen as soon as it is in.
    platform::SimDirectory(sim_).remove(kReader);
    ASSERT_TRUE(batch->waitFor(1, std::string(kReader) + ": waiting for the next card", 2));
    insert(std::string(16384, ' '));
    ASSERT_TRUE(batch->waitFor(0, std::string(kReader) + ": card ", 2));
    batch->signal(SIGINT);
    const ProgramResult r = expectEnd(batch->finish(), 1, "Reader A: waiting for the next card");
    EXPECT_THAT(r.out, ::testing::MatchesRegex(
                           "(([^\n]*Simulated Reader 0: card [0-9]: done|Reader \\\\x1B\\[31mC: card [0-9]: "
                           "failed: [^\n]*pulled[^\n]*)\n){3}2 cards programmed, 1 failed\n"));
    EXPECT_EQ(inspectJson()["kind"], 2);
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
}

// The SCM driver reads at most 1024 bytes of reader names: with more, none of
// these readers starts, which is no reader to use at all.
TEST_F(CliTest, all_readers_none_of_which_starts_is_no_reader) {
    platform::SimDirectory(sim_).unplug(kReader);
    for (char n = '1'; n <= '5'; ++n) plug(std::string(250, n));
    expectExit({"format", "--batch", "--all-readers"}, 3,
               std::string(250, '5') + ": no card reader is attached");
}

// The card ends up as the two operations leave it one after the other, never
// as a mixture of both.
TEST_F(CliTest, a_format_started_during_a_batch_write_waits_for_the_write_only) {
    formatted("drink");
    ASSERT_EQ(run({"write", sample()}).exitCode, 0);
    const std::string written = card();
    const Args format{"format", "--kind", "drink", "--serial", "line 7"};
    ASSERT_EQ(run(format).exitCode, 0);
    const auto apartFromTimeStamp = [this] {  // in which alone two formats of one card differ
        auto j = inspectJson();
        j.erase("lastModified");
        return j;
    };
    const auto formatOnly = apartFromTimeStamp();
    // Slow enough that the two operations overlap unless one waits; the
    // batch's write begins with the file length, so it is under way once
    // the card's length field no longer reads as before.
    insert(written);
    setFaults("latency_ms=15\n");
    const auto batch = start({"write", sample(), "--batch", "--name", "Bright"}, "batch");
    ASSERT_TRUE(waitUntil([&] { return card().compare(256, 8, written, 256, 8) != 0; }, 20000));
    const ProgramResult formatted = run(format);
    EXPECT_EQ(formatted.exitCode, 0) << formatted.err;
    EXPECT_EQ(apartFromTimeStamp(), formatOnly) << "the card holds a mixture of both operations";
    ASSERT_TRUE(batch->waitFor(0, "card 1: done", 1)) << readFileBytes(dir_ + "/batch.err");
    batch->signal(SIGINT);
    EXPECT_EQ(batch->finish().exitCode, 0);
}

TEST_F(CliTest, hostile_settings_leave_every_card_operation_succeeding_ending_and_small) {
    const auto peakKb = [](int who) {  // of this process or of any child so far, in kilobytes
        rusage usage{};
        ::getrusage(who, &usage);
        return usage.ru_maxrss;
    };
    const auto logAt = [](const std::string& store, const std::string& path) {
        writeFileBytes(store, kStoreHead + "\"ocardlog\"=\"" + path + "\"\r\n");
    };
    const auto readOnly = [](const std::string& path) { ::chmod(path.c_str(), 0555); };  // also for root (see below)
    const std::pair<const char*, std::function<void(const std::string& store)>> rows[] = {
        {"sound settings", [](const std::string&) {}},
        {"store cut off in a value",
         [](const std::string& s) { writeFileBytes(s, readFileBytes(s).substr(0, 90) + "\"lng\"=dword:000"); }},
        {"store of binary bytes",
         [](const std::string& s) {
             std::string junk(4096, '\0');
             for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 7919 >> 3);
             writeFileBytes(s, junk);
         }},
        {"store of 10 MB", [](const std::string& s) { writeLargeStore(s, 10 << 20, false); }},
        {"store of 2 MB in sections", [](const std::string& s) { writeLargeStore(s, 2 << 20, true); }},
        {"read-only store",  // the log's default path must be stored, and cannot be
         [&](const std::string& s) { fs::remove(s), readOnly(registry_); }},
        {"log folder missing", [&](const std::string& s) { logAt(s, dir_ + "/gone/trace.log"); }},
        {"read-only log folder",
         [&](const std::string& s) {
             fs::create_directories(dir_ + "/locked");
             readOnly(dir_ + "/locked");
             logAt(s, dir_ + "/locked/trace.log");
         }},
        {"log is a FIFO", [&](const std::string& s) {
             ::mkfifo((dir_ + "/fifo").c_str(), 0600);
             logAt(s, dir_ + "/fifo");
         }}};
    long soundKb = 0;
    for (const auto& [name, spoil] : rows) {
        SCOPED_TRACE(name);
        CliTest::SetUp();  // a fresh folder for each row
        insert(std::string(16384, ' '));
        const std::string take = sample();
        spoil(registry_ + "/HKCU.reg");
        for (const Args& args : {Args{"format", "--kind", "drink"},
                                 {"write", take, "--kind", "station", "--duration", "2"}, {"inspect"}}) {
            // As root without the right to override file permissions, so
            // read-only means read-only; killed after 20 s.
            Args argv{"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search", "--", ORVEXCARD_PROGRAM};
            argv.erase(argv.begin(), argv.begin() + (::geteuid() == 0 ? 0 : 3));
            argv.insert(argv.end(), args.begin(), args.end());
            const ProgramResult r = ChildProcess(argv, dir_ + "/out", dir_ + "/err", env()).finish(20000);
            EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        }
        // A forked child starts out with the test's own pages, which count in
        // its peak: the test's peak is a floor of every child's.
        if (!soundKb) soundKb = peakKb(RUSAGE_CHILDREN);
        EXPECT_LT(peakKb(RUSAGE_CHILDREN), std::max(soundKb, peakKb(RUSAGE_SELF)) + 24 * 1024)
            << "the settings were read whole";
    }
}

// Many threads of one process at once, as a batch on several readers has them.
TEST(SharedStores, threads_keep_every_setting_and_log_line_whole_and_the_store_its_bound) {
    const ScopedRegistryDir dir;
    const std::string logPath = dir.dir + "/trace.log";
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kProductKey, "ocardlog", REG_SZ, logPath);
    constexpr int kThreads = 6, kRounds = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            clsRegistry reg;
            clsLog log;  // reads the log's setting, like every driver and card object
            for (int i = 0; i < kRounds; ++i) {
                reg.WriteRegistry(HKEY_CURRENT_USER, kProductKey, "v" + std::to_string(t * kRounds + i), REG_SZ,
                                  std::to_string(i));
                log.log(std::string(600, static_cast<char>('a' + t)));  // long, so a torn line shows
            }
        });
    }
    for (auto& t : threads) t.join();
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kProductKey, "big", REG_SZ,
                                std::string(platform::RegFileStore::kMaxFileSize, 'x'));
    EXPECT_EQ(clsRegistry().ReadRegistry(HKEY_CURRENT_USER, kProductKey, "big"), clsRegistry::notFoundVal());
    platform::RegFileStore fresh;  // what the file holds now
    for (int v = 0; v < kThreads * kRounds; ++v)
        EXPECT_EQ(clsRegistry(fresh).ReadRegistry(HKEY_CURRENT_USER, kProductKey, "v" + std::to_string(v)),
                  std::to_string(v % kRounds)) << v;
    std::istringstream lines(readFileBytes(logPath));
    const std::regex stamped("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} - [^\r\n]*\r");
    std::vector<int> perThread(kThreads, 0);
    for (std::string line; std::getline(lines, line);) {
        ASSERT_TRUE(std::regex_match(line, stamped)) << line.substr(0, 80);
        const char c = line[22];  // a thread's whole line: its letter 600 times
        if (line.size() == 623 && c >= 'a' && c < 'a' + kThreads && line.find_first_not_of(c, 22) == 622)
            ++perThread[c - 'a'];
    }
    EXPECT_EQ(perThread, std::vector<int>(kThreads, kRounds));
}

}  // namespace orvex::test
