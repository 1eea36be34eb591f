#pragma once
// One registry store file as the parser reads it and the writer writes it:
// the tree of the file's root and every line that is not part of the tree,
// kept so that rewriting the file throws nothing away.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/registry/MemoryRegistry.h"

namespace orvex::platform {

struct RegFileExtras {
    // Comments and unreadable lines before the first section, and the lines
    // that followed a key deletion, commented out (UTF-8).
    std::vector<std::string> preamble;
    // Blocks under section headers that could not be read (another root, a
    // malformed or too deep path), header included. Written at the end of
    // the file, where each block still follows its own header.
    std::vector<std::string> trailing;
};

struct RegFileDocument {
    RegKey tree;  // the root key; lines kept under a section are in its keys
    RegFileExtras extras;
    bool recognised = false;  // began with a known header line
    size_t unreadableLines = 0;
};

// Names of the roots as the file format spells them; empty for another root.
std::string rootName(uint32_t root);

}  // namespace orvex::platform
