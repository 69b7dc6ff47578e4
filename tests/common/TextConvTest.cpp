// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TextConv.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

namespace zelcor {
namespace {

TEST(HexText, NibblesAndBytes) {
    EXPECT_EQ(NibbleToHexChr(0), "0");
    EXPECT_EQ(NibbleToHexChr(9), "9");
    EXPECT_EQ(NibbleToHexChr(10), "A");
    EXPECT_EQ(NibbleToHexChr(15), "F");
    EXPECT_EQ(NibbleToHexChr(16), "");
    EXPECT_EQ(NibbleToHexChr(-1), "");

    EXPECT_EQ(ByteToHexStr(0x00), "00");
    EXPECT_EQ(ByteToHexStr(0x05), "05");
    EXPECT_EQ(ByteToHexStr(0xAA), "AA");
    EXPECT_EQ(ByteToHexStr(0x1F), "1F");
    EXPECT_EQ(ByteToHexStr(0xFF), "FF");
}

TEST(ValueOfText, HexadecimalAfterAmpersandH) {
    EXPECT_DOUBLE_EQ(ValueOfText("&H1a"), 26);
    EXPECT_DOUBLE_EQ(ValueOfText("&h1A"), 26);
    EXPECT_DOUBLE_EQ(ValueOfText("&hFF"), 255);
    EXPECT_DOUBLE_EQ(ValueOfText("&h"), 0);
    EXPECT_DOUBLE_EQ(ValueOfText("&H"), 0);
    EXPECT_DOUBLE_EQ(ValueOfText("&h 1 f"), 31);
    EXPECT_DOUBLE_EQ(ValueOfText("&h1G"), 1);
    EXPECT_DOUBLE_EQ(ValueOfText("&HFFFF"), 65535);
    EXPECT_DOUBLE_EQ(ValueOfText("&"), 0);
}

TEST(ValueOfText, DecimalReadsUpToTheFirstCharacterThatCannotContinue) {
    EXPECT_DOUBLE_EQ(ValueOfText(" 4 6 6 0"), 4660);
    EXPECT_DOUBLE_EQ(ValueOfText("\t1\n2"), 12);
    EXPECT_DOUBLE_EQ(ValueOfText("12abc"), 12);
    EXPECT_DOUBLE_EQ(ValueOfText(""), 0);
    EXPECT_DOUBLE_EQ(ValueOfText("abc"), 0);
    EXPECT_DOUBLE_EQ(ValueOfText("-5"), -5);
    EXPECT_DOUBLE_EQ(ValueOfText("- 5"), -5);
    EXPECT_DOUBLE_EQ(ValueOfText("+7"), 7);
    EXPECT_DOUBLE_EQ(ValueOfText("1.9"), 1.9);
    EXPECT_DOUBLE_EQ(ValueOfText(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ValueOfText("3.25.7"), 3.25);
    EXPECT_DOUBLE_EQ(ValueOfText("-"), 0);
    EXPECT_DOUBLE_EQ(ValueOfText("."), 0);
    EXPECT_DOUBLE_EQ(ValueOfText("1,5"), 1);    // the separator is a period only
    EXPECT_DOUBLE_EQ(ValueOfText("12\r3"), 12); // a carriage return is not a blank
    EXPECT_DOUBLE_EQ(ValueOfText("99999999999999999999"), 1e20);
}

TEST(ValueOfText, DigitsBeyondWhatADoubleHolds) {
    const std::string nines(400, '9');
    EXPECT_EQ(ValueOfText(nines), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ValueOfText("-" + nines + ".5"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(ValueOfText("." + std::string(400, '0') + "1"), 0);
    EXPECT_DOUBLE_EQ(ValueOfText(std::string(300, '0') + "12.5"), 12.5);
}

// Sets the whole C locale of the process for as long as it lives, then puts back the one
// that was in force.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : m_previous(std::setlocale(LC_ALL, nullptr)) {
        m_set = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ScopedLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;
    bool isSet() const { return m_set; }

private:
    std::string m_previous;
    bool m_set = false;
};

// Numbers in the windows are read and written with a period whatever the user's locale: a
// comma (de_DE) and a separator of two bytes in UTF-8 (ps_AF) must change nothing.
TEST(NumbersUnderAnyLocale, ReadAndWrittenWithAPeriod) {
    for (const char* name : {"de_DE.UTF-8", "ps_AF.UTF-8"}) {
        SCOPED_TRACE(name);
        const ScopedLocale locale(name);
        if (!locale.isSet()) {
            GTEST_FAIL() << "the locale " << name
                         << " is not installed here; scripts/setup generates it";
        }
        EXPECT_DOUBLE_EQ(ValueOfText("12.5"), 12.5);
        EXPECT_DOUBLE_EQ(ValueOfText(" - 1 . 2 5 "), -1.25);
        EXPECT_DOUBLE_EQ(ValueOfText(".05"), 0.05);
        EXPECT_DOUBLE_EQ(ValueOfText("1,5"), 1);
        EXPECT_DOUBLE_EQ(ValueOfText("&hFf"), 255);

        EXPECT_EQ(NumberText(12.34), " 12.34");
        EXPECT_EQ(NumberText(-.05), "-.05");
        EXPECT_EQ(NumberText(1234567.5), " 1234567.5");
        EXPECT_EQ(NumberText(1.5e15), " 1.5E+15");
        EXPECT_EQ(NumberText(-2.5e-7), "-2.5E-07");
    }
}

TEST(NumberText, LeadingBlankOrMinusAndNoNeedlessDigits) {
    EXPECT_EQ(NumberText(12.34), " 12.34");
    EXPECT_EQ(NumberText(5), " 5");
    EXPECT_EQ(NumberText(.5), " .5");
    EXPECT_EQ(NumberText(-.05), "-.05");
    EXPECT_EQ(NumberText(0), " 0");
    EXPECT_EQ(NumberText(-0.0), " 0");
    EXPECT_EQ(NumberText(65.535), " 65.535");
    EXPECT_EQ(NumberText(65535), " 65535");
    EXPECT_EQ(NumberText(12.3), " 12.3");
    EXPECT_EQ(NumberText(-5), "-5");
    EXPECT_EQ(NumberText(16), " 16");
    EXPECT_EQ(NumberText(1234 / 100.0), " 12.34");
}

TEST(NumberText, FifteenSignificantDigitsThenExponent) {
    EXPECT_EQ(NumberText(1.0 / 3.0), " .333333333333333");
    EXPECT_EQ(NumberText(0.1 + 0.2), " .3"); // binary noise beyond 15 digits is not shown
    EXPECT_EQ(NumberText(123456789012345.0), " 123456789012345");
    EXPECT_EQ(NumberText(1e15), " 1E+15");
    EXPECT_EQ(NumberText(-2.5e-7), "-2.5E-07");
    EXPECT_EQ(NumberText(0.0001), " .0001");
}

TEST(FixedWidth, PadsAndCuts) {
    EXPECT_EQ(FixedWidth("AB", 4), "AB  ");
    EXPECT_EQ(FixedWidth("ABCDEF", 4), "ABCD");
    EXPECT_EQ(FixedWidth("", 2), "  ");
    EXPECT_EQ(FixedWidth("ABCD", 4), "ABCD");
    EXPECT_EQ(FixedWidth("ABC", 0), "");
    // Characters, not bytes: a cut never leaves half a character behind.
    EXPECT_EQ(FixedWidth("扳手參數", 2), "扳手");
    EXPECT_EQ(FixedWidth("扳", 3), "扳  ");
    // A lead byte without its continuation bytes is a character of its own: it swallows
    // neither the blank that pads it nor a "/" after it.
    EXPECT_EQ(FixedWidth("a\xC3", 3), "a\xC3 ");
    EXPECT_EQ(CharacterCount(FixedWidth("a\xC3", 3)), 3u);
    EXPECT_EQ(CharacterCount("\xE6\x89/"), 3u);
}

} // namespace
} // namespace zelcor
