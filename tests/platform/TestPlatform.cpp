// The drivers' back ends: both libraries over a fake back end, a memory card's APDUs, the simulated
// reader with its faults file, folder and card lock; and the command line's own loop.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "FakeBackend.h"
#include "platform/eventloop/SteadyEventLoop.h"
#include "platform/mcard/BackendLog.h"
#include "platform/mcard/MemoryCardApi.h"
#include "platform/pcsc/StorageCardProtocol.h"
#include "platform/pcsc/pcscErrorName.h"
#include "platform/registry/FileLock.h"
#include "platform/scard32/TextCommandLibrary.h"
#include "platform/sim/SimDirectory.h"
#include "platform/sim/SimFaults.h"
#include "platform/sim/SimulatedBackend.h"
#include "support/EventLoopContract.h"
#include "support/TestEnvironment.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;
using namespace platform;
using namespace platform::mcard;

const BackendStatus kNoService = BackendStatus::failure(BackendFault::Service, "the PC/SC service is not running");

class BackendTest : public ::testing::Test {
protected:
    void SetUp() override { setBackendLogSink([this](const std::string& line) { log.push_back(line); }); }
    void TearDown() override { setBackendLogSink({}); }
    bool logged(const std::string& text) const { return !log.empty() && log.back().find(text) != std::string::npos; }
    FakeBackend::State state;
    std::vector<std::string> log;
};

class MemoryCardApiTest : public BackendTest {
protected:
    void SetUp() override {
        BackendTest::SetUp();
        ASSERT_EQ(api.SCardEstablishContext(0, scard), 0u);
    }

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

    MemoryCardApi api{std::make_unique<FakeBackend>(state)};
    int32_t scard = 0;
    int32_t cardState = -1;
};

TEST_F(MemoryCardApiTest, ReaderListAndItsContext) {
    std::string buffer(1024, ' '), small(10, ' ');
    uint32_t length = 1024;
    ASSERT_EQ(api.SCardListReadersA(scard, "", buffer, length), 0u);
    EXPECT_EQ(buffer.substr(0, length), std::string("Reader A\0Reader B\0\0", 19));
    length = 10;
    EXPECT_EQ(api.SCardListReadersA(scard, "", small, length), 0x80100008u);  // insufficient buffer
    EXPECT_EQ(length, 19u);
    EXPECT_EQ(small, std::string(10, ' '));
    state.readers.clear();
    EXPECT_EQ(api.SCardListReadersA(scard, "", buffer, length), 0x8010002Eu);  // no readers
    EXPECT_EQ(api.SCardReleaseContext(scard), 0u);
    EXPECT_EQ(api.SCardListReadersA(scard, "", buffer, length), 0x80100003u);  // invalid handle
    state.failNext = kNoService;
    int32_t context = 5;
    EXPECT_NE(api.SCardEstablishContext(0, context), 0u);
    EXPECT_EQ(context, 0);
}

// Part of a name, or none, takes the first reader it fits, as the driver does
// when it looks for its reader in the list; a whole name wins.
TEST_F(MemoryCardApiTest, InitializeTakesTheReaderTheNameFits) {
    int32_t context = 0;
    uint32_t version = 0;
    EXPECT_EQ(api.MCardInitialize(scard, "Missing", context, version), MCARD_E_INCOMPATIBLE_READER);
    EXPECT_EQ(context, 0);
    EXPECT_EQ(api.MCardInitialize(scard + 100, "Reader A", context, version), MCARD_E_INVALID_PARAMETER);
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
    EXPECT_TRUE(cardState > 0 && cardState != kStatePresent) << cardState;
    state.presence = CardPresence::ReaderGone;
    EXPECT_NE(wait(context), 0u);
    EXPECT_EQ(cardState, 0);
    state.failNext = kNoService;
    EXPECT_EQ(wait(context), MCARD_E_INTERNAL_ERROR);
    EXPECT_EQ(cardState, 0);
    EXPECT_TRUE(logged("the PC/SC service is not running"));
}

