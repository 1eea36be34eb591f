#include "platform/process/ProgramProcess.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

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

// The value may change between the two calls: the buffer grows until it fits.
std::string environmentVariable(const char* name) {
    const std::wstring wideName = win::widen(name);
    if (wideName.empty()) return {};
    std::wstring value(256, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) return {};
        if (length < value.size()) {
            value.resize(length);
            return win::narrow(value);
        }
        value.resize(length);  // the size asked for, its terminating NUL included
    }
    return {};
}

// The folder as the system keeps it for the user, which may have been moved
// elsewhere; the variable only when the system does not say.
std::string userStateDirectory() {
    std::string base;
    PWSTR folder = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &folder)))
        base = win::narrow(folder);
    CoTaskMemFree(folder);
    if (base.empty()) base = environmentVariable("LOCALAPPDATA");
    return base.empty() ? std::string() : base + "\\Tessovanwerk\\OrvexCard";
}

bool isSystemProgramFolder(const std::string&) { return false; }

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
