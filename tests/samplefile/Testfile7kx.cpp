#include <gtest/gtest.h>

#include "foundation/clsLog.h"
#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"

using namespace orvex;
using namespace orvex::test;

namespace {

std::string logText() { return readFileBytes(clsLog().path()); }

// The lines appear in this order after the last "filename: <path>" line.
void expectLogLinesInOrder(const std::string& path, const std::vector<std::string>& lines) {
    const std::string text = logText();
    size_t at = text.rfind(" - filename: " + path + "\r\n");
    ASSERT_NE(at, std::string::npos);
    for (const auto& line : lines) {
        const size_t next = text.find(" - " + line + "\r\n", at);
        ASSERT_NE(next, std::string::npos) << line;
        at = next;
    }
}

}  // namespace

TEST(file7kx_load, reads_every_header_field_and_logs_them_in_order) {
    const std::string path = writeSampleFile(sampleFileBytes());
    file7kx file;
    ASSERT_TRUE(file.loadFromFile(path));
    EXPECT_EQ(file.filename(), path);
    EXPECT_EQ(file.lastModified(), "20240315T101112Z");
    EXPECT_EQ(file.comment(), padded("Evening calm, second take", 100));
    EXPECT_EQ(file.creator(), "osc 3.6");
    EXPECT_TRUE(file.verify());
    expectLogLinesInOrder(path, {"file format: 7kx/1.0.0", "last modified: 20240315T101112Z",
                                 "lastmod: 20240315T101112Z",
                                 "comments: " + padded("Evening calm, second take", 100),
                                 "creatorserial: osc/3.6/10010"});
}

TEST(file7kx_load, sample_data_is_the_files_bytes_182_to_9001) {
    const std::string bytes = sampleFileBytes();
    file7kx file;
    ASSERT_TRUE(file.loadFromFile(writeSampleFile(bytes)));
    EXPECT_EQ(file.sampledata(), bytes.substr(182));
    const auto lo = static_cast<unsigned char>(bytes[182]);
    const auto hi = static_cast<unsigned char>(bytes[183]);
    EXPECT_EQ(file.sampledata_int()[0], static_cast<int16_t>(lo + 256 * hi));
    // Byte 9001 pairs with 9000 into the last value, read as signed.
    const auto last = static_cast<int16_t>(static_cast<unsigned char>(bytes[9000]) +
                                           256 * static_cast<unsigned char>(bytes[9001]));
    EXPECT_EQ(file.sampledata_int()[4409], last);
    EXPECT_LT(*std::min_element(file.sampledata_int().begin(), file.sampledata_int().end()), 0);
}

TEST(file7kx_load, a_file_of_the_wrong_size_is_refused_before_its_format_is_read) {
    for (const size_t size : {9001u, 9003u}) {
        std::string bytes = sampleFileBytes();
        bytes.resize(size, 'x');
        const std::string path = writeSampleFile(bytes);
        file7kx file;
        EXPECT_FALSE(file.loadFromFile(path)) << size;
        EXPECT_EQ(file.loadError(), file7kx::LoadError::WrongSize) << size;
        EXPECT_EQ(file.filename(), "") << size;
        expectLogLinesInOrder(path, {"filelen: " + std::to_string(size)});
        EXPECT_EQ(logText().find("file format", logText().rfind("filename: " + path)),
                  std::string::npos);
    }
}

TEST(file7kx_load, a_missing_file_is_reported_with_its_path) {
    const std::string path = makeTempDir() + "/absent.7kx";
    file7kx file;
    EXPECT_FALSE(file.loadFromFile(path));
    EXPECT_EQ(file.loadError(), file7kx::LoadError::NotFound);
    expectLogLinesInOrder(path, {path + " - File not found"});
}

TEST(file7kx_format, leading_blanks_pass_capitals_and_other_versions_do_not) {
    SampleFileParts parts;
    parts.format = "  7kx/1.0.0";
    file7kx accepted;
    EXPECT_TRUE(accepted.loadFromFile(writeSampleFile(sampleFileBytes(parts))));
    EXPECT_EQ(accepted.loadError(), file7kx::LoadError::None);
    for (const char* name : {"7KX/1.0.0", "7kx/1.0.1", "7kx/1.0.0x"}) {
        parts.format = name;
        const std::string path = writeSampleFile(sampleFileBytes(parts));
        file7kx file;
        EXPECT_FALSE(file.loadFromFile(path)) << name;
        EXPECT_EQ(file.loadError(), file7kx::LoadError::WrongFormat) << name;
        EXPECT_EQ(file.formatName(), name);
        EXPECT_EQ(file.filename(), path) << "the path is kept past the size check";
        EXPECT_EQ(file.lastModified(), "") << "nothing after the format is read";
        expectLogLinesInOrder(path, {std::string("file format: ") + name});
    }
}

