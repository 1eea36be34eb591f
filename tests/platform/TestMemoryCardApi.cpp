#include <gtest/gtest.h>

#include <optional>

#include "FakeBackend.h"
#include "platform/mcard/BackendLog.h"
#include "platform/mcard/MemoryCardApi.h"

namespace orvex::test {
namespace {

using namespace platform;
using namespace platform::mcard;

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
        EXPECT_EQ(api.MCardInitialize(scard, reader, context, version), 0u) << reader;
        return context;
    }
    int32_t connect(int32_t context) {
        int32_t handle = 0;
        EXPECT_EQ(api.MCardConnect(context, kConnectMode, kMemoryCardType, handle), 0u);
        return handle;
    }
    mcard_code wait(int32_t context, uint32_t timeoutMs = kWaitTimeoutMs) {
        cardState = -1;
        return api.MCardWaitForCardState(context, kExpectCardPresent, cardState, timeoutMs);
    }
    bool logged(const std::string& text) const { return !log.empty() && log.back().find(text) != std::string::npos; }

    FakeBackend::State state;
    MemoryCardApi api{std::make_unique<FakeBackend>(state)};
    std::vector<std::string> log;
    int32_t scard = 0;
    int32_t cardState = -1;
};

TEST_F(MemoryCardApiTest, ReaderListAndItsContext) {
    std::string buffer(1024, ' ');
    uint32_t length = 1024;
    ASSERT_EQ(api.SCardListReadersA(scard, "", buffer, length), 0u);
    EXPECT_EQ(buffer.substr(0, length), std::string("Reader A\0Reader B\0\0", 19));
    std::string small(10, ' ');
    length = 10;
    EXPECT_EQ(api.SCardListReadersA(scard, "", small, length), 0x80100008u);  // insufficient buffer
    EXPECT_EQ(length, 19u);
    EXPECT_EQ(small, std::string(10, ' '));

    state.readers.clear();
    EXPECT_EQ(api.SCardListReadersA(scard, "", buffer, length), 0x8010002Eu);  // no readers
    EXPECT_EQ(api.SCardReleaseContext(scard), 0u);
    EXPECT_EQ(api.SCardListReadersA(scard, "", buffer, length), kScardInvalidHandle);

    state.failNext = BackendStatus::failure(BackendFault::Service, "the PC/SC service is not running");
    int32_t context = 5;
    EXPECT_NE(api.SCardEstablishContext(0, context), 0u);
    EXPECT_EQ(context, 0);
}

