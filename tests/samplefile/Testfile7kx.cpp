#include <gtest/gtest.h>

#include "samplefile/SampleFileMaker.h"
#include "samplefile/file7kx.h"
#include "samplefile/modDecimal.h"

using namespace orvex;
using namespace orvex::test;

// Wrong sizes and missing files are refused before the format is read; a
// format with leading blanks passes, capitals and other versions do not, and
// nothing after the format is read then.
TEST(file7kx, reads_the_header_and_data_and_refuses_sizes_formats_and_missing_files) {
    const struct { size_t size; const char* format; file7kx::LoadError error; } rows[] = {
        {9001, "7kx/1.0.0", file7kx::LoadError::WrongSize}, {9003, "7kx/1.0.0", file7kx::LoadError::WrongSize},
        {9002, "  7kx/1.0.0", file7kx::LoadError::None},       {9002, "7KX/1.0.0", file7kx::LoadError::WrongFormat},
        {9002, "7kx/1.0.1", file7kx::LoadError::WrongFormat}, {9002, "7kx/1.0.0x", file7kx::LoadError::WrongFormat}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.size) + " " + row.format);
        std::string bytes = sampleFileBytes({.format = row.format});
        bytes.resize(row.size, 'x');
        const std::string path = writeSampleFile(bytes);
        file7kx file;
        EXPECT_EQ(file.loadFromFile(path), row.error == file7kx::LoadError::None);
        EXPECT_EQ(file.loadError(), row.error);
        const bool sizeRight = row.size == 9002;
        EXPECT_EQ(file.filename(), sizeRight ? path : "") << "the path is kept past the size check";
        if (row.error == file7kx::LoadError::None) {
            EXPECT_EQ(file.lastModified(), "20240315T101112Z");
            EXPECT_EQ(file.comment(), padded("Evening calm, second take", 100));
            EXPECT_EQ(file.creator(), "osc 3.6");
            EXPECT_EQ(file.sampledata(), bytes.substr(182));  // the file's bytes 182 to 9001
            continue;
        }
        EXPECT_EQ(file.formatName(), sizeRight ? row.format : "");
        EXPECT_EQ(file.lastModified(), "");
    }
    file7kx file;
    EXPECT_FALSE(file.loadFromFile(makeTempDir() + "/absent.7kx"));
    EXPECT_EQ(file.loadError(), file7kx::LoadError::NotFound);
}

TEST(file7kx, name_version_numbers_and_serial_of_the_creator_text) {
    const struct { const char *text, *name, *version; int major, minor; const char *serial, *creator; } rows[] = {
        {"  Tool/3.6/10010", "Tool", "3.6", 3, 6, "10010", "Tool 3.6"},
        {"Tool", "Tool", "", 0, 0, "", "Tool"},
        {"Tool/3/1", "Tool", "3", 3, 0, "1", "Tool 3"},
        {"Tool/x.6/1", "Tool", "x.6", 0, 6, "1", "Tool x.6"},
        {"Tool/3.6.9/1", "Tool", "3.6.9", 3, 6, "1", "Tool 3.6.9"},
        {"Tool/99999999999.1/1", "Tool", "99999999999.1", 0, 1, "1", "Tool 99999999999.1"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        file7kx file;
        ASSERT_TRUE(file.loadFromFile(writeSampleFile(sampleFileBytes({.creator = row.text}))));
        EXPECT_EQ(file.creatorname(), row.name);
        EXPECT_EQ(file.creatorversion(), row.version);
        EXPECT_EQ(file.creatorversionMajor(), row.major);
        EXPECT_EQ(file.creatorversionMinor(), row.minor);
        EXPECT_EQ(file.serial(), row.serial);
        EXPECT_EQ(file.creator(), row.creator);
    }
}

TEST(modDecimal, numbers_as_the_card_and_files_write_them_halves_to_even_and_inclusive_ranges) {
    const std::pair<const char*, double> numbers[] = {
        {"8820", 8820.0}, {" 12 ", 12.0}, {"+12", 12.0}, {"-5", -5.0}, {"2.5", 2.5}, {".5", 0.5}, {"1.", 1.0}};
    for (const auto& [text, number] : numbers) EXPECT_EQ(decimalValue(text), number) << text;
    for (const char* text : {"", "   ", "abc", "1e5", "inf", "nan", "1.2.3", "12a", "+", ".", "1 2", "failed", "0x10"})
        EXPECT_FALSE(decimalValue(text).has_value()) << text;
    const std::pair<double, int> rounding[] = {{1.5, 2}, {2.5, 2}, {0.5, 0}, {-2.5, -2}, {2.4999, 2}, {2.5001, 3}};
    for (const auto& [value, rounded] : rounding) EXPECT_EQ(roundHalfEven(value), rounded) << value;
    EXPECT_EQ(roundedDecimalInRange("65535", 0, 65535), 65535);
    EXPECT_EQ(roundedDecimalInRange("65535.4", 0, 65535), 65535);
    EXPECT_EQ(roundedDecimalInRange("-0.4", 0, 65535), 0);
    for (const std::string& refused : {std::string("65535.5"), std::string("-1"), std::string(400, '9')})
        EXPECT_FALSE(roundedDecimalInRange(refused, 0, 65535)) << refused.substr(0, 10);
}
