#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "tests/foundation/ScopedEnv.h"
#include "foundation/clsRegistry.h"
#include "platform/registry/RegFileLocation.h"
#include "platform/registry/RegFileParser.h"
#include "platform/registry/RegFileStore.h"

using namespace orvex;
namespace fs = std::filesystem;
namespace reg = platform::reg;

namespace {

const std::string kKey = "SOFTWARE\\Tessovanwerk\\OrvexCard";

using EnvVar = test::ScopedEnv;
using StoreDir = test::ScopedRegistryDir;

std::string read(const std::string& name) {
    platform::RegFileStore store;  // a fresh store: what another process sees
    return clsRegistry(store).ReadRegistry(HKEY_CURRENT_USER, kKey, name);
}

// Runs body in a child process; its exit status is the result.
int inChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool lockIsFree(const std::string& lockPath) {
    const int fd = open(lockPath.c_str(), O_RDWR);
    if (fd < 0) return false;
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

}  // namespace

TEST(RegFileLocation, follows_the_environment_at_each_use) {
    {
        EnvVar dir("ORVEXCARD_REGISTRY_DIR", "/srv/reg");
        EXPECT_EQ(platform::registryFilePath(HKEY_CURRENT_USER), "/srv/reg/HKCU.reg");
        EXPECT_EQ(platform::registryFilePath(HKEY_LOCAL_MACHINE), "/srv/reg/HKLM.reg");
    }
    EnvVar dir("ORVEXCARD_REGISTRY_DIR", nullptr);
    EnvVar home("HOME", "/home/op");
    {
        EnvVar xdg("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(platform::registryFilePath(HKEY_CURRENT_USER), "/cfg/Tessovanwerk/HKCU.reg");
        EXPECT_EQ(platform::registryFilePath(HKEY_LOCAL_MACHINE), "/etc/Tessovanwerk/HKLM.reg");
    }
    {
        EnvVar xdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(platform::registryFilePath(HKEY_CURRENT_USER),
                  "/home/op/.config/Tessovanwerk/HKCU.reg");
    }
    EnvVar relative("XDG_CONFIG_HOME", "relative");
    EXPECT_EQ(platform::registryFilePath(HKEY_CURRENT_USER), "/home/op/.config/Tessovanwerk/HKCU.reg");
}

TEST(RegFileStore, one_store_follows_a_changed_directory) {
    platform::RegFileStore store;
    clsRegistry r(store);
    StoreDir first;
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "lng", REG_DWORD, int64_t{2});
    {
        StoreDir second;
        EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "lng"), "###Not Found###");
        r.WriteRegistry(HKEY_LOCAL_MACHINE, kKey, "omsc.idleTimerInterval", REG_SZ, std::string("250"));
        EXPECT_TRUE(fs::exists(second.dir + "/HKLM.reg"));
        EXPECT_FALSE(fs::exists(second.hkcu()));
    }
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "lng"), "002");
    EXPECT_FALSE(fs::exists(first.dir + "/HKLM.reg"));
}

