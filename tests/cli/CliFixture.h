#pragma once
// A simulated reader directory, private settings and log for each test, and
// shortcuts to run orvexcard against them and to look at the cards' bytes.
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "platform/sim/SimDirectory.h"
#include "samplefile/SampleFileMaker.h"
#include "support/ChildProcess.h"

namespace orvex::test {

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
    // orvexcard run with these arguments ends with the exit code and says the message.
    ProgramResult expectExit(const Args& args, int code, const std::string& message,
                             const std::map<std::string, std::string>* otherEnv = nullptr) const {
        return expectEnd(runProgram(args, otherEnv ? *otherEnv : env()), code, message, args.at(0));
    }
    static ProgramResult expectEnd(const ProgramResult& r, int code, const std::string& message,
                                   const std::string& what = "") {
        EXPECT_EQ(r.exitCode, code) << what << ": " << r.err;
        EXPECT_THAT(r.err, ::testing::HasSubstr(message)) << what;
        return r;
    }
    // A batch stopped as the operator stops it.
    static ProgramResult interrupt(ChildProcess& batch) {
        batch.signal(SIGINT);
        return batch.finish();
    }
    // orvexcard started with these arguments; its output goes to name.out and name.err.
    std::unique_ptr<ChildProcess> start(Args args, const std::string& name) const {
        args.insert(args.begin(), ORVEXCARD_PROGRAM);
        return std::make_unique<ChildProcess>(args, dir_ + "/" + name + ".out", dir_ + "/" + name + ".err", env());
    }
    nlohmann::ordered_json inspectJson(const std::string& reader = kReader) const {
        return nlohmann::ordered_json::parse(run({"--api", "mcard", "--reader", reader, "inspect", "--json"}).out);
    }
    // The card's inspect --json holds these fields with these values.
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
    // Puts these bytes into the reader as a card, pulled or not.
    void insert(const std::string& bytes, const std::string& reader = kReader) const {
        platform::SimDirectory sim(sim_);
        sim.remove(reader);
        ASSERT_TRUE(sim.insert(reader, bytes).ok());
    }
    // Another reader beside the default one, with its faults.
    void plug(const std::string& reader, const std::string& faults = "") const {
        ASSERT_TRUE(platform::SimDirectory(sim_).plug(reader).ok());
        setFaults(faults, reader);
    }
    // A freshly formatted card of the kind, now in the reader.
    std::string formatted(const std::string& kind) const {
        insert(std::string(16384, ' '));
        EXPECT_EQ(run({"format", "--kind", kind}).exitCode, 0);
        return card();
    }
    // A sample file in the test's directory.
    std::string sample(const SampleFileParts& parts = {}) const {
        writeFileBytes(dir_ + "/calm.7kx", sampleFileBytes(parts));
        return dir_ + "/calm.7kx";
    }

    std::string dir_;
    std::string sim_;
    std::string registry_;
};

}  // namespace orvex::test
