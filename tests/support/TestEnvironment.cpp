#include "TestEnvironment.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <random>

#include "foundation/appInfo.h"

namespace orvex::test {
namespace {

std::string scratchDir;

// A new directory of a name no other process picks.
std::string makeUniqueDir(const std::string& stem) {
    static std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string dir = stem + "-" + std::to_string(random() % 1000000000u);
        std::error_code ec;
        if (std::filesystem::create_directory(dir, ec)) return dir;
    }
    std::abort();
}

class ScratchEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        scratchDir = makeUniqueDir((std::filesystem::temp_directory_path() / "orvex-test").string());
        const auto sub = [&](const char* name) {
            const std::string d = scratchDir + "/" + name;
            std::filesystem::create_directories(d);
            return d;
        };
        setEnvironment("ORVEXCARD_REGISTRY_DIR", sub("registry").c_str());
        setEnvironment("XDG_CONFIG_HOME", sub("config").c_str());
        setEnvironment("XDG_STATE_HOME", sub("state").c_str());
        setEnvironment("ORVEXCARD_SIM", nullptr);
        setProgramDirectory(sub("program"));
        clearProductSettings();
    }
    void TearDown() override {
        std::error_code ec;
        if (!getenv("ORVEX_KEEP_SCRATCH")) std::filesystem::remove_all(scratchDir, ec);
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new ScratchEnvironment);

}  // namespace

std::string makeTempDir(const std::string& stem) { return makeUniqueDir(scratchDir + "/" + stem); }

void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");  // the empty text removes it
#else
    value ? setenv(name, value, 1) : unsetenv(name);
#endif
}

}  // namespace orvex::test
