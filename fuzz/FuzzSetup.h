#pragma once
// Every fuzz target starts with settings of its own in a scratch directory and
// its trace going nowhere: the operator's settings stay untouched, and no time
// goes to writing log lines.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "foundation/clsRegistry.h"

namespace orvex::fuzz {

// The scratch directory, which goes when the program ends.
inline const std::string kScratchDir = [] {
    static std::string dir = (std::filesystem::temp_directory_path() / "orvex-fuzz-XXXXXX").string();
    if (!mkdtemp(dir.data())) abort();
    atexit([] { std::filesystem::remove_all(dir); });
    for (const char* name : {"ORVEXCARD_REGISTRY_DIR", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
        setenv(name, dir.c_str(), 1);
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kProductKey, "ocardlog", REG_SZ, "/dev/null");
    return dir;
}();

}  // namespace orvex::fuzz
