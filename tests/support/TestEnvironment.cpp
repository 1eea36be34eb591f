#include "TestEnvironment.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "foundation/appInfo.h"

namespace orvex::test {
namespace {

std::string& dirStore() {
    static std::string dir;
    return dir;
}

class ScratchEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvex-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        dirStore() = pattern;
        const auto sub = [&](const char* name) {
            const std::string d = pattern + "/" + name;
            std::filesystem::create_directories(d);
            return d;
        };
        setenv("ORVEXCARD_REGISTRY_DIR", sub("registry").c_str(), 1);
        setenv("XDG_CONFIG_HOME", sub("config").c_str(), 1);
        setenv("XDG_STATE_HOME", sub("state").c_str(), 1);
        unsetenv("ORVEXCARD_SIM");
        setProgramDirectory(sub("program"));
    }
    void TearDown() override {
        std::error_code ec;
        if (!getenv("ORVEX_KEEP_SCRATCH")) std::filesystem::remove_all(dirStore(), ec);
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new ScratchEnvironment);

}  // namespace

std::string makeTempDir(const std::string& stem) {
    std::string pattern = dirStore() + "/" + stem + "-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
}

}  // namespace orvex::test
