#include <gtest/gtest.h>

#include <string>

#include "foundation/clsRegistry.h"
#include "platform/registry/MemoryRegistry.h"

using namespace orvex;
namespace reg = platform::reg;

namespace {

const std::string kKey = "SOFTWARE\\Tessovanwerk\\OrvexCard";

// Stores raw bytes the way another program would, past clsRegistry.
void putRaw(platform::RegistryApi& api, uint32_t root, const std::string& path,
            const std::string& name, uint32_t type, const std::string& data) {
    platform::RegHandle key = 0;
    ASSERT_EQ(api.createKey(root, path, key), reg::ERROR_SUCCESS);
    ASSERT_EQ(api.setValue(key, name, type, data), reg::ERROR_SUCCESS);
    api.closeKey(key);
}

platform::RegValue* rawValue(platform::MemoryRegistry& api, uint32_t root,
                             const std::string& path, const std::string& name) {
    platform::RegKey* node = &api.rootKey(root);
    for (const auto& part : platform::splitKeyPath(path)) {
        node = node->findSubkey(part);
        if (!node) return nullptr;
    }
    return node->findValue(name);
}

std::string dword(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

}  // namespace

TEST(clsRegistry, dword_reads_as_unsigned_decimal_of_at_least_three_digits) {
    platform::MemoryRegistry api;
    clsRegistry r(api);
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "000"}, {1, "001"}, {5, "005"}, {500, "500"}, {1000, "1000"},
        {70000, "70000"}, {4294967295u, "4294967295"}, {0x80000000u, "2147483648"}};
    for (const auto& [number, text] : cases) {
        putRaw(api, HKEY_CURRENT_USER, kKey, "n", REG_DWORD, dword(number));
        EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "n"), text) << number;
    }
}

TEST(clsRegistry, binary_and_text_formatting) {
    platform::MemoryRegistry api;
    clsRegistry r(api);
    putRaw(api, HKEY_CURRENT_USER, kKey, "bin", REG_BINARY, std::string("\x00\x10\xA0", 3));
    putRaw(api, HKEY_CURRENT_USER, kKey, "bin2", REG_BINARY, "\x0A\xFF\x01");
    putRaw(api, HKEY_CURRENT_USER, kKey, "empty", REG_SZ, std::string(1, '\0'));
    putRaw(api, HKEY_CURRENT_USER, kKey, "nodata", REG_SZ, "");
    putRaw(api, HKEY_CURRENT_USER, kKey, "text", REG_SZ, std::string("abc\0", 4));
    putRaw(api, HKEY_CURRENT_USER, kKey, "expand", 2, std::string("%A%\0", 4));
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "bin"), "0010A0");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "bin2"), "0AFF01");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "empty"), "");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "nodata"), "");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "text"), "abc");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "expand"), "%A%");
    // Names are case-insensitive, as in the registry.
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, "software\\TESSOVANWERK\\orvexcard", "TEXT"), "abc");
}

TEST(clsRegistry, missing_or_oversized_values_read_as_the_marker) {
    platform::MemoryRegistry api;
    clsRegistry r(api);
    EXPECT_EQ(clsRegistry::notFoundVal(), "###Not Found###");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "lng"), "###Not Found###");
    putRaw(api, HKEY_CURRENT_USER, kKey, "other", REG_SZ, std::string(1, '\0'));
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "lng"), "###Not Found###");
    EXPECT_EQ(r.ReadRegistry(HKEY_LOCAL_MACHINE, kKey, "other"), "###Not Found###");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey + "\\Missing", "other"), "###Not Found###");
    // The read buffer holds 2048 bytes: 2048 is read, 2049 is not.
    putRaw(api, HKEY_CURRENT_USER, kKey, "fits", REG_SZ, std::string(2047, 'x') + '\0');
    putRaw(api, HKEY_CURRENT_USER, kKey, "long", REG_SZ, std::string(2048, 'x') + '\0');
    putRaw(api, HKEY_CURRENT_USER, kKey, "longbin", REG_BINARY, std::string(2049, 'x'));
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "fits"), std::string(2047, 'x'));
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "long"), "###Not Found###");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "longbin"), "###Not Found###");
}

