// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/TorqueCalc.h"

#include <gtest/gtest.h>

#include <limits>

namespace zelcor {
namespace {

TEST(TorqueCalc, BoxValuesAndWordsStayInTheirRanges) {
    const std::vector<std::pair<const char*, std::optional<std::int16_t>>> values{
        {"32767", 32767},
        {"32768", std::nullopt},
        {"-32768", -32768},
        {"-32769", std::nullopt},
        {"&H7FFF", 32767},
        {"&h8000", std::nullopt},
        {"1.9", 1},
        {"-1.5", -2},
        {"", 0},
        {"abc", 0},
        {" 1 2x", 12},
        {"99999999999999999999999999999999999999", std::nullopt},
    };
    for (const auto& [text, value] : values) {
        EXPECT_EQ(BoxValue(text), value) << '"' << text << '"';
    }

    struct Word {
        const char* low;
        const char* high;
        std::optional<std::int16_t> word16;
        std::optional<std::int32_t> word32;
    };
    const std::vector<Word> words{
        {"&HFF", "&H7F", 32767, 32767},
        {"&H00", "&H80", std::nullopt, 32768}, // a high byte of 80H
        {"&HFF", "&HFF", std::nullopt, 65535},
        {"256", "127", std::nullopt, 32768}, // the sum leaves 16 bits
        {"0", "-128", -32768, -32768},
        {"-1", "-128", std::nullopt, -32769},
        {"32767", "32767", std::nullopt, 32767 * 256 + 32767},
        {"32768", "0", std::nullopt, std::nullopt}, // a box beyond 16 bits
    };
    for (const Word& w : words) {
        SCOPED_TRACE(std::string(w.high) + " " + w.low);
        EXPECT_EQ(Word16(w.low, w.high), w.word16);
        EXPECT_EQ(Word32(w.low, w.high), w.word32);
    }
}

TEST(TorqueCalc, Roundings) {
    constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t min = std::numeric_limits<std::int32_t>::min();
    const std::vector<std::pair<std::int32_t, std::optional<std::int32_t>>> round256{
        {127, 0},
        {128, 256},
        {383, 256},
        {384, 512},
        {-128, 0},
        {-129, -256},
        {min, min},
        {min + 127, min},
        {max - 128, max - 255},
        {max - 127, std::nullopt}, // would be 2^31
    };
    for (const auto& [x, rounded] : round256) {
        EXPECT_EQ(Round256(x), rounded) << x;
    }
    const std::vector<std::pair<double, double>> roundEven{
        {0.5, 0},   {1.5, 2},  {2.5, 2},    {-0.5, 0},
        {-1.5, -2}, {0.49, 0}, {-2.51, -3}, {32767.5, 32768},
    };
    for (const auto& [y, rounded] : roundEven) {
        EXPECT_EQ(RoundEven(y), rounded) << y;
    }
}

// P2 = AD × K must stay in 32 bits, and so must its rounding to a multiple of 256.
TEST(TorqueCalc, ThirtyTwoBitProductsAtTheirEdges) {
    struct Case {
        const char* adL;
        const char* adH;
        const char* cwiL; // with cwiH "256": K = 65536 + cwiL
        const char* text;
    };
    const std::vector<Case> cases{
        {"&HFF", "&H7F", "1", " 3276.8"},  // 32767 × 65537 = 7FFF7FFFH, rounds to 7FFF8000H
        {"&HFF", "&H7F", "2", "Overflow"}, // 7FFFFFFEH fits, its rounding does not
        {"&HFF", "&H7F", "3", "Overflow"}, // the product does not fit
        {"0", "-128", "0", "-3276.8"},     // -32768 × 65536 = -2^31 exactly
        {"0", "-128", "1", "Overflow"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.adH) + " " + c.adL + " K+" + c.cwiL);
        TorqueBoxes b;
        b.adL = c.adL;
        b.adH = c.adH;
        b.cwiL = c.cwiL;
        b.cwiH = "256";
        const TorqueResult r = ComputeTorque(b, 10);
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.overflow, std::string(c.text) == "Overflow");
    }
    // The second-order correction raises K past the edge: 32767 × (65535 + 16383).
    TorqueBoxes b;
    b.adL = b.cwgL = b.cwiL = "&HFF";
    b.adH = b.cwgH = "&H7F";
    b.cwiH = "&HFF";
    EXPECT_EQ(ComputeTorque(b, 10).text, "Overflow");
    b.cwgH = b.cwgL = "0";
    EXPECT_EQ(ComputeTorque(b, 10).text, " 3276.6");
    EXPECT_EQ(ComputeTorque(b, 0).text, "Overflow"); // nothing to divide by
}

} // namespace
} // namespace zelcor
