// orvexcard as an operator runs it on a real PC/SC reader: format, write a
// sample, inspect, with both reader drivers; two of them on one card at once.
#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include "PcscdTest.h"
#include "samplefile/SampleFileMaker.h"

namespace orvex::test {
namespace {

class CliOnPcscd : public PcscdTest {
protected:
    void SetUp() override {
        PcscdTest::SetUp();
        dir_ = makeTempDir("cli");
        writeTestSettings(dir_, dir_ + "/trace.log", "\"lng\"=dword:00000002\r\n", 50);
    }
    ProgramResult run(const std::string& api, std::vector<std::string> args) const {
        args.insert(args.begin(), {"--api", api, "--reader", readerName(), "--wait", "10"});
        return runProgram(args, {{"ORVEXCARD_SIM", ""}, {"ORVEXCARD_REGISTRY_DIR", dir_}});
    }
    std::string dir_;
};

TEST_F(CliOnPcscd, FormatWriteAndInspectWithBothDrivers) {
    startCard();
    const std::string sample = dir_ + "/calm.7kx";
    writeFileBytes(sample, sampleFileBytes({}));
    for (const std::string api : {"mcard", "scard"}) {
        ProgramResult r = run(api, {"format", "--kind", "station"});
        ASSERT_EQ(r.exitCode, 0) << api << ": " << r.err;
        EXPECT_EQ(readFileBytes(imagePath_).substr(40, 12), "orvextherapy") << api;
        r = run(api, {"write", sample, "--kind", "drink", "--duration", "45"});
        ASSERT_EQ(r.exitCode, 0) << api << ": " << r.err;
        EXPECT_EQ(readFileBytes(imagePath_).substr(768, 8820), sampleFileBytes({}).substr(182)) << api;
        r = run(api, {"inspect", "--json"});
        ASSERT_EQ(r.exitCode, 0) << api << ": " << r.err;
        const auto j = nlohmann::json::parse(r.out);
        EXPECT_EQ(j["verified"], true) << api;
    }
}

// Each process holds the card in a PC/SC transaction for its operation: a
// restore and a format started together run one after the other, so the card
// ends as one of them leaves it. Both drivers, one each.
TEST_F(CliOnPcscd, RestoreAndFormatFromTwoProgramsDoNotInterleave) {
    startCard(0, 5);  // slow enough that the two overlap unless one waits
    const std::string sample = dir_ + "/calm.7kx";
    writeFileBytes(sample, sampleFileBytes({}));
    ASSERT_EQ(run("mcard", {"format", "--kind", "station"}).exitCode, 0);
    ASSERT_EQ(run("mcard", {"write", sample}).exitCode, 0);
    const std::string image = readFileBytes(imagePath_);  // a station card with a sample
    writeFileBytes(dir_ + "/image.bin", image);
    ASSERT_EQ(run("mcard", {"format", "--kind", "drink", "--serial", "line 7"}).exitCode, 0);
    const auto withoutTimeStamp = [](std::string card) {
        card.replace(63, 16, 16, '#');   // card id
        card.replace(129, 16, 16, '#');  // time stamp
        card.replace(147, 10, 10, '#');  // playback counter, encoded with them
        return card;
    };
    const std::string formatted = withoutTimeStamp(readFileBytes(imagePath_));
    const auto program = [this](const std::string& api, std::vector<std::string> args) {
        args.insert(args.begin(), {ORVEXCARD_PROGRAM, "--api", api, "--reader", readerName(), "--wait", "10"});
        return args;
    };
    const std::map<std::string, std::string> env{{"ORVEXCARD_SIM", ""}, {"ORVEXCARD_REGISTRY_DIR", dir_}};
    ChildProcess restore(program("mcard", {"restore", dir_ + "/image.bin"}), dir_ + "/r.out", dir_ + "/r.err", env);
    ChildProcess format(program("scard", {"format", "--kind", "drink", "--serial", "line 7"}), dir_ + "/f.out",
                        dir_ + "/f.err", env);
    const ProgramResult restored = restore.finish();
    const ProgramResult formattedAgain = format.finish();
    EXPECT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_EQ(formattedAgain.exitCode, 0) << formattedAgain.err;
    const std::string end = readFileBytes(imagePath_);
    EXPECT_TRUE(end == image || withoutTimeStamp(end) == formatted)
        << "the card holds a mixture of the restore and the format";
}

}  // namespace
}  // namespace orvex::test
