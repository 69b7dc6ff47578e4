// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimOptions.h"

#include <gtest/gtest.h>

namespace zelcor::sim {
namespace {

// The parser is a plain loop over its options: one good line holds that values are taken
// from the right place, a table of bad ones every kind of refusal.
TEST(SimOptions, TakesGoodCommandLinesAndRefusesBadOnes) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parseSimOptions({"--baud", "2400", "--extra", "aa 5F", "--split", "2"}, o, error))
        << error;
    EXPECT_EQ(o.wrench.baudRate, 2400);
    EXPECT_EQ(o.faults.extraBytes, (std::vector<std::uint8_t>{0xAA, 0x5F}));
    EXPECT_EQ(o.faults.splitAfter, 2u);
    EXPECT_FALSE(o.tester);
    EXPECT_EQ(o.pulls.maximum, 100);
    EXPECT_EQ(o.pulls.digits, 1);
    ASSERT_TRUE(parseSimOptions({"--tester-link", "/tmp/t", "--pulls", "20,60.5", "--bias", "+6",
                                 "--scatter", "0.5", "--digits", "2", "--max", "250"},
                                o, error))
        << error;
    EXPECT_TRUE(o.tester);
    EXPECT_EQ(o.testerLinkPath, "/tmp/t");
    EXPECT_EQ(o.pulls.targets, (std::vector<double>{20, 60.5}));
    EXPECT_EQ(o.pulls.biasPercent, 6);
    EXPECT_EQ(o.pulls.scatterPercent, 0.5);
    EXPECT_EQ(o.pulls.digits, 2);
    EXPECT_EQ(o.pulls.maximum, 250);

    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--baud", "9600"},
        {"--baud"},
        {"--delay", "-5"},
        {"--delay", "5ms"},
        {"--extra", "ABC"},
        {"--extra", "GG"},
        {"--link", ""},
        {"--split", "99999999999"},
        {"--max", "0"},
        {"--max", "1e3"},
        {"--pulls", "20,,60"},
        {"--pulls", "20,"},
        {"--pulls", "-5"},
        {"--bias", "-51"},
        {"--bias", "nan"},
        {"--scatter", "-1"},
        {"--digits", "4"},
        {"--tester-link", ""},
        {"--link", "/tmp/a", "--tester-link", "/tmp/a"},
        // 65535 counts: 6553.5 N·m with one digit, 65.535 with three
        {"--max", "6553.6"},
        {"--pulls", "66", "--digits", "3"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(parseSimOptions(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

} // namespace
} // namespace zelcor::sim
