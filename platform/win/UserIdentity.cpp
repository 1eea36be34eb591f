#include "platform/process/UserIdentity.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

namespace orvex::platform {
namespace {

// The security identifier of the process token's user, as text.
std::string tokenUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    std::string text;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        char* sid = nullptr;
        if (ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
            text = sid;
            LocalFree(sid);
        }
    }
    CloseHandle(token);
    return text;
}

}  // namespace

// A process without a readable token still gets a key of its own session.
std::string userIdentity() {
    const std::string sid = tokenUserSid();
    if (!sid.empty()) return sid;
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return "session-" + std::to_string(session);
}

}  // namespace orvex::platform
