#include <gtest/gtest.h>

#include "FakeBackend.h"
#include "platform/mcard/BackendLog.h"
#include "platform/mcard/MemoryCardApi.h"

namespace orvex::test {
namespace {

using namespace platform;
using namespace platform::mcard;

constexpr mcard_code kScardInsufficientBuffer = 0x80100008u;
constexpr mcard_code kScardNoReaders = 0x8010002Eu;
constexpr mcard_code kScardInvalidHandle = 0x80100003u;

class MemoryCardApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        setBackendLogSink([this](const std::string& line) { log.push_back(line); });
        ASSERT_EQ(api.SCardEstablishContext(0, scard), 0u);
    }
    void TearDown() override { setBackendLogSink({}); }

    int32_t initialize(const std::string& reader = "Reader B") {
        int32_t context = 0;
        uint32_t version = 0;
        EXPECT_EQ(api.MCardInitialize(scard, reader, context, version), 0u);
        return context;
    }
    int32_t connect() {
        int32_t handle = 0;
        EXPECT_EQ(api.MCardConnect(initialize(), kConnectMode, kMemoryCardType, handle), 0u);
        return handle;
    }

    FakeBackend::State state;
    MemoryCardApi api{std::make_unique<FakeBackend>(state)};
    std::vector<std::string> log;
    int32_t scard = 0;
};

TEST_F(MemoryCardApiTest, ReaderListIsNulSeparatedAndEndsWithAnEmptyName) {
    std::string buffer(1024, ' ');
    uint32_t length = 1024;
    ASSERT_EQ(api.SCardListReadersA(scard, "", buffer, length), 0u);
    EXPECT_EQ(buffer.substr(0, length), std::string("Reader A\0Reader B\0\0", 19));
    EXPECT_EQ(buffer.size(), 1024u);
}

TEST_F(MemoryCardApiTest, ReaderListTooLongForTheBufferSaysHowLongItIs) {
    std::string buffer(10, ' ');
    uint32_t length = 10;
    EXPECT_EQ(api.SCardListReadersA(scard, "", buffer, length), kScardInsufficientBuffer);
    EXPECT_EQ(length, 19u);
    EXPECT_EQ(buffer, std::string(10, ' '));
}

TEST_F(MemoryCardApiTest, ReaderListRefusesUnknownContextsAndReportsNoReaders) {
    std::string buffer(1024, ' ');
    uint32_t length = 1024;
    EXPECT_EQ(api.SCardListReadersA(scard + 100, "", buffer, length), kScardInvalidHandle);
    state.readers.clear();
    EXPECT_EQ(api.SCardListReadersA(scard, "", buffer, length), kScardNoReaders);
    EXPECT_EQ(api.SCardReleaseContext(scard), 0u);
    EXPECT_EQ(api.SCardListReadersA(scard, "", buffer, length), kScardInvalidHandle);
}

TEST_F(MemoryCardApiTest, InitializeTakesTheReaderTheNameFits) {
    int32_t context = 0;
    uint32_t version = 0;
    EXPECT_EQ(api.MCardInitialize(scard, "Missing", context, version), MCARD_E_INCOMPATIBLE_READER);
    EXPECT_EQ(context, 0);
    EXPECT_EQ(api.MCardInitialize(scard + 100, "Reader A", context, version), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(api.MCardInitialize(scard, "Reader B", context, version), 0u);
    EXPECT_GT(context, 0);
    EXPECT_EQ(version, kLibraryVersion);
    int32_t cardState = -1;
    api.MCardWaitForCardState(context, kExpectCardPresent, cardState, kWaitTimeoutMs);
    EXPECT_EQ(state.readersUsed.back(), "Reader B");
    // Part of a name, or none, takes the first reader it fits, as the driver
    // does when it looks for its reader in the list.
    for (const char* partial : {"Reader", ""}) {
        ASSERT_EQ(api.MCardInitialize(scard, partial, context, version), 0u) << partial;
        api.MCardWaitForCardState(context, kExpectCardPresent, cardState, kWaitTimeoutMs);
        EXPECT_EQ(state.readersUsed.back(), "Reader A") << partial;
    }
}

TEST_F(MemoryCardApiTest, WaitReportsPresentEmptyAndGone) {
    const int32_t context = initialize();
    int32_t cardState = -1;
    EXPECT_EQ(api.MCardWaitForCardState(context, kExpectCardPresent, cardState, kWaitTimeoutMs), 0u);
    EXPECT_EQ(state.lastWaitMs, kWaitTimeoutMs);
    EXPECT_EQ(state.readersUsed.back(), "Reader B");

    state.presence = CardPresence::Absent;
    EXPECT_NE(api.MCardWaitForCardState(context, kExpectCardPresent, cardState, kWaitTimeoutMs), 0u);
    EXPECT_GT(cardState, 0);
    EXPECT_NE(cardState, kStatePresent);

    state.presence = CardPresence::ReaderGone;
    EXPECT_NE(api.MCardWaitForCardState(context, kExpectCardPresent, cardState, kWaitTimeoutMs), 0u);
    EXPECT_EQ(cardState, 0);

    state.failNext = BackendStatus::failure(BackendFault::Service, "the PC/SC service is not running");
    EXPECT_EQ(api.MCardWaitForCardState(context, kExpectCardPresent, cardState, kWaitTimeoutMs),
              MCARD_E_INTERNAL_ERROR);
    EXPECT_EQ(cardState, 0);
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("the PC/SC service is not running"), std::string::npos);
}

TEST_F(MemoryCardApiTest, WaitIsCutShortForHugeTimeouts) {
    int32_t cardState = 0;
    api.MCardWaitForCardState(initialize(), kExpectCardPresent, cardState, 0xFFFFFFFFu);
    EXPECT_LE(state.lastWaitMs, 5000u);
}

