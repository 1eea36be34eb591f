// orvexcard as an operator runs it on a real PC/SC reader, two of them on one
// card at once. Each process holds the card in a PC/SC transaction for its
// whole operation: a restore started while a sample write is under way waits
// for the write and then leaves exactly its image; were the two to
// interleave, the write's name, written after its sample bytes, would
// outlive the restore's header.
#include <gtest/gtest.h>

#include <algorithm>

#include "PcscdTest.h"
#include "samplefile/SampleFileMaker.h"

namespace orvex::test {
namespace {

using CliOnPcscd = PcscdTest;

TEST_F(CliOnPcscd, ARestoreStartedDuringASampleWriteWaitsForIt) {
    startCard(0, 5);  // slow enough that the two overlap unless one waits
    const std::string dir = makeTempDir("cli"), sample = dir + "/calm.7kx";
    writeTestSettings(dir, dir + "/trace.log", "\"lng\"=dword:00000002\r\n", 50);
    const std::map<std::string, std::string> env{{"ORVEXCARD_SIM", ""}, {"ORVEXCARD_REGISTRY_DIR", dir}};
    const auto program = [&](const std::string& api, std::vector<std::string> args) {
        args.insert(args.begin(), {ORVEXCARD_PROGRAM, "--api", api, "--reader", readerName(), "--wait", "10"});
        return args;
    };
    const auto run = [&](const std::string& api, const std::vector<std::string>& args) {
        return ChildProcess(program(api, args), dir + "/out", dir + "/out", env).finish().exitCode;
    };
    // Both drivers through the command line: the card prepared by one, the
    // image saved, the sample bytes changed so that a new write shows at once.
    writeFileBytes(sample, sampleFileBytes({}));
    ASSERT_EQ(run("scard", {"format", "--kind", "station", "--serial", "line 7"}), 0);
    ASSERT_EQ(run("mcard", {"write", sample, "--name", "Calm"}), 0);
    const std::string image = readFileBytes(imagePath_);
    EXPECT_EQ(image.substr(768, 8820), sampleFileBytes({}).substr(182));
    ASSERT_EQ(run("scard", {"dump", dir + "/image.bin"}), 0);
    std::string other = sampleFileBytes({});
    std::reverse(other.begin() + 182, other.end());
    writeFileBytes(sample, other);

    ChildProcess write(program("mcard", {"write", sample, "--name", "Bright"}), dir + "/w.out", dir + "/w.err", env);
    const auto writeBegun = [&] {  // the emulator rewrites its file: a read may find it empty
        const std::string now = readFileBytes(imagePath_);
        return now.size() == image.size() && now.compare(768, 64, image, 768, 64) != 0;
    };
    ASSERT_TRUE(waitUntil(writeBegun, 10000)) << "the write did not begin";
    ChildProcess restore(program("mcard", {"restore", dir + "/image.bin"}), dir + "/r.out", dir + "/r.err", env);
    const ProgramResult written = write.finish();
    const ProgramResult restored = restore.finish();
    EXPECT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_TRUE(readFileBytes(imagePath_) == image) << "the card holds a mixture of the write and the restore";
}

}  // namespace
}  // namespace orvex::test
