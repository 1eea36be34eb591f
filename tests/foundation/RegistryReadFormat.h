#pragma once
// The settings read formats, checked on every registry back end the system
// has: the .reg file store everywhere, the system registry on Windows.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/registry/RegistryApi.h"
#include "tests/foundation/RegTestSupport.h"

namespace orvex::test {

struct RegistryBackend {
    const char* name;
    std::unique_ptr<platform::RegistryApi> (*make)();
};

inline std::string backendName(const ::testing::TestParamInfo<RegistryBackend>& info) { return info.param.name; }

class RegistryReadFormat : public ::testing::TestWithParam<RegistryBackend> {
protected:
    static constexpr const char* kKey = "SOFTWARE\\Tessovanwerk\\OrvexCardFormats";
    void TearDown() override;
    // Stores raw bytes the way another program would, past clsRegistry.
    void put(const std::string& name, uint32_t type, const std::string& data);

    ScopedRegistryDir dir_;  // for the file store; the system registry ignores it
    std::unique_ptr<platform::RegistryApi> api_ = GetParam().make();
};

}  // namespace orvex::test
