#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "foundation/Clock.h"
#include "foundation/appInfo.h"
#include "foundation/clsLog.h"
#include "foundation/clsRegistry.h"
#include "foundation/modCommon.h"
#include "platform/process/ProgramProcess.h"
#include "platform/registry/FileLock.h"
#include "platform/registry/RegFileLocation.h"
#include "platform/registry/RegFileParser.h"
#include "platform/registry/RegFileStore.h"
#include "tests/foundation/RegTestSupport.h"

using namespace orvex;
using namespace orvex::test;
namespace fs = std::filesystem;
namespace reg = platform::reg;

namespace {

const std::string kKey = kProductKey;
const std::string kNotFound = "###Not Found###";

std::string read(const std::string& name) {
    platform::RegFileStore store;  // a fresh store: what another process sees
    return clsRegistry(store).ReadRegistry(HKEY_CURRENT_USER, kKey, name);
}
void write(const std::string& name, const std::string& text) {
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kKey, name, REG_SZ, text);
}

std::vector<std::string> filesNamed(const std::string& dir, const std::string& part) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().find(part) != std::string::npos)
            found.push_back(entry.path().string());
    return found;
}

// A path below a plain file: nothing can be created there.
std::string blockedPath(const std::string& below) {
    const std::string blocker = makeTempDir("blk") + "/file";
    writeFileBytes(blocker, "x");
    return blocker + below;
}

class RegFileStore : public ::testing::Test {
protected:
    ScopedRegistryDir files_;
};

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
    FixedClock clock_{DateTime{2026, 12, 5, 9, 4, 7}};
    ScopedRegistryDir registry_;
    const std::string savedProgramDir_ = programDirectory();
};

}  // namespace

TEST(RegFileLocation, follows_the_environment_at_each_use) {
    const struct { const char* dir; const char* xdg; const char* hkcu; const char* hklm; } rows[] = {
        {"/srv/reg", "/cfg", "/srv/reg/HKCU.reg", "/srv/reg/HKLM.reg"},
        {nullptr, "/cfg", "/cfg/Tessovanwerk/HKCU.reg", "/etc/Tessovanwerk/HKLM.reg"},
        {nullptr, nullptr, "/home/op/.config/Tessovanwerk/HKCU.reg", "/etc/Tessovanwerk/HKLM.reg"},
        {nullptr, "relative", "/home/op/.config/Tessovanwerk/HKCU.reg", "/etc/Tessovanwerk/HKLM.reg"}};
    ScopedEnv home("HOME", "/home/op");
    for (const auto& row : rows) {
        ScopedEnv dir("ORVEXCARD_REGISTRY_DIR", row.dir), xdg("XDG_CONFIG_HOME", row.xdg);
        EXPECT_EQ(platform::registryFilePath(HKEY_CURRENT_USER), row.hkcu);
        EXPECT_EQ(platform::registryFilePath(HKEY_LOCAL_MACHINE), row.hklm);
    }
}

