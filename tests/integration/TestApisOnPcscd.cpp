// The memory-card API and the text-command library on a real pcscd with the
// card emulator behind the virtual reader driver.
#include <gtest/gtest.h>

#include "PcscdTest.h"
#include "platform/mcard/MCardApi.h"
#include "platform/scard32/SCard32Api.h"

namespace orvex::test {
namespace {

using namespace platform;

// The text of a text command's answer.
std::string command(SCard32Api& api, const std::string& command) {
    int32_t handle = 0, commandLength = 0, inputLength = 0, outputLength = 200;
    std::string output(200, ' ');
    api.SCardComand(handle, command, commandLength, {}, inputLength, output, outputLength);
    return output.substr(0, output.find_last_not_of(' ') + 1);
}

// Both APIs on the test reader, with a memory-card context. What the drivers do
// through them is in TestDriversOnPcscd.
class PcscdApiTest : public PcscdTest {
protected:
    void SetUp() override {
        PcscdTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(mcard->SCardEstablishContext(0, scard), 0u);
        uint32_t version = 0;
        ASSERT_EQ(mcard->MCardInitialize(scard, readerName(), context, version), 0u);
    }
    std::unique_ptr<MCardApi> mcard = makeMCardApi();
    std::unique_ptr<SCard32Api> text = makeSCard32Api();
    int32_t scard = 0, context = 0;
};

TEST_F(PcscdApiTest, ReaderIsListedAndNamed) {
    std::string buffer(1024, ' ');
    uint32_t length = 1024;
    ASSERT_EQ(mcard->SCardListReadersA(scard, "", buffer, length), 0u);
    EXPECT_NE(buffer.substr(0, length).find(readerName() + '\0'), std::string::npos);
    int32_t other = 0;
    uint32_t version = 0;
    EXPECT_NE(mcard->MCardInitialize(scard, readerName() + "X", other, version), 0u);
    EXPECT_EQ(command(*text, "Device,Info,Type"), readerName());
}

}  // namespace
}  // namespace orvex::test
