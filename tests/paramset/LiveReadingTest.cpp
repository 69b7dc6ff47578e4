// SPDX-License-Identifier: GPL-3.0-or-later
// "Reading On" / "Reading OFF" on the main window, driving the calibration window's reading,
// against the simulated wrench in virtual time.
#include "support/WrenchFixture.h"

#include "calibration/TorquePlot.h"
#include "calibration/frmRs232WRCal.h"
#include "serial/WrenchLink.h"
#include "widgets/Shape.h"

#include <QLineEdit>

#include <algorithm>
#include <functional>

namespace zelcor::test {
namespace {

const QColor kRed(255, 0, 0);
const QColor kPaleRed(255, 192, 192);

class LiveReading : public WrenchFixture {
protected:
    QColor lamp() { return control<Shape>("Shape1")->fillColor(); }
    // What was read after the first `skip` reads.
    std::vector<int> readsAfter(std::size_t skip) const {
        const std::vector<int> all = addresses(false);
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(skip, all.size())), all.end()};
    }
};

const std::vector<int> kConstantReads{0x10, 0x11, 0x12, 0x13, 0x14, 0x25, 0x26, 0x27, 0x28};

TEST_F(LiveReading, OnReadsTheSetAndConstantsThenTheLiveValueEachCycleUntilOff) {
    choose("cmbFraN", " 2");
    wrench.holdLive(0x1234, 0x00);
    std::map<std::string, bool> during;
    QColor lampBefore;
    QColor lampAfterOff;
    QString torque;
    clock.at(5000, [&] {
        lampBefore = lamp();
        torque = text("frmRs232SetCmd.txtTk");
        for (const char* name :
             {"cmdAutoOn", "cmdAutoOff", "cmdGetPara", "cmdWrPara", "cmdRdMaxTk", "cmdClrEr0"}) {
            during[name] = enabled(name);
        }
        click("cmdAutoOff");
        lampAfterOff = lamp();
        // Off only asks: the buttons wait for the reading's current cycle to end.
        during["cmdAutoOn after Off"] = enabled("cmdAutoOn");
    });
    boxes.answer(BoxAnswer::Yes); // Get's warning
    click("cmdAutoOn");           // returns when the reading has ended

    const std::vector<int> reads = addresses(false);
    ASSERT_GT(reads.size(), 16u + 9u + 2u);
    EXPECT_EQ(std::vector<int>(reads.begin() + 16, reads.begin() + 25), kConstantReads);
    const std::vector<int> live = readsAfter(25);
    for (const int a : live) {
        EXPECT_EQ(a, 0x02);
    }
    // One live read per computed torque, and no cycle after the one Off came in.
    EXPECT_EQ(live.size(), mainWindow->calibration().plot().samples().size());
    EXPECT_TRUE(addresses(true).empty());

    EXPECT_EQ(mainWindow->calibration().PtDivisor, 100);
    EXPECT_EQ(lampBefore, kRed);
    EXPECT_EQ(lampAfterOff, kPaleRed);
    EXPECT_FALSE(torque.isEmpty());
    EXPECT_EQ(torque, text("frmRs232WRCal.txtTk")); // the main window shows what was computed
    EXPECT_EQ(text("frmRs232SetCmd.txta_Ad_Ajust_L"), "34");
    EXPECT_EQ(text("frmRs232SetCmd.txta_Ad_Ajust_H"), "12");
    EXPECT_TRUE(during["cmdAutoOff"]);
    for (const char* name : {"cmdAutoOn", "cmdGetPara", "cmdWrPara", "cmdRdMaxTk", "cmdClrEr0",
                             "cmdAutoOn after Off"}) {
        EXPECT_FALSE(during[name]) << name << " was usable during the live reading";
    }
    EXPECT_TRUE(enabled("cmdAutoOn"));
    EXPECT_FALSE(enabled("cmdAutoOff"));
    EXPECT_TRUE(enabled("cmdGetPara"));
    EXPECT_TRUE(enabled("cmdRdMaxTk"));
    EXPECT_EQ(lamp(), kPaleRed);
}

TEST_F(LiveReading, NoInGetsWarningStillReadsWithTheLastDigits) {
    clock.at(2000, [&] { click("cmdAutoOff"); });
    boxes.answer(BoxAnswer::No);
    click("cmdAutoOn");
    // Nothing of Get went out; the constants and the live value did.
    const std::vector<int> reads = addresses(false);
    ASSERT_GE(reads.size(), 9u);
    EXPECT_EQ(std::vector<int>(reads.begin(), reads.begin() + 9), kConstantReads);
    EXPECT_EQ(mainWindow->calibration().PtDivisor, 10); // as the calibration window set it
}

TEST_F(LiveReading, AReadMaxTorqueRunInsideTheLivePauseBreaksNoWait) {
    // The button is disabled during the reading; a timer can still run the operation inside
    // the reading's pause, and both waits must end.
    bool buttonUsable = true;
    std::int64_t maxTorqueDone = -1;
    wrench.poke(0x00, 0x23, 0xD2);
    wrench.poke(0x00, 0x24, 0x04);
    std::function<void()> inThePause = [&] {
        if (mainWindow->link().exchangeRunning()) {
            clock.after(1, inThePause); // the live read is still on the wire
            return;
        }
        buttonUsable = enabled("cmdRdMaxTk");
        mainWindow->cmdRdMaxTk_Click();
        maxTorqueDone = clock.nowMs();
    };
    clock.at(4000, inThePause);
    clock.at(9000, [&] { click("cmdAutoOff"); });
    boxes.answer(BoxAnswer::Yes);
    click("cmdAutoOn");
    EXPECT_FALSE(buttonUsable);
    EXPECT_GT(maxTorqueDone, 4000);
    EXPECT_EQ(text("txtMaxTk"), " 123.4");
    // The reading went on after it: live reads after the maximum's three.
    const std::vector<int> reads = addresses(false);
    const auto maxRead = std::find(reads.begin(), reads.end(), 0x24);
    ASSERT_NE(maxRead, reads.end());
    EXPECT_GE(std::count(maxRead, reads.end(), 0x02), 2);
    EXPECT_TRUE(boxes.shown().size() == 1u); // Get's warning only
}

TEST_F(LiveReading, APortLostDuringTheReadingEndsItAfterItsCycle) {
    clock.at(4000, [&] { wrenchPort.unplug(); });
    boxes.answer(BoxAnswer::Yes);
    boxes.answerOk(3); // the lost port, then the failed live read and its help
    click("cmdAutoOn");
    ASSERT_EQ(boxes.shown().size(), 4u);
    EXPECT_EQ(boxes.shown()[1].title, "Warning");
    EXPECT_EQ(lamp(), kPaleRed);
    EXPECT_FALSE(enabled("cmdAutoOn")); // no port
    EXPECT_FALSE(enabled("cmdAutoOff"));
    EXPECT_TRUE(enabled("cmdPortOpen"));
}

} // namespace
} // namespace zelcor::test
