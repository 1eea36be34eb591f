#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/registry/FileLock.h"
#include "platform/sim/SimDirectory.h"
#include "platform/sim/SimFaults.h"
#include "platform/sim/SimulatedBackend.h"
#include "support/TestEnvironment.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;
using platform::BackendFault;
using platform::CardPresence;
using platform::SimFaults;

class SimulatedBackendTest : public ::testing::Test {
protected:
    // A reader folder, with card.bin unless card is nullopt and with a faults file if given.
    std::string addReader(const std::string& name, std::optional<std::string> card = std::string(16384, '\0'),
                          const std::string& faults = {}) {
        const std::string dir = root + "/" + name;
        fs::create_directories(utf8Path(dir));
        if (card) writeFileBytes(dir + "/card.bin", *card);
        if (!faults.empty()) writeFileBytes(dir + "/faults", faults);
        return dir;
    }
    CardPresence presence(const std::string& reader) {
        CardPresence result = CardPresence::ReaderGone;
        EXPECT_TRUE(backend.cardPresence(reader, 0, result).ok());
        return result;
    }

    std::string root = makeTempDir("sim");
    platform::SimulatedBackend backend{root};
    std::string bytes;
};

TEST_F(SimulatedBackendTest, ReadersAreFoldersListedInByteOrderAndPresenceFollowsTheCardFile) {
    for (const char* name : {"b", "\xC3\x84rger", "C", "a 2", "a"}) addReader(name, std::nullopt);
    writeFileBytes(root + "/not-a-reader", "x");
    std::vector<std::string> names;
    ASSERT_TRUE(backend.listReaders(names).ok());
    EXPECT_EQ(names, (std::vector<std::string>{"C", "a", "a 2", "b", "\xC3\x84rger"}));

    addReader("full");
    EXPECT_EQ(presence("a"), CardPresence::Absent);
    EXPECT_EQ(presence("full"), CardPresence::Present);
    for (const char* gone : {"gone", "..", "full/.."}) EXPECT_EQ(presence(gone), CardPresence::ReaderGone) << gone;

    const auto missing = platform::SimulatedBackend(root + "/nowhere").listReaders(names);
    EXPECT_EQ(missing.fault(), BackendFault::Service);
    EXPECT_NE(missing.text().find("nowhere"), std::string::npos);
}

// Without card.type a card is of type 15, as every command-line and window test shows.
TEST_F(SimulatedBackendTest, CardTypeFileWrongSizeAndReadOnly) {
    const std::string typed = addReader("t");
    uint8_t type = 0;
    writeFileBytes(typed + "/card.type", " 7\r\n");
    ASSERT_TRUE(backend.cardType("t", type).ok());
    EXPECT_EQ(type, 7);
    for (const char* bad : {"256", "-1", "0x0F", "", "15 16"}) {
        writeFileBytes(typed + "/card.type", bad);
        EXPECT_EQ(backend.cardType("t", type).fault(), BackendFault::Card) << bad;
    }
    // A card file of the wrong size is no usable card.
    addReader("r", std::string(100, 'x'));
    EXPECT_EQ(presence("r"), CardPresence::Present);
    type = 15;
    ASSERT_TRUE(backend.cardType("r", type).ok());
    EXPECT_EQ(type, 0);
    EXPECT_EQ(backend.read("r", 0, 10, bytes).fault(), BackendFault::Card);
    EXPECT_FALSE(backend.write("r", 0, "y").ok());
    EXPECT_EQ(readFileBytes(root + "/r/card.bin"), std::string(100, 'x'));
    const std::string dir = addReader("ro", std::string(16384, '\0'), "read_only=1\n");
    EXPECT_EQ(backend.write("ro", 0, "x").fault(), BackendFault::Protected);
    EXPECT_EQ(readFileBytes(dir + "/card.bin"), std::string(16384, '\0'));
    EXPECT_TRUE(backend.read("ro", 0, 1, bytes).ok());
}