TEST_F(MemoryCardApiTest, HandlesLiveFromConnectToDisconnectOrShutdown) {
    const int32_t context = initialize();
    int32_t handle = connect(context);
    EXPECT_GT(handle, 0);
    EXPECT_EQ(api.MCardDisconnect(handle, 0), 0u);
    EXPECT_EQ(state.releases, 1);
    EXPECT_EQ(api.MCardDisconnect(handle, 0), MCARD_E_INVALID_PARAMETER);
    handle = connect(context);
    std::string buffer;  // the type byte itself is read in every test of a driver on a card
    uint32_t length = 0;
    EXPECT_EQ(api.MCardGetAttrib(handle, kAttribCardType, buffer, length), MCARD_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(api.MCardShutdown(context), 0u);
    buffer = " ";
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 0, buffer, length = 1), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(api.MCardDisconnect(handle, 0), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(wait(context, 0), MCARD_E_NOT_INITIALIZED);
    EXPECT_EQ(api.MCardShutdown(context), MCARD_E_NOT_INITIALIZED);
}

// A card that answers wrongly still gets its handle, and the type attribute
// tells why; an empty or gone reader, or no service, gets none.
TEST_F(MemoryCardApiTest, ConnectReadsTheTypeTheAttributeReports) {
    const int32_t context = initialize();
    const struct {
        CardPresence presence; std::optional<BackendStatus> failure; uint8_t type; mcard_code connected, attribute;
    } rows[] = {
        {CardPresence::Present, std::nullopt, 15, 0, 0},
        {CardPresence::Present, std::nullopt, 3, 0, 0},
        {CardPresence::Present, BackendStatus::failure(BackendFault::Card, "status word 6B00"), 15, 0,
         MCARD_E_PROTOCOL_ERROR},
        {CardPresence::Present, kNoService, 15, MCARD_E_INTERNAL_ERROR, 0},
        {CardPresence::Absent, std::nullopt, 15, MCARD_E_UNKNOWN_CARD, 0},
        {CardPresence::ReaderGone, std::nullopt, 15, MCARD_E_INCOMPATIBLE_READER, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        state.presence = row.presence, state.type = row.type, state.failNext = row.failure;
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
        if (row.attribute == 0) EXPECT_EQ(static_cast<uint8_t>(type[0]), row.type);
        else EXPECT_TRUE(logged(row.failure->text()));
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
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 0, buffer, length = 17), MCARD_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(api.MCardWriteMemory(handle, 0, 0, "short", length), MCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(state.readersUsed.size(), 1u) << "a refused request reached the back end";
    ASSERT_EQ(api.MCardWriteMemory(handle, 0, 16381, "xyzIGNORED", length = 3), 0u);
    EXPECT_EQ(state.memory.substr(16381), "xyz");
    buffer = "....tail";
    ASSERT_EQ(api.MCardReadMemory(handle, 0, 16380, buffer, length = 4), 0u);
    EXPECT_EQ(buffer, std::string("\0xyztail", 8));
    EXPECT_EQ(length, 4u);
    state.failNext = BackendStatus::failure(BackendFault::NoCard, "SCardTransmit: SCARD_W_REMOVED_CARD");
    EXPECT_EQ(api.MCardWriteMemory(handle, 0, 0, std::string(512, 'x'), length = 512), MCARD_W_NOT_ALL_DATA_WRITTEN);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(logged("SCARD_W_REMOVED_CARD"));
    state.failNext = BackendStatus::failure(BackendFault::Card, "status word 6A82");
    buffer = "keep";
    EXPECT_EQ(api.MCardReadMemory(handle, 0, 0, buffer, length = 4), MCARD_W_NOT_ALL_DATA_READ);
    EXPECT_EQ(buffer, "keep");
    EXPECT_EQ(length, 0u);
}

struct Reply {
    int32_t code;
    std::string output;  // the whole buffer as the library left it
    int32_t outputLength;
    std::string text() const { return output.substr(0, output.find_last_not_of(' ') + 1); }
};

class TextCommandLibraryTest : public BackendTest {
protected:
    Reply send(const std::string& command, int32_t outputLength = 200, const std::string& input = {},
               std::optional<int32_t> announced = std::nullopt) {
        int32_t handle = 0, commandLength = 0;
        int32_t inputLength = announced.value_or(static_cast<int32_t>(input.size()));
        std::string output(static_cast<size_t>(outputLength), ' ');
        const int32_t code =
            library.SCardComand(handle, command, commandLength, input, inputLength, output, outputLength);
        return {code, output, outputLength};
    }

    TextCommandLibrary library{std::make_unique<FakeBackend>(state), "text commands 1.0"};
};

// Answers fit the buffer or are not written; status words, no reader, failures.
TEST_F(TextCommandLibraryTest, AnswersStatusWordsNoReaderAndFailures) {
    EXPECT_EQ(send("System,Info,VersionText").text(), "text commands 1.0");
    EXPECT_EQ(send("", 0).code, 0);
    const Reply type = send("Device,Info,Type");
    EXPECT_EQ(type.text(), "Reader A");
    EXPECT_EQ(type.output.size(), 200u);
    const Reply tooLong = send("Device,Info,Type", 3);
    EXPECT_NE(tooLong.code, 0);
    EXPECT_EQ(tooLong.output, "   ");
    EXPECT_EQ(send("Card,Info,Status").text(), "active");
    state.type = 0x42;
    EXPECT_EQ(send("Card,Info,Status").text(), "invalid");
    state.presence = CardPresence::Absent;
    EXPECT_EQ(send("Card,Info,Status").text(), "wait");
    state.failNext = BackendStatus::failure(BackendFault::Service, "the PC/SC service refuses access");
    EXPECT_NE(send("Card,Info,Status").code, 0);
    EXPECT_TRUE(logged("refuses access"));
    state.readers.clear();
    const Reply status = send("Device,Info,Status");
    EXPECT_GT(status.code, 0);
    EXPECT_EQ(status.output.rfind("error", 0), 0u);
    EXPECT_GT(send("Card,Info,Status").code, 0);
}

TEST_F(TextCommandLibraryTest, MemoryCommandsMoveExactlyTheAnnouncedBytesOrNothing) {
    state.memory.replace(64, 4, "abcd");
    const Reply reply = send("Card,MemRead,64,4", 6);
    EXPECT_EQ(reply.output, "abcd  ");
    EXPECT_EQ(reply.outputLength, 4);
    EXPECT_NE(send("Card,MemRead,0,32", 16).code, 0);
    state.failNext = BackendStatus::failure(BackendFault::NoCard, "SCARD_W_REMOVED_CARD");
    const Reply failed = send("Card,MemRead,0,8", 8);
    EXPECT_NE(failed.code, 0);
    EXPECT_EQ(failed.outputLength, 0);
    EXPECT_EQ(failed.output, std::string(8, ' '));
    EXPECT_EQ(send("Card,MemWrite,100,3", 200, "xyz").code, 0);
    for (const auto& [input, announced] : {std::pair{"AB", 3}, {"ABC", 2}, {"ABC", -3}})
        EXPECT_NE(send("Card,MemWrite,100,3", 200, input, announced).code, 0) << input << announced;
    EXPECT_EQ(state.memory.substr(100, 3), "xyz");

    // While a card is held, its reader is the one spoken to, whatever the list says now.
    ASSERT_EQ(send("Card,Lock").code, 0);
    state.readers = {"Reader B", "Reader A"};
    state.readersUsed.clear();
    EXPECT_EQ(send("Card,MemRead,0,4", 4).code, 0);
    EXPECT_EQ(send("Card,MemWrite,0,1", 200, "q").code, 0);
    EXPECT_EQ(send("Card,Info,Status").text(), "active");
    EXPECT_EQ(send("Card,Unlock").code, 0);
    EXPECT_EQ(send("Card,MemRead,0,4", 4).code, 0);
    EXPECT_EQ(state.readersUsed, (std::vector<std::string>{"Reader A", "Reader A", "Reader A", "Reader A", "Reader B"}));
}

// Commands are matched exactly; offsets and lengths are plain decimals inside the card.
TEST_F(TextCommandLibraryTest, ResetAndUnlockAreAcceptedOtherCommandsRefused) {
    EXPECT_EQ(send("Card,Reset").code, 0);
    EXPECT_EQ(send("Card,reset").code, 0);  // the driver's tick spells it so
    EXPECT_EQ(send("Card,Unlock").code, 0);
    EXPECT_EQ(state.releases, 2);
    EXPECT_EQ(send("Card,MemRead,16383,1").code, 0);
    EXPECT_EQ(send("Card,MemWrite,0,16384", 200, std::string(16384, 'w')).code, 0);
    state.readersUsed.clear();
    for (const std::string text :
         {"Card,Eject", "card,info,status", "Card,Info,Status ", " Card,Reset", "Card,RESET", "Card",
          "Card,Info,Status\n", "Device,Info", "Card,MemRead,16383,2", "Card,MemRead,16384,1", "Card,MemRead,0,0",
          "Card,MemRead,064,32", "Card,MemRead,+64,32", "Card,MemRead,-1,32", "Card,MemRead, 64,32",
          "Card,MemRead,64,32,", "Card,MemRead,64,32,1", "Card,MemRead,64", "Card,MemRead,,32", "Card,MemRead,64,",
          "Card,MemRead,4294967360,1", "Card,MemRead,99999,1", "Card,MemRead,1e3,1", "Card,MemWrite,0,16385"})
        EXPECT_EQ(send(text).code, scard32::kUnknownCommand) << text;
    EXPECT_EQ(send(std::string("Card,Reset\0x", 12)).code, scard32::kUnknownCommand);
    EXPECT_TRUE(state.readersUsed.empty());
}

using Answer = std::function<BackendStatus(const ApduBytes&, ApduBytes&)>;

Answer always(ApduBytes reply) {
    return [reply](const ApduBytes&, ApduBytes& response) { return response = reply, BackendStatus::success(); };
}

// Answers like a good card (the bytes asked for and 90 00) unless told
// otherwise; records every command.
struct FakeCard final : ApduTransmitter {
    Answer answer = [](const ApduBytes& command, ApduBytes& response) {
        response.assign(command[1] == 0xB0 ? command[4] : 0, 0xA5);
        response.insert(response.end(), {0x90, 0x00});
        return BackendStatus::success();
    };
    std::vector<ApduBytes> commands;
    BackendStatus transmit(const ApduBytes& command, ApduBytes& response) override {
        commands.push_back(command);
        return answer(command, response);
    }
};

class StorageCardProtocolTest : public ::testing::Test {
protected:
    // The commands so far cover [from, to) in order, every update inside one page.
    void expectCovered(uint32_t from, uint32_t to) {
        for (const auto& command : card.commands) {
            const uint32_t at = (command[2] << 8) | command[3];
            EXPECT_EQ(at, from);
            if (command[1] == 0xD6) {
                EXPECT_EQ(at / 64, (at + command[4] - 1) / 64) << "update at " << at << " crosses a page";
                EXPECT_EQ(command.size(), 5u + command[4]);
            }
            from += command[4];
        }
        EXPECT_EQ(from, to);
        card.commands.clear();
    }
    FakeCard card;
    StorageCardProtocol protocol{card};
    std::string bytes;
};

TEST_F(StorageCardProtocolTest, FewestPiecesOfAtMost255BytesAndUpdatesInsideOnePage) {
    ASSERT_TRUE(protocol.read(0, 16384, bytes).ok());
    EXPECT_EQ(bytes.size(), 16384u);
    ASSERT_EQ(card.commands.size(), 65u);  // 64 x 255 + 64
    EXPECT_EQ(card.commands.back()[4], 64);
    expectCovered(0, 16384);
    ASSERT_TRUE(protocol.write(100, std::string(512, 'x')).ok());
    ASSERT_EQ(card.commands.size(), 9u);  // 100..127, seven whole pages, 576..611
    expectCovered(100, 612);
}

TEST_F(StorageCardProtocolTest, WrongAnswersFailAndDeliverNothing) {
    const Answer shortAnswer = [](const ApduBytes& command, ApduBytes& response) {
        response.assign(command[4] - 1u, 0x11);
        response.insert(response.end(), {0x90, 0x00});
        return BackendStatus::success();
    };
    const Answer removed = [](const ApduBytes&, ApduBytes&) {
        return BackendStatus::failure(BackendFault::NoCard, "SCardTransmit: SCARD_W_REMOVED_CARD");
    };
    const Answer secondRefused = [this](const ApduBytes&, ApduBytes& response) {
        response = card.commands.size() == 2 ? ApduBytes{0x65, 0x81} : ApduBytes{0x90, 0x00};
        return BackendStatus::success();
    };
    // write: the length of a write from 0, else a read of 2 bytes; a write stops where it failed.
    const struct { const char* name; Answer answer; size_t write; BackendFault fault; const char* named; } rows[] = {
        {"short answer", shortAnswer, 0, BackendFault::Card, ""},
        {"long answer to a read", always({1, 2, 3, 0x90, 0x00}), 0, BackendFault::Card, ""},
        {"long answer to an update", always({1, 2, 3, 0x90, 0x00}), 2, BackendFault::Card, ""},
        {"no status word", always({0x90}), 0, BackendFault::Card, ""},
        {"bad status word", always({0x6A, 0x82}), 0, BackendFault::Card, "6A82"},
        {"transport failure", removed, 2, BackendFault::NoCard, "SCARD_W_REMOVED_CARD"},
        {"second update refused", secondRefused, 256, BackendFault::Card, "at 64: status word 6581"},
    };
    for (const auto& row : rows) {
        card.answer = row.answer;
        card.commands.clear();
        bytes = "untouched";
        const BackendStatus status =
            row.write ? protocol.write(0, std::string(row.write, 'x')) : protocol.read(0, 2, bytes);
        EXPECT_EQ(status.fault(), row.fault) << row.name;
        EXPECT_NE(status.text().find(row.named), std::string::npos) << row.name << ": " << status.text();
        EXPECT_EQ(bytes, "untouched") << row.name;
        EXPECT_EQ(card.commands.size(), row.write > 64 ? 2u : 1u) << row.name;
    }
}

TEST_F(StorageCardProtocolTest, ProbeTellsAMemoryCardFromARefusal) {
    bool answers = false;
    ASSERT_TRUE(protocol.probe(answers).ok());
    EXPECT_TRUE(answers);
    EXPECT_EQ(card.commands.back(), (ApduBytes{0xFF, 0xB0, 0x00, 0x00, 0x01}));
    card.answer = always({0x6D, 0x00});
    ASSERT_TRUE(protocol.probe(answers).ok());
    EXPECT_FALSE(answers);
}

TEST(PcscErrorName, CodesReadAsTheirSymbolicNamesAndServiceProblemsSayWhatIsWrong) {
    EXPECT_EQ(pcscErrorName(0x12345678u), "SCARD code 0x12345678");
    EXPECT_EQ(pcscFailureText(0x8010001Du), "the PC/SC service is not running (SCARD_E_NO_SERVICE)");
    EXPECT_EQ(pcscFailureText(0x80100027u), "the PC/SC service refuses access (SCARD_E_NO_ACCESS)");
    EXPECT_EQ(pcscFailureText(0x80100069u), "SCARD_W_REMOVED_CARD");
}

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
    SimulatedBackend backend{root};
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

    const auto missing = SimulatedBackend(root + "/nowhere").listReaders(names);
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
    faults = SimFaults::parse("latency_ms=-5\npull_after_writes=x\nread_only=2\nlatency_ms\n=4\ncorrupt_write_at=-1\n");
    EXPECT_EQ(faults.latencyMs, 0u);
    EXPECT_FALSE(faults.pullAfterWrites || faults.readOnly || faults.corruptWriteAt);
    EXPECT_FALSE(SimFaults::parse("pull_after_writes=99999999999\n").pullAfterWrites.has_value());
    EXPECT_EQ(SimFaults::parse("latency_ms=999999999").latencyMs, SimFaults::kMaxLatencyMs);
}

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

// The simulated reader's card lock: a second holder, even in this process, waits.
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
    EXPECT_EQ(FileLock().tryAcquire(path), FileLock::Attempt::Busy);
    second.release();
    EXPECT_TRUE(FileLock().acquire(path, 20));  // a holder that goes lets go
    EXPECT_EQ(first.tryAcquire(path), FileLock::Attempt::Taken);
    EXPECT_EQ(FileLock().tryAcquire(path + ".d/none/x.lock"), FileLock::Attempt::Failed);
}

INSTANTIATE_TYPED_TEST_SUITE_P(Steady, EventLoopContract, SteadyEventLoop);
using SteadyEventLoopTest = EventLoopContract<SteadyEventLoop>;

TEST_F(SteadyEventLoopTest, ATickAskedForSoonRunsAtTheNextTurn) {
    std::unique_ptr<LoopTimer> timer = loop.createTimer([&] {
        ++ticks;
        timer->setEnabled(false);
    });
    timer->tickSoon();
    loop.processEvents();
    EXPECT_EQ(ticks, 1);
    loop.processEvents();
    EXPECT_EQ(ticks, 1);
}

// A handler that overran fifteen periods is followed by one tick, not fifteen.
TEST_F(SteadyEventLoopTest, TicksMissedDuringALongHandlerAreDropped) {
    auto timer = loop.createTimer([&] {
        if (++ticks == 1) std::this_thread::sleep_for(std::chrono::milliseconds(600));
    });
    timer->setInterval(40);
    timer->setEnabled(true);
    while (ticks == 0) waitMs(5);
    waitMs(10);
    EXPECT_LE(ticks, 4);
}

}  // namespace
}  // namespace orvex::test
