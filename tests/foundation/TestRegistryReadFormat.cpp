#include "tests/foundation/RegistryReadFormat.h"

#include "foundation/clsRegistry.h"
#include "platform/registry/RegFileStore.h"

namespace orvex::test {
namespace reg = platform::reg;

void RegistryReadFormat::TearDown() {
    platform::RegHandle root = 0;
    if (api_->openKey(HKEY_CURRENT_USER, "", root) != reg::ERROR_SUCCESS) return;
    api_->deleteKey(root, kKey);
    api_->closeKey(root);
}

void RegistryReadFormat::put(const std::string& name, uint32_t type, const std::string& data) {
    platform::RegHandle key = 0;
    ASSERT_EQ(api_->createKey(HKEY_CURRENT_USER, kKey, key), reg::ERROR_SUCCESS);
    EXPECT_EQ(api_->setValue(key, name, type, data), reg::ERROR_SUCCESS) << name;
    api_->closeKey(key);
}

namespace {

std::string dword(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

const std::string kNotFound = "###Not Found###";

}  // namespace

TEST_P(RegistryReadFormat, each_type_reads_the_same_and_what_cannot_be_read_is_the_marker) {
    const clsRegistry r(*api_);
    const auto get = [&](const std::string& name, const std::string& path = kKey) {
        return r.ReadRegistry(HKEY_CURRENT_USER, path, name);
    };
    const std::pair<uint32_t, const char*> dwords[] = {
        {0, "000"}, {5, "005"}, {500, "500"}, {1000, "1000"}, {4294967295u, "4294967295"}, {0x80000000u, "2147483648"}};
    for (const auto& [number, text] : dwords) {
        put("n", REG_DWORD, dword(number));
        EXPECT_EQ(get("n"), text) << number;
    }
    // The read buffer holds 2048 bytes: 2048 is read, 2049 is not.
    const struct { const char* name; uint32_t type; std::string data; std::string read; } rows[] = {
        {"bin", REG_BINARY, std::string("\x00\x10\xA0\xff", 4), "0010A0FF"},
        {"empty", REG_SZ, std::string(1, '\0'), ""}, {"nodata", REG_SZ, "", ""},
        {"text", REG_SZ, std::string("abc\0", 4), "abc"}, {"expand", 2, std::string("%A%\0", 4), "%A%"},
        {"fits", REG_SZ, std::string(2047, 'x') + '\0', std::string(2047, 'x')},
        {"long", REG_SZ, std::string(2048, 'x') + '\0', kNotFound}, {"longbin", REG_BINARY, std::string(2049, 'x'), kNotFound}};
    for (const auto& row : rows) put(row.name, row.type, row.data);
    for (const auto& row : rows) EXPECT_EQ(get(row.name), row.read) << row.name;
    // Names are case-insensitive, as in the registry.
    EXPECT_EQ(get("TEXT", "software\\TESSOVANWERK\\orvexcardformats"), "abc");
    EXPECT_EQ(get("lng"), kNotFound);
    EXPECT_EQ(r.ReadRegistry(HKEY_LOCAL_MACHINE, kKey, "text"), kNotFound);
    EXPECT_EQ(get("text", std::string(kKey) + "\\Missing"), kNotFound);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, RegistryReadFormat,
    ::testing::Values(RegistryBackend{"RegFile", [] { return std::unique_ptr<platform::RegistryApi>(new platform::RegFileStore); }}),
    backendName);

}  // namespace orvex::test