// The card leaves right after the Nth write; a card put in again, or taken
// out before its pull and put back, counts its writes afresh.
TEST_F(SimulatedBackendTest, PullAfterWritesPullsTheCardRightAfterTheNthWrite) {
    const std::string dir = addReader("r", std::string(16384, '\0'), "pull_after_writes=2\n");
    const auto reinsert = [&](const char* from) { fs::rename(dir + from, dir + "/card.bin"); };
    EXPECT_TRUE(backend.write("r", 0, "a").ok());
    EXPECT_EQ(presence("r"), CardPresence::Present);
    EXPECT_TRUE(backend.write("r", 1, "b").ok());
    EXPECT_EQ(presence("r"), CardPresence::Absent);
    EXPECT_EQ(readFileBytes(dir + "/card.pulled.bin").substr(0, 2), "ab");
    EXPECT_EQ(backend.write("r", 2, "c").fault(), BackendFault::NoCard);
    EXPECT_EQ(backend.read("r", 0, 1, bytes).fault(), BackendFault::NoCard);
    reinsert("/card.pulled.bin");
    EXPECT_TRUE(backend.write("r", 2, "c").ok());
    EXPECT_TRUE(backend.write("r", 3, "d").ok());
    EXPECT_EQ(presence("r"), CardPresence::Absent);
    reinsert("/card.pulled.bin");
    EXPECT_TRUE(backend.write("r", 4, "x").ok());
    for (const bool polled : {true, false}) {  // the card's absence seen by a poll, then by a write
        fs::rename(dir + "/card.bin", dir + "/out.bin");
        EXPECT_TRUE(polled ? presence("r") == CardPresence::Absent : !backend.write("r", 4, "y").ok());
        reinsert("/out.bin");
        EXPECT_TRUE(backend.write("r", 4, "e").ok());
        EXPECT_EQ(presence("r"), CardPresence::Present) << polled;
    }
    EXPECT_TRUE(backend.write("r", 5, "f").ok());
    EXPECT_EQ(presence("r"), CardPresence::Absent);
    // With 0 the first write already finds the card gone.
    writeFileBytes(dir + "/faults", "pull_after_writes=0\n");
    reinsert("/card.pulled.bin");
    EXPECT_EQ(backend.write("r", 6, "g").fault(), BackendFault::NoCard);
    EXPECT_EQ(readFileBytes(dir + "/card.pulled.bin").substr(0, 7), std::string("abcdef\0", 7));
}

// A worn byte: every write over it answers success and keeps it one bit off;
// writes beside it and reads are untouched.
TEST_F(SimulatedBackendTest, CorruptWriteAtKeepsThatByteWithItsLowestBitFlipped) {
    const std::string dir = addReader("r", std::string(16384, '\0'), "corrupt_write_at=5\n");
    EXPECT_TRUE(backend.write("r", 0, "abcd").ok());
    EXPECT_TRUE(backend.write("r", 6, "gh").ok());
    EXPECT_TRUE(backend.write("r", 4, "ef").ok());
    EXPECT_TRUE(backend.write("r", 5, "0").ok());
    ASSERT_TRUE(backend.read("r", 0, 8, bytes).ok());
    EXPECT_EQ(bytes, "abcde1gh");
    writeFileBytes(dir + "/faults", "corrupt_write_at=16383\n");
    EXPECT_TRUE(backend.write("r", 16380, "wxyz").ok());
    EXPECT_EQ(readFileBytes(dir + "/card.bin").substr(16380), "wxy{");
}

