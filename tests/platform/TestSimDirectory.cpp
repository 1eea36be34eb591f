#include <gtest/gtest.h>

#include <filesystem>

#include "platform/sim/SimDirectory.h"
#include "support/TestEnvironment.h"

using namespace orvex::platform;
using orvex::test::makeTempDir;
using orvex::test::readFileBytes;

// Plugging, inserting and pulling as such run in every command-line test.
TEST(SimDirectory, a_pulled_card_goes_back_whole_and_names_that_are_not_one_folder_are_refused) {
    const std::string dir = makeTempDir("sim") + "/readers";
    SimDirectory sim(dir);
    ASSERT_TRUE(sim.init().ok());
    const std::string image(16384, 'q');
    ASSERT_TRUE(sim.insert("", image).ok());  // the first reader by name
    EXPECT_EQ(sim.insert("", std::nullopt).error, SimError::CardPresent);
    ASSERT_TRUE(sim.remove("").ok());
    EXPECT_EQ(sim.remove("").error, SimError::NoCard);
    ASSERT_TRUE(sim.insert("", std::nullopt).ok());
    EXPECT_EQ(readFileBytes(dir + "/" + SimDirectory::kDefaultReader + "/card.bin"), image);

    for (const char* name : {"", "..", "../escape", "a/b", "a\\b"}) {
        EXPECT_FALSE(sim.plug(name).ok()) << name;
        EXPECT_FALSE(sim.unplug(name).ok()) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/../escape"));
    EXPECT_EQ(sim.insert("absent", std::nullopt).error, SimError::NoSuchReader);
    // init keeps what is there: the default reader is not added a second time.
    ASSERT_TRUE(sim.unplug(SimDirectory::kDefaultReader).ok());
    ASSERT_TRUE(sim.plug("Only").ok());
    ASSERT_TRUE(sim.init().ok());
    EXPECT_EQ(sim.readers(), std::vector<std::string>{"Only"});
}
