#include "calibration/TorqueCalc.h"

#include <gtest/gtest.h>

#include <limits>

namespace zelcor {
namespace {

TEST(TorqueCalc, BoxValuesAreWholeNumbersInSixteenBits) {
    const std::vector<std::pair<const char*, std::optional<std::int16_t>>> cases{
        {"32767", 32767},
        {"32768", std::nullopt},
        {"-32768", -32768},
        {"-32769", std::nullopt},
        {"&H7FFF", 32767},
        {"&h8000", std::nullopt},
        {"1.9", 1},
        {"-1.5", -2},
        {"-32768.5", std::nullopt},
        {"", 0},
        {"abc", 0},
        {" 1 2", 12},
        {"&HFF", 255},
        {"12abc", 12},
        {"&H", 0},
        {"99999999999999999999999999999999999999", std::nullopt},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(BoxValue(text), value) << '"' << text << '"';
    }
}

TEST(TorqueCalc, WordsFromTwoBoxesStayInTheirRange) {
    struct Case {
        const char* low;
        const char* high;
        std::optional<std::int16_t> word16;
        std::optional<std::int32_t> word32;
    };
    const std::vector<Case> cases{
        {"&HFF", "&H7F", 32767, 32767},
        {"&H00", "&H80", std::nullopt, 32768}, // a high byte of 80H
        {"&HFF", "&HFF", std::nullopt, 65535},
        {"255", "127", 32767, 32767},
        {"256", "127", std::nullopt, 32768}, // the sum leaves 16 bits
        {"0", "-128", -32768, -32768},
        {"-1", "-128", std::nullopt, -32769},
        {"32767", "32767", std::nullopt, 32767 * 256 + 32767},
        {"32768", "0", std::nullopt, std::nullopt}, // a box beyond 16 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.high) + " " + c.low);
        EXPECT_EQ(Word16(c.low, c.high), c.word16);
        EXPECT_EQ(Word32(c.low, c.high), c.word32);
    }
}

TEST(TorqueCalc, Round256GoesToTheNearestMultipleHalvesUp) {
    constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t min = std::numeric_limits<std::int32_t>::min();
    const std::vector<std::pair<std::int32_t, std::optional<std::int32_t>>> cases{
        {0, 0},
        {127, 0},
        {128, 256},
        {383, 256},
        {384, 512},
        {-1, 0},
        {-128, 0},
        {-129, -256},
        {min, min},
        {min + 127, min},
        {max - 128, max - 255},
        {max - 127, std::nullopt}, // would be 2^31
        {max, std::nullopt},
    };
    for (const auto& [x, rounded] : cases) {
        EXPECT_EQ(Round256(x), rounded) << x;
    }
}

TEST(TorqueCalc, RoundEvenSendsHalvesToTheEvenNeighbour) {
    const std::vector<std::pair<double, double>> cases{
        {0.5, 0},  {1.5, 2},  {2.5, 2},    {-0.5, 0}, {-1.5, -2},
        {0.49, 0}, {0.51, 1}, {-2.51, -3}, {7, 7},    {32767.5, 32768},
    };
    for (const auto& [y, rounded] : cases) {
        EXPECT_EQ(RoundEven(y), rounded) << y;
    }
}

// AD &H12/&H34, CWI &H20/&H00, CWG &H01/&H00 unless a case changes them.
TorqueBoxes example() {
    TorqueBoxes b;
    b.adL = "&H34";
    b.adH = "&H12";
    b.cwiL = "&H00";
    b.cwiH = "&H20";
    b.cwgL = "&H00";
    b.cwgH = "&H01";
    return b;
}

TEST(TorqueCalc, WorkedNumbersAndTheirRoundings) {
    struct Case {
        const char* what;
        TorqueBoxes boxes;
        std::int16_t divisor;
        std::int32_t raw;
        const char* text;
    };
    auto with = [](auto change) {
        TorqueBoxes b = example();
        change(b);
        return b;
    };
    const std::vector<Case> cases{
        {"divisor 10", example(), 10, 584, " 58.4"},
        {"divisor 100", example(), 100, 584, " 5.84"},
        {"divisor 1000", example(), 1000, 584, " .584"},
        {"divisor 1", example(), 1, 584, " 584"},
        {"CW minus", with([](TorqueBoxes& b) { b.statusEp = "8"; }), 10, 581, " 58.1"},
        {"CCW minus alone changes nothing clockwise",
         with([](TorqueBoxes& b) { b.statusEp = "16"; }), 10, 584, " 58.4"},
        // AD 128, G 256: P1 = 32768, X = RoundEven(0.5) = 0, T = RoundEven(16) = 16.
        {"second order 0.5", with([](TorqueBoxes& b) {
             b.adL = "128";
             b.adH = "0";
         }),
         10, 16, " 1.6"},
        // AD 384: X = RoundEven(1.5) = 2, K = 8194, T = RoundEven(48.0117) = 48.
        {"second order 1.5", with([](TorqueBoxes& b) {
             b.adL = "384";
             b.adH = "0";
         }),
         10, 48, " 4.8"},
        {"decimal AD", with([](TorqueBoxes& b) {
             b.adL = "4660";
             b.adH = "0";
         }),
         10, 584, " 58.4"},
        {"negative AD", with([](TorqueBoxes& b) {
             b.adL = "-4660";
             b.adH = "0";
             b.cwgH = "0";
         }),
         100, -582, "-5.82"},
        {"all empty", TorqueBoxes{}, 10, 0, " 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TorqueResult r = ComputeTorque(c.boxes, c.divisor);
        EXPECT_FALSE(r.overflow);
        EXPECT_EQ(r.raw, c.raw);
        EXPECT_EQ(r.text, c.text);
    }
}

TEST(TorqueCalc, InvChoosesTheCounterClockwiseConstantsAndTheirSign) {
    TorqueBoxes b = example();
    b.status = "&H04";
    b.ccwiL = "&H00";
    b.ccwiH = "&H10"; // 4096
    b.ccwgL = "&H00";
    b.ccwgH = "&H02"; // 512: X = 36
    b.statusEp = "&H08";
    TorqueResult r = ComputeTorque(b, 10);
    EXPECT_EQ(r.text, " 29.4"); // K = 4132; CW minus has no say
    EXPECT_EQ(r.inv, true);
    EXPECT_EQ(r.cwMinus, true);
    EXPECT_EQ(r.ccwMinus, false);
    b.statusEp = "&H10";
    r = ComputeTorque(b, 10);
    EXPECT_EQ(r.text, " 28.9"); // K = 4060
    // Only bit 2 of the live status counts.
    b.status = "&HFB";
    EXPECT_EQ(ComputeTorque(b, 10).inv, false);
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
}

// A computation that cannot be finished keeps the flags it reached and no others.
TEST(TorqueCalc, OverflowKeepsOnlyTheFlagsReadBeforeIt) {
    TorqueBoxes b = example();
    b.status = "4";
    b.statusEp = "24";
    TorqueResult r = ComputeTorque(b, 10);
    ASSERT_FALSE(r.overflow);

    b.adH = "&H80";
    r = ComputeTorque(b, 10);
    EXPECT_EQ(r.text, "Overflow");
    EXPECT_FALSE(r.inv || r.cwMinus || r.ccwMinus);

    b.adH = "&H12";
    b.ccwgH = "&H80";
    r = ComputeTorque(b, 10);
    EXPECT_EQ(r.text, "Overflow");
    EXPECT_EQ(r.inv, true);
    EXPECT_FALSE(r.cwMinus || r.ccwMinus);

    b.ccwgH = "";
    b.statusEp = "40000";
    r = ComputeTorque(b, 10);
    EXPECT_TRUE(r.overflow && r.inv && !r.cwMinus);

    b.statusEp = "24";
    r = ComputeTorque(b, 0);
    EXPECT_EQ(r.text, "Overflow"); // no divisor to divide by
    EXPECT_EQ(r.cwMinus, true);
}

} // namespace
} // namespace zelcor
