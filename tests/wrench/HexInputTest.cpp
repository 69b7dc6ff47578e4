// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/HexInput.h"

#include <gtest/gtest.h>

namespace zelcor {
namespace {

TEST(HexInput, TwoHexadecimalDigitsOfEitherCaseAndNothingElse) {
    const std::string notHex = "Enter 0123456789ABCDEFabcdef";
    const std::vector<std::pair<const char*, std::string>> cases{
        {"00", ""},
        {"FF", ""},
        {"0a", ""},
        {"fF", ""},
        {"0G", notHex},
        {"5", notHex},
        {"123", "length>2,please Enter 00~FF,no space"},
        {"", "length=0,please Enter 00~FF,no space"},
        {" 5", notHex},
        {"é", notHex},
        {"éé", notHex},
        {"&H", notHex}}; // éé: four bytes
    for (const auto& [input, reason] : cases) {
        bool error = reason.empty();
        std::string message = "unchanged";
        Cleckhex(input, error, message);
        EXPECT_EQ(error, !reason.empty()) << input;
        EXPECT_EQ(message, reason.empty() ? "unchanged" : reason) << input;
    }
}

} // namespace
} // namespace zelcor
