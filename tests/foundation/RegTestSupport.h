#pragma once
// Environment settings and a registry directory of its own for one test.
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

struct ScopedRegistryDir {
    std::string dir = makeTempDir("reg");
    ScopedEnv env{"ORVEXCARD_REGISTRY_DIR", dir.c_str()};
    std::string hkcu() const { return dir + "/HKCU.reg"; }
};

}  // namespace orvex::test
