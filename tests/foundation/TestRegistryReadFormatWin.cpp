// The same read formats on the Windows registry itself.
#include "platform/win/Win32Registry.h"
#include "tests/foundation/RegistryReadFormat.h"

namespace orvex::test {

INSTANTIATE_TEST_SUITE_P(
    System, RegistryReadFormat,
    ::testing::Values(RegistryBackend{"Win32", [] { return std::unique_ptr<platform::RegistryApi>(new platform::Win32Registry); }}),
    backendName);

}  // namespace orvex::test
