#include "editor/CellText.h"

#include <gtest/gtest.h>

namespace zelcor {
namespace {

// The editor's tests send the ordinary forms ("B8", "b8", " b 8", "5"); these are the edges.
TEST(CellText, OnlyOneOrTwoHexDigitsOfEitherCaseWithBlanksIgnoredAreAByte) {
    const std::pair<const char*, int> accepted[] = {
        {"FF", 0xFF}, {"\tA\r\n", 0x0A}, {"00", 0x00}, {" 1 0 ", 0x10}};
    for (const auto& [text, value] : accepted) {
        EXPECT_EQ(CellTextToByte(text).fault, CellTextFault::None) << '"' << text << '"';
        EXPECT_EQ(CellTextToByte(text).value, value) << '"' << text << '"';
    }
    using F = CellTextFault;
    const std::pair<const char*, CellTextFault> refused[] = {
        {"XX", F::NotRead},   {"", F::Empty},    {"  ", F::Empty},  {"1FF", F::TooLarge},
        {"0FF", F::TooLarge}, {"G1", F::NotHex}, {"&H", F::NotHex}, {"&HB8", F::NotHex},
        {"-1", F::NotHex},    {"1G0", F::NotHex}};
    for (const auto& [text, fault] : refused) {
        EXPECT_EQ(CellTextToByte(text).fault, fault) << '"' << text << '"';
    }
}

} // namespace
} // namespace zelcor
