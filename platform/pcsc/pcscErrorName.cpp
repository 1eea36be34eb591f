#include "platform/pcsc/pcscErrorName.h"

#include <cstdio>
#include <utility>

namespace orvex::platform {
namespace {

struct NamedCode {
    uint32_t code;
    const char* name;
};

constexpr NamedCode kNames[] = {
    {0x00000000u, "SCARD_S_SUCCESS"},
    {0x80100001u, "SCARD_F_INTERNAL_ERROR"},
    {0x80100002u, "SCARD_E_CANCELLED"},
    {0x80100003u, "SCARD_E_INVALID_HANDLE"},
    {0x80100004u, "SCARD_E_INVALID_PARAMETER"},
    {0x80100005u, "SCARD_E_INVALID_TARGET"},
    {0x80100006u, "SCARD_E_NO_MEMORY"},
    {0x80100007u, "SCARD_F_WAITED_TOO_LONG"},
    {0x80100008u, "SCARD_E_INSUFFICIENT_BUFFER"},
    {0x80100009u, "SCARD_E_UNKNOWN_READER"},
    {0x8010000Au, "SCARD_E_TIMEOUT"},
    {0x8010000Bu, "SCARD_E_SHARING_VIOLATION"},
    {0x8010000Cu, "SCARD_E_NO_SMARTCARD"},
    {0x8010000Du, "SCARD_E_UNKNOWN_CARD"},
    {0x8010000Eu, "SCARD_E_CANT_DISPOSE"},
    {0x8010000Fu, "SCARD_E_PROTO_MISMATCH"},
    {0x80100010u, "SCARD_E_NOT_READY"},
    {0x80100011u, "SCARD_E_INVALID_VALUE"},
    {0x80100012u, "SCARD_E_SYSTEM_CANCELLED"},
    {0x80100013u, "SCARD_F_COMM_ERROR"},
    {0x80100014u, "SCARD_F_UNKNOWN_ERROR"},
    {0x80100015u, "SCARD_E_INVALID_ATR"},
    {0x80100016u, "SCARD_E_NOT_TRANSACTED"},
    {0x80100017u, "SCARD_E_READER_UNAVAILABLE"},
    {0x80100018u, "SCARD_P_SHUTDOWN"},
    {0x80100019u, "SCARD_E_PCI_TOO_SMALL"},
    {0x8010001Au, "SCARD_E_READER_UNSUPPORTED"},
    {0x8010001Bu, "SCARD_E_DUPLICATE_READER"},
    {0x8010001Cu, "SCARD_E_CARD_UNSUPPORTED"},
    {0x8010001Du, "SCARD_E_NO_SERVICE"},
    {0x8010001Eu, "SCARD_E_SERVICE_STOPPED"},
    {0x8010001Fu, "SCARD_E_UNSUPPORTED_FEATURE"},
    {0x80100020u, "SCARD_E_ICC_INSTALLATION"},
    {0x80100021u, "SCARD_E_ICC_CREATEORDER"},
    {0x80100023u, "SCARD_E_DIR_NOT_FOUND"},
    {0x80100024u, "SCARD_E_FILE_NOT_FOUND"},
    {0x80100025u, "SCARD_E_NO_DIR"},
    {0x80100026u, "SCARD_E_NO_FILE"},
    {0x80100027u, "SCARD_E_NO_ACCESS"},
    {0x80100028u, "SCARD_E_WRITE_TOO_MANY"},
    {0x80100029u, "SCARD_E_BAD_SEEK"},
    {0x8010002Au, "SCARD_E_INVALID_CHV"},
    {0x8010002Bu, "SCARD_E_UNKNOWN_RES_MNG"},
    {0x8010002Cu, "SCARD_E_NO_SUCH_CERTIFICATE"},
    {0x8010002Du, "SCARD_E_CERTIFICATE_UNAVAILABLE"},
    {0x8010002Eu, "SCARD_E_NO_READERS_AVAILABLE"},
    {0x8010002Fu, "SCARD_E_COMM_DATA_LOST"},
    {0x80100030u, "SCARD_E_NO_KEY_CONTAINER"},
    {0x80100031u, "SCARD_E_SERVER_TOO_BUSY"},
    {0x80100065u, "SCARD_W_UNSUPPORTED_CARD"},
    {0x80100066u, "SCARD_W_UNRESPONSIVE_CARD"},
    {0x80100067u, "SCARD_W_UNPOWERED_CARD"},
    {0x80100068u, "SCARD_W_RESET_CARD"},
    {0x80100069u, "SCARD_W_REMOVED_CARD"},
    {0x8010006Au, "SCARD_W_SECURITY_VIOLATION"},
    {0x8010006Bu, "SCARD_W_WRONG_CHV"},
    {0x8010006Cu, "SCARD_W_CHV_BLOCKED"},
    {0x8010006Du, "SCARD_W_EOF"},
    {0x8010006Eu, "SCARD_W_CANCELLED_BY_USER"},
    {0x8010006Fu, "SCARD_W_CARD_NOT_AUTHENTICATED"},
};

}  // namespace

std::string pcscErrorName(uint32_t code) {
    for (const auto& entry : kNames) {
        if (entry.code == code) return entry.name;
    }
    char text[32];
    std::snprintf(text, sizeof text, "SCARD code 0x%08X", static_cast<unsigned>(code));
    return text;
}

std::string pcscFailureText(uint32_t code) {
    std::string name = pcscErrorName(code);
    switch (code) {
    case 0x8010001Du:  // SCARD_E_NO_SERVICE
    case 0x8010001Eu:  // SCARD_E_SERVICE_STOPPED
        return "the PC/SC service is not running (" + name + ")";
    case 0x80100027u:  // SCARD_E_NO_ACCESS
    case 0x8010006Au:  // SCARD_W_SECURITY_VIOLATION
        return "the PC/SC service refuses access (" + name + ")";
    default:
        return name;
    }
}

}  // namespace orvex::platform