TEST_F(RegFileStore, every_byte_survives_a_round_trip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string key = kKey + "\\Gr\xFC\xDF\x81" "e]";
    const struct { const char* name; uint32_t type; std::string data; } values[] = {
        {"all", REG_SZ, all}, {"plain", REG_SZ, all.substr(0x20) + '\0'}, {"nodata", REG_SZ, ""},
        {"expand", 2, all}, {"multi", 7, all}, {"bin", REG_BINARY, all}, {"nobin", REG_BINARY, ""},
        {"qword", 11, all.substr(1, 8)}, {"short", REG_DWORD, "\x01\x02\x03"},
        {"q\"\\@", REG_SZ, "\"\\\0"}, {"", REG_SZ, std::string("\x81\x8D\x8F\x90\x9D", 6)}};
    platform::RegHandle h = 0;
    {
        platform::RegFileStore store;
        ASSERT_EQ(store.createKey(HKEY_CURRENT_USER, key, h), reg::ERROR_SUCCESS);
        for (const auto& v : values) ASSERT_EQ(store.setValue(h, v.name, v.type, v.data), 0) << v.name;
    }
    platform::RegFileStore fresh;
    ASSERT_EQ(fresh.openKey(HKEY_CURRENT_USER, key, h), reg::ERROR_SUCCESS);
    for (const auto& v : values) {
        uint32_t type = 0, size = 0;
        std::string data;
        ASSERT_EQ(fresh.queryValue(h, v.name, type, data, 4096, size), reg::ERROR_SUCCESS) << v.name;
        EXPECT_EQ(std::make_pair(type, data), std::make_pair(v.type, v.data)) << v.name;
    }
    // Printable text is written readable, in UTF-8.
    const std::string file = readFileBytes(files_.hkcu());
    EXPECT_EQ(file.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_NE(file.find("\"plain\"=\" !\\\"#$"), std::string::npos);
    EXPECT_NE(file.find("\xC3\xBC\xC3\x9F"), std::string::npos);  // the key name's ü ß
}

TEST_F(RegFileStore, reads_a_file_replaced_while_running_and_writes_through_a_link) {
    clsRegistry r;  // the program's own store
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "api", REG_SZ, std::string("SCARD"));
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "api"), "SCARD");
    const std::string target = makeTempDir("shared") + "/settings.reg";
    writeFileBytes(target, "REGEDIT4\r\n[HKEY_CURRENT_USER\\" + kKey + "]\r\n\"api\"=\"MCARD\"\r\n");
    fs::create_symlink(target, files_.hkcu() + ".new");
    fs::rename(files_.hkcu() + ".new", files_.hkcu());
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "api"), "MCARD");
    // Rewriting it keeps every value; a recognised file is not copied aside.
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "reader", REG_SZ, std::string("R"));
    EXPECT_TRUE(fs::is_symlink(files_.hkcu()));
    EXPECT_NE(readFileBytes(target).find("\"api\"=\"MCARD\"\n\"reader\"=\"R\"\n"), std::string::npos);
    EXPECT_TRUE(filesNamed(files_.dir, ".bad-").empty());
}

TEST_F(RegFileStore, a_write_from_another_process_is_not_lost) {
    const auto writeAll = [](const std::string& prefix) {
        platform::RegFileStore store;
        for (int i = 0; i < 150; ++i)
            clsRegistry(store).WriteRegistry(HKEY_CURRENT_USER, kKey, prefix + std::to_string(i), REG_SZ, int64_t{i});
    };
    const pid_t child = fork();
    if (child == 0) writeAll("child"), _exit(0);
    writeAll("parent");
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    int missing = 0;
    for (int i = 0; i < 150; ++i)
        for (const std::string who : {"child", "parent"}) missing += read(who + std::to_string(i)) != std::to_string(i);
    EXPECT_EQ(missing, 0);
}

TEST_F(RegFileStore, a_crash_mid_write_leaves_a_whole_file) {
    write("keep", "me");
    std::mt19937 random(7);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = fork();
        if (child == 0) {
            platform::RegFileStore store;
            clsRegistry r(store);
            for (int i = 0;; ++i)
                r.WriteRegistry(HKEY_CURRENT_USER, kKey, "n" + std::to_string(i % 50), REG_SZ,
                                std::string(static_cast<size_t>(i % 300), 'x'));
        }
        usleep(1000 + random() % 20000);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const platform::RegFileDocument doc =
            platform::RegFileParser::parse(readFileBytes(files_.hkcu()), HKEY_CURRENT_USER);
        EXPECT_TRUE(doc.recognised) << round;
        EXPECT_EQ(doc.unreadableLines, 0u) << round;
        EXPECT_EQ(read("keep"), "me") << round;
    }
    // The dead writer's lock went with it, and its half-written temporary
    // files go with the next write.
    write("after", "ok");
    EXPECT_EQ(read("after"), "ok");
    EXPECT_TRUE(filesNamed(files_.dir, ".tmp-").empty());
}