TEST(RegFileStore, every_byte_survives_a_round_trip) {
    StoreDir d;
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string printable = all.substr(0x20) + '\0';
    const std::string key = "Gr\xFC\xDF\x81" "e]";
    const struct {
        const char* name;
        uint32_t type;
        std::string data;
    } values[] = {{"all", REG_SZ, all},          {"plain", REG_SZ, printable},
                  {"nodata", REG_SZ, ""},        {"expand", 2, all},
                  {"multi", 7, all},             {"bin", REG_BINARY, all},
                  {"nobin", REG_BINARY, ""},     {"qword", 11, all.substr(1, 8)},
                  {"short", REG_DWORD, "\x01\x02\x03"}, {"q\"\\@", REG_SZ, "\"\\\0"},
                  {"", REG_SZ, std::string("\x81\x8D\x8F\x90\x9D", 6)}};
    {
        platform::RegFileStore store;
        platform::RegHandle h = 0;
        ASSERT_EQ(store.createKey(HKEY_CURRENT_USER, kKey + "\\" + key, h), reg::ERROR_SUCCESS);
        for (const auto& v : values)
            ASSERT_EQ(store.setValue(h, v.name, v.type, v.data), reg::ERROR_SUCCESS) << v.name;
        store.closeKey(h);
    }
    platform::RegFileStore fresh;
    platform::RegHandle h = 0;
    ASSERT_EQ(fresh.openKey(HKEY_CURRENT_USER, kKey + "\\" + key, h), reg::ERROR_SUCCESS);
    for (const auto& v : values) {
        uint32_t type = 0, size = 0;
        std::string data;
        ASSERT_EQ(fresh.queryValue(h, v.name, type, data, 4096, size), reg::ERROR_SUCCESS) << v.name;
        EXPECT_EQ(type, v.type) << v.name;
        EXPECT_EQ(data, v.data) << v.name;
    }
    // Printable text is written readable, in UTF-8.
    const std::string file = test::readFileBytes(d.hkcu());
    EXPECT_EQ(file.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_NE(file.find("\"plain\"=\" !\\\"#$"), std::string::npos);
    EXPECT_NE(file.find("\xC3\xBC\xC3\x9F"), std::string::npos);  // the key name's ü ß
}

TEST(RegFileStore, reads_an_editor_export_dropped_in_while_running) {
    StoreDir d;
    clsRegistry r;  // the program's own store
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "api", REG_SZ, std::string("SCARD"));
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "api"), "SCARD");
    std::u16string text =
        u"Windows Registry Editor Version 5.00\n\n"
        u"[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\n"
        u"\"api\"=\"MCARD\"\n\"reader\"=\"SCM Reader \u00e4\"\n\"lng\"=dword:00000001\n";
    std::string bytes = "\xFF\xFE";
    for (const char16_t c : text) {
        if (c == u'\n') bytes += std::string("\r\0", 2);
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    test::writeFileBytes(d.hkcu() + ".new", bytes);
    fs::rename(d.hkcu() + ".new", d.hkcu());
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "api"), "MCARD");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "reader"), "SCM Reader \xE4");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "lng"), "001");
    // Rewriting it keeps every value; a recognised file is not copied aside.
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "lng", REG_DWORD, int64_t{2});
    EXPECT_EQ(read("reader"), "SCM Reader \xE4");
    EXPECT_EQ(read("lng"), "002");
    for (const auto& entry : fs::directory_iterator(d.dir))
        EXPECT_EQ(entry.path().filename().string().find(".bad-"), std::string::npos);
}

TEST(RegFileStore, a_write_from_another_process_is_not_lost) {
    StoreDir d;
    constexpr int kRounds = 150;
    const pid_t child = fork();
    if (child == 0) {
        platform::RegFileStore store;
        clsRegistry r(store);
        for (int i = 0; i < kRounds; ++i)
            r.WriteRegistry(HKEY_CURRENT_USER, kKey, "child" + std::to_string(i), REG_SZ, int64_t{i});
        _exit(0);
    }
    {
        platform::RegFileStore store;
        clsRegistry r(store);
        for (int i = 0; i < kRounds; ++i)
            r.WriteRegistry(HKEY_CURRENT_USER, kKey, "parent" + std::to_string(i), REG_DWORD, int64_t{i});
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    int missing = 0;
    for (int i = 0; i < kRounds; ++i) {
        missing += read("child" + std::to_string(i)) != std::to_string(i);
        char expected[16];
        std::snprintf(expected, sizeof expected, "%03d", i);
        missing += read("parent" + std::to_string(i)) != expected;
    }
    EXPECT_EQ(missing, 0);
}

TEST(RegFileStore, a_crash_mid_write_leaves_a_whole_file) {
    StoreDir d;
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kKey, "keep", REG_SZ, std::string("me"));
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
            platform::RegFileParser::parse(test::readFileBytes(d.hkcu()), HKEY_CURRENT_USER);
        EXPECT_TRUE(doc.recognised) << round;
        EXPECT_EQ(doc.unreadableLines, 0u) << round;
        EXPECT_EQ(read("keep"), "me") << round;
    }
    // The dead writer's lock went with it, and its half-written temporary
    // files go with the next write.
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kKey, "after", REG_SZ, std::string("ok"));
    EXPECT_EQ(read("after"), "ok");
    for (const auto& entry : fs::directory_iterator(d.dir))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos);
}

