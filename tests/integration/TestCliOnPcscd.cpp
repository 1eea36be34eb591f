// orvexcard as an operator runs it on a real PC/SC reader: format, write a
// sample, inspect, with both reader drivers; two of them on one card at once.
#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <algorithm>

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

// Each process holds the card in a PC/SC transaction for its whole
// operation. A restore started while a sample write is under way waits for
// the write and then leaves exactly its image; were the two to interleave,
// the write's name, written after its sample bytes, would outlive the
// restore's header.
TEST_F(CliOnPcscd, ARestoreStartedDuringASampleWriteWaitsForIt) {
    startCard(0, 5);  // slow enough that the two overlap unless one waits
    const std::string sample = dir_ + "/calm.7kx";
    writeFileBytes(sample, sampleFileBytes({}));
    ASSERT_EQ(run("mcard", {"format", "--kind", "station", "--serial", "line 7"}).exitCode, 0);
    ASSERT_EQ(run("mcard", {"write", sample, "--name", "Calm"}).exitCode, 0);
    const std::string image = readFileBytes(imagePath_);
    writeFileBytes(dir_ + "/image.bin", image);
    std::string other = sampleFileBytes({});  // other sample bytes, so the write shows at once
    std::reverse(other.begin() + 182, other.end());
    writeFileBytes(sample, other);

    const auto program = [this](std::vector<std::string> args) {
        args.insert(args.begin(), {ORVEXCARD_PROGRAM, "--api", "mcard", "--reader", readerName(), "--wait", "10"});
        return args;
    };
    const std::map<std::string, std::string> env{{"ORVEXCARD_SIM", ""}, {"ORVEXCARD_REGISTRY_DIR", dir_}};
    ChildProcess write(program({"write", sample, "--name", "Bright"}), dir_ + "/w.out", dir_ + "/w.err", env);
    const auto writeBegun = [&] {  // the emulator rewrites its file: a read may find it empty
        const std::string now = readFileBytes(imagePath_);
        return now.size() == image.size() && now.compare(768, 64, image, 768, 64) != 0;
    };
    ASSERT_TRUE(waitUntil(writeBegun, 10000)) << "the write did not begin";
    ChildProcess restore(program({"restore", dir_ + "/image.bin"}), dir_ + "/r.out", dir_ + "/r.err", env);
    const ProgramResult written = write.finish();
    const ProgramResult restored = restore.finish();
    EXPECT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_TRUE(readFileBytes(imagePath_) == image) << "the card holds a mixture of the write and the restore";
}

}  // namespace
}  // namespace orvex::test
