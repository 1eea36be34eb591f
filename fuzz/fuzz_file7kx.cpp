// Sample files from anywhere: loadFromFile and every getter must survive any
// bytes. The first input byte chooses whether the rest is taken as it is or
// brought to the accepted size, so the parser past the size check is reached.
#include <fstream>

#include "FuzzSetup.h"
#include "samplefile/file7kx.h"
#include "samplefile/modDecimal.h"

using namespace orvex;

namespace {

std::string samplePath;

void consume(const file7kx& file) {
    volatile size_t sink = 0;
    sink = sink + file.creatorname().size() + file.creatorversion().size() + file.serial().size() +
           file.creator().size() + file.comment1().size() + file.comment2().size() +
           file.sampledata().size() + static_cast<size_t>(file.creatorversionMajor()) +
           static_cast<size_t>(file.creatorversionMinor());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    samplePath = fuzz::isolateSettings() + "/input.7kx";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) bytes.resize(file7kx::kFileSize, ' ');
    std::ofstream(samplePath, std::ios::binary | std::ios::trunc) << bytes;

    file7kx file;
    file.loadFromFile(samplePath);
    consume(file);
    // The setters take text from the same input.
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