TEST(RegFileStore, unreadable_lines_survive_a_rewrite) {
    StoreDir d;
    const std::string original =
        "Windows Registry Editor Version 5.00\n"
        "; the operator's note\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\n"
        "\"api\"=\"MCARD\"\n"
        "\"broken\"=hex:zz\n"
        "garbage \xFF\xFE line\n"
        "[HKEY_CLASSES_ROOT\\.7kx]\n"
        "@=\"OrvexCard.Sample\"\n";
    test::writeFileBytes(d.hkcu(), original);
    EXPECT_EQ(read("api"), "MCARD");
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kKey, "reader", REG_SZ, std::string("R1"));
    EXPECT_EQ(read("api"), "MCARD");
    EXPECT_EQ(read("reader"), "R1");
    const std::string file = test::readFileBytes(d.hkcu());
    for (const char* line : {"; the operator's note\n", "\"broken\"=hex:zz\n",
                             "garbage \xC3\xBF\xC3\xBE line\n",
                             "[HKEY_CLASSES_ROOT\\.7kx]\n@=\"OrvexCard.Sample\"\n"})
        EXPECT_NE(file.find(line), std::string::npos) << line << "\n---\n" << file;
}

TEST(RegFileStore, a_file_that_is_no_registry_file_is_copied_aside_first) {
    StoreDir d;
    const std::string junk("\x7F" "ELF\0\x01\x02 not settings \xC3\x28\n[x]\n", 28);
    test::writeFileBytes(d.hkcu(), junk);
    EXPECT_EQ(read("api"), "###Not Found###");
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kKey, "api", REG_SZ, std::string("SCARD"));
    EXPECT_EQ(read("api"), "SCARD");
    std::vector<std::string> copies;
    for (const auto& entry : fs::directory_iterator(d.dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("HKCU.reg.bad-", 0) == 0) copies.push_back(entry.path().string());
    }
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(test::readFileBytes(copies[0]), junk);
    // Once the file is the store's own, later writes copy nothing more.
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kKey, "api", REG_SZ, std::string("MCARD"));
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(d.dir))
        count += entry.path().filename().string().find(".bad-") != std::string::npos;
    EXPECT_EQ(count, 1u);
}

TEST(RegFileStore, a_file_it_cannot_read_whole_is_never_overwritten) {
    StoreDir d;
    // Too large for a settings file.
    {
        std::string big = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\" + kKey + "]\n\"api\"=\"MCARD\"\n";
        big.resize(platform::RegFileStore::kMaxFileSize + 1, ';');
        test::writeFileBytes(d.hkcu(), big);
        platform::RegFileStore store;
        clsRegistry r(store);
        EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "api"), "###Not Found###");
        platform::RegHandle h = 0;
        EXPECT_EQ(store.createKey(HKEY_CURRENT_USER, kKey, h), reg::ERROR_BADDB);
        EXPECT_TRUE(test::readFileBytes(d.hkcu()) == big);
        fs::remove(d.hkcu());
    }
    // Not a regular file: a directory, a FIFO (reading must not wait for a writer).
    fs::create_directory(d.hkcu());
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kKey, "api", REG_SZ, std::string("SCARD"));
    EXPECT_TRUE(fs::is_directory(d.hkcu()));
    EXPECT_EQ(read("api"), "###Not Found###");
    fs::remove(d.hkcu());
    ASSERT_EQ(mkfifo(d.hkcu().c_str(), 0600), 0);
    EXPECT_EQ(read("api"), "###Not Found###");
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kKey, "api", REG_SZ, std::string("SCARD"));
    EXPECT_TRUE(fs::is_fifo(d.hkcu()));
}

