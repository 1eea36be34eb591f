// The lock file as every card operation on the simulated reader takes it:
// a second holder, even in the same process, is refused until the first lets go.
#include <gtest/gtest.h>

#include "platform/registry/FileLock.h"
#include "support/TestEnvironment.h"

namespace orvex::test {
namespace {

using platform::FileLock;

TEST(FileLock, a_second_holder_is_busy_until_the_first_releases_and_a_missing_folder_fails) {
    const std::string path = makeTempDir("lock") + "/card.lock";
    FileLock first, second;
    ASSERT_EQ(first.tryAcquire(path), FileLock::Attempt::Taken);
    EXPECT_TRUE(first.held());
    EXPECT_EQ(second.tryAcquire(path), FileLock::Attempt::Busy);
    EXPECT_FALSE(second.held());
    EXPECT_FALSE(second.acquire(path, 20));
    first.release();
    EXPECT_FALSE(first.held());
    EXPECT_EQ(second.tryAcquire(path), FileLock::Attempt::Taken);
    {
        FileLock third;
        EXPECT_EQ(third.tryAcquire(path), FileLock::Attempt::Busy);
    }
    second.release();
    {
        FileLock third;
        EXPECT_TRUE(third.acquire(path, 20));
    }
    EXPECT_EQ(first.tryAcquire(path), FileLock::Attempt::Taken);
    FileLock elsewhere;
    EXPECT_EQ(elsewhere.tryAcquire(path + ".d/none/x.lock"), FileLock::Attempt::Failed);
}

}  // namespace
}  // namespace orvex::test
