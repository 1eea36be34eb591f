// The .reg parser takes any bytes an operator may drop in. Besides not
// crashing, what the store writes back must read back to the same file:
// otherwise every rewrite would drift, or lose what it kept.
#include <string_view>

#include "FuzzSetup.h"
#include "platform/registry/RegFileParser.h"
#include "platform/registry/RegFileWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvex::platform;
    constexpr uint32_t kHkcu = 0x80000001u;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const RegFileDocument first = RegFileParser::parse(bytes, kHkcu);
    const std::string written = RegFileWriter::write(first.tree, first.extras, kHkcu);
    const RegFileDocument second = RegFileParser::parse(written, kHkcu);
    if (!second.recognised) std::abort();
    if (RegFileWriter::write(second.tree, second.extras, kHkcu) != written) std::abort();
    return 0;
}
