#pragma once
// Reads a registry store file in the registry editor's export format:
// "Windows Registry Editor Version 5.00" files in UTF-16LE with a byte-order
// mark (as the editor saves them) or in UTF-8 (as this store writes them),
// and "REGEDIT4" files in Windows-1252. Sections [ROOT\path], values
// "name"="text" with \\ and \" escapes, @ for the default value,
// dword:xxxxxxxx, hex:.. and hex(N):.. with "\" line continuation, key
// deletions [-ROOT\path] and value deletions "name"=-.
//
// Every input is accepted: a line that cannot be read is kept (see
// RegFileDocument), never dropped, never fatal. A value or key whose text
// has a character outside Windows-1252 is kept as an unreadable line rather
// than loaded with '?' in its place, so that rewriting the file keeps it.
#include <cstdint>
#include <string_view>

#include "platform/registry/RegFileDocument.h"

namespace orvex::platform {

class RegFileParser {
public:
    // root: the root the file holds; sections of other roots are kept, not read.
    static RegFileDocument parse(std::string_view bytes, uint32_t root);
};

}  // namespace orvex::platform