TEST(file7kx_format, the_comment_keeps_its_trailing_blanks) {
    file7kx file;
    ASSERT_TRUE(file.loadFromFile(writeSampleFile(sampleFileBytes())));
    EXPECT_EQ(file.comment1(), padded("Evening calm, second take", 50));
    EXPECT_EQ(file.comment2(), std::string(50, ' '));
}

namespace {

file7kx loadedWithCreator(const std::string& creator) {
    SampleFileParts parts;
    parts.creator = creator;
    file7kx file;
    EXPECT_TRUE(file.loadFromFile(writeSampleFile(sampleFileBytes(parts))));
    return file;
}

}  // namespace

TEST(file7kx_creator, name_version_and_serial) {
    const file7kx file = loadedWithCreator("  Tool/3.6/10010");
    EXPECT_EQ(file.creatorname(), "Tool");
    EXPECT_EQ(file.creatorversion(), "3.6");
    EXPECT_EQ(file.creatorversionMajor(), 3);
    EXPECT_EQ(file.creatorversionMinor(), 6);
    EXPECT_EQ(file.serial(), "10010");
    EXPECT_EQ(file.creator(), "Tool 3.6");
}

TEST(file7kx_creator, a_name_alone) {
    const file7kx file = loadedWithCreator("Tool");
    EXPECT_EQ(file.creatorname(), "Tool");
    EXPECT_EQ(file.creatorversion(), "");
    EXPECT_EQ(file.serial(), "");
    EXPECT_EQ(file.creatorversionMajor(), 0);
    EXPECT_EQ(file.creatorversionMinor(), 0);
    EXPECT_EQ(file.creator(), "Tool");
}

TEST(file7kx_creator, version_parts_that_are_missing_or_not_numbers_count_as_0) {
    EXPECT_EQ(loadedWithCreator("Tool/3/1").creatorversionMajor(), 3);
    EXPECT_EQ(loadedWithCreator("Tool/3/1").creatorversionMinor(), 0);
    EXPECT_EQ(loadedWithCreator("Tool/x.6/1").creatorversionMajor(), 0);
    EXPECT_EQ(loadedWithCreator("Tool/x.6/1").creatorversionMinor(), 6);
    EXPECT_EQ(loadedWithCreator("Tool/3.6.9/1").creatorversionMinor(), 6);
    EXPECT_EQ(loadedWithCreator("Tool/99999999999.1/1").creatorversionMajor(), 0);
}

TEST(file7kx_creator, setting_creator_keeps_the_serial_and_setting_serial_keeps_the_rest) {
    file7kx file = loadedWithCreator("Tool/3.6/10010");
    file.setCreator("Other/4.1");
    EXPECT_EQ(file.creatorname(), "Other");
    EXPECT_EQ(file.creatorversion(), "4.1");
    EXPECT_EQ(file.serial(), "10010");
    file.setCreator("Bare");
    EXPECT_EQ(file.creatorname(), "Bare");
    EXPECT_EQ(file.creatorversion(), "");
    EXPECT_EQ(file.serial(), "10010");

    file7kx empty;
    empty.setSerial("77");
    EXPECT_EQ(empty.creatorname(), "");
    EXPECT_EQ(empty.serial(), "77");
}

TEST(file7kx_comment, halves_overwrite_in_place_without_changing_the_length) {
    file7kx file;
    file.setComment(std::string(120, 'c'));
    EXPECT_EQ(file.comment().size(), 100u);
    file.setComment1("ab");
    file.setComment2(std::string(70, 'z'));
    EXPECT_EQ(file.comment(), "ab" + std::string(48, 'c') + std::string(50, 'z'));
    file.setComment("short");
    file.setComment2("ignored");
    file.setComment1("0123456789");
    EXPECT_EQ(file.comment(), "01234");
    EXPECT_EQ(file.comment2(), "");
}
