#include <gtest/gtest.h>

#include <string>

#include "foundation/clsRegistry.h"
#include "platform/registry/MemoryRegistry.h"

using namespace orvex;
namespace reg = platform::reg;

namespace {

const std::string kKey = "SOFTWARE\\Tessovanwerk\\OrvexCard";
const std::string kNotFound = "###Not Found###";

std::string dword(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

class clsRegistryTest : public ::testing::Test {
protected:
    // Stores raw bytes the way another program would, past clsRegistry.
    void put(const std::string& name, uint32_t type, const std::string& data) {
        platform::RegHandle key = 0;
        ASSERT_EQ(api.createKey(HKEY_CURRENT_USER, kKey, key), reg::ERROR_SUCCESS);
        ASSERT_EQ(api.setValue(key, name, type, data), reg::ERROR_SUCCESS);
        api.closeKey(key);
    }
    // The stored type and bytes of a value, past clsRegistry.
    std::pair<uint32_t, std::string> raw(const std::string& name) {
        platform::RegHandle key = 0;
        uint32_t type = 0, size = 0;
        std::string data;
        if (api.openKey(HKEY_CURRENT_USER, kKey, key) != reg::ERROR_SUCCESS ||
            api.queryValue(key, name, type, data, 4096, size) != reg::ERROR_SUCCESS)
            return {0, "<missing>"};
        return {type, data};
    }
    std::string get(const std::string& name, const std::string& path = kKey) {
        return r.ReadRegistry(HKEY_CURRENT_USER, path, name);
    }
    platform::MemoryRegistry api;
    clsRegistry r{api};
};

}  // namespace

TEST_F(clsRegistryTest, writes_text_with_its_nul_and_numbers_as_dword) {
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "s", REG_SZ, std::string("abc"));
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "d", REG_DWORD, std::string("2"));
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "neg", REG_DWORD, int64_t{-1});
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "num", REG_SZ, int64_t{42});
    EXPECT_EQ(raw("s"), std::make_pair(uint32_t{REG_SZ}, std::string("abc\0", 4)));
    EXPECT_EQ(raw("d"), std::make_pair(uint32_t{REG_DWORD}, dword(2)));
    EXPECT_EQ(get("neg"), "4294967295");
    EXPECT_EQ(get("num"), "42");
    // A DWORD that is no number or does not fit 32 signed bits is not stored.
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "bad", REG_DWORD, std::string("two"));
    r.WriteRegistry(HKEY_CURRENT_USER, kKey, "big", REG_DWORD, std::string("4294967295"));
    EXPECT_EQ(get("bad"), kNotFound);
    EXPECT_EQ(get("big"), kNotFound);
}

TEST(MemoryRegistry, names_the_store_file_cannot_hold_are_refused) {
    platform::MemoryRegistry api;
    platform::RegHandle key = 0;
    std::string deep;
    for (int i = 0; i < 513; ++i) deep += "k\\";
    for (const std::string& path : {std::string("A\\B\nC"), std::string(256, 'k'), deep})
        EXPECT_EQ(api.createKey(HKEY_CURRENT_USER, path, key), reg::ERROR_INVALID_PARAMETER)
            << path.size();
    ASSERT_EQ(api.createKey(HKEY_CURRENT_USER, std::string(255, 'k'), key), reg::ERROR_SUCCESS);
    EXPECT_EQ(api.setValue(key, "a\rb", REG_SZ, std::string(1, '\0')), reg::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(api.setValue(key, "ok", REG_BINARY, std::string(platform::kMaxValueDataSize + 1, 'x')),
              reg::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(api.rootKey(HKEY_CURRENT_USER).subkeys.front()->values.empty());
}
