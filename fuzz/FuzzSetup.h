#pragma once
// Every fuzz target runs with its own settings in a scratch directory and its
// trace going nowhere, so a run neither touches the operator's settings nor
// spends its time writing log lines.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "foundation/clsRegistry.h"

namespace orvex::fuzz {

// Answers the scratch directory, which goes when the program ends.
inline std::string isolateSettings() {
    static std::string dir = (std::filesystem::temp_directory_path() / "orvex-fuzz-XXXXXX").string();
    if (!mkdtemp(dir.data())) std::abort();
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    });
    setenv("ORVEXCARD_REGISTRY_DIR", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    setenv("XDG_STATE_HOME", dir.c_str(), 1);
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kProductKey, "ocardlog", REG_SZ, "/dev/null");
    return dir;
}

}  // namespace orvex::fuzz
