#pragma once
// Where the store file of a root lives. The environment is read on every
// call, so a program (or a test) that changes it is followed at once.
//   ORVEXCARD_REGISTRY_DIR=DIR   HKCU: DIR/HKCU.reg, HKLM: DIR/HKLM.reg
//   otherwise                    HKCU: $XDG_CONFIG_HOME/Tessovanwerk/HKCU.reg
//                                      (default ~/.config/...)
//                                HKLM: /etc/Tessovanwerk/HKLM.reg
#include <cstdint>
#include <string>

namespace orvex::platform {

// Empty for a root without a file, or when no home directory is known.
std::string registryFilePath(uint32_t root);

}  // namespace orvex::platform
