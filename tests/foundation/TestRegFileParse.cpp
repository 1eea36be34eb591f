#include <gtest/gtest.h>

#include <string>

#include "foundation/clsRegistry.h"
#include "platform/registry/RegFileParser.h"
#include "platform/registry/RegFileWriter.h"
#include "tests/foundation/RegTestSupport.h"

using namespace orvex;
using platform::RegFileParser;
using platform::RegKey;
using test::editorExport;

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
std::string data(const RegKey& root, const std::string& path, const std::string& name) { return value(root, path, name).second; }

// A REG_SZ's data: the text and its NUL.
std::string sz(const std::string& text) { return text + '\0'; }

std::string rewrite(const platform::RegFileDocument& doc) {
    return platform::RegFileWriter::write(doc.tree, doc.extras, HKEY_CURRENT_USER);
}

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

TEST(RegFileParser, deletions_in_an_imported_file) {
    const std::string file =
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
        "[HKEY_CURRENT_USER\\A\\B\\C]\n\"z\"=\"3\"\n"
        "[-HKEY_CURRENT_USER\\A\\B]\n\"after\"=\"ignored\"\n"
        "[HKEY_CURRENT_USER\\A]\n\"Y\"=-\n"
        "[-HKEY_CURRENT_USER]\n";
    const platform::RegFileDocument doc = RegFileParser::parse(file, HKEY_CURRENT_USER);
    EXPECT_EQ(data(doc.tree, "A", "x"), sz("1"));
    EXPECT_EQ(data(doc.tree, "A", "y"), "<missing>");
    EXPECT_EQ(find(doc.tree, "A\\B"), nullptr);
    // What followed the deleted key is not read but kept, commented out; the
    // root itself is never deleted and the line that tried it is kept.
    const std::string written = rewrite(doc);
    EXPECT_NE(written.find("; [-HKEY_CURRENT_USER\\A\\B]\n; \"after\"=\"ignored\"\n"),
              std::string::npos) << written;
    EXPECT_NE(written.find("[-HKEY_CURRENT_USER]\n"), std::string::npos) << written;
    const platform::RegFileDocument again = RegFileParser::parse(written, HKEY_CURRENT_USER);
    EXPECT_EQ(data(again.tree, "A", "x"), sz("1"));
    EXPECT_EQ(find(again.tree, "A\\B"), nullptr);
    EXPECT_EQ(rewrite(again), written);
}

TEST(RegFileParser, unreadable_lines_are_kept_in_place) {
    const std::string file =
        "Windows Registry Editor Version 5.00\n"
        "; written by hand\n"
        "stray text\n"
        "[HKEY_CURRENT_USER\\K]\n"
        "\"good\"=\"1\"\n"
        "\"badhex\"=hex:0g,11\n"
        "\"open\"=\"no end\n"
        "\"dw\"=dword:123456789\n"
        "\"polish\"=\"\xC5\x81\xC3\xB3\xC5\xBA\"\n"
        "\"cut\"=hex:01,\\\n"  // a blank line ends the list, not the next value
        "\n"
        "\"after\"=\"2\"\n"
        "[HKEY_CLASSES_ROOT\\.7kx]\n"
        "@=\"sample\"\n"
        "[HKEY_CURRENT_USER\\K\n";
    const platform::RegFileDocument doc = RegFileParser::parse(file, HKEY_CURRENT_USER);
    EXPECT_EQ(data(doc.tree, "K", "good"), sz("1"));
    EXPECT_EQ(data(doc.tree, "K", "after"), sz("2"));
    for (const char* name : {"badhex", "open", "dw", "polish", "cut"})
        EXPECT_EQ(data(doc.tree, "K", name), "<missing>") << name;
    EXPECT_EQ(doc.unreadableLines, 9u);
    const std::string written = rewrite(doc);
    for (const char* line :
         {"; written by hand\n", "stray text\n", "\"badhex\"=hex:0g,11\n", "\"open\"=\"no end\n",
          "\"dw\"=dword:123456789\n", "\"polish\"=\"\xC5\x81\xC3\xB3\xC5\xBA\"\n",
          "[HKEY_CLASSES_ROOT\\.7kx]\n@=\"sample\"\n", "[HKEY_CURRENT_USER\\K\n"})
        EXPECT_NE(written.find(line), std::string::npos) << line << "\n---\n" << written;
    // The classes-root value stays under its own header, not under K.
    EXPECT_EQ(data(RegFileParser::parse(written, HKEY_CURRENT_USER).tree, "K", ""), "<missing>");
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