TEST_F(RegFileStore, nothing_the_operator_put_in_the_file_is_thrown_away) {
    // Lines it cannot read survive a rewrite in place.
    writeFileBytes(files_.hkcu(), "Windows Registry Editor Version 5.00\n; the operator's note\n[HKEY_CURRENT_USER\\" +
                                 kKey + "]\n\"api\"=\"MCARD\"\n\"broken\"=hex:zz\n");
    write("reader", "R1");
    EXPECT_EQ(read("api"), "MCARD");
    EXPECT_NE(readFileBytes(files_.hkcu()).find("; the operator's note\n\n[HKEY_CURRENT_USER\\" + kKey +
                                           "]\n\"api\"=\"MCARD\"\n\"reader\"=\"R1\"\n\"broken\"=hex:zz\n"),
              std::string::npos) << readFileBytes(files_.hkcu());
    // A file that is no registry file is copied aside once, before the first write.
    const std::string junk("\x7F" "ELF\0\x01\x02 not settings \xC3\x28\n[x]\n", 28);
    writeFileBytes(files_.hkcu(), junk);
    EXPECT_EQ(read("api"), kNotFound);
    write("api", "SCARD");
    write("api", "MCARD");
    EXPECT_EQ(read("api"), "MCARD");
    const std::vector<std::string> copies = filesNamed(files_.dir, "HKCU.reg.bad-");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(readFileBytes(copies[0]), junk);
}

TEST_F(RegFileStore, a_file_it_cannot_read_whole_is_never_overwritten) {
    // Too large for a settings file.
    std::string big = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\" + kKey +
                      "]\n\"api\"=\"MCARD\"\n";
    big.resize(platform::RegFileStore::kMaxFileSize + 1, ';');
    writeFileBytes(files_.hkcu(), big);
    EXPECT_EQ(read("api"), kNotFound);
    platform::RegHandle h = 0;
    EXPECT_EQ(platform::RegFileStore().createKey(HKEY_CURRENT_USER, kKey, h), reg::ERROR_BADDB);
    EXPECT_TRUE(readFileBytes(files_.hkcu()) == big);
    fs::remove(files_.hkcu());
    // Not a regular file: a directory, a FIFO (reading must not wait for a writer).
    fs::create_directory(files_.hkcu());
    write("api", "SCARD");
    EXPECT_TRUE(fs::is_directory(files_.hkcu()));
    EXPECT_EQ(read("api"), kNotFound);
    fs::remove(files_.hkcu());
    ASSERT_EQ(mkfifo(files_.hkcu().c_str(), 0600), 0);
    EXPECT_EQ(read("api"), kNotFound);
    write("api", "SCARD");
    EXPECT_TRUE(fs::is_fifo(files_.hkcu()));
}

TEST_F(RegFileStore, a_write_that_cannot_be_saved_leaves_everything_as_it_was) {
    {
        // The directory cannot be made (a file stands in the way), as with /etc for an operator.
        ScopedEnv env("ORVEXCARD_REGISTRY_DIR", blockedPath("/reg").c_str());
        platform::RegHandle h = 0;
        EXPECT_EQ(platform::RegFileStore().createKey(HKEY_LOCAL_MACHINE, kKey, h), reg::ERROR_ACCESS_DENIED);
    }
    // The disk refuses the new contents (a file size limit stands in for a
    // full disk): the old file stays, and memory goes back to it.
    write("api", "SCARD");
    const std::string before = readFileBytes(files_.hkcu());
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        setrlimit(RLIMIT_FSIZE, &limit);
        platform::RegFileStore store;
        platform::RegHandle h = 0;
        store.openKey(HKEY_CURRENT_USER, kKey, h);
        if (store.setValue(h, "api", REG_SZ, std::string("MCARD") + '\0') != reg::ERROR_REGISTRY_IO_FAILED) _exit(2);
        _exit(clsRegistry(store).ReadRegistry(HKEY_CURRENT_USER, kKey, "api") == "SCARD" ? 0 : 3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFileBytes(files_.hkcu()), before);
    EXPECT_TRUE(filesNamed(files_.dir, ".tmp-").empty());
}

