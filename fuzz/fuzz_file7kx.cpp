// The first input byte chooses whether the rest is taken as it is or brought to
// the accepted size, so the parser past the size check is reached.
#include <fstream>

#include "FuzzSetup.h"
#include "samplefile/file7kx.h"
#include "samplefile/modDecimal.h"

using namespace orvex;

namespace {

const std::string samplePath = fuzz::kScratchDir + "/input.7kx";

void consume(const file7kx& f) {
    volatile size_t sink = f.creatorname().size() + f.creatorversion().size() + f.serial().size() +
                           f.creator().size() + f.comment1().size() + f.comment2().size() + f.sampledata().size() +
                           static_cast<size_t>(f.creatorversionMajor()) + static_cast<size_t>(f.creatorversionMinor());
    (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) bytes.resize(file7kx::kFileSize, ' ');
    std::ofstream(samplePath, std::ios::binary | std::ios::trunc) << bytes;

    file7kx file;
    file.loadFromFile(samplePath);
    consume(file);
    const std::string text = bytes.substr(0, 160);
    file.setCreator(text);
    consume(file);
    file.setSerial(text.substr(0, 40));
    file.setComment1(text);
    file.setComment2(text);
    consume(file);
    (void)roundedDecimalInRange(text, INT32_MIN, INT32_MAX);
    return 0;
}
