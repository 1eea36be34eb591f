#pragma once
// What every fuzz target starts from: the headers its entry point needs, and
// from its start settings of its own in a scratch directory, its trace going
// nowhere, so a run neither touches the operator's settings nor spends its
// time writing log lines.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
