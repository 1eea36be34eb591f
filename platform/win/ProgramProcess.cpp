#include "platform/process/ProgramProcess.h"

#include <windows.h>

#include <string>

#include "platform/win/WidePath.h"

namespace orvex::platform {
namespace {

std::atomic<bool>* interruptFlag = nullptr;

// Runs on a thread of its own that the system starts for the event. Ctrl+C
// and Ctrl+Break are taken over; closing the console still ends the process.
BOOL WINAPI onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (interruptFlag) interruptFlag->store(true);
    return TRUE;
}

}  // namespace

// The path may be longer than MAX_PATH; the buffer grows until it fits.
std::string executableDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : win::narrow(path.substr(0, slash));
}

// The user's interface language (the one Windows shows its own texts in),
// not the formats of numbers and dates.
std::string userLanguage() {
    const LCID locale = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
    char code[16] = {};
    const int length = GetLocaleInfoA(locale, LOCALE_SISO639LANGNAME, code, sizeof code);
    return length > 1 ? std::string(code, static_cast<size_t>(length - 1)) : std::string();
}

void installInterruptHandler(std::atomic<bool>& requested) {
    interruptFlag = &requested;
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

}  // namespace orvex::platform