TEST_F(RegFileStore, a_change_that_fails_releases_the_lock) {
    platform::RegFileStore store;
    clsRegistry r(store);
    r.WriteRegistry(HKEY_CURRENT_USER, kKey + "\\Sub", "x", REG_SZ, std::string("1"));
    platform::RegHandle h = 0, root = 0;
    ASSERT_EQ(store.openKey(HKEY_CURRENT_USER, kKey, h), reg::ERROR_SUCCESS);
    ASSERT_EQ(store.openKey(HKEY_CURRENT_USER, "", root), reg::ERROR_SUCCESS);
    const auto refusedAndUnlocked = [&](int32_t got, int32_t want, const char* what) {
        EXPECT_EQ(got, want) << what;
        EXPECT_EQ(platform::FileLock().tryAcquire(files_.hkcu() + ".lock"), platform::FileLock::Attempt::Taken) << what;
    };
    refusedAndUnlocked(store.deleteValue(h, "missing"), reg::ERROR_FILE_NOT_FOUND, "value");
    refusedAndUnlocked(store.deleteKey(h, ""), reg::ERROR_INVALID_PARAMETER, "empty");
    refusedAndUnlocked(store.deleteKey(h, "Nope"), reg::ERROR_FILE_NOT_FOUND, "absent");
    refusedAndUnlocked(store.deleteKey(root, kKey), reg::ERROR_ACCESS_DENIED, "has a subkey");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey + "\\Sub", "x"), "1");
}

// Text from a card or a file (a sample comment with a line feed and a time
// stamp, a card id of raw digest bytes) never ends its line nor forges one:
// C0 control bytes and DEL are written as \xNN, the code page's letters stay.
TEST_F(clsLogFile, exact_lines_start_block_control_bytes_and_terminate) {
    const std::string path = makeTempDir("log") + "/trace.log";
    write("ocardlog", path);
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
    const std::string program = makeTempDir("prog");
    setProgramDirectory(program);
    setApplicationVersion(AppVersion{3, 10, 0});
    const std::string expected = program + "/OrvexCard wizard.log";
    writeFileBytes(expected, "earlier run\r\n");
    EXPECT_EQ(read("ocardlog"), clsRegistry::notFoundVal());
    {
        clsLog first;
        EXPECT_EQ(first.path(), expected);
        EXPECT_EQ(read("ocardlog"), expected);
        EXPECT_EQ(clsLog().path(), expected);
    }
    const std::string file = readFileBytes(expected);
    EXPECT_EQ(file.rfind("earlier run\r\n", 0), 0u);
    EXPECT_EQ(countOf(file, "OrvexCard wizard 3.10.0\r\n"), 2u);

    // An unwritable program directory falls back to the user's state
    // directory, stored as Windows-1252 text like every setting.
    clsRegistry().DeleteValue(HKEY_CURRENT_USER, kProductKey, "ocardlog");
    setProgramDirectory(blockedPath("/bin"));
    const std::string state = makeTempDir("J\xC3\xBCrgen");
    ScopedEnv env("XDG_STATE_HOME", state.c_str());
    const std::string fallback = utf8ToWindows1252(state) + "/OrvexCard/OrvexCard wizard.log";
    EXPECT_EQ(clsLog().path(), fallback);
    EXPECT_EQ(read("ocardlog"), fallback);
    EXPECT_EQ(countOf(readFileBytes(state + "/OrvexCard/OrvexCard wizard.log"), "clsLog.Class_Terminate()\r\n"), 1u);
    // So does a system's program folder, even for root, who may write there.
    clsRegistry().DeleteValue(HKEY_CURRENT_USER, kProductKey, "ocardlog");
    setProgramDirectory("/usr/bin");
    EXPECT_EQ(clsLog().path(), fallback);
    EXPECT_TRUE(platform::isSystemProgramFolder("/opt") && platform::isSystemProgramFolder("/opt/orvexcard/bin"));
    EXPECT_FALSE(platform::isSystemProgramFolder("/usrdata/orvexcard") ||
                 platform::isSystemProgramFolder("/home/op/usr"));

    // A stored path is used unchanged (Windows-1252, as settings are) and never rewritten.
    setProgramDirectory(program);
    const std::string dir = makeTempDir("log");
    write("ocardlog", dir + "/J\xFCrgen.log");
    { clsLog log; }
    EXPECT_EQ(read("ocardlog"), dir + "/J\xFCrgen.log");
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
        if (stored) write("ocardlog", path);
        else clsRegistry().DeleteValue(HKEY_CURRENT_USER, kProductKey, "ocardlog");
        setProgramDirectory(blockedPath("/bin"));
        ScopedEnv env("XDG_STATE_HOME", makeTempDir("\xE5\xB1\xB1\xE7\x94\xB0").c_str());
        const std::string errFile = makeTempDir("err") + "/stderr";
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
        EXPECT_EQ(read("ocardlog"), stored ? path : clsRegistry::notFoundVal());
    }
}
