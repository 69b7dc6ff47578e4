// SPDX-License-Identifier: GPL-3.0-or-later
// The constants, the torque from what was read, and the divisor Reading On takes.
#include "SessionFixture.h"

namespace zelcor::test {
namespace {

using Calibration = SessionTest;

const Bytes kConstantReads = reads({0x10, 0x11, 0x12, 0x13, 0x14, 0x25, 0x26, 0x27, 0x28});

// Live value 1234H = 4660. CW: I = 4000H = 16384, G = 0081H = 129, minus set (status 08H):
// 4660 × 129 = 601140 rounds to 601088 (low byte 34H), / 65536 = 9.17 -> 9; 16384 - 9 =
// 16375; 4660 × 16375 = 76307500 rounds to 76307456 (low byte 2CH), / 65536 = 1164.36 ->
// 1164. INV set in the live status takes CCW: I = 2000H = 8192, G = 0: 4660 × 8192 / 65536
// = 582.5, to the even 582.
TEST_F(Calibration, TheTorqueComesFromTheConstantsAndTheLiveValueAsRead) {
    const std::pair<int, int> constants[] = {{0x10, 0x08}, {0x11, 0x00}, {0x12, 0x40},
                                             {0x13, 0x00}, {0x14, 0x20}, {0x25, 0x81},
                                             {0x26, 0x00}, {0x27, 0x00}, {0x28, 0x00}};
    for (const auto& [a, v] : constants) {
        wrench.poke(0x00, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(v));
    }
    EXPECT_TRUE(session.readConstants().ok());
    EXPECT_EQ(sent(), kConstantReads);
    session.setDivisor(10);
    for (const auto& [status, raw, text] :
         {std::tuple{0x00, 1164, " 116.4"}, std::tuple{0x04, 582, " 58.2"}}) {
        wrench.holdLive(0x1234, static_cast<std::uint8_t>(status));
        EXPECT_TRUE(session.enterCalibration().ok());
        EXPECT_EQ(sent(), reads({0x02}));
        const TorqueResult torque = session.computeTorque();
        EXPECT_EQ(torque.raw, raw);
        EXPECT_EQ(torque.text, text);
    }
}

// Reading On (stopped as soon as its run begins) divides by the digits of the set its Get
// read; without Get it keeps the last Get's digits, whatever is chosen now.
TEST_F(Calibration, ReadingOnTakesTheDivisorFromTheDigitsOfTheCurrentSet) {
    QObject::connect(&session, &WrenchSession::testRunningChanged, [this](bool running) {
        if (running) {
            session.stopTest();
        }
    });
    for (const auto& [digits, get, divisor] :
         {std::tuple{0, true, 1}, {3, true, 1000}, {1, false, 1000}, {1, true, 10}}) {
        session.setDigits(digits);
        session.runLiveReading(get);
        EXPECT_EQ(sent(), (get ? kGetReads : Bytes{}) + kConstantReads) << digits;
        EXPECT_EQ(session.divisor(), divisor) << digits;
        EXPECT_FALSE(session.liveReading());
    }
    EXPECT_EQ(DivisorForDigits(2), 100);
    EXPECT_EQ(DivisorForDigits(4), std::nullopt);
}

// Each torque of Reading On says where its values came from. First run: the constants' first
// read gets no answer, so none of its torques has every constant read. Second run: its second
// cycle's read gets no answer, so that torque is computed from the first cycle's live value
// and says so; the third is read afresh. A constant typed afterwards is not one read.
TEST_F(Calibration, EachTorqueSaysWhetherItsLiveValueAndConstantsWereReadForIt) {
    std::vector<std::pair<bool, bool>> seen; // live read this cycle, constants read
    int stopAfter = 1;
    QObject::connect(&session, &WrenchSession::torqueComputed, [&](const TorqueResult& r) {
        seen.emplace_back(r.liveReadThisCycle, r.constantsRead);
        if (seen.size() == 1 && stopAfter == 3) {
            wrench.setFaults({.noReply = true, .firstAttemptOnly = true});
        }
        if (static_cast<int>(seen.size()) == stopAfter) {
            session.stopTest();
        }
    });
    wrench.setFaults({.noReply = true, .firstAttemptOnly = true});
    boxes.acceptAll(); // each failed exchange's box
    session.runLiveReading(false);
    EXPECT_EQ(seen, (std::vector<std::pair<bool, bool>>{{true, false}}));

    seen.clear();
    stopAfter = 3;
    session.runLiveReading(false);
    EXPECT_EQ(seen,
              (std::vector<std::pair<bool, bool>>{{true, true}, {false, true}, {true, true}}));
    session.setCalibrationValue(CalField::CwgL, 5);
    EXPECT_FALSE(session.computeTorque().constantsRead);
}

} // namespace
} // namespace zelcor::test
