#pragma once
// Environment settings, registry directories and editor exports for one test.
#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/TestEnvironment.h"

namespace orvex::test {

// Sets (or, with nullptr, removes) a variable and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setEnvironment(name, value);
    }
    ~ScopedEnv() { setEnvironment(name_, old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A registry directory of its own for one test.
struct ScopedRegistryDir {
    std::string dir = makeTempDir("reg");
    ScopedEnv env{"ORVEXCARD_REGISTRY_DIR", dir.c_str()};
    std::string hkcu() const { return dir + "/HKCU.reg"; }
};

// A file as the registry editor saves it: UTF-16LE, byte-order mark, CR LF.
inline std::string editorExport(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (const char16_t c : text) {
        if (c == u'\n') out += std::string("\r\0", 2);
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

}  // namespace orvex::test