TEST_F(MemoryCardApiTest, ConnectNeedsACard) {
    const int32_t context = initialize();
    int32_t handle = 7;
    state.presence = CardPresence::Absent;
    EXPECT_NE(api.MCardConnect(context, kConnectMode, kMemoryCardType, handle), 0u);
    EXPECT_EQ(handle, 0);
    state.presence = CardPresence::Present;
    EXPECT_EQ(api.MCardConnect(context, kConnectMode, kMemoryCardType, handle), 0u);
    EXPECT_GT(handle, 0);
}

TEST_F(MemoryCardApiTest, TypeAttributeIsTheCardsTypeByte) {
    const int32_t handle = connect();
    std::string buffer = " ";
    uint32_t length = 1;
    ASSERT_EQ(api.MCardGetAttrib(handle, kAttribCardType, buffer, length), 0u);
    EXPECT_EQ(buffer[0], 15);
    state.type = 0x23;
    ASSERT_EQ(api.MCardGetAttrib(handle, kAttribCardType, buffer, length), 0u);
    EXPECT_EQ(buffer[0], 0x23);
    std::string empty;
    length = 0;
    EXPECT_EQ(api.MCardGetAttrib(handle, kAttribCardType, empty, length), MCARD_E_BUFFER_TOO_SMALL);
}

TEST_F(MemoryCardApiTest, ReadAndWriteMoveExactlyTheBytesAsked) {
    const int32_t handle = connect();
    uint32_t length = 3;
    ASSERT_EQ(api.MCardWriteMemory(handle, 0, 16381, "xyzIGNORED", length), 0u);
    EXPECT_EQ(state.memory.substr(16381), "xyz");
    std::string buffer = "....tail";
    length = 4;
    ASSERT_EQ(api.MCardReadMemory(handle, 0, 16380, buffer, length), 0u);
    EXPECT_EQ(buffer, std::string("\0xyztail", 8));
    EXPECT_EQ(length, 4u);
}

TEST_F(MemoryCardApiTest, MemoryCallsCheckHandleZoneAndRange) {
    const int32_t handle = connect();
    std::string buffer(16, ' ');
    uint32_t length = 2;
    EXPECT_EQ(api.MCardReadMemory(handle + 100, 0, 0, buffer, length), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(api.MCardReadMemory(handle, 1, 0, buffer, length), MCARD_E_INVALID_MEMORY_ZONE_ID);
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 16383, buffer, length), MCARD_E_INVALID_MEMORY_RANGE);
    EXPECT_EQ(api.MCardWriteMemory(handle, 0, 0xFFFFFFFFu, "ab", length), MCARD_E_INVALID_MEMORY_RANGE);
    length = 17;
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 0, buffer, length), MCARD_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(api.MCardWriteMemory(handle, 0, 0, "short", length), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(state.readersUsed.size(), 1u) << "a refused request reached the back end";
}

TEST_F(MemoryCardApiTest, AFailedWriteIsNeverASuccess) {
    const int32_t handle = connect();
    state.failNext = BackendStatus::failure(BackendFault::NoCard, "SCardTransmit: SCARD_W_REMOVED_CARD");
    uint32_t length = 512;
    EXPECT_EQ(api.MCardWriteMemory(handle, 0, 0, std::string(512, 'x'), length), MCARD_W_NOT_ALL_DATA_WRITTEN);
    EXPECT_EQ(length, 0u);
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("SCARD_W_REMOVED_CARD"), std::string::npos);
}

TEST_F(MemoryCardApiTest, AFailedReadLeavesTheBufferAlone) {
    const int32_t handle = connect();
    state.failNext = BackendStatus::failure(BackendFault::Card, "status word 6A82");
    std::string buffer = "keep";
    uint32_t length = 4;
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 0, buffer, length), MCARD_W_NOT_ALL_DATA_READ);
    EXPECT_EQ(buffer, "keep");
    EXPECT_EQ(length, 0u);
}

TEST_F(MemoryCardApiTest, ShutdownEndsTheContextAndItsHandles) {
    const int32_t context = initialize();
    int32_t handle = 0;
    ASSERT_EQ(api.MCardConnect(context, kConnectMode, kMemoryCardType, handle), 0u);
    EXPECT_EQ(api.MCardShutdown(context), 0u);
    std::string buffer = " ";
    uint32_t length = 1;
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 0, buffer, length), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(api.MCardDisconnect(handle, 0), MCARD_E_INVALID_PARAMETER);
    int32_t cardState = 0;
    EXPECT_EQ(api.MCardWaitForCardState(context, kExpectCardPresent, cardState, 0), MCARD_E_NOT_INITIALIZED);
    EXPECT_EQ(api.MCardShutdown(context), MCARD_E_NOT_INITIALIZED);
}

TEST_F(MemoryCardApiTest, DisconnectReleasesTheCardConnection) {
    const int32_t handle = connect();
    EXPECT_EQ(api.MCardDisconnect(handle, 0), 0u);
    EXPECT_EQ(state.releases, 1);
    EXPECT_EQ(api.MCardDisconnect(handle, 0), MCARD_E_INVALID_PARAMETER);
}

TEST(MemoryCardApiService, ContextFailsWhenTheServiceIsDown) {
    FakeBackend::State state;
    state.failNext = BackendStatus::failure(BackendFault::Service, "the PC/SC service is not running");
    MemoryCardApi api{std::make_unique<FakeBackend>(state)};
    setBackendLogSink([](const std::string&) {});
    int32_t context = 5;
    EXPECT_NE(api.SCardEstablishContext(0, context), 0u);
    EXPECT_EQ(context, 0);
    setBackendLogSink({});
}

}  // namespace
}  // namespace orvex::test
