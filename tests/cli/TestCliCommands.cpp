#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include "CliFixture.h"
#include "samplefile/SampleFileMaker.h"

using namespace orvex::test;
using ::testing::HasSubstr;

namespace {

std::string field(const std::string& card, size_t offset, size_t length) {
    return card.substr(offset, length);
}

nlohmann::json inspectJson(const ProgramResult& r) { return nlohmann::json::parse(r.out); }

}  // namespace

TEST_F(CliTest, format_makes_each_kind_and_the_card_verifies) {
    ASSERT_EQ(run({"sim", "insert", "--blank"}).exitCode, 0);
    ProgramResult r = run({"format", "--kind", "station"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string c = card();
    EXPECT_EQ(field(c, 40, 15), "orvextherapy   ");
    EXPECT_EQ(field(c, 55, 8), "1-0-0   ");
    EXPECT_EQ(c[157], '\0');
    EXPECT_EQ(field(c, 104, 9), "OrvexCard");
    EXPECT_THAT(field(c, 79, 25), HasSubstr("ocard/2.1.0/"));

    r = run({"--api", "mcard", "format", "--kind", "drink", "--read-only", "--serial", "S-42"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    c = card();
    EXPECT_EQ(field(c, 40, 15), "orvexdrink     ");
    EXPECT_EQ(field(c, 55, 8), "1.1.1ro ");
    EXPECT_EQ(field(c, 79, 4), "S-42");
    EXPECT_EQ(c[157], ' ');

    r = run({"inspect", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = inspectJson(r);
    EXPECT_EQ(j["kind"], 1);
    EXPECT_EQ(j["verified"], true);
    EXPECT_EQ(j["counter"], 65535);
    EXPECT_EQ(j["serial"], "S-42");
}

TEST_F(CliTest, write_onto_each_kind_and_onto_the_other_kind) {
    ASSERT_EQ(run({"sim", "insert", "--blank"}).exitCode, 0);
    ASSERT_EQ(run({"format", "--kind", "drink"}).exitCode, 0);
    const std::string sampleBytes = sampleFileBytes({}).substr(182);
    const std::string path = sample();

    // Onto its own kind: seconds as typed.
    ProgramResult r = run({"write", path, "--duration", "45", "--name", "Grüße"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("successfully written"));
    std::string c = card();
    EXPECT_EQ(field(c, 768, 8820), sampleBytes);
    EXPECT_EQ(field(c, 104, 6), "Gr\xfc\xdf" "e ");
    EXPECT_EQ(static_cast<unsigned char>(c[145]) * 256 + static_cast<unsigned char>(c[146]), 45);

    // A drink card's seconds are taken as typed and rounded as the card does.
    ASSERT_EQ(run({"write", path, "--duration", "2.5"}).exitCode, 0);
    c = card();
    EXPECT_EQ(static_cast<unsigned char>(c[145]) * 256 + static_cast<unsigned char>(c[146]), 2);

    // Onto the other kind: the header becomes a station card, the sample
    // stays, and the duration is minutes.
    r = run({"write", path, "--kind", "station", "--duration", "2.5", "--combine", "--placebo"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    c = card();
    EXPECT_EQ(field(c, 40, 15), "orvextherapy   ");
    EXPECT_EQ(static_cast<unsigned char>(c[145]) * 256 + static_cast<unsigned char>(c[146]), 120);
    EXPECT_EQ(c[157], '1');
    EXPECT_EQ(c[158], '1');
    EXPECT_EQ(field(c, 768, 8820), sampleBytes);

    r = run({"inspect", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = inspectJson(r);
    EXPECT_EQ(j["kind"], 2);
    EXPECT_EQ(j["durationSeconds"], 120);
    EXPECT_EQ(j["durationMinutes"], 2);
    EXPECT_EQ(j["fileLength"], 8820);
    EXPECT_EQ(j["name"], "calm");
    EXPECT_EQ(j["combineSeq"], true);
    EXPECT_EQ(j["fileSerial"], "10010/OSC/3.6");
}

TEST_F(CliTest, inspect_prints_damaged_and_blank_cards_and_fails) {
    ASSERT_EQ(run({"sim", "insert", "--blank"}).exitCode, 0);
    ProgramResult r = run({"inspect", "--json"});
    EXPECT_EQ(r.exitCode, 1);
    auto j = inspectJson(r);
    EXPECT_EQ(j["verified"], false);
    EXPECT_EQ(j["found"], false);
    EXPECT_EQ(j["dataError"], true);
    EXPECT_EQ(j["kind"], 0);

    ASSERT_EQ(run({"format", "--kind", "drink"}).exitCode, 0);
    std::string c = card();
    c[63] = static_cast<char>(c[63] ^ 0x01);  // tampered card id
    setCard(c);
    r = run({"inspect"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.out, HasSubstr("verified: no"));
    EXPECT_THAT(r.out, HasSubstr("kind: 1 (OrvexDrink)"));
    EXPECT_THAT(r.err, HasSubstr("did not verify"));
}

TEST_F(CliTest, json_keys_are_stable) {
    ASSERT_EQ(run({"sim", "insert", "--blank"}).exitCode, 0);
    const auto j = nlohmann::ordered_json::parse(run({"inspect", "--json"}).out);
    std::vector<std::string> keys;
    for (const auto& [k, v] : j.items()) keys.push_back(k);
    EXPECT_EQ(keys, (std::vector<std::string>{
                        "kind", "verified", "found", "dataError", "purpose", "version", "serial",
                        "name", "lastModified", "durationSeconds", "durationMinutes", "counter",
                        "combineSeq", "placebo", "fileLength", "fileComments", "fileSerial",
                        "fileLastModified"}));
}

TEST_F(CliTest, dump_and_restore_round_trip_and_wrong_sizes_are_refused) {
    ASSERT_EQ(run({"sim", "insert", "--blank"}).exitCode, 0);
    ASSERT_EQ(run({"format", "--kind", "station"}).exitCode, 0);
    const std::string image = dir_ + "/image.bin";
    ASSERT_EQ(run({"dump", image}).exitCode, 0);
    EXPECT_EQ(readFileBytes(image), card());

    const std::string formatted = card();
    setCard(std::string(16384, 'x'));
    ProgramResult r = run({"restore", image});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(card(), formatted);

    const std::string shorter = dir_ + "/short.bin";
    writeFileBytes(shorter, std::string(16383, 'y'));
    r = run({"restore", shorter});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("16383 bytes"));
    EXPECT_EQ(card(), formatted);
}

TEST_F(CliTest, no_reader_no_card_and_bad_input_have_their_exit_codes) {
    ProgramResult r = run({"--wait", "0.3", "inspect"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_THAT(r.err, HasSubstr("insert a card"));

    ASSERT_EQ(run({"sim", "unplug", kReader}).exitCode, 0);
    r = run({"--wait", "0.3", "status"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_THAT(r.err, HasSubstr("no card reader"));

    ASSERT_EQ(run({"sim", "plug", "Other"}).exitCode, 0);
    r = run({"--api", "mcard", "--reader", "Missing", "--wait", "0.3", "inspect"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_THAT(r.err, HasSubstr("no reader named \"Missing\""));
    EXPECT_THAT(r.err, HasSubstr("\"Other\""));

    std::map<std::string, std::string> missingSim = env();
    missingSim["ORVEXCARD_SIM"] = dir_ + "/nowhere";
    r = runProgram({"--wait", "0.3", "status"}, missingSim);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_THAT(r.err, HasSubstr("orvexcard sim init"));

    EXPECT_EQ(run({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(run({"format", "--kind", "coffee"}).exitCode, 2);
    EXPECT_EQ(run({"write"}).exitCode, 2);
    r = run({"write", dir_ + "/missing.7kx"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("(610-100)"));
    for (const char* duration : {"ten", "-3", "70000"}) {
        r = run({"write", sample(), "--kind", "drink", "--duration", duration});
        EXPECT_EQ(r.exitCode, 2) << duration;
        EXPECT_THAT(r.err, HasSubstr("--duration")) << duration;
    }
}

TEST_F(CliTest, a_refused_write_is_reported_as_a_failure) {
    ASSERT_EQ(run({"sim", "insert", "--blank"}).exitCode, 0);
    ASSERT_EQ(run({"format", "--kind", "drink"}).exitCode, 0);
    setFaults("read_only=1\n");
    ProgramResult r = run({"write", sample()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("(614-100)"));
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("successfully")));
    // A creator version the devices do not take gets its own message.
    r = run({"write", sample("OSC/3.5/10010")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("(617-100)"));
}

TEST_F(CliTest, sample_info_shows_fields_or_why_the_file_is_refused) {
    ProgramResult r = run({"sample-info", sample(), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["creatorname"], "OSC");
    EXPECT_EQ(j["creatorversionMinor"], 6);
    EXPECT_EQ(j["creatorVersionAccepted"], true);
    EXPECT_EQ(j["sampleBytes"], 8820);

    const std::string cut = dir_ + "/cut.7kx";
    writeFileBytes(cut, sampleFileBytes({}).substr(0, 9001));
    r = run({"sample-info", cut});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("9001 bytes"));
}

TEST_F(CliTest, batch_programs_every_card_and_survives_a_pulled_one) {
    const std::string path = sample();
    ProgramRun batch({"write", path, "--batch"}, env());
    int cards = 0;
    // Each card goes in once the batch waits for it and comes out after its
    // line, as an operator would handle them.
    const auto programCard = [&](const std::string& faults) {
        EXPECT_TRUE(batch.waitForErr("waiting for the next card", ++cards));
        setFaults(faults);
        EXPECT_EQ(run({"sim", "insert", "--blank"}).exitCode, 0);
        std::string line;
        EXPECT_TRUE(batch.readLine(line));
        const ProgramResult removed = run({"sim", "remove"});
        EXPECT_TRUE(removed.exitCode == 0 || faults.find("pull") != std::string::npos) << removed.err;
        return line;
    };
    EXPECT_EQ(programCard(""), "card 1: done");
    EXPECT_EQ(readFileBytes(sim_ + "/" + kReader + "/card.pulled.bin").substr(768, 8820),
              sampleFileBytes({}).substr(182));
    // This card leaves the reader in the middle of its sample.
    EXPECT_THAT(programCard("pull_after_writes=3\n"), HasSubstr("card 2: failed"));
    EXPECT_EQ(programCard(""), "card 3: done");
    EXPECT_TRUE(batch.waitForErr("waiting for the next card", 4));
    batch.interrupt();
    const ProgramResult r = batch.finish();
    EXPECT_THAT(r.out, HasSubstr("2 cards programmed, 1 failed"));
    EXPECT_EQ(r.exitCode, 1);
}