TEST(clsRegistry, writes_text_with_its_nul_and_numbers_as_dword) {
    platform::MemoryRegistry api;
    clsRegistry r(api);
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "s", REG_SZ, std::string("abc"));
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "d", REG_DWORD, std::string("2"));
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "neg", REG_DWORD, int64_t{-1});
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "num", REG_SZ, int64_t{42});
    const platform::RegValue* s = rawValue(api, HKEY_CURRENT_USER, kKey, "s");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->type, REG_SZ);
    EXPECT_EQ(s->data, std::string("abc\0", 4));
    const platform::RegValue* d = rawValue(api, HKEY_CURRENT_USER, kKey, "d");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->type, REG_DWORD);
    EXPECT_EQ(d->data, dword(2));
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "d"), "002");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "neg"), "4294967295");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "num"), "42");
    // A DWORD that is no number or does not fit 32 signed bits is not stored.
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "bad", REG_DWORD, std::string("two"));
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "big", REG_DWORD, std::string("4294967295"));
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "bad"), "###Not Found###");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "big"), "###Not Found###");
}

TEST(clsRegistry, write_creates_the_whole_missing_path) {
    platform::MemoryRegistry api;
    clsRegistry r(api);
    r.WriteRegistry(HKEY_LOCAL_MACHINE, "A\\B\\C\\D", "v", REG_SZ, std::string("x"));
    EXPECT_EQ(r.ReadRegistry(HKEY_LOCAL_MACHINE, "A\\B\\C\\D", "v"), "x");
    EXPECT_EQ(r.ReadRegistryGetSubkey(HKEY_LOCAL_MACHINE, "A", 0), "B");
    EXPECT_EQ(r.ReadRegistryGetSubkey(HKEY_LOCAL_MACHINE, "A\\B", 0), "C");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, "A\\B\\C\\D", "v"), "###Not Found###");
}

TEST(clsRegistry, enumeration_and_deletion) {
    platform::MemoryRegistry api;
    clsRegistry r(api);
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "lng", REG_DWORD, int64_t{2});
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "api", REG_SZ, std::string("MCARD"));
    r.WriteRegistry(HKEY_CURRENT_USER, kKey + "\\Sub", "x", REG_SZ, std::string("1"));

    const RegistryEntry first = r.ReadRegistryGetAll(HKEY_CURRENT_USER, kKey, 0);
    EXPECT_EQ(first.type, REG_DWORD);
    EXPECT_EQ(first.name, "lng");
    EXPECT_EQ(first.data, "002");
    const RegistryEntry second = r.ReadRegistryGetAll(HKEY_CURRENT_USER, kKey, 1);
    EXPECT_EQ(second.name, "api");
    EXPECT_EQ(second.data, "MCARD");
    EXPECT_EQ(r.ReadRegistryGetAll(HKEY_CURRENT_USER, kKey, 2).data, "###Not Found###");
    EXPECT_EQ(r.ReadRegistryGetAll(HKEY_CURRENT_USER, kKey, -1).data, "###Not Found###");
    EXPECT_EQ(r.ReadRegistryGetSubkey(HKEY_CURRENT_USER, kKey, 0), "Sub");
    EXPECT_EQ(r.ReadRegistryGetSubkey(HKEY_CURRENT_USER, kKey, 1), "###Not Found###");

    // A key with subkeys stays; a leaf key goes.
    r.DeleteSubkey(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "api"), "MCARD");
    r.DeleteSubkey(HKEY_CURRENT_USER, kKey + "\\Sub");
    EXPECT_EQ(r.ReadRegistryGetSubkey(HKEY_CURRENT_USER, kKey, 0), "###Not Found###");
    r.DeleteValue(HKEY_CURRENT_USER, kKey, "API");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "api"), "###Not Found###");
    EXPECT_EQ(r.ReadRegistry(HKEY_CURRENT_USER, kKey, "lng"), "002");
}

TEST(MemoryRegistry, names_the_store_file_cannot_hold_are_refused) {
    platform::MemoryRegistry api;
    platform::RegHandle key = 0;
    EXPECT_EQ(api.createKey(HKEY_CURRENT_USER, "A\\B\nC", key), reg::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(api.createKey(HKEY_CURRENT_USER, std::string(256, 'k'), key),
              reg::ERROR_INVALID_PARAMETER);
    std::string deep;
    for (int i = 0; i < 513; ++i) deep += "k\\";
    EXPECT_EQ(api.createKey(HKEY_CURRENT_USER, deep, key), reg::ERROR_INVALID_PARAMETER);
    ASSERT_EQ(api.createKey(HKEY_CURRENT_USER, std::string(255, 'k'), key), reg::ERROR_SUCCESS);
    EXPECT_EQ(api.setValue(key, "a\rb", REG_SZ, std::string(1, '\0')),
              reg::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(api.setValue(key, "ok", REG_BINARY, std::string(platform::kMaxValueDataSize + 1, 'x')),
              reg::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(api.rootKey(HKEY_CURRENT_USER).subkeys.front()->values.empty());
}
