// Display texts of memory-card codes.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "readers/mcardErrorText.h"

namespace orvex {
namespace {

TEST(mcardErrorText, NameThenUpperCaseHexWithoutLeadingZeros) {
    EXPECT_EQ(mcardErrorText(0x0u), "MCARD_S_SUCCESS (0x0)");
    EXPECT_EQ(mcardErrorText(0xA0100801u), "MCARD_E_INTERNAL_ERROR (0xA0100801)");
    EXPECT_EQ(mcardErrorText(0xA0100805u), "MCARD_E_UNKNOWN_CARD (0xA0100805)");
    EXPECT_EQ(mcardErrorText(0xA0100833u), "MCARD_E_INVALID_CHAL_RESP_ID (0xA0100833)");
    EXPECT_EQ(mcardErrorText(0xA0100879u), "MCARD_W_NO_UNITS_TO_DECREMENT (0xA0100879)");
    EXPECT_EQ(mcardErrorText(0xA0100806u), "unknown error (0xA0100806)");
    EXPECT_EQ(mcardErrorText(0x1Fu), "unknown error (0x1F)");
    std::set<std::string> names;
    for (const auto code : {0xA0100801u, 0xA0100802u, 0xA0100803u, 0xA0100804u, 0xA0100805u, 0xA0100811u,
                            0xA0100812u, 0xA0100821u, 0xA0100822u, 0xA0100823u, 0xA0100824u, 0xA0100831u,
                            0xA0100832u, 0xA0100833u, 0xA0100866u, 0xA0100867u, 0xA0100876u, 0xA0100877u,
                            0xA0100878u, 0xA0100879u}) {
        const std::string text = mcardErrorText(code);
        EXPECT_EQ(text.rfind("MCARD_", 0), 0u) << text;
        names.insert(text.substr(0, text.find(' ')));
    }
    EXPECT_EQ(names.size(), 20u);  // each table code its own name
}

}  // namespace
}  // namespace orvex
