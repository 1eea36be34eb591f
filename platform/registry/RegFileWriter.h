#pragma once
// Writes a registry store file. The store's own files are in the registry
// editor's version 5.00 export format, but encoded in UTF-8 without a
// byte-order mark and with LF line ends, so that they can be read and edited
// with ordinary tools; the parser reads them back as it reads the editor's
// UTF-16LE files. Text types in hex(1), hex(2) and hex(7) lists are UTF-16LE,
// as in the editor's own files. Every byte 0..255 of a value survives:
// a REG_SZ that a quoted text cannot hold exactly (a missing or inner NUL, a
// control character) is written as hex(1).
#include <cstdint>
#include <string>

#include "platform/registry/RegFileDocument.h"

namespace orvex::platform {

class RegFileWriter {
public:
    static std::string write(const RegKey& tree, const RegFileExtras& extras, uint32_t root);
};

}  // namespace orvex::platform
