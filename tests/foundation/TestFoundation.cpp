#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>

#include "foundation/clsRegistry.h"
#include "foundation/modCRC.h"
#include "foundation/modCommon.h"
#include "foundation/modHash.h"
#include "foundation/modRes.h"
#include "platform/registry/MemoryRegistry.h"
#include "platform/registry/RegFileParser.h"
#include "platform/registry/RegFileStore.h"
#include "platform/registry/RegFileWriter.h"
#include "tests/foundation/RegTestSupport.h"
#ifdef _WIN32
#include "platform/win/Win32Registry.h"
#endif

using namespace orvex;
using namespace orvex::test;
using platform::RegFileParser;
using platform::RegKey;
namespace reg = platform::reg;

namespace {

const RegKey* find(const RegKey& root, const std::string& path) {
    const RegKey* node = &root;
    for (const auto& part : platform::splitKeyPath(path))
        if (!(node = node->findSubkey(part))) return nullptr;
    return node;
}

// The value's type and raw data, or {0, "<missing>"}.
std::pair<uint32_t, std::string> value(const RegKey& root, const std::string& path,
                                       const std::string& name) {
    RegKey* k = const_cast<RegKey*>(find(root, path));
    const platform::RegValue* v = k ? k->findValue(name) : nullptr;
    return v ? std::make_pair(v->type, v->data) : std::make_pair(0u, std::string("<missing>"));
}

std::string sz(const std::string& text) { return text + '\0'; }

std::string rewrite(const platform::RegFileDocument& doc) {
    return platform::RegFileWriter::write(doc.tree, doc.extras, HKEY_CURRENT_USER);
}

// A file as the registry editor saves it: UTF-16LE, byte-order mark, CR LF.
std::string editorExport(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (const char16_t c : text) {
        if (c == u'\n') out += std::string("\r\0", 2);
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

const std::string kKey = "SOFTWARE\\Tessovanwerk\\OrvexCardFormats";
const std::string kNotFound = "###Not Found###";

std::string dword(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

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

}  // namespace

// Read back, the editor's own export is written again line for line: its hex
// lists wrap where the editor wraps them (TMP and TEMP as it exports them).
TEST(RegFileParser, reads_a_unicode_export_of_the_registry_editor_and_the_older_ansi_form) {
    const std::string head =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\n"
        "\"lng\"=dword:00000002\n\"quote\"=\"C:\\\\say \\\"hi\\\"\"\n";
    const std::string lists =
        "\"exp\"=hex(2):25,00,41,00,25,00,00,00\n"
        "\"TMP\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,00,\\\n"
        "  45,00,25,00,5c,00,41,00,70,00,70,00,44,00,61,00,74,00,61,00,5c,00,4c,00,6f,\\\n"
        "  00,63,00,61,00,6c,00,5c,00,54,00,65,00,6d,00,70,00,00,00\n"
        "\"TEMP\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,\\\n"
        "  00,45,00,25,00,5c,00,41,00,70,00,70,00,44,00,61,00,74,00,61,00,5c,00,4c,00,\\\n"
        "  6f,00,63,00,61,00,6c,00,5c,00,54,00,65,00,6d,00,70,00,00,00\n"
        "\"bin\"=hex:00,10,a0,ff\n";
    const auto wide = [](const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); };
    const std::string unicode = editorExport(wide(head) + u"@=\"Gr\u00fc\u00dfe \u20ac\"\n" + wide(lists));
    // In the ANSI form text is Windows-1252 and hex(2) is ANSI bytes, not UTF-16.
    const std::string ansi = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"
                             "\"name\"=\"J\xFCrgen \x80\"\r\n\"exp\"=hex(2):25,41,25,00\r\n";
    const std::string temp = sz("%USERPROFILE%\\AppData\\Local\\Temp");
    const struct { const std::string& file; const char* name; uint32_t type; std::string data; } rows[] = {
        {unicode, "lng", REG_DWORD, std::string("\x02\0\0\0", 4)},
        {unicode, "quote", REG_SZ, sz("C:\\say \"hi\"")},
        {unicode, "", REG_SZ, std::string("Gr\xFC\xDF" "e \x80\0", 8)},
        {unicode, "exp", 2, std::string("%A%\0", 4)},
        {unicode, "TMP", 2, temp}, {unicode, "TEMP", 2, temp},
        {unicode, "bin", REG_BINARY, std::string("\x00\x10\xA0\xFF", 4)},
        {ansi, "name", REG_SZ, std::string("J\xFCrgen \x80\0", 9)},
        {ansi, "exp", 2, std::string("%A%\0", 4)}};
    for (const auto& row : rows) {
        const platform::RegFileDocument doc = RegFileParser::parse(row.file, HKEY_CURRENT_USER);
        EXPECT_TRUE(doc.recognised && doc.unreadableLines == 0) << row.name;
        EXPECT_EQ(value(doc.tree, kProductKey, row.name), std::make_pair(row.type, row.data)) << row.name;
    }
    EXPECT_EQ(rewrite(RegFileParser::parse(unicode, HKEY_CURRENT_USER)), head + "@=\"Grüße €\"\n" + lists + "\n");
}

// Written again, a file keeps in place what was not read: what followed a
// deleted key (commented out), the deletion of a root, lines in error and a
// section of another root. What is written reads back to the same text.
TEST(RegFileParser, deletions_and_unreadable_lines_are_kept_in_a_rewrite) {
    const std::string head = "Windows Registry Editor Version 5.00\n";
    const std::string notes = "; written by hand\nstray text\n";
    const std::string unreadable = "\"badhex\"=hex:0g,11\n\"open\"=\"no end\n\"dw\"=dword:123456789\n"
                                   "\"polish\"=\"\xC5\x81\xC3\xB3\xC5\xBA\"\n"
                                   "\"cut\"=hex:01,\\\n";  // a blank line ends the list, not the next value
    const std::string foreign = "[HKEY_CLASSES_ROOT\\.7kx]\n@=\"sample\"\n[HKEY_CURRENT_USER\\K\n";
    const struct { std::string file, written; size_t unreadable; } rows[] = {
        {head + "[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n[HKEY_CURRENT_USER\\A\\B\\C]\n\"z\"=\"3\"\n" +
             "[-HKEY_CURRENT_USER\\A\\B]\n\"after\"=\"ignored\"\n[HKEY_CURRENT_USER\\A]\n\"Y\"=-\n" +
             "[-HKEY_CURRENT_USER]\n",
         head + "\n; [-HKEY_CURRENT_USER\\A\\B]\n; \"after\"=\"ignored\"\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\n" +
             "[-HKEY_CURRENT_USER]\n",
         2},
        {head + notes + "[HKEY_CURRENT_USER\\K]\n\"good\"=\"1\"\n" + unreadable + "\n\"after\"=\"2\"\n" + foreign,
         head + "\n" + notes + "\n[HKEY_CURRENT_USER\\K]\n\"good\"=\"1\"\n\"after\"=\"2\"\n" + unreadable +
             "\n\n" + foreign,
         9}};
    for (const auto& row : rows) {
        const platform::RegFileDocument doc = RegFileParser::parse(row.file, HKEY_CURRENT_USER);
        EXPECT_EQ(doc.unreadableLines, row.unreadable);
        EXPECT_EQ(rewrite(doc), row.written);
        EXPECT_EQ(rewrite(RegFileParser::parse(row.written, HKEY_CURRENT_USER)), row.written);
    }
}

TEST(RegFileParser, hostile_input_is_bounded_or_not_recognised) {
    std::string deep = "[HKEY_CURRENT_USER";
    for (int i = 0; i < 600; ++i) deep += "\\k";
    const std::string file = "Windows Registry Editor Version 5.00\n" + deep + "]\n\"v\"=\"1\"\n" +
                             "[HKEY_CURRENT_USER\\" + std::string(256, 'n') + "]\n" +
                             "[HKEY_CURRENT_USER\\a\\\\b]\n" +
                             "[HKEY_CURRENT_USER\\ok]\n\"" + std::string(16384, 'v') + "\"=\"1\"\n";
    const platform::RegFileDocument doc = RegFileParser::parse(file, HKEY_CURRENT_USER);
    ASSERT_EQ(doc.tree.subkeys.size(), 1u);
    EXPECT_EQ(doc.tree.subkeys[0]->name, "ok");
    EXPECT_TRUE(doc.tree.subkeys[0]->values.empty());
    EXPECT_EQ(doc.unreadableLines, 5u);

    for (const std::string& junk :
         {std::string(), std::string("\0\0\0", 3), std::string("\xFF\xFE"),
          std::string("\xFF\xFE\x00\xD8", 4), std::string("[\n]\n[[[\n@\n\"\n=\n"),
          std::string("hex:\\\n\\\n\\")}) {
        const platform::RegFileDocument bad = RegFileParser::parse(junk, HKEY_CURRENT_USER);
        EXPECT_FALSE(bad.recognised) << junk;
        EXPECT_TRUE(bad.tree.subkeys.empty()) << junk;
    }
    // A UTF-16 export that lost its byte-order mark is still recognised.
    const std::string noBom =
        editorExport(u"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n").substr(2);
    const platform::RegFileDocument lost = RegFileParser::parse(noBom, HKEY_CURRENT_USER);
    EXPECT_TRUE(lost.recognised);
    EXPECT_NE(find(lost.tree, "K"), nullptr);
}

TEST_P(RegistryReadFormat, each_type_reads_the_same_and_what_cannot_be_read_is_the_marker) {
    const clsRegistry r(*api_);
    const auto get = [&](const std::string& name, const std::string& path = kKey) {
        return r.ReadRegistry(HKEY_CURRENT_USER, path, name);
    };
    const struct { const char* name; uint32_t type; std::string data; std::string read; } rows[] = {
        {"d0", REG_DWORD, dword(0), "000"}, {"d5", REG_DWORD, dword(5), "005"}, {"d500", REG_DWORD, dword(500), "500"},
        {"d1000", REG_DWORD, dword(1000), "1000"}, {"dmax", REG_DWORD, dword(4294967295u), "4294967295"},
        {"dtop", REG_DWORD, dword(0x80000000u), "2147483648"},
        {"bin", REG_BINARY, std::string("\x00\x10\xA0\xff", 4), "0010A0FF"},
        {"empty", REG_SZ, std::string(1, '\0'), ""}, {"nodata", REG_SZ, "", ""},
        {"text", REG_SZ, std::string("abc\0", 4), "abc"}, {"expand", 2, std::string("%A%\0", 4), "%A%"},
        // The read buffer holds 2048 bytes: 2048 is read, 2049 is not.
        {"fits", REG_SZ, std::string(2047, 'x') + '\0', std::string(2047, 'x')},
        {"long", REG_SZ, std::string(2048, 'x') + '\0', kNotFound},
        {"longbin", REG_BINARY, std::string(2049, 'x'), kNotFound}};
    platform::RegHandle key = 0;  // raw bytes stored the way another program would, past clsRegistry
    ASSERT_EQ(api_->createKey(HKEY_CURRENT_USER, kKey, key), reg::ERROR_SUCCESS);
    for (const auto& row : rows) EXPECT_EQ(api_->setValue(key, row.name, row.type, row.data), 0) << row.name;
    api_->closeKey(key);
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
        EXPECT_EQ(value(api.rootKey(HKEY_CURRENT_USER), kKey, row.name), std::make_pair(row.stored, row.data))
            << row.name;
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

TEST(windows1252, round_trip_replacement_and_base_names) {
    EXPECT_EQ(utf8ToWindows1252("Grüße €"), "Gr\xfc\xdf" "e \x80");
    EXPECT_EQ(windows1252ToUtf8("Gr\xfc\xdf" "e \x80"), "Grüße €");
    // The row that differs from Latin-1, both ways; its five unassigned bytes
    // stand for the C1 controls of the same number.
    std::string row;
    for (int b = 0x80; b <= 0x9F; ++b) row += static_cast<char>(b);
    const std::string unicode = "€\xC2\x81‚ƒ„…†‡ˆ‰Š‹Œ\xC2\x8D" "Ž\xC2\x8F\xC2\x90" "‘’“”•–—˜™š›œ\xC2\x9D" "žŸ";
    EXPECT_EQ(windows1252ToUtf8(row), unicode);
    EXPECT_EQ(utf8ToWindows1252(unicode), row);
    // Outside the code page, broken UTF-8, overlong NULs and surrogates become
    // one '?' per byte, never a NUL; the card id's salt keeps its two 0xA8.
    const std::pair<const char*, const char*> rows[] = {
        {"a\xe2\x82", "a??"}, {"日本", "??"}, {"\xf0\x9f\x98\x80x", "?x"},
        {"a\xc0\x80", "a??"}, {"\xed\xa0\x80", "???"}, {"k4w9#¨¨", "k4w9#\xa8\xa8"}};
    for (const auto& [utf8, ansi] : rows) EXPECT_EQ(utf8ToWindows1252(utf8), ansi) << utf8;
    const std::pair<const char*, const char*> names[] = {
        {"C:\\samples\\calm.7kx", "calm"}, {"/tmp/a.b/calm.v2.7kx", "calm.v2"},
        {"noext", "noext"}, {".hidden", ".hidden"}};
    for (const auto& [path, base] : names) EXPECT_EQ(getBaseName(path), base) << path;
}

TEST(textTable, every_offset_in_both_languages_and_lookup_by_base) {
    const std::pair<int, int> ranges[] = {{97, 98},   {100, 113}, {151, 152}, {201, 205}, {301, 302},
                                          {401, 406}, {501, 505}, {601, 612}, {614, 618}, {701, 702},
                                          {801, 801}, {901, 903}, {7001, 7017}, {9001, 9031}, {9040, 9073}};
    for (const auto& [first, last] : ranges)
        for (int o = first; o <= last; ++o)
            EXPECT_TRUE(resourceText(kLanguageGerman + o) && resourceText(kLanguageEnglish + o)) << o;
    EXPECT_FALSE(resourceText(kLanguageEnglish + 613).has_value());
    setLanguageBase(kLanguageEnglish);
    EXPECT_EQ(resText(102), "Card reader");
    setLanguageBase(kLanguageGerman);
    EXPECT_EQ(resText(102), "Kartenleser");
    EXPECT_EQ(resText(9999), "");
    EXPECT_EQ(languageBaseFromSetting("002"), kLanguageEnglish);
    for (const char* german : {"001", "###Not Found###", "0", ""})
        EXPECT_EQ(languageBaseFromSetting(german), kLanguageGerman) << german;
}

TEST(crc16, known_answer_and_word_text_bounds) {
    EXPECT_EQ(crc16("123456789"), 0xBB3D);
    EXPECT_EQ(crc16(""), 0);
    EXPECT_EQ(crcWordToText(0x1234), std::string("\x34\x12"));
    EXPECT_EQ(crcWordToText(65536) + crcWordToText(-1), "");
    EXPECT_EQ(crcTextToWord(std::string("\x34\x12\x99")), 0x1234);
    EXPECT_EQ(crcTextToWord("x"), -1);
    for (int n = 0; n <= 65535; ++n) ASSERT_EQ(crcTextToWord(crcWordToText(n)), n) << n;
}

TEST(hashText, standard_vectors_raw_lengths_and_unknown_algorithms) {
    EXPECT_EQ(hashText("abc", kHashMd5, true), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(hashText("abc", kHashSha1, true), "a9993e364706816aba3e25717850c26c9cd0d89d");
    // MD5 of "jk8ssl" is 0000...: the raw form must keep its leading zero bytes.
    const std::string raw = hashText("jk8ssl", kHashMd5, false);
    ASSERT_EQ(raw.size(), 16u);
    EXPECT_EQ(raw[0], '\0');
    EXPECT_EQ(toHexText(raw), hashText("jk8ssl", kHashMd5, true));
    EXPECT_EQ(hashText(std::string("a\0b", 3), kHashSha1, false).size(), 20u);
    EXPECT_NE(hashText(std::string("a\0b", 3), kHashSha1, true), hashText("a", kHashSha1, true));
    EXPECT_EQ(hashText("abc", 2, true) + hashText("abc", -1, false), "");
    EXPECT_EQ(toHexText(std::string("\x05\x0a\xff", 3)), "050aff");
}
