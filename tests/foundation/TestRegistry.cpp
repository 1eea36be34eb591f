// Settings as clsRegistry reads and writes them. The read formats are checked
// on every registry back end the system has: the .reg file store everywhere,
// the system registry itself on Windows.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>

#include "foundation/clsRegistry.h"
#include "platform/registry/MemoryRegistry.h"
#include "platform/registry/RegFileStore.h"
#include "tests/foundation/RegTestSupport.h"
#ifdef _WIN32
#include "platform/win/Win32Registry.h"
#endif

namespace orvex::test {
namespace {

namespace reg = platform::reg;
const std::string kKey = "SOFTWARE\\Tessovanwerk\\OrvexCardFormats";
const std::string kNotFound = "###Not Found###";

std::string dword(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// Stores raw bytes the way another program would, past clsRegistry.
void put(platform::RegistryApi& api, const std::string& name, uint32_t type, const std::string& data) {
    platform::RegHandle key = 0;
    ASSERT_EQ(api.createKey(HKEY_CURRENT_USER, kKey, key), reg::ERROR_SUCCESS);
    EXPECT_EQ(api.setValue(key, name, type, data), reg::ERROR_SUCCESS) << name;
    api.closeKey(key);
}

template <typename Store>
std::unique_ptr<platform::RegistryApi> make() { return std::make_unique<Store>(); }

class RegistryReadFormat : public ::testing::TestWithParam<std::unique_ptr<platform::RegistryApi> (*)()> {
protected:
    void TearDown() override {  // the system registry outlives the test
        platform::RegHandle root = 0;
        if (api_->openKey(HKEY_CURRENT_USER, "", root) != reg::ERROR_SUCCESS) return;
        api_->deleteKey(root, kKey);
        api_->closeKey(root);
    }
    ScopedRegistryDir dir_;  // for the file store; the system registry ignores it
    std::unique_ptr<platform::RegistryApi> api_ = GetParam()();
};

TEST_P(RegistryReadFormat, each_type_reads_the_same_and_what_cannot_be_read_is_the_marker) {
    const clsRegistry r(*api_);
    const auto get = [&](const std::string& name, const std::string& path = kKey) {
        return r.ReadRegistry(HKEY_CURRENT_USER, path, name);
    };
    const std::pair<uint32_t, const char*> dwords[] = {
        {0, "000"}, {5, "005"}, {500, "500"}, {1000, "1000"}, {4294967295u, "4294967295"}, {0x80000000u, "2147483648"}};
    for (const auto& [number, text] : dwords) {
        put(*api_, "n", REG_DWORD, dword(number));
        EXPECT_EQ(get("n"), text) << number;
    }
    // The read buffer holds 2048 bytes: 2048 is read, 2049 is not.
    const struct { const char* name; uint32_t type; std::string data; std::string read; } rows[] = {
        {"bin", REG_BINARY, std::string("\x00\x10\xA0\xff", 4), "0010A0FF"},
        {"empty", REG_SZ, std::string(1, '\0'), ""}, {"nodata", REG_SZ, "", ""},
        {"text", REG_SZ, std::string("abc\0", 4), "abc"}, {"expand", 2, std::string("%A%\0", 4), "%A%"},
        {"fits", REG_SZ, std::string(2047, 'x') + '\0', std::string(2047, 'x')},
        {"long", REG_SZ, std::string(2048, 'x') + '\0', kNotFound}, {"longbin", REG_BINARY, std::string(2049, 'x'), kNotFound}};
    for (const auto& row : rows) put(*api_, row.name, row.type, row.data);
    for (const auto& row : rows) EXPECT_EQ(get(row.name), row.read) << row.name;
    // Names are case-insensitive, as in the registry.
    EXPECT_EQ(get("TEXT", "software\\TESSOVANWERK\\orvexcardformats"), "abc");
    EXPECT_EQ(get("lng"), kNotFound);
    EXPECT_EQ(r.ReadRegistry(HKEY_LOCAL_MACHINE, kKey, "text"), kNotFound);
    EXPECT_EQ(get("text", kKey + "\\Missing"), kNotFound);
}

INSTANTIATE_TEST_SUITE_P(RegFile, RegistryReadFormat, ::testing::Values(&make<platform::RegFileStore>));
#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Win32, RegistryReadFormat, ::testing::Values(&make<platform::Win32Registry>));
#endif

TEST(clsRegistry, writes_text_with_its_nul_and_numbers_as_dword) {
    platform::MemoryRegistry api;
    clsRegistry r{api};
    const auto raw = [&](const std::string& name) {
        platform::RegHandle key = 0;
        uint32_t type = 0, size = 0;
        std::string data;
        if (api.openKey(HKEY_CURRENT_USER, kKey, key) != reg::ERROR_SUCCESS ||
            api.queryValue(key, name, type, data, 4096, size) != reg::ERROR_SUCCESS)
            return std::make_pair(0u, std::string("<missing>"));
        return std::make_pair(type, data);
    };
    // A DWORD that is no number or does not fit 32 signed bits is not stored.
    const struct { const char* name; uint32_t type; std::variant<std::string, int64_t> value; uint32_t stored;
                   std::string data; } rows[] = {
        {"s", REG_SZ, std::string("abc"), REG_SZ, std::string("abc\0", 4)},
        {"d", REG_DWORD, std::string("2"), REG_DWORD, dword(2)},
        {"neg", REG_DWORD, int64_t{-1}, REG_DWORD, dword(0xFFFFFFFFu)},
        {"num", REG_SZ, int64_t{42}, REG_SZ, std::string("42\0", 3)},
        {"bad", REG_DWORD, std::string("two"), 0, "<missing>"},
        {"big", REG_DWORD, std::string("4294967295"), 0, "<missing>"}};
    for (const auto& row : rows) {
        std::visit([&](const auto& v) { r.WriteRegistry(HKEY_CURRENT_USER, kKey, row.name, row.type, v); }, row.value);
        EXPECT_EQ(raw(row.name), std::make_pair(row.stored, row.data)) << row.name;
    }
}

TEST(MemoryRegistry, names_the_store_file_cannot_hold_are_refused) {
    platform::MemoryRegistry api;
    platform::RegHandle key = 0;
    std::string deep;
    for (int i = 0; i < 513; ++i) deep += "k\\";
    for (const std::string& path : {std::string("A\\B\nC"), std::string(256, 'k'), deep})
        EXPECT_EQ(api.createKey(HKEY_CURRENT_USER, path, key), reg::ERROR_INVALID_PARAMETER) << path.size();
    ASSERT_EQ(api.createKey(HKEY_CURRENT_USER, std::string(255, 'k'), key), reg::ERROR_SUCCESS);
    EXPECT_EQ(api.setValue(key, "a\rb", REG_SZ, std::string(1, '\0')), reg::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(api.setValue(key, "ok", REG_BINARY, std::string(platform::kMaxValueDataSize + 1, 'x')),
              reg::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(api.rootKey(HKEY_CURRENT_USER).subkeys.front()->values.empty());
}

}  // namespace
}  // namespace orvex::test
