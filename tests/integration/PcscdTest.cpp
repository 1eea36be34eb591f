#include "PcscdTest.h"

#include <chrono>
#include <thread>

#include "support/TestEnvironment.h"
#include "platform/pcsc/PcscBackend.h"

namespace orvex::test {
namespace {

constexpr auto kPresenceDeadline = std::chrono::seconds(10);

struct SharedPcscd {
    PcscdHarness harness;
    bool started = false;
    std::string failure;
};

SharedPcscd& shared() {
    static SharedPcscd instance;
    return instance;
}

class StopPcscdAtEnd : public ::testing::Environment {
public:
    void TearDown() override { shared().harness.stop(); }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new StopPcscdAtEnd);

const std::string& ensurePcscd() {
    SharedPcscd& pcscd = shared();
    if (!pcscd.started) {
        pcscd.started = true;
        pcscd.failure = pcscd.harness.start(makeTempDir("pcscd"));
    }
    return pcscd.failure;
}

}  // namespace

void PcscdTest::SetUp() {
    const std::string& failure = ensurePcscd();
    ASSERT_TRUE(failure.empty()) << "integration suite cannot run: " << failure;
    imagePath_ = makeTempDir("card") + "/card.img";
}

void PcscdTest::TearDown() {
    emulator_.stop();
    if (ensurePcscd().empty()) {
        EXPECT_TRUE(waitForPresence(platform::CardPresence::Absent));
    }
}

const std::string& PcscdTest::readerName() const { return shared().harness.readerName(); }

void PcscdTest::startCard(bool inserted, std::optional<unsigned> pullAfterUpdates) {
    ASSERT_TRUE(emulator_.start(shared().harness.port(), imagePath_, inserted, pullAfterUpdates));
    if (inserted) {
        ASSERT_TRUE(waitForPresence(platform::CardPresence::Present)) << shared().harness.logTail();
    }
}

bool PcscdTest::waitForPresence(platform::CardPresence wanted) {
    platform::PcscBackend backend;
    const auto deadline = std::chrono::steady_clock::now() + kPresenceDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
        platform::CardPresence presence = platform::CardPresence::ReaderGone;
        if (backend.cardPresence(readerName(), 0, presence).ok() && presence == wanted) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string cardPattern(unsigned seed) {
    std::string bytes(platform::kMemoryCardSize, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 31 + (i >> 6) * 7 + seed) & 0xFF);
    return bytes;
}

}  // namespace orvex::test
