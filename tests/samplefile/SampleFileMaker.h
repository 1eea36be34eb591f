#pragma once
// Builds .7kx files for the tests: a header from its parts and 8820 bytes of
// sample data in a recognisable pattern.
#include <string>

#include "support/TestEnvironment.h"

namespace orvex::test {

struct SampleFileParts {
    std::string format = "7kx/1.0.0";
    std::string stamp = "20240315T101112Z";
    std::string comment = "Evening calm, second take";
    std::string creator = "osc/3.6/10010";
    std::string fingerprint = "0123456789abcdef";
};

inline std::string padded(std::string text, size_t width) {
    text.resize(width, ' ');
    return text;
}

inline std::string sampleFileBytes(const SampleFileParts& parts = {}) {
    std::string bytes = padded(parts.format, 25) + padded(parts.stamp, 16) + " " +
                        padded(parts.comment, 100) + padded(parts.creator, 24) +
                        padded(parts.fingerprint, 16);
    // A pattern whose odd bytes above 0x7F make negative samples.
    for (size_t i = 0; i < 8820; ++i) bytes += static_cast<char>((i * 37 + 11) & 0xFF);
    return bytes;
}

// Writes the bytes to a new file of that name in a fresh directory.
inline std::string writeSampleFile(const std::string& bytes, const std::string& name = "sample.7kx") {
    const std::string path = makeTempDir("7kx") + "/" + name;
    writeFileBytes(path, bytes);
    return path;
}

}  // namespace orvex::test
