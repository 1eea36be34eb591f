// Arbitrary bytes in arbitrary pieces through the framing and the APDU handler:
// every answer fits a frame, the card keeps its size.
#include "FuzzSetup.h"
// The emulator is a test program outside the libraries: compiled in directly.
#include "tests/emulator/CardEmulator.cpp"

using namespace orvex::emulator;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VpcdFrameReader reader;
    MemoryCardEmulator card{Bytes(MemoryCardEmulator::kCardSize, 0)};
    size_t at = 0;
    while (at < size) {
        const size_t piece = 1 + data[at] % 97;
        const size_t take = piece < size - at ? piece : size - at;
        reader.feed(data + at, take);
        at += take;
        while (auto message = reader.next()) {
            const auto answer = card.handle(*message);
            if (answer && !VpcdFrameReader::frame(*answer)) std::abort();
        }
    }
    if (card.image().size() != MemoryCardEmulator::kCardSize) std::abort();
    return 0;
}
