#include "readers/BackendLogConnection.h"

#include <string>

#include "platform/mcard/BackendLog.h"

namespace orvex {
namespace {

// A reader name is outside input: a line break in it must not forge a line
// of the trace, nor another control byte reach whoever reads the file.
std::string inert(std::string line) {
    for (char& c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return line;
}

}  // namespace

BackendLogConnection::BackendLogConnection(clsLog& log) {
    platform::setBackendLogSink([&log](const std::string& line) { log.log("  reader back end: " + inert(line)); });
}

BackendLogConnection::~BackendLogConnection() { platform::setBackendLogSink({}); }

BackendLogConnection connectBackendLog(clsLog& log) { return BackendLogConnection(log); }

}  // namespace orvex
