#include <gtest/gtest.h>

#include "cli/CliOptions.h"

using orvex::cli::parseCommandLine;

TEST(CliOptions, global_options_stand_before_or_after_the_command) {
    const auto before = parseCommandLine({"--api", "mcard", "--reader=R 1", "--wait", "3600", "write", "a.7kx", "--duration", "45"});
    const auto after = parseCommandLine({"write", "a.7kx", "--reader", "R 1", "--duration=45", "--api=mcard", "--wait=3600"});
    for (const auto* r : {&before, &after}) {
        ASSERT_TRUE(r->ok()) << r->error;
        EXPECT_EQ(r->options.command, "write");
        EXPECT_EQ(r->options.operands, std::vector<std::string>{"a.7kx"});
        EXPECT_EQ(r->options.api, "mcard");
        EXPECT_EQ(r->options.reader, "R 1");
        EXPECT_EQ(r->options.value("duration"), "45");
        EXPECT_EQ(r->options.waitSeconds, 3600);  // an hour is the longest wait
    }
    // After "--" everything is an operand, even what looks like an option.
    const auto dashed = parseCommandLine({"dump", "--", "--odd-name.bin"});
    ASSERT_TRUE(dashed.ok()) << dashed.error;
    EXPECT_EQ(dashed.options.operands, std::vector<std::string>{"--odd-name.bin"});
}

TEST(CliOptions, mistakes_are_usage_errors) {
    const std::vector<std::vector<std::string>> bad = {
        {},                                     // no command
        {"inspect", "extra"},                   // an operand too many
        {"write"},                              // the sample is missing
        {"write", "a.7kx", "b.7kx"},            // one sample per write
        {"inspect", "--kind", "drink"},         // an option of another command
        {"--api", "usb", "status"},             // an unknown driver
        {"--lang", "fr", "status"},             // an unknown language
        {"--wait", "-1", "status"},             // a negative wait
        {"--wait", "nan", "status"},            // not a number
        {"--wait", "99999", "status"},          // beyond an hour
        {"--reader"},                           // a value is missing
        {"--reader", "a", "--reader", "b", "status"},
        {"format", "--kind", "coffee"},
        {"status", "-x"},
        {"status", "--json=1"},                 // a flag takes no value
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_FALSE(parseCommandLine(args).ok()) << joined;
    }
}
