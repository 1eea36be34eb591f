#pragma once
// A simulated reader directory, private settings and log for each test, and
// shortcuts to run orvexcard against them and to look at the card's bytes.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "support/TestEnvironment.h"

namespace orvex::test {

class CliTest : public ::testing::Test {
protected:
    static constexpr const char* kReader = "OrvexCard Simulated Reader 0";

    void SetUp() override;

    std::map<std::string, std::string> env() const;
    ProgramResult run(const std::vector<std::string>& args) const { return runProgram(args, env()); }
    std::string cardPath(const std::string& reader = kReader) const;
    std::string card() const { return readFileBytes(cardPath()); }
    void setCard(const std::string& bytes) const { writeFileBytes(cardPath(), bytes); }
    void setFaults(const std::string& lines, const std::string& reader = kReader) const;
    // A sample file in the test's directory; creator as in the file header.
    std::string sample(const std::string& creator = "OSC/3.6/10010",
                       const std::string& comment = "Evening calm") const;

    std::string dir_;
    std::string sim_;
    std::string registry_;
};

}  // namespace orvex::test
