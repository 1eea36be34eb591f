#include <gtest/gtest.h>

#include <filesystem>

#include "platform/mcard/MemoryCardBackend.h"
#include "platform/sim/SimDirectory.h"
#include "platform/sim/SimulatedBackend.h"
#include "support/TestEnvironment.h"

using namespace orvex::platform;
using orvex::test::makeTempDir;
using orvex::test::readFileBytes;

TEST(SimDirectory, cards_go_in_and_out_as_the_back_end_sees_them) {
    const std::string dir = makeTempDir("sim") + "/readers";
    SimDirectory sim(dir);
    ASSERT_TRUE(sim.init().ok());
    ASSERT_TRUE(sim.plug("B reader").ok());
    EXPECT_EQ(sim.readers(), (std::vector<std::string>{"B reader", SimDirectory::kDefaultReader}));

    SimulatedBackend backend(dir);
    CardPresence presence = CardPresence::Absent;
    const std::string image(16384, 'q');
    ASSERT_TRUE(sim.insert("", image).ok());  // the first reader by name
    ASSERT_TRUE(backend.cardPresence("B reader", 0, presence).ok());
    EXPECT_EQ(presence, CardPresence::Present);
    EXPECT_EQ(sim.insert("B reader", std::nullopt).error, SimError::CardPresent);

    ASSERT_TRUE(sim.remove("B reader").ok());
    backend.cardPresence("B reader", 0, presence);
    EXPECT_EQ(presence, CardPresence::Absent);
    EXPECT_EQ(sim.remove("B reader").error, SimError::NoCard);
    // Inserting without an image puts the pulled card back, bytes and all.
    ASSERT_TRUE(sim.insert("B reader", std::nullopt).ok());
    EXPECT_EQ(readFileBytes(dir + "/B reader/card.bin"), image);

    ASSERT_TRUE(sim.unplug("B reader").ok());
    backend.cardPresence("B reader", 0, presence);
    EXPECT_EQ(presence, CardPresence::ReaderGone);
}

TEST(SimDirectory, names_that_are_not_one_folder_are_refused) {
    const std::string dir = makeTempDir("sim") + "/readers";
    SimDirectory sim(dir);
    ASSERT_TRUE(sim.init().ok());
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
