#pragma once
// Every fuzz target runs with its own settings in a scratch directory and its
// trace going nowhere, so a run neither touches the operator's settings nor
// spends its time writing log lines.
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "foundation/clsRegistry.h"

namespace orvex::fuzz {

// Answers the scratch directory, which goes when the program ends.
inline std::string isolateSettings() {
    static std::string dir = (std::filesystem::temp_directory_path() / "orvex-fuzz-XXXXXX").string();
    if (!mkdtemp(dir.data())) abort();
    atexit([] { std::filesystem::remove_all(dir); });
    for (const char* name : {"ORVEXCARD_REGISTRY_DIR", "XDG_CONFIG_HOME", "XDG_STATE_HOME"}) setenv(name, dir.c_str(), 1);
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kProductKey, "ocardlog", REG_SZ, "/dev/null");
    return dir;
}

}  // namespace orvex::fuzz
