#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "foundation/Clock.h"
#include "foundation/appInfo.h"
#include "foundation/clsLog.h"
#include "foundation/clsRegistry.h"
#include "foundation/modCommon.h"
#include "platform/process/ProgramProcess.h"
#include "tests/foundation/RegTestSupport.h"

using namespace orvex;
using test::countOf;
using test::readFileBytes;

namespace {

// Fixes the clock, the title and the version; restores them afterwards.
class clsLogFile : public ::testing::Test {
protected:
    void SetUp() override {
        installClock(&clock_);
        setApplicationTitle("OrvexCard wizard");
        setApplicationVersion(AppVersion{2, 1, 0});
    }
    void TearDown() override {
        installClock(nullptr);
        setProgramDirectory(savedProgramDir_);
    }
    static std::string storedPath() { return clsRegistry().ReadRegistry(HKEY_CURRENT_USER, kProductKey, "ocardlog"); }
    static void storePath(const std::string& path) {
        clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kProductKey, "ocardlog", REG_SZ, path);
    }
    // A path below a plain file: nothing can be created there.
    static std::string blockedPath(const std::string& below) {
        const std::string blocker = test::makeTempDir("blk") + "/file";
        test::writeFileBytes(blocker, "x");
        return blocker + below;
    }
    FixedClock clock_{DateTime{2026, 12, 5, 9, 4, 7}};
    test::ScopedRegistryDir registry_;
    const std::string savedProgramDir_ = programDirectory();
};

}  // namespace

// Text from a card or a file (a sample comment with a line feed and a time
// stamp, a card id of raw digest bytes) never ends its line nor forges one:
// C0 control bytes and DEL are written as \xNN, the code page's letters stay.
TEST_F(clsLogFile, exact_lines_start_block_control_bytes_and_terminate) {
    const std::string path = test::makeTempDir("log") + "/trace.log";
    storePath(path);
    {
        clsLog log;
        EXPECT_TRUE(log.log("  format: ok"));
        EXPECT_TRUE(log.log("c\n2001-01-01 00:00:00 - forged line\r", false));
        EXPECT_TRUE(log.log(std::string("bytes \0\x01\x1F\x20\x7E\x7F\x80\xFF", 14)));
        clock_.set(DateTime{2027, 1, 2, 13, 0, 59});
        EXPECT_TRUE(log.log(""));
        clock_.set(DateTime{2027, 1, 2, 23, 59, 5});
    }
    const std::string t = "2026-12-05 09:04:07 - ";
    EXPECT_EQ(readFileBytes(path), t + std::string(68, '=') + "\r\n" + t + "clsLog.Class_Initialize()\r\n" + t +
                                       "OrvexCard wizard 2.1.0\r\n" + t + "logFile=\"" + path + "\"\r\n" + t +
                                       "  format: ok\r\n"
                                       "c\\x0A2001-01-01 00:00:00 - forged line\\x0D\r\n" +
                                       t + "bytes \\x00\\x01\\x1F ~\\x7F\x80\xFF\r\n"
                                           "2027-01-02 13:00:59 - \r\n"
                                           "2027-01-02 23:59:05 - clsLog.Class_Terminate()\r\n");
}

TEST_F(clsLogFile, path_default_fallback_and_stored_value) {
    // The default: stored, reused, and the file only grows.
    const std::string program = test::makeTempDir("prog");
    setProgramDirectory(program);
    setApplicationVersion(AppVersion{3, 10, 0});
    const std::string expected = program + "/OrvexCard wizard.log";
    test::writeFileBytes(expected, "earlier run\r\n");
    EXPECT_EQ(storedPath(), clsRegistry::notFoundVal());
    {
        clsLog first;
        EXPECT_EQ(first.path(), expected);
        EXPECT_EQ(storedPath(), expected);
        EXPECT_EQ(clsLog().path(), expected);
    }
    const std::string file = readFileBytes(expected);
    EXPECT_EQ(file.rfind("earlier run\r\n", 0), 0u);
    EXPECT_EQ(countOf(file, "OrvexCard wizard 3.10.0\r\n"), 2u);

    // An unwritable program directory falls back to the user's state
    // directory, stored as Windows-1252 text like every setting.
    clsRegistry().DeleteValue(HKEY_CURRENT_USER, kProductKey, "ocardlog");
    setProgramDirectory(blockedPath("/bin"));
    const std::string state = test::makeTempDir("J\xC3\xBCrgen");
    test::ScopedEnv env("XDG_STATE_HOME", state.c_str());
    const std::string fallback = utf8ToWindows1252(state) + "/OrvexCard/OrvexCard wizard.log";
    EXPECT_EQ(clsLog().path(), fallback);
    EXPECT_EQ(storedPath(), fallback);
    EXPECT_EQ(countOf(readFileBytes(state + "/OrvexCard/OrvexCard wizard.log"), "clsLog.Class_Terminate()\r\n"), 1u);
    // So does a system's program folder, even for root, who may write there.
    clsRegistry().DeleteValue(HKEY_CURRENT_USER, kProductKey, "ocardlog");
    setProgramDirectory("/usr/bin");
    EXPECT_EQ(clsLog().path(), fallback);
    EXPECT_TRUE(platform::isSystemProgramFolder("/opt") && platform::isSystemProgramFolder("/opt/orvexcard/bin"));
    EXPECT_FALSE(platform::isSystemProgramFolder("/usrdata/orvexcard") || platform::isSystemProgramFolder("/home/op/usr"));

    // A stored path is used unchanged (Windows-1252, as settings are) and never rewritten.
    setProgramDirectory(program);
    const std::string dir = test::makeTempDir("log");
    storePath(dir + "/J\xFCrgen.log");
    { clsLog log; }
    EXPECT_EQ(storedPath(), dir + "/J\xFCrgen.log");
    EXPECT_EQ(countOf(readFileBytes(dir + "/J\xC3\xBCrgen.log"), "logFile=\"" + dir + "/J\xFCrgen.log\"\r\n"), 1u);
    EXPECT_EQ(countOf(readFileBytes(expected), "clsLog.Class_Terminate()\r\n"), 2u);
}

// A stored path that takes no file; or no stored path, no program directory
// and a state directory that Windows-1252 text cannot name, which is then not
// stored (a later run looks again). Reported once per process: a child each.
TEST_F(clsLogFile, an_unwritable_log_is_reported_once_and_stops_nothing) {
    for (const bool stored : {true, false}) {
        SCOPED_TRACE(stored ? "stored path" : "no default");
        const std::string path = stored ? blockedPath("/x.log") : "";
        if (stored) storePath(path);
        else clsRegistry().DeleteValue(HKEY_CURRENT_USER, kProductKey, "ocardlog");
        setProgramDirectory(blockedPath("/bin"));
        test::ScopedEnv env("XDG_STATE_HOME", test::makeTempDir("\xE5\xB1\xB1\xE7\x94\xB0").c_str());
        const std::string errFile = test::makeTempDir("err") + "/stderr";
        const pid_t child = fork();
        if (child == 0) {
            dup2(open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            bool all = true;
            {
                clsLog a, b;
                for (int i = 0; i < 5; ++i) all = a.log("line") && b.log("line", false) && all;
            }
            _exit(all ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const std::string err = readFileBytes(errFile);
        EXPECT_EQ(countOf(err, "cannot write the log file \"" + path + "\""), 1u) << err;
        EXPECT_EQ(storedPath(), stored ? path : clsRegistry::notFoundVal());
    }
}
