#include "platform/registry/RegFileParser.h"

#include <memory>
#include <optional>
#include <unordered_map>

#include "platform/text/AnsiText.h"

namespace orvex::platform {
namespace {

constexpr uint32_t kHkcu = 0x80000001u;
constexpr uint32_t kHklm = 0x80000002u;
// A value line with its continuation lines; beyond this it is not read.
constexpr size_t kMaxLogicalLine = 4 * kMaxValueDataSize;

constexpr std::u32string_view kHeader5 = U"Windows Registry Editor Version 5.00";
constexpr std::u32string_view kHeader4 = U"REGEDIT4";

bool isBlank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\r' || c == 0xFEFF; }

std::u32string_view trim(std::u32string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char32_t lower(char32_t c) { return (c >= U'A' && c <= U'Z') ? c + 32 : c; }

bool startsWithNoCase(std::u32string_view s, std::u32string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (lower(s[i]) != lower(prefix[i])) return false;
    }
    return true;
}

bool equalsNoCase(std::u32string_view a, std::u32string_view b) {
    return a.size() == b.size() && startsWithNoCase(a, b);
}

std::string fold(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

int hexDigit(char32_t c) {
    if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
    if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a' + 10);
    if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A' + 10);
    return -1;
}

// 1..8 hex digits, nothing else.
std::optional<uint32_t> hexNumber(std::u32string_view s) {
    if (s.empty() || s.size() > 8) return std::nullopt;
    uint32_t v = 0;
    for (const char32_t c : s) {
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    return v;
}

std::u32string decodeFile(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        return decodeUtf16le(bytes.substr(2));
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return decodeUtf8Lenient(bytes.substr(3));
    // UTF-16LE that lost its byte-order mark still starts with an ASCII letter.
    if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0') return decodeUtf16le(bytes);
    if (bytes.substr(0, kHeader4.size()) == "REGEDIT4") return decodeAnsi(bytes);
    return decodeUtf8Lenient(bytes);
}

// Physical lines, CR LF or LF ended.
class LineSource {
public:
    explicit LineSource(const std::u32string& text) : text_(text) {}
    bool next(std::u32string_view& line) {
        if (!peek(line)) return false;
        pos_ = next_;
        return true;
    }
    bool peek(std::u32string_view& line) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find(U'\n', pos_);
        if (end == std::u32string::npos) end = text_.size();
        line = std::u32string_view(text_).substr(pos_, end - pos_);
        while (!line.empty() && line.back() == U'\r') line.remove_suffix(1);
        next_ = end + 1;
        return true;
    }

private:
    const std::u32string& text_;
    size_t pos_ = 0;
    size_t next_ = 0;
};

// The tree while parsing: indexed by folded name, deletions leave holes, so
// that a hostile file of many keys or values parses in linear time.
struct ParseKey {
    std::string name;
    std::vector<std::unique_ptr<ParseKey>> children;
    std::unordered_map<std::string, size_t> childIndex;
    std::vector<std::optional<RegValue>> values;
    std::unordered_map<std::string, size_t> valueIndex;
    std::vector<std::string> kept;

    ParseKey* child(const std::string& n) {
        const auto it = childIndex.find(fold(n));
        return it == childIndex.end() ? nullptr : children[it->second].get();
    }
    ParseKey& makeChild(const std::string& n) {
        if (ParseKey* k = child(n)) return *k;
        childIndex.emplace(fold(n), children.size());
        children.push_back(std::make_unique<ParseKey>());
        children.back()->name = n;
        return *children.back();
    }
    void removeChild(const std::string& n) {
        const auto it = childIndex.find(fold(n));
        if (it == childIndex.end()) return;
        children[it->second].reset();
        childIndex.erase(it);
    }
    void setValue(RegValue v) {
        const std::string key = fold(v.name);
        if (const auto it = valueIndex.find(key); it != valueIndex.end()) {
            values[it->second] = std::move(v);
            return;
        }
        valueIndex.emplace(key, values.size());
        values.emplace_back(std::move(v));
    }
    void removeValue(const std::string& n) {
        const auto it = valueIndex.find(fold(n));
        if (it == valueIndex.end()) return;
        values[it->second].reset();
        valueIndex.erase(it);
    }
    void moveInto(RegKey& out) {
        out.name = std::move(name);
        out.keptLines = std::move(kept);
        for (auto& v : values) {
            if (v) out.values.push_back(std::move(*v));
        }
        for (auto& c : children) {
            if (!c) continue;
            out.subkeys.push_back(std::make_unique<RegKey>());
            c->moveInto(*out.subkeys.back());
            c.reset();  // frees as it goes, the tree is never held twice
        }
    }
};

struct SectionPath {
    bool deletion = false;
    std::vector<std::string> parts;  // below the root, ANSI
};

struct ParsedValue {
    std::string name;
    bool deletion = false;
    uint32_t type = 0;
    std::string data;
};

class Parser {
public:
    Parser(uint32_t root, const std::u32string& text) : root_(root), lines_(text) {}

    RegFileDocument run() {
        std::u32string_view raw;
        while (lines_.next(raw)) line(raw);
        rootKey_.moveInto(doc_.tree);
        return std::move(doc_);
    }

private:
    enum class Target { Preamble, Key, Orphan, Ignored };

    void line(std::u32string_view raw) {
        const std::u32string_view t = trim(raw);
        if (t.empty()) return;
        if (!headerSeen_) {
            headerSeen_ = true;
            if (header(t)) return;
        }
        if (t.front() == U';') return keep(raw);
        if (t.front() == U'[') return section(raw, t);
        if ((t.front() == U'"' || t.front() == U'@') && target_ == Target::Key)
            return value(raw, t);
        unreadable(raw);
    }

    bool header(std::u32string_view t) {
        if (t == kHeader5) {
            doc_.recognised = true;
            return true;
        }
        if (t == kHeader4) {
            doc_.recognised = true;
            unicodeHex_ = false;
            return true;
        }
        return false;
    }

    void keep(std::u32string_view raw) {
        switch (target_) {
            case Target::Preamble: doc_.extras.preamble.push_back(codePointsToUtf8(raw)); break;
            case Target::Key: key_->kept.push_back(codePointsToUtf8(raw)); break;
            case Target::Orphan: doc_.extras.trailing.push_back(codePointsToUtf8(raw)); break;
            case Target::Ignored:
                // Commented out before the first section, where a rewrite
                // leaves them; the deletion they followed is named first.
                if (!deletedHeader_.empty()) {
                    doc_.extras.preamble.push_back("; " + deletedHeader_);
                    deletedHeader_.clear();
                }
                doc_.extras.preamble.push_back("; " + codePointsToUtf8(raw));
                break;
        }
    }

    void unreadable(std::u32string_view raw) {
        ++doc_.unreadableLines;
        keep(raw);
    }

    void section(std::u32string_view raw, std::u32string_view t) {
        const std::optional<SectionPath> path = sectionPath(t);
        if (!path) {
            target_ = Target::Orphan;
            return unreadable(raw);
        }
        if (path->deletion) {
            deleteKey(path->parts);
            target_ = Target::Ignored;
            deletedHeader_ = codePointsToUtf8(raw);
            return;
        }
        key_ = &rootKey_;
        for (const auto& part : path->parts) key_ = &key_->makeChild(part);
        target_ = Target::Key;
    }

    std::optional<SectionPath> sectionPath(std::u32string_view t) const {
        if (t.back() != U']') return std::nullopt;
        std::u32string_view inner = t.substr(1, t.size() - 2);
        SectionPath path;
        if (!inner.empty() && inner.front() == U'-') {
            path.deletion = true;
            inner.remove_prefix(1);
        }
        const size_t cut = inner.find(U'\\');
        if (!isOurRoot(inner.substr(0, cut))) return std::nullopt;
        if (cut == std::u32string_view::npos) {
            if (path.deletion) return std::nullopt;  // a root is never deleted
            return path;
        }
        for (std::u32string_view rest = inner.substr(cut + 1);;) {
            const size_t next = rest.find(U'\\');
            std::string part;
            if (!codePointsToAnsiExact(rest.substr(0, next), part) || !validKeyName(part) ||
                path.parts.size() >= kMaxKeyDepth)
                return std::nullopt;
            path.parts.push_back(std::move(part));
            if (next == std::u32string_view::npos) return path;
            rest = rest.substr(next + 1);
        }
    }

    bool isOurRoot(std::u32string_view name) const {
        if (root_ == kHkcu) return equalsNoCase(name, U"HKEY_CURRENT_USER") || equalsNoCase(name, U"HKCU");
        if (root_ == kHklm) return equalsNoCase(name, U"HKEY_LOCAL_MACHINE") || equalsNoCase(name, U"HKLM");
        return false;
    }

    void deleteKey(const std::vector<std::string>& parts) {
        ParseKey* parent = &rootKey_;
        for (size_t i = 0; i + 1 < parts.size() && parent; ++i) parent = parent->child(parts[i]);
        if (parent) parent->removeChild(parts.back());
    }

    void value(std::u32string_view raw, std::u32string_view t) {
        std::vector<std::u32string_view> rawLines{raw};
        const std::optional<ParsedValue> v = parseValue(t, rawLines);
        if (!v) {
            // A list with its continuation lines stays one entry, so that a
            // rewrite cannot join it with a line it did not join before.
            std::u32string group;
            for (const auto r : rawLines) {
                if (!group.empty()) group += U'\n';
                group += r;
            }
            doc_.unreadableLines += rawLines.size();
            return keep(group);
        }
        if (v->deletion) {
            key_->removeValue(v->name);
        } else {
            key_->setValue(RegValue{v->name, v->type, v->data});
        }
    }

    std::optional<ParsedValue> parseValue(std::u32string_view t,
                                          std::vector<std::u32string_view>& rawLines) {
        ParsedValue v;
        size_t pos = 0;
        if (t.front() == U'@') {
            pos = 1;
        } else if (!quoted(t, pos, v.name) || !validValueName(v.name)) {
            return std::nullopt;
        }
        std::u32string_view rest = trim(t.substr(pos));
        if (rest.empty() || rest.front() != U'=') return std::nullopt;
        rest = trim(rest.substr(1));
        if (rest == U"-") {
            v.deletion = true;
            return v;
        }
        if (!data(rest, rawLines, v) || v.data.size() > kMaxValueDataSize) return std::nullopt;
        return v;
    }

    // A quoted text at t[pos]; pos ends behind the closing quote. Only \\ and
    // \" are escapes; any other backslash stands for itself.
    static bool quoted(std::u32string_view t, size_t& pos, std::string& out) {
        if (pos >= t.size() || t[pos] != U'"') return false;
        std::u32string text;
        for (size_t i = pos + 1; i < t.size(); ++i) {
            const char32_t c = t[i];
            if (c == U'"') {
                pos = i + 1;
                return codePointsToAnsiExact(text, out);
            }
            if (c == U'\\' && i + 1 < t.size() && (t[i + 1] == U'\\' || t[i + 1] == U'"')) ++i;
            text += t[i];
        }
        return false;
    }

    bool data(std::u32string_view rest, std::vector<std::u32string_view>& rawLines,
              ParsedValue& v) {
        if (rest.front() == U'"') {
            size_t pos = 0;
            if (!quoted(rest, pos, v.data) || !trim(rest.substr(pos)).empty()) return false;
            v.type = 1;
            v.data += '\0';
            return true;
        }
        if (startsWithNoCase(rest, U"dword:")) {
            const std::optional<uint32_t> n = hexNumber(rest.substr(6));
            if (!n) return false;
            v.type = 4;
            v.data.clear();
            for (int i = 0; i < 4; ++i) v.data += static_cast<char>((*n >> (8 * i)) & 0xFF);
            return true;
        }
        return hexData(rest, rawLines, v);
    }

    bool hexData(std::u32string_view rest, std::vector<std::u32string_view>& rawLines,
                 ParsedValue& v) {
        if (!startsWithNoCase(rest, U"hex")) return false;
        rest.remove_prefix(3);
        v.type = 3;
        if (!rest.empty() && rest.front() == U'(') {
            const size_t close = rest.find(U')');
            if (close == std::u32string_view::npos) return false;
            const std::optional<uint32_t> n = hexNumber(rest.substr(1, close - 1));
            if (!n) return false;
            v.type = *n;
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != U':') return false;
        std::u32string list(rest.substr(1));
        if (!continued(list, rawLines)) return false;
        std::string bytes;
        if (!hexBytes(list, bytes)) return false;
        return hexToData(bytes, v);
    }

    // Joins the continuation lines of a hex list ending in "\"; a blank line
    // ends the list.
    bool continued(std::u32string& list, std::vector<std::u32string_view>& rawLines) {
        while (true) {
            while (!list.empty() && isBlank(list.back())) list.pop_back();
            if (list.empty() || list.back() != U'\\') return true;
            list.pop_back();
            std::u32string_view next;
            if (!lines_.peek(next) || trim(next).empty()) return true;
            lines_.next(next);
            rawLines.push_back(next);
            list += trim(next);
            if (list.size() > kMaxLogicalLine) return false;
        }
    }

    static bool hexBytes(std::u32string_view list, std::string& out) {
        if (trim(list).empty()) return true;
        while (true) {
            const size_t comma = list.find(U',');
            const std::u32string_view token = trim(list.substr(0, comma));
            if (token.empty() || token.size() > 2) return false;
            const std::optional<uint32_t> b = hexNumber(token);
            if (!b) return false;
            out += static_cast<char>(*b);
            if (out.size() > kMaxValueDataSize) return false;
            if (comma == std::u32string_view::npos) return true;
            list.remove_prefix(comma + 1);
        }
    }

    // Text types in a version 5.00 file are UTF-16LE; the program holds them
    // in Windows-1252.
    bool hexToData(const std::string& bytes, ParsedValue& v) const {
        const bool text = v.type == 1 || v.type == 2 || v.type == 7;
        if (!text || !unicodeHex_) {
            v.data = bytes;
            return true;
        }
        if (bytes.size() % 2 != 0) return false;
        const std::u32string chars = decodeUtf16le(bytes);
        if (chars.size() * 2 != bytes.size()) return false;  // surrogate pairs
        return codePointsToAnsiExact(chars, v.data);
    }

    uint32_t root_;
    LineSource lines_;
    RegFileDocument doc_;
    ParseKey rootKey_;
    ParseKey* key_ = nullptr;
    Target target_ = Target::Preamble;
    std::string deletedHeader_;
    bool headerSeen_ = false;
    bool unicodeHex_ = true;
};

}  // namespace

std::string rootName(uint32_t root) {
    if (root == kHkcu) return "HKEY_CURRENT_USER";
    if (root == kHklm) return "HKEY_LOCAL_MACHINE";
    return {};
}

RegFileDocument RegFileParser::parse(std::string_view bytes, uint32_t root) {
    const std::u32string text = decodeFile(bytes);
    return Parser(root, text).run();
}

}  // namespace orvex::platform
