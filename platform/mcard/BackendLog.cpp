#include "platform/mcard/BackendLog.h"

#include <iostream>
#include <utility>

namespace orvex::platform {
namespace {

BackendLogSink& installedSink() {
    static BackendLogSink sink;
    return sink;
}

}  // namespace

void setBackendLogSink(BackendLogSink sink) { installedSink() = std::move(sink); }

void backendLog(const std::string& line) {
    if (installedSink()) {
        installedSink()(line);
        return;
    }
    std::cerr << "reader back end: " << line << '\n';
}

}  // namespace orvex::platform
