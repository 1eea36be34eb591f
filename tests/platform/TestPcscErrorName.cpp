#include <gtest/gtest.h>

#include "platform/pcsc/pcscErrorName.h"

namespace orvex::test {
namespace {

using platform::pcscErrorName;
using platform::pcscFailureText;

TEST(PcscErrorName, CodesReadAsTheirSymbolicNamesAndServiceProblemsSayWhatIsWrong) {
    EXPECT_EQ(pcscErrorName(0x80100069u), "SCARD_W_REMOVED_CARD");
    EXPECT_EQ(pcscErrorName(0x8010000Cu), "SCARD_E_NO_SMARTCARD");
    EXPECT_EQ(pcscErrorName(0x8010006Fu), "SCARD_W_CARD_NOT_AUTHENTICATED");
    EXPECT_EQ(pcscErrorName(0x12345678u), "SCARD code 0x12345678");
    EXPECT_EQ(pcscFailureText(0x8010001Du), "the PC/SC service is not running (SCARD_E_NO_SERVICE)");
    EXPECT_EQ(pcscFailureText(0x80100027u), "the PC/SC service refuses access (SCARD_E_NO_ACCESS)");
    EXPECT_EQ(pcscFailureText(0x80100069u), "SCARD_W_REMOVED_CARD");
}

}  // namespace
}  // namespace orvex::test
