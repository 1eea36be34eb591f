// The environment as UTF-16 reaches the program whole: a folder named in any
// script, and a value longer than the first buffer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/process/ProgramProcess.h"
#include "platform/win/WidePath.h"

namespace orvex::platform {
namespace {

TEST(EnvironmentVariable, ValuesOutsideTheAnsiCodePageArriveAsUtf8) {
    const std::string folder = "C:\\Users\\J\xC3\xBCrgen \xE5\xB1\xB1\xE7\x94\xB0\\sim";
    // The empty value: the variable is not set.
    for (const std::string& value : {folder, folder + std::string(300, 'x'), std::string()}) {
        SCOPED_TRACE(value.size());
        const std::wstring wide = win::widen(value);
        ASSERT_TRUE(SetEnvironmentVariableW(L"ORVEXCARD_TEST_VALUE", value.empty() ? nullptr : wide.c_str()));
        EXPECT_EQ(environmentVariable("ORVEXCARD_TEST_VALUE"), value);
    }
}

}  // namespace
}  // namespace orvex::platform
