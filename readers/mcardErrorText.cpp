#include "readers/mcardErrorText.h"

#include <cstdio>

namespace orvex {
namespace {

struct CodeName {
    platform::mcard_code code;
    const char* name;
};

namespace m = platform::mcard;

constexpr CodeName kNames[] = {
    {m::MCARD_S_SUCCESS, "MCARD_S_SUCCESS"},
    {m::MCARD_E_INTERNAL_ERROR, "MCARD_E_INTERNAL_ERROR"},
    {m::MCARD_E_NOT_IMPLEMENTED, "MCARD_E_NOT_IMPLEMENTED"},
    {m::MCARD_E_NOT_INITIALIZED, "MCARD_E_NOT_INITIALIZED"},
    {m::MCARD_E_INCOMPATIBLE_READER, "MCARD_E_INCOMPATIBLE_READER"},
    {m::MCARD_E_UNKNOWN_CARD, "MCARD_E_UNKNOWN_CARD"},
    {m::MCARD_E_BUFFER_TOO_SMALL, "MCARD_E_BUFFER_TOO_SMALL"},
    {m::MCARD_E_INVALID_PARAMETER, "MCARD_E_INVALID_PARAMETER"},
    {m::MCARD_E_PROTO_MISMATCH, "MCARD_E_PROTO_MISMATCH"},
    {m::MCARD_E_PROTOCOL_ERROR, "MCARD_E_PROTOCOL_ERROR"},
    {m::MCARD_E_CHAL_RESP_FAILED, "MCARD_E_CHAL_RESP_FAILED"},
    {m::MCARD_E_INVALID_MEMORY_RANGE, "MCARD_E_INVALID_MEMORY_RANGE"},
    {m::MCARD_E_INVALID_MEMORY_ZONE_ID, "MCARD_E_INVALID_MEMORY_ZONE_ID"},
    {m::MCARD_E_INVALID_PIN_ID, "MCARD_E_INVALID_PIN_ID"},
    {m::MCARD_E_INVALID_CHAL_RESP_ID, "MCARD_E_INVALID_CHAL_RESP_ID"},
    {m::MCARD_W_NOT_ALL_DATA_READ, "MCARD_W_NOT_ALL_DATA_READ"},
    {m::MCARD_W_NOT_ALL_DATA_WRITTEN, "MCARD_W_NOT_ALL_DATA_WRITTEN"},
    {m::MCARD_W_PIN_VERIFY_NEEDED, "MCARD_W_PIN_VERIFY_NEEDED"},
    {m::MCARD_W_PIN_VERIFY_FAILED, "MCARD_W_PIN_VERIFY_FAILED"},
    {m::MCARD_W_NO_PIN_ATTEMPTS_LEFT, "MCARD_W_NO_PIN_ATTEMPTS_LEFT"},
    {m::MCARD_W_NO_UNITS_TO_DECREMENT, "MCARD_W_NO_UNITS_TO_DECREMENT"},
};

const char* codeName(platform::mcard_code code) {
    for (const auto& entry : kNames) {
        if (entry.code == code) return entry.name;
    }
    return "unknown error";
}

}  // namespace

std::string mcardErrorText(platform::mcard_code code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(code));
    return std::string(codeName(code)) + " (0x" + hex + ")";
}

}  // namespace orvex
