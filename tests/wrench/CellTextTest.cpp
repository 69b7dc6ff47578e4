// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/CellText.h"

#include <gtest/gtest.h>

#include <string>

namespace zelcor {
namespace {

// The editor's tests send the ordinary forms ("B8", "b8", " b 8", "5"); these are the edges.
TEST(CellText, HexDigitsOfEitherCaseWithBlanksIgnoredWhoseValueIsAByte) {
    const std::pair<std::string, int> accepted[] = {
        {"FF", 0xFF},  {"\tA\r\n", 0x0A}, {"00", 0x00},    {" 1 0 ", 0x10},
        {"0B8", 0xB8}, {"00ff", 0xFF},    {"0 0 1", 0x01}, {std::string(500, '0') + "1", 0x01}};
    for (const auto& [text, value] : accepted) {
        EXPECT_EQ(CellTextToByte(text).fault, CellTextFault::None) << '"' << text << '"';
        EXPECT_EQ(CellTextToByte(text).value, value) << '"' << text << '"';
    }
    using F = CellTextFault;
    const std::pair<std::string, CellTextFault> refused[] = {
        {"XX", F::NotRead},
        {"", F::Empty},
        {"  ", F::Empty},
        {"100", F::TooLarge},
        {"0100", F::TooLarge},
        {"1FF", F::TooLarge},
        // Values that wrap around to a byte in 32 or 64 bits are still far above FF.
        {"1" + std::string(8, '0'), F::TooLarge},
        {"1" + std::string(16, '0'), F::TooLarge},
        {"1" + std::string(14, '0') + "0B8", F::TooLarge},
        {"1" + std::string(40, '0'), F::TooLarge},
        {"G1", F::NotHex},
        {"&H", F::NotHex},
        {"&HB8", F::NotHex},
        {"-1", F::NotHex},
        {"1G0", F::NotHex},
        {std::string(40, 'F') + "G", F::NotHex}};
    for (const auto& [text, fault] : refused) {
        EXPECT_EQ(CellTextToByte(text).fault, fault) << '"' << text << '"';
    }
}

} // namespace
} // namespace zelcor