TEST_F(MemoryCardApiTest, InitializeTakesTheReaderTheNameFits) {
    int32_t context = 0;
    uint32_t version = 0;
    EXPECT_EQ(api.MCardInitialize(scard, "Missing", context, version), MCARD_E_INCOMPATIBLE_READER);
    EXPECT_EQ(context, 0);
    EXPECT_EQ(api.MCardInitialize(scard + 100, "Reader A", context, version), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(api.MCardInitialize(scard, "Reader B", context, version), 0u);
    EXPECT_GT(context, 0);
    // Part of a name, or none, takes the first reader it fits, as the driver
    // does when it looks for its reader in the list; a whole name wins.
    state.readers = {"ACME Reader", "Reader", "Reader B"};
    const std::pair<const char*, const char*> fits[] = {
        {"Reader B", "Reader B"}, {"Reader", "Reader"}, {"Read", "ACME Reader"}, {"", "ACME Reader"}};
    for (const auto& [name, used] : fits) {
        wait(initialize(name));
        EXPECT_EQ(state.readersUsed.back(), used) << name;
    }
}

TEST_F(MemoryCardApiTest, WaitReportsPresentEmptyAndGone) {
    const int32_t context = initialize();
    EXPECT_EQ(wait(context), 0u);
    EXPECT_EQ(state.lastWaitMs, kWaitTimeoutMs);
    wait(context, 0xFFFFFFFFu);
    EXPECT_LE(state.lastWaitMs, 5000u) << "a huge time-out is cut short";

    state.presence = CardPresence::Absent;
    EXPECT_NE(wait(context), 0u);
    EXPECT_GT(cardState, 0);
    EXPECT_NE(cardState, kStatePresent);

    state.presence = CardPresence::ReaderGone;
    EXPECT_NE(wait(context), 0u);
    EXPECT_EQ(cardState, 0);

    state.failNext = BackendStatus::failure(BackendFault::Service, "the PC/SC service is not running");
    EXPECT_EQ(wait(context), MCARD_E_INTERNAL_ERROR);
    EXPECT_EQ(cardState, 0);
    EXPECT_TRUE(logged("the PC/SC service is not running"));
}

TEST_F(MemoryCardApiTest, HandlesLiveFromConnectToDisconnectOrShutdown) {
    const int32_t context = initialize();
    int32_t handle = 7;
    state.presence = CardPresence::Absent;
    EXPECT_NE(api.MCardConnect(context, kConnectMode, kMemoryCardType, handle), 0u);
    EXPECT_EQ(handle, 0);
    state.presence = CardPresence::Present;
    handle = connect(context);
    EXPECT_GT(handle, 0);
    EXPECT_EQ(api.MCardDisconnect(handle, 0), 0u);
    EXPECT_EQ(state.releases, 1);
    EXPECT_EQ(api.MCardDisconnect(handle, 0), MCARD_E_INVALID_PARAMETER);

    handle = connect(context);
    std::string empty;  // the type byte itself is read in every test of a driver on a card
    uint32_t length = 0;
    EXPECT_EQ(api.MCardGetAttrib(handle, kAttribCardType, empty, length), MCARD_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(api.MCardShutdown(context), 0u);
    std::string buffer = " ";
    length = 1;
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 0, buffer, length), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(api.MCardDisconnect(handle, 0), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(wait(context, 0), MCARD_E_NOT_INITIALIZED);
    EXPECT_EQ(api.MCardShutdown(context), MCARD_E_NOT_INITIALIZED);
}

// Connecting reads the card's type: a card that answers wrongly still gets
// its handle and the type attribute tells why; an empty or gone reader, or
// no service, gets none.
TEST_F(MemoryCardApiTest, ConnectReadsTheTypeTheAttributeReports) {
    const int32_t context = initialize();
    struct Row {
        CardPresence presence;
        std::optional<BackendStatus> failure;
        uint8_t type;
        mcard_code connected;
        mcard_code attribute;
    };
    const Row rows[] = {
        {CardPresence::Present, std::nullopt, 15, 0, 0},
        {CardPresence::Present, std::nullopt, 3, 0, 0},
        {CardPresence::Present, BackendStatus::failure(BackendFault::Card, "status word 6B00"), 15, 0,
         MCARD_E_PROTOCOL_ERROR},
        {CardPresence::Present, BackendStatus::failure(BackendFault::Service, "service gone"), 15,
         MCARD_E_INTERNAL_ERROR, 0},
        {CardPresence::Absent, std::nullopt, 15, MCARD_E_UNKNOWN_CARD, 0},
        {CardPresence::ReaderGone, std::nullopt, 15, MCARD_E_INCOMPATIBLE_READER, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "presence " << static_cast<int>(row.presence) << ", type "
                                        << int{row.type} << ", " << (row.failure ? row.failure->text() : "ok"));
        state.presence = row.presence;
        state.type = row.type;
        state.failNext = row.failure;
        int32_t handle = 7;
        ASSERT_EQ(api.MCardConnect(context, kConnectMode, kMemoryCardType, handle), row.connected);
        if (row.connected != 0) {
            EXPECT_EQ(handle, 0);
            continue;
        }
        std::string type = " ";
        uint32_t length = 1;
        state.type = 99;  // what the card holds now is not asked again
        EXPECT_EQ(api.MCardGetAttrib(handle, kAttribCardType, type, length), row.attribute);
        if (row.attribute == 0) {
            EXPECT_EQ(static_cast<uint8_t>(type[0]), row.type);
        } else {
            EXPECT_TRUE(logged(row.failure->text()));
        }
        EXPECT_EQ(api.MCardDisconnect(handle, 0), 0u);
    }
}

TEST_F(MemoryCardApiTest, MemoryCallsMoveExactlyTheBytesAskedAndRefuseBadRequests) {
    const int32_t handle = connect(initialize());
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

    length = 3;
    ASSERT_EQ(api.MCardWriteMemory(handle, 0, 16381, "xyzIGNORED", length), 0u);
    EXPECT_EQ(state.memory.substr(16381), "xyz");
    buffer = "....tail";
    length = 4;
    ASSERT_EQ(api.MCardReadMemory(handle, 0, 16380, buffer, length), 0u);
    EXPECT_EQ(buffer, std::string("\0xyztail", 8));
    EXPECT_EQ(length, 4u);
}

TEST_F(MemoryCardApiTest, AFailedTransferIsNeverASuccessAndDeliversNothing) {
    const int32_t handle = connect(initialize());
    state.failNext = BackendStatus::failure(BackendFault::NoCard, "SCardTransmit: SCARD_W_REMOVED_CARD");
    uint32_t length = 512;
    EXPECT_EQ(api.MCardWriteMemory(handle, 0, 0, std::string(512, 'x'), length), MCARD_W_NOT_ALL_DATA_WRITTEN);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(logged("SCARD_W_REMOVED_CARD"));

    state.failNext = BackendStatus::failure(BackendFault::Card, "status word 6A82");
    std::string buffer = "keep";
    length = 4;
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 0, buffer, length), MCARD_W_NOT_ALL_DATA_READ);
    EXPECT_EQ(buffer, "keep");
    EXPECT_EQ(length, 0u);
}

}  // namespace
}  // namespace orvex::test
