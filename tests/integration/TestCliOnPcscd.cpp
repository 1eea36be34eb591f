// orvexcard as an operator runs it on a real PC/SC reader: format, write a
// sample, inspect, with both reader drivers.
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

}  // namespace
}  // namespace orvex::test
