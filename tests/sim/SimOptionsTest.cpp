#include "sim/SimOptions.h"

#include <gtest/gtest.h>

namespace zelcor::sim {
namespace {

TEST(SimOptions, EveryFaultOptionSetsItsFault) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parseSimOptions({"--baud",
                                 "2400",
                                 "--link",
                                 "/tmp/wrench",
                                 "--no-reply",
                                 "--short-reply",
                                 "3",
                                 "--corrupt",
                                 "4",
                                 "--extra",
                                 "aa 5F",
                                 "--split",
                                 "2",
                                 "--split-pause",
                                 "40",
                                 "--delay",
                                 "250",
                                 "--fail-first",
                                 "--stop-after",
                                 "7"},
                                o, error))
        << error;
    EXPECT_EQ(o.wrench.baudRate, 2400);
    EXPECT_EQ(o.linkPath, "/tmp/wrench");
    EXPECT_TRUE(o.faults.noReply);
    EXPECT_EQ(o.faults.shortReply, 3u);
    EXPECT_EQ(o.faults.corruptAt, 4u);
    EXPECT_EQ(o.faults.extraBytes, (std::vector<std::uint8_t>{0xAA, 0x5F}));
    EXPECT_EQ(o.faults.splitAfter, 2u);
    EXPECT_EQ(o.faults.splitPauseMs, 40);
    EXPECT_EQ(o.faults.delayMs, 250);
    EXPECT_TRUE(o.faults.firstAttemptOnly);
    EXPECT_EQ(o.faults.stopAfter, 7);
}

TEST(SimOptions, RefusesWhatItCannotUse) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},        {"--baud", "9600"},    {"--baud"},
        {"--delay", "-5"},  {"--delay", "5ms"},    {"--corrupt", ""},
        {"--extra", "ABC"}, {"--extra", "GG"},     {"--extra", ""},
        {"--link", ""},     {"--stop-after", "x"}, {"--split", "99999999999"},
    };
    for (const auto& args : bad) {
        SimOptions o;
        std::string error;
        EXPECT_FALSE(parseSimOptions(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

} // namespace
} // namespace zelcor::sim
