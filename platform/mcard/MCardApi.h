#pragma once
// The PC/SC and memory-card calls the SCM driver makes, with the arguments it
// passes. Codes are 32-bit, 0 = success. Byte text: one char per byte.
// Any call may throw DriverUnavailable when the library behind it is missing.
#include <cstdint>
#include <memory>
#include <string>

namespace orvex::platform {

using mcard_code = uint32_t;

namespace mcard {
constexpr mcard_code MCARD_S_SUCCESS = 0x00000000u;
constexpr mcard_code MCARD_E_INTERNAL_ERROR = 0xA0100801u;
constexpr mcard_code MCARD_E_NOT_IMPLEMENTED = 0xA0100802u;
constexpr mcard_code MCARD_E_NOT_INITIALIZED = 0xA0100803u;
constexpr mcard_code MCARD_E_INCOMPATIBLE_READER = 0xA0100804u;
constexpr mcard_code MCARD_E_UNKNOWN_CARD = 0xA0100805u;
constexpr mcard_code MCARD_E_BUFFER_TOO_SMALL = 0xA0100811u;
constexpr mcard_code MCARD_E_INVALID_PARAMETER = 0xA0100812u;
constexpr mcard_code MCARD_E_PROTO_MISMATCH = 0xA0100821u;
constexpr mcard_code MCARD_E_PROTOCOL_ERROR = 0xA0100822u;
constexpr mcard_code MCARD_E_CHAL_RESP_FAILED = 0xA0100823u;
constexpr mcard_code MCARD_E_INVALID_MEMORY_RANGE = 0xA0100824u;
constexpr mcard_code MCARD_E_INVALID_MEMORY_ZONE_ID = 0xA0100831u;
constexpr mcard_code MCARD_E_INVALID_PIN_ID = 0xA0100832u;
constexpr mcard_code MCARD_E_INVALID_CHAL_RESP_ID = 0xA0100833u;
constexpr mcard_code MCARD_W_NOT_ALL_DATA_READ = 0xA0100866u;
constexpr mcard_code MCARD_W_NOT_ALL_DATA_WRITTEN = 0xA0100867u;
constexpr mcard_code MCARD_W_PIN_VERIFY_NEEDED = 0xA0100876u;
constexpr mcard_code MCARD_W_PIN_VERIFY_FAILED = 0xA0100877u;
constexpr mcard_code MCARD_W_NO_PIN_ATTEMPTS_LEFT = 0xA0100878u;
constexpr mcard_code MCARD_W_NO_UNITS_TO_DECREMENT = 0xA0100879u;

constexpr uint32_t kConnectMode = 1;      // MCardConnect mode
constexpr uint8_t kMemoryCardType = 15;   // card type asked for and reported
constexpr uint32_t kAttribCardType = 0;   // MCardGetAttrib attribute id
constexpr uint32_t kExpectCardPresent = 0x20;  // MCardWaitForCardState expected state
constexpr int32_t kStatePresent = 4;      // reported state: a card is present
constexpr uint32_t kWaitTimeoutMs = 100;
// MCardBeginTransaction: another program holds the card (the PC/SC code).
constexpr mcard_code kCardHeldElsewhere = 0x8010000Bu;
}  // namespace mcard

class MCardApi {
public:
    virtual ~MCardApi() = default;

    // PC/SC resource manager (scope 0, reserved arguments omitted).
    virtual mcard_code SCardEstablishContext(uint32_t scope, int32_t& context) = 0;
    // Fills buffer (its size is length on entry) with the NUL-separated
    // reader names; length receives the characters used.
    virtual mcard_code SCardListReadersA(int32_t context, const std::string& groups,
                                         std::string& buffer, uint32_t& length) = 0;
    virtual mcard_code SCardReleaseContext(int32_t context) = 0;

    // Memory-card API.
    virtual mcard_code MCardInitialize(int32_t scardContext, const std::string& readerName,
                                       int32_t& mcardContext, uint32_t& dllVersion) = 0;
    virtual mcard_code MCardShutdown(int32_t mcardContext) = 0;
    virtual mcard_code MCardConnect(int32_t mcardContext, uint32_t connectMode,
                                    uint8_t cardType, int32_t& cardHandle) = 0;
    // buffer holds length bytes on entry; length receives the bytes delivered.
    virtual mcard_code MCardGetAttrib(int32_t cardHandle, uint32_t attribId,
                                      std::string& buffer, uint32_t& length) = 0;
    virtual mcard_code MCardDisconnect(int32_t cardHandle, uint32_t disposition) = 0;
    virtual mcard_code MCardWaitForCardState(int32_t mcardContext, uint32_t expectedState,
                                             int32_t& state, uint32_t timeoutMs) = 0;
    // buffer holds length bytes on entry; on success the bytes read are in it
    // and length is the number read.
    virtual mcard_code MCardReadMemory(int32_t cardHandle, uint8_t zone, uint32_t offset,
                                       std::string& buffer, uint32_t& length) = 0;
    // Writes length bytes of data; length receives the number written.
    virtual mcard_code MCardWriteMemory(int32_t cardHandle, uint8_t zone, uint32_t offset,
                                        const std::string& data, uint32_t& length) = 0;
    // Holds the card of cardHandle for this program alone until
    // MCardEndTransaction or until the handle is disconnected. Does not wait:
    // kCardHeldElsewhere while another program holds it.
    virtual mcard_code MCardBeginTransaction(int32_t cardHandle) = 0;
    virtual mcard_code MCardEndTransaction(int32_t cardHandle) = 0;
};

// The program's memory-card API: the simulated reader when ORVEXCARD_SIM is
// set, PC/SC otherwise.
std::unique_ptr<MCardApi> makeMCardApi();

}  // namespace orvex::platform
