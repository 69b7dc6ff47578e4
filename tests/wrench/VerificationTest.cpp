// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/Verification.h"

#include <gtest/gtest.h>

#include <functional>

namespace zelcor {
namespace {

TEST(Verification, TesterLinesGiveNewtonMetresOrNothing) {
    // Factors from the unit table; the products worked out by hand.
    const std::vector<std::pair<std::string, double>> readings{
        {"+060.12 N.m", 60.12},
        {"  60.12Nm\r\n", 60.12},
        {"P 531.9 lbf.in", 60.09663}, // 531.9 × 0.112984829
        {"-12.30 N.m", 12.30},        // a counter-clockwise pull
        {"12.5 kgf\xC2\xB7"
         "cm",
         1.225831},            // 12.5 × 0.0980665, with a UTF-8 "·"
        {"5 FT.LB", 6.779090}, // 5 × 1.3558179483
        {"250 cN\xB7m", 2.5},  // Latin-1 "·"
        {"T1 20.0 Nm", 20.0},  // "1" is part of a word
        {"60.12", 60.12},      // no unit: N·m
        {".5 Nm peak", 0.5}};
    for (const auto& [line, nm] : readings) {
        const auto r = ParseTesterLine(line);
        ASSERT_TRUE(r) << line;
        EXPECT_NEAR(r->newtonMetres, nm, 1e-5) << line;
    }
    for (const std::string line : {"", "PEAK", "60,12 N.m", "0.00 N.m", "60.1 psi", "1.2.3 Nm",
                                   "-- N.m", "ID7 OK", "1234567890123 Nm"}) {
        EXPECT_FALSE(ParseTesterLine(line)) << line;
    }
}

TEST(Verification, DeviationsPointsAndTheRunsVerdict) {
    // The worked example: reference 60.00, wrench 61.8 passes at ±4 %, 62.5 fails.
    EXPECT_EQ(DeviationText(Deviation(61.8, 60.0)), "+3.00 %");
    EXPECT_EQ(DeviationText(Deviation(62.5, 60.0)), "+4.17 %");
    EXPECT_EQ(DeviationText(Deviation(59.7, 60.0)), "-0.50 %");
    EXPECT_EQ(DeviationText(Deviation(60.0, 60.0)), "0.00 %");
    EXPECT_TRUE(WithinTolerance(Deviation(61.8, 60.0), 4));
    EXPECT_FALSE(WithinTolerance(Deviation(62.5, 60.0), 4));
    EXPECT_TRUE(WithinTolerance(Deviation(52.0, 50.0), 4)); // exactly at the limit
    EXPECT_DOUBLE_EQ(WrenchReading(0x7C, 0x02, 1), 63.6);   // 636 counts
    EXPECT_DOUBLE_EQ(WrenchReading(0xFF, 0xFF, 3), 65.535);

    VerificationRun run;
    run.settings.maximum = 100;
    run.settings.pointsPercent = {20, 60};
    run.settings.readingsPerPoint = 3;
    const auto reading = [](int point, double wrench, double reference) {
        return VerificationReading{"CW", point, 0, 0, wrench, reference, {}, false, {}};
    };
    // 20 %: deviations +0.5, +1.5, -0.5; mean 20.1; spread sqrt((0 + 0.04 + 0.04) / 2) = 0.2.
    run.readings = {reading(0, 20.1, 20.0), reading(0, 20.3, 20.0), reading(0, 19.9, 20.0),
                    reading(1, 61.0, 60.0), reading(1, 60.0, 60.0)};
    EXPECT_EQ(RunVerdict(run), Verdict::None); // 60 % has two readings of three
    // 60 %: a repeated reading is kept, but left out of the sums.
    run.readings.push_back(reading(1, 63.0, 60.0));
    run.readings.back().discarded = true;
    run.readings.push_back(reading(1, 62.5, 60.0)); // +4.17 %
    const auto points = Summaries(run);
    ASSERT_EQ(points.size(), 2U);
    EXPECT_EQ(points[0].count, 3);
    EXPECT_DOUBLE_EQ(points[0].target, 20.0);
    EXPECT_NEAR(points[0].meanWrench, 20.1, 1e-9);
    EXPECT_NEAR(points[0].meanReference, 20.0, 1e-9);
    EXPECT_NEAR(points[0].largestDeviation, 1.5, 1e-9);
    EXPECT_NEAR(points[0].spread, 0.2, 1e-9);
    EXPECT_NEAR(points[0].spreadPercent, 1.0, 1e-9);
    EXPECT_TRUE(points[0].passed);
    EXPECT_EQ(points[1].count, 3);
    EXPECT_NEAR(points[1].meanWrench, 61.166666667, 1e-6); // (61 + 60 + 62.5) / 3
    EXPECT_NEAR(points[1].largestDeviation, 4.166666667, 1e-6);
    EXPECT_FALSE(points[1].passed);
    EXPECT_EQ(RunVerdict(run), Verdict::Failed);
    run.readings.back().wrench = 62.4; // +4.00 %
    EXPECT_EQ(RunVerdict(run), Verdict::Passed);
    run.stopped = true;
    EXPECT_EQ(RunVerdict(run), Verdict::None);
}

TEST(Verification, ProcedurePromptsDatesAndSettings) {
    VerificationSettings s;
    s.maximum = 100;
    s.direction = VerifyDirection::Both;
    const auto steps = ProcedureSteps(s);
    ASSERT_EQ(steps.size(), 36U); // (3 pre-loads + 3 points × 5) per direction
    EXPECT_EQ(steps[0].kind, PullStep::Kind::Preload);
    EXPECT_DOUBLE_EQ(steps[2].target, 100);
    EXPECT_EQ(steps[3].kind, PullStep::Kind::Reading);
    EXPECT_DOUBLE_EQ(steps[3].target, 20);
    EXPECT_EQ(steps[18].direction, "CCW");
    EXPECT_EQ(PromptText(steps[9], s), "Pull to 60.0 N·m (reading 2 of 5)");
    EXPECT_EQ(PromptText(steps[18], s), "Pull CCW to 100.0 N·m (pre-load 1 of 3)");

    EXPECT_EQ(NextDueDate("2026-12-07", Verdict::Passed, 12), "2027-12-07");
    EXPECT_EQ(NextDueDate("2026-01-31", Verdict::Passed, 1), "2026-02-28");
    EXPECT_EQ(NextDueDate("2026-12-07", Verdict::Failed, 12), "");
    EXPECT_EQ(NextDueDate("07.12.2026", Verdict::Passed, 12), "");
    EXPECT_EQ(CertificateNumber("3f2a9c1e-77b0-4d2e-9a11-0c5e8d7f6a21", "2026-12-07"),
              "ZV-20261207-3F2A9C1E77B0");

    EXPECT_NE(SettingsProblem(s), ""); // no technician
    s.technician = "R. Lang";
    EXPECT_EQ(SettingsProblem(s), "");
    for (const auto& broken : std::vector<std::function<void(VerificationSettings&)>>{
             [](auto& b) { b.maximum = 6553.6; }, // 65536 counts with one digit
             [](auto& b) {
                 b.pointsPercent = {60, 20};
             },
             [](auto& b) {
                 b.pointsPercent = {20, 120};
             },
             [](auto& b) { b.readingsPerPoint = 0; }, [](auto& b) { b.tolerancePercent = 0; },
             [](auto& b) { b.testerDue = "2026-13-01"; }}) {
        VerificationSettings b = s;
        broken(b);
        EXPECT_NE(SettingsProblem(b), "");
    }
}

} // namespace
} // namespace zelcor
