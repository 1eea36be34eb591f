// MD5 (RFC 1321) and SHA-1 (FIPS 180-4), computed here. A command-line run
// needs one or two digests of a few hundred bytes; loading and initialising
// a crypto library for them cost more than the rest of the run's own work.
#include "platform/digest/digest.h"

#include <array>
#include <cstdint>

namespace orvex::platform {
namespace {

using Block = std::array<uint8_t, 64>;

uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

uint32_t littleEndian(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint32_t bigEndian(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

class Md5 {
public:
    void block(const uint8_t* b) {
        static constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
        uint32_t m[16];
        for (int i = 0; i < 16; ++i) m[i] = littleEndian(b + 4 * i);
        uint32_t a = h_[0], bb = h_[1], c = h_[2], d = h_[3];
        for (int i = 0; i < 64; ++i) {
            uint32_t f = 0;
            int g = 0;
            switch (i / 16) {
            case 0: f = (bb & c) | (~bb & d), g = i; break;
            case 1: f = (d & bb) | (~d & c), g = (5 * i + 1) % 16; break;
            case 2: f = bb ^ c ^ d, g = (3 * i + 5) % 16; break;
            default: f = c ^ (bb | ~d), g = (7 * i) % 16; break;
            }
            const uint32_t sum = a + f + kSine[i] + m[g];
            a = d, d = c, c = bb;
            bb += rotl(sum, kShift[i / 16][i % 4]);
        }
        h_[0] += a, h_[1] += bb, h_[2] += c, h_[3] += d;
    }
    std::string result() const {
        std::string out;
        for (uint32_t word : h_)
            for (int i = 0; i < 4; ++i) out += static_cast<char>(word >> (8 * i));
        return out;
    }
    static constexpr bool kBigEndianLength = false;

private:
    // floor(abs(sin(i + 1)) * 2^32)
    static constexpr uint32_t kSine[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
        0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
        0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
        0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
        0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
        0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
        0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
    uint32_t h_[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
};

class Sha1 {
public:
    void block(const uint8_t* b) {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i) w[i] = bigEndian(b + 4 * i);
        for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = h_[0], bb = h_[1], c = h_[2], d = h_[3], e = h_[4];
        for (int i = 0; i < 80; ++i) {
            uint32_t f = 0, k = 0;
            switch (i / 20) {
            case 0: f = (bb & c) | (~bb & d), k = 0x5a827999; break;
            case 1: f = bb ^ c ^ d, k = 0x6ed9eba1; break;
            case 2: f = (bb & c) | (bb & d) | (c & d), k = 0x8f1bbcdc; break;
            default: f = bb ^ c ^ d, k = 0xca62c1d6; break;
            }
            const uint32_t t = rotl(a, 5) + f + e + k + w[i];
            e = d, d = c, c = rotl(bb, 30), bb = a, a = t;
        }
        h_[0] += a, h_[1] += bb, h_[2] += c, h_[3] += d, h_[4] += e;
    }
    std::string result() const {
        std::string out;
        for (uint32_t word : h_)
            for (int i = 3; i >= 0; --i) out += static_cast<char>(word >> (8 * i));
        return out;
    }
    static constexpr bool kBigEndianLength = true;

private:
    uint32_t h_[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
};

// Both digests pad alike: a 1 bit, zeros up to 56 bytes into the last
// block, then the message length in bits in 8 bytes (MD5 little-endian,
// SHA-1 big-endian).
template <typename Hash>
std::string hashOf(std::string_view data) {
    Hash hash;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    const size_t whole = data.size() - data.size() % 64;
    for (size_t at = 0; at < whole; at += 64) hash.block(bytes + at);
    Block last{};
    size_t used = data.size() - whole;
    for (size_t i = 0; i < used; ++i) last[i] = bytes[whole + i];
    last[used++] = 0x80;
    if (used > 56) {
        hash.block(last.data());
        last.fill(0);
    }
    const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
    for (int i = 0; i < 8; ++i) {
        const int shift = Hash::kBigEndianLength ? 8 * (7 - i) : 8 * i;
        last[56 + i] = static_cast<uint8_t>(bits >> shift);
    }
    hash.block(last.data());
    return hash.result();
}

}  // namespace

std::optional<std::string> digest(DigestAlgorithm algorithm, std::string_view data) {
    return algorithm == DigestAlgorithm::Md5 ? hashOf<Md5>(data) : hashOf<Sha1>(data);
}

}  // namespace orvex::platform