TEST(RegFileStore, a_write_that_cannot_be_saved_leaves_everything_as_it_was) {
    {
        // The directory cannot be made (a file stands in the way), as with
        // /etc for an operator.
        const std::string blocker = test::makeTempDir("blk") + "/file";
        test::writeFileBytes(blocker, "x");
        EnvVar env("ORVEXCARD_REGISTRY_DIR", (blocker + "/reg").c_str());
        platform::RegFileStore store;
        clsRegistry r(store);
        r.WriteRegistry(HKEY_LOCAL_MACHINE, kKey, "v", REG_SZ, std::string("1"));
        EXPECT_EQ(r.ReadRegistry(HKEY_LOCAL_MACHINE, kKey, "v"), "###Not Found###");
        platform::RegHandle h = 0;
        EXPECT_EQ(store.createKey(HKEY_LOCAL_MACHINE, kKey, h), reg::ERROR_ACCESS_DENIED);
    }
    // The disk refuses the new contents (a file size limit stands in for a
    // full disk): the old file stays, and memory goes back to it.
    StoreDir d;
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kKey, "api", REG_SZ, std::string("SCARD"));
    const std::string before = test::readFileBytes(d.hkcu());
    const int result = inChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        setrlimit(RLIMIT_FSIZE, &limit);
        platform::RegFileStore store;
        platform::RegHandle h = 0;
        if (store.openKey(HKEY_CURRENT_USER, kKey, h) != reg::ERROR_SUCCESS) return 1;
        if (store.setValue(h, "api", REG_SZ, std::string("MCARD") + '\0') !=
            reg::ERROR_REGISTRY_IO_FAILED)
            return 2;
        return clsRegistry(store).ReadRegistry(HKEY_CURRENT_USER, kKey, "api") == "SCARD" ? 0 : 3;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(test::readFileBytes(d.hkcu()), before);
    for (const auto& entry : fs::directory_iterator(d.dir))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos);
}

TEST(RegFileStore, a_linked_store_file_is_written_through_its_link) {
    StoreDir d;
    const std::string target = test::makeTempDir("shared") + "/settings.reg";
    test::writeFileBytes(target, "REGEDIT4\r\n[HKEY_CURRENT_USER\\" + kKey + "]\r\n\"api\"=\"MCARD\"\r\n");
    fs::create_symlink(target, d.hkcu());
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kKey, "reader", REG_SZ, std::string("R"));
    EXPECT_TRUE(fs::is_symlink(d.hkcu()));
    const std::string file = test::readFileBytes(target);
    EXPECT_NE(file.find("\"api\"=\"MCARD\"\n\"reader\"=\"R\"\n"), std::string::npos) << file;
}

TEST(RegFileStore, a_change_that_fails_releases_the_lock) {
    StoreDir d;
    platform::RegFileStore store;
    clsRegistry r(store);
    r.WriteRegistry(HKEY_CURRENT_USER, kKey + "\\Sub", "x", REG_SZ, std::string("1"));
    const std::string lock = d.hkcu() + ".lock";
    platform::RegHandle h = 0;
    ASSERT_EQ(store.openKey(HKEY_CURRENT_USER, kKey, h), reg::ERROR_SUCCESS);
    EXPECT_EQ(store.deleteValue(h, "missing"), reg::ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(lockIsFree(lock));
    EXPECT_EQ(store.deleteKey(h, ""), reg::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(lockIsFree(lock));
    EXPECT_EQ(store.deleteKey(h, "Nope"), reg::ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(lockIsFree(lock));
    platform::RegHandle root = 0;
    ASSERT_EQ(store.openKey(HKEY_CURRENT_USER, "", root), reg::ERROR_SUCCESS);
    EXPECT_EQ(store.deleteKey(root, kKey), reg::ERROR_ACCESS_DENIED);  // has a subkey
    EXPECT_TRUE(lockIsFree(lock));
    EXPECT_EQ(read("x"), "###Not Found###");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey + "\\Sub", "x"), "1");
}
