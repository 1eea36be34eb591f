# Writes the bytes of INPUT, then those of OVERLAY if given, as an array into
# OUTPUT (called by orvex_text_table).
file(READ ${INPUT} hex HEX)
# The overlay's rows come later, so they win (the last row of an offset counts).
if(OVERLAY)
  file(READ ${OVERLAY} overlayHex HEX)
  string(APPEND hex "0a${overlayHex}")
endif()
string(LENGTH "${hex}" hexlen)
math(EXPR count "${hexlen} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
"// Generated from resources/texts.tsv; do not edit.
#include <cstddef>
namespace orvex::detail {
extern const unsigned char textTableData[] = {\n${bytes}0x00};
extern const std::size_t textTableSize = ${count};
}
")