TEST(SimFaults, KeysValuesAndNoise) {
    SimFaults faults = SimFaults::parse("# comment\r\n\n latency_ms = 25 \npull_after_writes=3\r\nread_only=1\nbogus=9\n"
                                        "corrupt_write_at=0\n");
    EXPECT_EQ(faults.latencyMs, 25u);
    EXPECT_EQ(faults.pullAfterWrites, 3u);
    EXPECT_TRUE(faults.readOnly);
    EXPECT_EQ(faults.corruptWriteAt, 0u);
    // Malformed values are ignored; a latency is bounded.
    faults = SimFaults::parse("latency_ms=-5\npull_after_writes=x\nread_only=2\nlatency_ms\n=4\ncorrupt_write_at=-1\n");
    EXPECT_EQ(faults.latencyMs, 0u);
    EXPECT_FALSE(faults.pullAfterWrites || faults.readOnly || faults.corruptWriteAt);
    EXPECT_FALSE(SimFaults::parse("pull_after_writes=99999999999\n").pullAfterWrites.has_value());
    EXPECT_EQ(SimFaults::parse("latency_ms=999999999").latencyMs, SimFaults::kMaxLatencyMs);
}

// Plugging, inserting and pulling as such run in every command-line test.
TEST(SimDirectory, a_pulled_card_goes_back_whole_and_names_that_are_not_one_folder_are_refused) {
    const std::string dir = makeTempDir("sim") + "/readers";
    platform::SimDirectory sim(dir);
    ASSERT_TRUE(sim.init().ok());
    const std::string image(16384, 'q');
    ASSERT_TRUE(sim.insert("", image).ok());  // the first reader by name
    EXPECT_EQ(sim.insert("", std::nullopt).error, platform::SimError::CardPresent);
    ASSERT_TRUE(sim.remove("").ok());
    EXPECT_EQ(sim.remove("").error, platform::SimError::NoCard);
    ASSERT_TRUE(sim.insert("", std::nullopt).ok());
    EXPECT_EQ(readFileBytes(dir + "/" + platform::SimDirectory::kDefaultReader + "/card.bin"), image);

    for (const char* name : {"", "..", "../escape", "a/b", "a\\b"}) {
        EXPECT_FALSE(sim.plug(name).ok()) << name;
        EXPECT_FALSE(sim.unplug(name).ok()) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/../escape"));
    EXPECT_EQ(sim.insert("absent", std::nullopt).error, platform::SimError::NoSuchReader);
    // init keeps what is there: the default reader is not added a second time.
    ASSERT_TRUE(sim.unplug(platform::SimDirectory::kDefaultReader).ok());
    ASSERT_TRUE(sim.plug("Only").ok());
    ASSERT_TRUE(sim.init().ok());
    EXPECT_EQ(sim.readers(), std::vector<std::string>{"Only"});
}

// The lock file every card operation on the simulated reader takes: a second
// holder, even in the same process, is refused until the first lets go.
TEST(FileLock, a_second_holder_is_busy_until_the_first_releases_and_a_missing_folder_fails) {
    const std::string path = makeTempDir("lock") + "/card.lock";
    platform::FileLock first, second;
    ASSERT_EQ(first.tryAcquire(path), platform::FileLock::Attempt::Taken);
    EXPECT_TRUE(first.held());
    EXPECT_EQ(second.tryAcquire(path), platform::FileLock::Attempt::Busy);
    EXPECT_FALSE(second.held());
    EXPECT_FALSE(second.acquire(path, 20));
    first.release();
    EXPECT_FALSE(first.held());
    EXPECT_EQ(second.tryAcquire(path), platform::FileLock::Attempt::Taken);
    EXPECT_EQ(platform::FileLock().tryAcquire(path), platform::FileLock::Attempt::Busy);
    second.release();
    EXPECT_TRUE(platform::FileLock().acquire(path, 20));  // a holder that goes lets go
    EXPECT_EQ(first.tryAcquire(path), platform::FileLock::Attempt::Taken);
    EXPECT_EQ(platform::FileLock().tryAcquire(path + ".d/none/x.lock"), platform::FileLock::Attempt::Failed);
}

}  // namespace
}  // namespace orvex::test
