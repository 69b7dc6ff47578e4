// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/HexInput.h"

#include <gtest/gtest.h>

namespace zelcor {
namespace {

TEST(HexInput, TwoHexadecimalDigitsOfEitherCaseAndNothingElse) {
    struct Case {
        const char* input;
        bool error;
        const char* message;
    };
    const Case cases[] = {
        {"00", false, ""},
        {"FF", false, ""},
        {"0a", false, ""},
        {"fF", false, ""},
        {"0G", true, "Enter 0123456789ABCDEFabcdef"},
        {"5", true, "Enter 0123456789ABCDEFabcdef"},
        {"123", true, "length>2,please Enter 00~FF,no space"},
        {"", true, "length=0,please Enter 00~FF,no space"},
        {" 5", true, "Enter 0123456789ABCDEFabcdef"},
        {"é", true, "Enter 0123456789ABCDEFabcdef"},
        {"éé", true, "Enter 0123456789ABCDEFabcdef"}, // two characters, four bytes
        {"&H", true, "Enter 0123456789ABCDEFabcdef"},
    };
    for (const auto& c : cases) {
        bool error = !c.error;
        std::string message = "unchanged";
        Cleckhex(c.input, error, message);
        EXPECT_EQ(error, c.error) << c.input;
        EXPECT_EQ(message, c.error ? c.message : "unchanged") << c.input;
    }
    EXPECT_FALSE(Check0ToF(""));
    EXPECT_FALSE(Check0ToF("AB"));
    EXPECT_FALSE(Check0ToF("g"));
    EXPECT_TRUE(Check0ToF("f"));
}

TEST(HexInput, HexToByteReadsCheckedTextsAsHexadecimal) {
    EXPECT_EQ(HexToByte("00"), 0x00);
    EXPECT_EQ(HexToByte("1a"), 0x1A);
    EXPECT_EQ(HexToByte("FF"), 0xFF);
    EXPECT_EQ(HexToByte("7F"), 0x7F);
}

} // namespace
} // namespace zelcor
