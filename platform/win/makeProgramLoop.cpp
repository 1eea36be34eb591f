#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/eventloop/programLoop.h"
#include "platform/win/WidePath.h"
#include "platform/win/Win32EventLoop.h"

namespace orvex::platform {
namespace {

// The C runtime hands main() its arguments in the ANSI code page, where a
// file name outside it arrives as question marks or bytes that are no UTF-8;
// the program's text is UTF-8. The arguments are taken again from the UTF-16
// command line; should the two parsers ever count differently, the runtime's
// stay.
void argumentsAsUtf8(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return;
    static std::vector<std::string> storage;  // lives as long as argv
    if (count == argc && storage.empty()) {
        for (int i = 0; i < count; ++i) storage.push_back(win::narrow(wide[i]));
        for (int i = 0; i < count; ++i) argv[i] = storage[static_cast<size_t>(i)].data();
    }
    LocalFree(wide);
}

}  // namespace

std::unique_ptr<EventLoop> makeProgramLoop(int& argc, char** argv) {
    argumentsAsUtf8(argc, argv);
    return std::make_unique<Win32EventLoop>();
}

// Each thread has its own message queue.
std::unique_ptr<EventLoop> makeThreadLoop() { return std::make_unique<Win32EventLoop>(); }

}  // namespace orvex::platform
