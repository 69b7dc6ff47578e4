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

    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},       {"--baud", "9600"}, {"--baud"},
        {"--delay", "-5"}, {"--delay", "5ms"}, {"--extra", "ABC"},
        {"--extra", "GG"}, {"--link", ""},     {"--split", "99999999999"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(parseSimOptions(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

} // namespace
} // namespace zelcor::sim
