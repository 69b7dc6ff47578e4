// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TextConv.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

namespace zelcor {
namespace {

TEST(HexText, Bytes) {
    EXPECT_EQ(ByteToHexStr(0x00) + ByteToHexStr(0x05) + ByteToHexStr(0xAA) + ByteToHexStr(0x1F) +
                  ByteToHexStr(0xFF),
              "0005AA1FFF");
}

TEST(ValueOfText, HexadecimalAfterAmpersandHAndDecimalUpToWhatCannotContinue) {
    const std::vector<std::pair<const char*, double>> cases{
        {"&H1a", 26},  {"&h1A", 26},      {"&hFF", 255},    {"&h", 0},          {"&h 1 f", 31},
        {"&h1G", 1},   {"&HFFFF", 65535}, {"&", 0},         {" 4 6 6 0", 4660}, {"\t1\n2", 12},
        {"12abc", 12}, {"", 0},           {"abc", 0},       {"- 5", -5},        {"+7", 7},
        {"1.9", 1.9},  {".5", 0.5},       {"3.25.7", 3.25}, {"-", 0},           {".", 0},
        {"1,5", 1},    {"12\r3", 12}};
    for (const auto& [text, value] : cases) {
        EXPECT_DOUBLE_EQ(ValueOfText(text), value) << '"' << text << '"';
    }
    EXPECT_DOUBLE_EQ(ValueOfText("99999999999999999999"), 1e20);
    EXPECT_DOUBLE_EQ(ValueOfText(std::string(300, '0') + "12.5"), 12.5);
    EXPECT_DOUBLE_EQ(ValueOfText("." + std::string(400, '0') + "1"), 0);
    const std::string nines(400, '9');
    EXPECT_EQ(ValueOfText(nines), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ValueOfText("-" + nines + ".5"), -std::numeric_limits<double>::infinity());
}

TEST(NumberText, LeadingBlankOrMinusFifteenDigitsThenExponent) {
    const std::vector<std::pair<double, const char*>> cases{
        {12.34, " 12.34"},     {5, " 5"},         {.5, " .5"},
        {-.05, "-.05"},        {0, " 0"},         {-0.0, " 0"},
        {65.535, " 65.535"},   {-5, "-5"},        {1e15, " 1E+15"},
        {-2.5e-7, "-2.5E-07"}, {0.0001, " .0001"}};
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(NumberText(value), text) << value;
    }
    // Fifteen digits at most: binary noise beyond them is not shown.
    EXPECT_EQ(NumberText(123456789012345.0), " 123456789012345");
    EXPECT_EQ(NumberText(1234 / 100.0) + NumberText(1.0 / 3.0) + NumberText(0.1 + 0.2),
              " 12.34 .333333333333333 .3");
}

// Numbers in the windows are read and written with a period whatever the user's locale: a
// comma (de_DE) and a separator of two bytes in UTF-8 (ps_AF) must change nothing.
TEST(NumbersUnderAnyLocale, ReadAndWrittenWithAPeriod) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"de_DE.UTF-8", "ps_AF.UTF-8"}) {
        ASSERT_NE(std::setlocale(LC_ALL, name), nullptr)
            << "the locale " << name << " is not installed here; scripts/setup generates it";
        EXPECT_DOUBLE_EQ(ValueOfText(" - 1 . 2 5 "), -1.25) << name;
        EXPECT_DOUBLE_EQ(ValueOfText("1,5"), 1) << name;
        EXPECT_EQ(NumberText(1234567.5) + NumberText(-.05) + NumberText(1.5e15),
                  " 1234567.5-.05 1.5E+15")
            << name;
    }
    std::setlocale(LC_ALL, previous.c_str());
}

TEST(FixedWidth, PadsAndCutsCharactersNotBytes) {
    EXPECT_EQ(FixedWidth("AB", 4), "AB  ");
    EXPECT_EQ(FixedWidth("ABCDEF", 4), "ABCD");
    EXPECT_EQ(FixedWidth("", 2), "  ");
    EXPECT_EQ(FixedWidth("ABC", 0), "");
    EXPECT_EQ(FixedWidth("扳手參數", 2), "扳手");
    EXPECT_EQ(FixedWidth("扳", 3), "扳  ");
    // A lead byte without its continuation bytes is a character of its own: it swallows
    // neither the blank that pads it nor a "/" after it.
    EXPECT_EQ(FixedWidth("a\xC3", 3), "a\xC3 ");
    EXPECT_EQ(CharacterCount("\xE6\x89/"), 3u);
}

// What a terminal shows: CJK and fullwidth characters take two columns.
TEST(PadToColumns, CountsWideCharactersTwice) {
    struct Row {
        const char* text;
        std::size_t columns; // the text's own
        std::size_t to;
        const char* padded;
    };
    for (const Row& row : std::initializer_list<Row>{
             {"29H: 保留給  fgauge", 19, 20, "29H: 保留給  fgauge "},
             {"AB", 2, 4, "AB  "},
             {"ＡB", 3, 4, "ＡB "},        // fullwidth A
             {"扳手參數", 8, 5, "扳手 "},  // the third would straddle the edge
             {"한글", 4, 4, "한글"},       // Hangul
             {"é\xC3", 2, 3, "é\xC3 "}}) { // a lone lead byte is one narrow column
        EXPECT_EQ(DisplayColumns(row.text), row.columns) << row.text;
        EXPECT_EQ(PadToColumns(row.text, row.to), row.padded) << row.text;
    }
}

// A message quotes input whole up to 255 characters, so a /dev/serial/by-id/ name keeps the
// serial number that tells two adapters apart, and no input reaches a terminal as a control.
TEST(QuotedInput, ShowsNamesWholeAndControlsEscaped) {
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    EXPECT_EQ(QuotedInput(byId), byId);
    EXPECT_EQ(QuotedInput(std::string(255, 'a')), std::string(255, 'a'));
    EXPECT_EQ(QuotedInput(std::string(256, 'a')), std::string(255, 'a') + "...");
    // Characters are counted, not bytes: 255 of 3-byte characters stay whole.
    std::string wide;
    for (int i = 0; i < 256; ++i) {
        wide += "扳";
    }
    EXPECT_EQ(QuotedInput(wide), wide.substr(0, 255 * 3) + "...");
    EXPECT_EQ(QuotedInput("a\nb\r\tc\x1b[2Jd\x07\x7f"), "a\\nb\\r\\tc\\e[2Jd\\x07\\x7F");
    EXPECT_EQ(QuotedInput("x\xc2\x9b"
                          "31m"),
              "x\\u009B31m");                         // C1 CSI
    EXPECT_EQ(QuotedInput("\xc2\xa0é"), "\xc2\xa0é"); // no-break space is text
}

TEST(EscapedText, EscapesAsQuotedInputDoesAndCutsNothing) {
    const std::string long300 = std::string(299, 'a') + "\x1b";
    EXPECT_EQ(EscapedText(long300), std::string(299, 'a') + "\\e");
    EXPECT_EQ(EscapedText("\x1b]0;title\x07\xc2\x9b"
                          "2J\tok"),
              "\\e]0;title\\x07\\u009B2J\\tok");
    EXPECT_EQ(EscapedText(""), "");
}

} // namespace
} // namespace zelcor
