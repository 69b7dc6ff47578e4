// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/TorqueCalc.h"

#include <gtest/gtest.h>

namespace zelcor {
namespace {

const TorqueValue kOut = std::nullopt; // beyond 16 bits, as a box can hold it

// INV, CW minus and CCW minus: 1 set, 0 clear, - not reached.
std::string flags(const TorqueResult& r) {
    std::string s;
    for (const auto& flag : {r.inv, r.cwMinus, r.ccwMinus}) {
        s += flag ? (*flag ? '1' : '0') : '-';
    }
    return s;
}

TEST(TorqueCalc, BoxValuesAndWordsStayInTheirRanges) {
    const std::vector<std::pair<const char*, TorqueValue>> values{
        {"32767", 32767}, {"32768", kOut},   {"-32768", -32768},
        {"-32769", kOut}, {"&H7FFF", 32767}, {"&h8000", kOut},
        {"1.9", 1},       {"-1.5", -2},      {"", 0},
        {"abc", 0},       {" 1 2x", 12},     {"99999999999999999999999999999999999999", kOut}};
    for (const auto& [text, value] : values) {
        EXPECT_EQ(BoxValue(text), value) << '"' << text << '"';
    }
    // low, high, high × 256 + low in 16 and in 32 bits
    const std::vector<std::tuple<TorqueValue, TorqueValue, TorqueValue, std::optional<int>>> words{
        {0xFF, 0x7F, 32767, 32767},    {0x00, 0x80, kOut, 32768},    {0xFF, 0xFF, kOut, 65535},
        {256, 127, kOut, 32768},       {0, -128, -32768, -32768},    {-1, -128, kOut, -32769},
        {32767, 32767, kOut, 8421119}, {kOut, 0, kOut, std::nullopt}};
    for (const auto& [low, high, word16, word32] : words) {
        EXPECT_EQ(Word16(low, high), word16) << testing::PrintToString(low) << " " << *high;
        EXPECT_EQ(Word32(low, high), word32) << testing::PrintToString(low) << " " << *high;
    }
}

TEST(TorqueCalc, Roundings) {
    // x, and x rounded to a multiple of 256; 7FFFFF80H would round to 2^31
    const std::int32_t x[] = {127, 128, 383, 384, -128, -129, -2147483648, -2147483521, 2147483519};
    const std::int32_t rounded[] = {0,    256,         256,         512,       0,
                                    -256, -2147483648, -2147483648, 2147483392};
    for (std::size_t i = 0; i < std::size(x); ++i) {
        EXPECT_EQ(Round256(x[i]), rounded[i]) << x[i];
    }
    EXPECT_EQ(Round256(2147483520), std::nullopt);
    const std::vector<std::pair<double, double>> roundEven{{0.5, 0},    {1.5, 2},        {2.5, 2},
                                                           {-0.5, 0},   {-1.5, -2},      {0.49, 0},
                                                           {-2.51, -3}, {32767.5, 32768}};
    for (const auto& [y, rounded] : roundEven) {
        EXPECT_EQ(RoundEven(y), rounded) << y;
    }
}

// AD 1234H = 4660; CW: first order 2000H = 8192, second order 0100H = 256; CCW: 1000H = 4096
// and 0200H = 512. CW: X = RoundEven(Round256(4660 × 256) / 2^16) = 18, K = 8192 ± 18,
// T = RoundEven(Round256(4660 × K) / 2^16): 584 (+), 581 (-). CCW: X = 36, K = 4096 ± 36: 294
// and 289. AD 128 and 384: X = RoundEven(0.5) = 0 and RoundEven(1.5) = 2, T 16 and 48. AD -4660:
// X = -18, K = 8174, T = RoundEven(-581.21) = -581.
TEST(TorqueCalc, WorkedExamplesWithTheirFlags) {
    struct Case {
        std::int16_t adL, adH, status, statusEp, divisor;
        const char* text;
        std::int32_t raw;
        const char* flags;
    };
    const std::vector<Case> cases{
        {0x34, 0x12, 0x00, 0x00, 10, " 58.4", 584, "000"},
        {0x34, 0x12, 0x00, 0x00, 100, " 5.84", 584, "000"},
        {0x34, 0x12, 0x00, 0x00, 1000, " .584", 584, "000"},
        {0x34, 0x12, 0x00, 0x08, 10, " 58.1", 581, "010"},
        {0x34, 0x12, 0x04, 0x08, 10, " 29.4", 294, "110"}, // CW minus has no say
        {0x34, 0x12, 0x04, 0x10, 10, " 28.9", 289, "101"},
        {4660, 0, 0x00, 0x00, 10, " 58.4", 584, "000"},
        {128, 0, 0x00, 0x00, 10, " 1.6", 16, "000"},
        {384, 0, 0x00, 0x00, 10, " 4.8", 48, "000"},
        {-4660, 0, 0x00, 0x00, 10, "-58.1", -581, "000"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " from AD " + std::to_string(c.adL));
        const TorqueInputs in{.adL = c.adL,
                              .adH = c.adH,
                              .status = c.status,
                              .cwiH = 0x20,
                              .ccwiH = 0x10,
                              .cwgH = 0x01,
                              .ccwgH = 0x02,
                              .statusEp = c.statusEp};
        const TorqueResult r = ComputeTorque(in, c.divisor);
        EXPECT_EQ(r.text + " " + std::to_string(r.raw) + " " + flags(r),
                  std::string(c.text) + " " + std::to_string(c.raw) + " " + c.flags);
        EXPECT_FALSE(r.overflow);
        EXPECT_EQ(r.ad, static_cast<std::int16_t>(c.adH * 256 + c.adL));
    }
    EXPECT_EQ(ComputeTorque(TorqueInputs{}, 10).text, " 0"); // nothing read or typed yet
}

// A computation that fails stops there: the flags it did not reach stay empty.
TEST(TorqueCalc, AFailedComputationSetsOnlyTheFlagsBeforeIt) {
    const auto shown = [](const TorqueInputs& in) {
        const TorqueResult r = ComputeTorque(in, 10);
        return r.text + (r.overflow ? " overflow " : " ") + flags(r);
    };
    EXPECT_EQ(shown({.adH = 0x80, .status = 0x04, .statusEp = 0x18}), "Overflow overflow ---");
    EXPECT_EQ(shown({.status = 0x04, .statusEp = kOut}), "Overflow overflow 1--");
    EXPECT_EQ(shown({.status = 0x04, .ccwgL = kOut, .statusEp = 0x18}), "Overflow overflow 1--");
}

// P2 = AD × K must stay in 32 bits, and so must its rounding to a multiple of 256.
TEST(TorqueCalc, ThirtyTwoBitProductsAtTheirEdges) {
    // AD low and high, the low byte of K = 65536 + low, the torque shown
    const std::vector<std::tuple<std::int16_t, std::int16_t, std::int16_t, const char*>> cases{
        {0xFF, 0x7F, 1, " 3276.8"},  // 32767 × 65537 = 7FFF7FFFH, rounds to 7FFF8000H
        {0xFF, 0x7F, 2, "Overflow"}, // 7FFFFFFEH fits, its rounding does not
        {0xFF, 0x7F, 3, "Overflow"}, // 32767 × 65539 = 80007FFDH does not fit
        {0, -128, 0, "-3276.8"},     // -32768 × 65536 = -2^31 exactly
        {0, -128, 1, "Overflow"}};   // -32768 × 65537 is below -2^31
    for (const auto& [adL, adH, kLow, text] : cases) {
        TorqueInputs in;
        in.adL = adL;
        in.adH = adH;
        in.cwiL = kLow;
        in.cwiH = 256;
        const TorqueResult r = ComputeTorque(in, 10);
        EXPECT_EQ(r.text, text) << adH << " " << adL << " K+" << kLow;
        EXPECT_EQ(r.overflow, std::string(text) == "Overflow");
    }
    // The second-order correction raises K past the edge: 32767 × (65535 + 16383).
    TorqueInputs in;
    in.adL = in.cwgL = in.cwiL = 0xFF;
    in.adH = in.cwgH = 0x7F;
    in.cwiH = 0xFF;
    EXPECT_EQ(ComputeTorque(in, 10).text, "Overflow");
    in.cwgH = in.cwgL = 0;
    EXPECT_EQ(ComputeTorque(in, 10).text, " 3276.6");
    EXPECT_EQ(ComputeTorque(in, 0).text, "Overflow"); // nothing to divide by
}

} // namespace
} // namespace zelcor
