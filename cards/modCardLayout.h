#pragma once
// The card memory layout shared with the playback devices, the derivation of
// the card id and the protected playback counter. Not a byte of this layout
// may change: the devices in the field read it.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace orvex {

namespace layout {
inline constexpr int32_t kCardSize = 16384;

struct Field {
    int32_t offset;
    int32_t width;
};
inline constexpr Field kCompany{0, 40};
inline constexpr Field kPurpose{40, 15};
inline constexpr Field kVersion{55, 8};
inline constexpr Field kCardId{63, 16};
inline constexpr Field kSerial{79, 25};
inline constexpr Field kName{104, 25};
inline constexpr Field kLastModified{129, 16};
inline constexpr Field kDuration{145, 2};
inline constexpr Field kPlaybCounter{147, 10};
inline constexpr Field kCombineSeq{157, 1};  // station card only
inline constexpr Field kPlacebo{158, 1};     // station card only
inline constexpr int32_t kHeaderReservedEnd = 256;  // reserved range ends before this
inline constexpr Field kFileLength{256, 8};
inline constexpr Field kFileLastModified{264, 14};
inline constexpr Field kFileComments{278, 100};
inline constexpr Field kFileSerial{378, 25};
inline constexpr Field kFileFingerprint{403, 16};
inline constexpr Field kFileReserved{419, 349};
inline constexpr Field kFileData{768, 15616};
}  // namespace layout

// The maker text every formatted card carries at offset 0. It enters the card
// id, so changing it makes every card formatted before fail verification.
inline constexpr const char* kCardCompany = "Tessovanwerk - OrvexCard";

// The full playback counter: formatting writes it, verification demands it.
inline constexpr int32_t kFullPlaybCounter = 65535;

// MD5 over the salt and the five header texts (as read back, trailing blanks
// removed): 16 raw bytes, or empty when the digest fails.
std::string computeCardId(std::string_view serial, std::string_view lastModified,
                          std::string_view version, std::string_view company,
                          std::string_view purpose);

// One 5-byte protected copy of value (0..65535) keyed with the 16-byte card
// id; empty when the key is "failed" or not 16 bytes long.
std::string encodePlaybCounter(int32_t value, std::string_view key);

// The counter held by a 10-byte block (copy A, else copy B); 0 when neither
// copy is intact or block or key have the wrong length.
int32_t decodePlaybCounter(std::string_view block, std::string_view key);

// Source of the random byte of each counter copy. Tests install a fixed one;
// an empty function restores the default generator.
using CounterRandomSource = std::function<uint8_t()>;
void installCounterRandomSource(CounterRandomSource source);

}  // namespace orvex
