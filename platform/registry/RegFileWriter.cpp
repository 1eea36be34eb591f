#include "platform/registry/RegFileWriter.h"

#include <algorithm>
#include <cstdio>

#include "platform/text/AnsiText.h"

namespace orvex::platform {
namespace {

// The editor ends a hex-list line once it reaches 77 characters, so no line
// with its backslash is longer than 80.
constexpr size_t kLineWidth = 77;

std::string quote(const std::string& ansi) {
    std::string out = "\"";
    for (const char c : ansiToUtf8(ansi)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

// A REG_SZ that "text" holds exactly: one NUL at the end and no control
// character before it.
bool plainText(const RegValue& v) {
    if (v.type != 1 || v.data.empty() || v.data.back() != '\0') return false;
    return std::none_of(v.data.begin(), v.data.end() - 1,
                        [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string hexList(std::string prefix, const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    size_t column = prefix.size();
    out = std::move(prefix);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
        column += 2;
        if (i + 1 == bytes.size()) break;
        out += ',';
        ++column;
        if (column >= kLineWidth) {
            out += "\\\n  ";
            column = 2;
        }
    }
    return out;
}

std::string valueLine(const RegValue& v) {
    std::string line = v.name.empty() ? "@" : quote(v.name);
    line += '=';
    if (plainText(v)) return line + quote(v.data.substr(0, v.data.size() - 1));
    if (v.type == 4 && v.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(v.data[i]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return line + buf;
    }
    if (v.type == 3) return hexList(line + "hex:", v.data);
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", v.type);
    const bool text = v.type == 1 || v.type == 2 || v.type == 7;
    return hexList(line + prefix, text ? ansiToUtf16le(v.data) : v.data);
}

class Writer {
public:
    explicit Writer(const std::string& rootName) : rootName_(rootName) {}

    std::string run(const RegKey& tree, const RegFileExtras& extras) {
        out_ = "Windows Registry Editor Version 5.00\n\n";
        lines(extras.preamble);
        if (!extras.preamble.empty()) out_ += '\n';
        key(tree, rootName_, true);
        lines(extras.trailing);
        return std::move(out_);
    }

private:
    // A kept entry that ends in "\" is followed by a blank line, so that
    // reading the file again does not join it with the next one.
    void lines(const std::vector<std::string>& ls) {
        for (const auto& l : ls) {
            out_ += l + '\n';
            const size_t end = l.find_last_not_of(" \t");
            if (end != std::string::npos && l[end] == '\\') out_ += '\n';
        }
    }

    // Intermediate keys without values are implied by their subkeys' sections.
    void key(const RegKey& k, const std::string& path, bool isRoot) {
        const bool hasOwn = !k.values.empty() || !k.keptLines.empty();
        if (hasOwn || (!isRoot && k.subkeys.empty())) {
            out_ += '[' + ansiToUtf8(path) + "]\n";
            for (const auto& v : k.values) out_ += valueLine(v) + '\n';
            lines(k.keptLines);
            out_ += '\n';
        }
        for (const auto& sub : k.subkeys) key(*sub, path + '\\' + sub->name, false);
    }

    std::string rootName_;
    std::string out_;
};

}  // namespace

std::string RegFileWriter::write(const RegKey& tree, const RegFileExtras& extras,
                                 uint32_t root) {
    return Writer(rootName(root)).run(tree, extras);
}

}  // namespace orvex::platform
