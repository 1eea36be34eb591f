#include "platform/text/AnsiText.h"

#include <array>

namespace orvex::platform {
namespace {

// Bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length and value of the UTF-8 sequence at bytes[i], or 0 when it is not a
// valid, shortest-form sequence of a scalar value.
size_t utf8Sequence(std::string_view bytes, size_t i, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    size_t len = 0;
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, c = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + len > bytes.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if (!isContinuation(b)) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return len;
}

// Decodes UTF-8; each byte that does not start a valid sequence becomes
// what onInvalid makes of it.
template <typename OnInvalid>
std::u32string decodeUtf8(std::string_view bytes, OnInvalid onInvalid) {
    std::u32string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        const size_t len = utf8Sequence(bytes, i, c);
        out += len == 0 ? onInvalid(static_cast<unsigned char>(bytes[i])) : c;
        i += len == 0 ? 1 : len;
    }
    return out;
}

}  // namespace

std::string utf8ToAnsi(std::string_view utf8) {
    return codePointsToAnsi(decodeUtf8(utf8, [](unsigned char) { return U'?'; }));
}

char32_t ansiToCodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

char codePointToAnsi(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
    }
    return '?';
}

void appendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string ansiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (const char b : ansi) appendUtf8(out, ansiToCodePoint(static_cast<unsigned char>(b)));
    return out;
}

std::string codePointsToUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char32_t c : text) appendUtf8(out, c);
    return out;
}

std::string codePointsToAnsi(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char32_t c : text) out += codePointToAnsi(c);
    return out;
}

bool codePointsToAnsiExact(std::u32string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (const char32_t c : text) {
        const char b = codePointToAnsi(c);
        if (b == '?' && c != U'?') return false;
        out += b;
    }
    return true;
}

std::u32string decodeUtf8Lenient(std::string_view bytes) {
    return decodeUtf8(bytes, ansiToCodePoint);
}

std::u32string decodeAnsi(std::string_view ansi) {
    std::u32string out;
    out.reserve(ansi.size());
    for (const char b : ansi) out += ansiToCodePoint(static_cast<unsigned char>(b));
    return out;
}

std::u32string decodeUtf16le(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size() / 2 + 1);
    const auto unit = [&](size_t i) -> char32_t {
        const auto lo = static_cast<unsigned char>(bytes[i]);
        const auto hi = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        return static_cast<char32_t>(lo | (hi << 8));
    };
    for (size_t i = 0; i < bytes.size(); i += 2) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out += 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
                continue;
            }
        }
        out += (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u;
    }
    return out;
}

std::string ansiToUtf16le(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() * 2);
    for (const char b : ansi) {
        const char32_t c = ansiToCodePoint(static_cast<unsigned char>(b));
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>((c >> 8) & 0xFF);
    }
    return out;
}

}  // namespace orvex::platform
