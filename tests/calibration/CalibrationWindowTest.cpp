// SPDX-License-Identifier: GPL-3.0-or-later
// What the calibration window adds to the session's calibration: which box shows what, the
// typed boxes going into the computation, the indicators, the test run's buttons and pause,
// and the plot. The computation and the jobs themselves are tested on the session.
#include "support/TestWrench.h"
#include "support/WindowFixture.h"

#include "calibration/TorquePlot.h"
#include "calibration/frmRs232WRCal.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineSeries>
#include <QTemporaryDir>

#include <map>

namespace zelcor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::pair<QString, QString>>;

// The twelve values the computation reads, in the order their boxes are listed below.
const QStringList kValueBoxes{"txtgStatusEp", "txtgk_cwi_l",     "txtgk_cwi_h",     "txtgk_ccwi_l",
                              "txtgk_ccwi_h", "txtgk_cwg_l",     "txtgk_cwg_h",     "txtgk_ccwg_l",
                              "txtgk_ccwg_h", "txta_Ad_Ajust_L", "txta_Ad_Ajust_H", "txtgStatus"};

class Calibration : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        click("cmdPortOpen");
        wrench = std::make_unique<TestWrench>(clock, port);
    }
    void TearDown() override {
        wrench.reset();
        WindowFixture::TearDown();
    }
    frmRs232WRCal& cal() { return mainWindow->calibration(); }
    QString box(const QString& name) { return text("frmRs232WRCal." + name); }
    void type(const Texts& texts) {
        for (const auto& [name, value] : texts) {
            setText("frmRs232WRCal." + name, value);
        }
    }
    // Both windows' torque, and the three indicators: R red, - clear, ? anything else.
    QString torque() { return box("txtTk") + "|" + text("frmRs232SetCmd.txtTk"); }
    QString lamps() {
        const QString clear = cal().palette().color(QPalette::Base).name().toUpper();
        QString s;
        for (const char* name : {"shpInv", "shpCWMinus", "shpCCWMinus"}) {
            s += text(name) == "#FF0000" ? 'R' : text(name) == clear ? '-' : '?';
        }
        return s;
    }

    std::unique_ptr<TestWrench> wrench;
};

TEST_F(Calibration, EachValueReadShowsInItsBox) {
    const std::map<std::size_t, std::uint8_t> bytes{{0x10, 0x18}, {0x11, 0x00}, {0x12, 0x7F},
                                                    {0x13, 0xFF}, {0x14, 0x0A}, {0x25, 0xAB},
                                                    {0x26, 0x80}, {0x27, 0x01}, {0x28, 0xC3}};
    for (const auto& [address, value] : bytes) {
        wrench->memory[address] = value;
    }
    wrench->live = {0x3C, 0x12, 0x04};
    click("cmdReakAllKandA");
    click("CmdCal");
    QStringList shown;
    for (const QString& name : kValueBoxes) {
        shown << box(name);
    }
    EXPECT_EQ(shown.join(' '), "&H18 &H00 &H7F &HFF &H0A &HAB &H80 &H01 &HC3 &H3C &H12 &H04");
    // The main window shows the live value as two hexadecimal digits.
    EXPECT_EQ(text("frmRs232SetCmd.txta_Ad_Ajust_H") + text("frmRs232SetCmd.txta_Ad_Ajust_L"),
              "123C");
    EXPECT_EQ(torque(), "0|00"); // reading is not computing
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Calibration, EachModeButtonSendsItsRequest) {
    for (const char* button : {"cmdRst232", "cmdESC232", "CmdCal", "CmdESCCal"}) {
        click(button);
    }
    EXPECT_EQ(port.writtenBytes(), (Bytes{0xC8, 0x00, 0x00, 0xC8, 0x00, 0x01, 0xC8, 0x00, 0x02,
                                          0xE8, 0x00, 0x02, 0x00}));
    EXPECT_TRUE(boxes.shown().empty());
}

// AD 1234H, CW 2000H and 0100H, CCW 1000H and 0200H (TorqueCalcTest works out the numbers).
// The rows run in turn: an indicator a computation does not reach keeps what it showed.
TEST_F(Calibration, TypedBoxesAreTheValuesOfTheComputationShownInBothWindows) {
    const QStringList example{"&H00", "&H00", "32",  "0",    "&H10", "",
                              "&H01", "&H00", "2.9", "&H34", "&h12", "&H00"};
    Texts typed, empty;
    for (qsizetype i = 0; i < kValueBoxes.size(); ++i) {
        typed.emplace_back(kValueBoxes[i], example[i]);
        empty.emplace_back(kValueBoxes[i], QString());
    }
    struct Case {
        Texts changes;
        QString digits, shown, lamps;
    };
    const std::vector<Case> cases{
        {{}, "1位", " 58.4", "---"},
        {{}, "3位", " .584", "---"},
        {{}, "4位", " .584", "---"}, // no such digits: the divisor stays
        {{{"txtgStatusEp", "&H08"}}, "1位", " 58.1", "-R-"},
        {{{"txtgStatus", "&H04"}, {"txtgStatusEp", "&H18"}}, "1位", " 28.9", "RRR"},
        {{{"txta_Ad_Ajust_H", "&H80"}}, "1位", "Overflow", "RRR"},
        {{{"txtgStatusEp", "&H10000"}}, "1位", "Overflow", "-RR"},
        {empty, "1位", " 0", "---"}};
    auto* digits = control<QComboBox>("cmbPt");
    for (const Case& c : cases) {
        type(typed);
        type(c.changes);
        digits->setCurrentIndex(digits->findText(c.digits)); // as a click on the list
        digits->setEditText(c.digits);
        Q_EMIT digits->activated(digits->findText(c.digits));
        click("cmdCalTk");
        EXPECT_EQ(torque() + " " + lamps(), c.shown + "|" + c.shown + " " + c.lamps);
    }
    EXPECT_EQ(cal().plot().samples().size(), 6u); // every computation but an overflow
    EXPECT_TRUE(port.written().empty() && boxes.shown().empty());
    // The torque's digits are the window's own: the parameter set keeps the main window's.
    digits->setEditText(QStringLiteral("3位"));
    Q_EMIT digits->activated(digits->findText(QStringLiteral("3位")));
    EXPECT_EQ(control<QComboBox>("cmbFraN")->currentText(), QStringLiteral("1"));
}

// The buttons during and after a run are checked by the calibration script (e2e).
TEST_F(Calibration, ARunGoesOnWithTheWindowHiddenUntilStop) {
    wrench->live = {0x34, 0x12, 0x00};
    type({{"txtgk_cwi_h", "&H20"}});
    cal().show();
    int readsAtReturn = 0;
    int readsAtStop = 0;
    clock.after(1000, [&] {
        readsAtReturn = wrench->requests[0x02];
        click("frmRs232WRCal.cmdReturn");
    });
    clock.after(2500, [&] {
        readsAtStop = wrench->requests[0x02];
        click("cmdTestStop");
    });
    click("cmdTestStart");
    EXPECT_FALSE(shown("frmRs232WRCal"));
    EXPECT_GT(readsAtStop, readsAtReturn);
    // Stop came in a pause: that cycle still computed, and no read came after it.
    EXPECT_EQ(wrench->requests[0x02], readsAtStop);
    EXPECT_EQ(cal().plot().samples().size(), static_cast<std::size_t>(readsAtStop));
    EXPECT_EQ(torque(), " 58.2| 58.2");
    EXPECT_EQ(text("txtLocalHex"), "Read-------------\r\n&H10 &H00 &H02 \r\n");

    click("cmdPortClose");
    cal().cmdTestStop_Click(); // without a run: Reading On still wants an open port
    EXPECT_FALSE(enabled("cmdAutoOn"));
    EXPECT_TRUE(boxes.shown().empty());
}

// The pause is read once, at Start, rounded down; what is typed during the run counts from
// the next one.
TEST_F(Calibration, ThePauseIsTakenAtTheStart) {
    std::map<QString, std::int64_t> period;
    for (const QString pause : {"300", "300.9", "1", "32767"}) {
        type({{"txtDelayTime", pause}});
        std::vector<std::int64_t> at;
        wrench->onRequest = [&](std::uint8_t) {
            at.push_back(clock.nowMs());
            type({{"txtDelayTime", at.size() == 1 ? "5000" : "abc"}});
            if (at.size() == 3) {
                click("cmdTestStop");
            }
        };
        click("cmdTestStart");
        ASSERT_EQ(at.size(), 3u);
        EXPECT_EQ(at[2] - at[1], at[1] - at[0]) << pause.toStdString();
        period[pause] = at[1] - at[0];
    }
    EXPECT_EQ(period["300.9"], period["300"]);
    EXPECT_EQ(period["300"] - period["1"], 299);
    EXPECT_EQ(period["32767"] - period["1"], 32766);
}

// The calibration script (e2e) checks the box's whole text and the buttons after it.
TEST_F(Calibration, APauseThatCannotBeOneIsRefusedAndNothingStarts) {
    for (const QString pause : {"0", "", "abc", "0.5", "-5", "32768", "&H8000"}) {
        boxes.clear();
        boxes.answerOk();
        type({{"txtDelayTime", pause}});
        click("cmdTestStart");
        ASSERT_EQ(boxes.shown().size(), 1u) << pause.toStdString();
        EXPECT_TRUE(boxes.shown()[0].text.startsWith("The pause \"" + pause + "\" cannot"));
        EXPECT_EQ(boxes.shown()[0].icon, BoxIcon::Exclamation);
    }
    EXPECT_TRUE(port.written().empty());
}

// Right-click on the curve: every point computed saved as CSV, or cleared.
TEST_F(Calibration, ThePlotsMenuSavesEveryPointOrClearsThem) {
    type({{"txtgk_cwi_h", "&H10"}}); // T = AD / 16
    for (const QString ad : {"160", "-48"}) {
        type({{"txta_Ad_Ajust_L", ad}});
        click("cmdCalTk");
        clock.advance(250);
    }
    TorquePlot& plot = cal().plot();
    const auto* view = plot.findChild<QWidget*>("chtTorqueView");
    EXPECT_EQ(view->contextMenuPolicy(), Qt::ActionsContextMenu);
    EXPECT_EQ(view->actions(), (QList<QAction*>{plot.mnuSaveCsv, plot.mnuClear}));

    QTemporaryDir dir;
    QString path = dir.filePath("run.csv");
    plot.setSavePathAsker([&](QWidget* parent) { return parent == &plot ? path : QString(); });
    plot.mnuSaveCsv->trigger();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "time_ms,raw_ad,torque_nm\r\n0,160, 1\r\n250,-48,-.3\r\n");
    path = dir.filePath("no-such-folder/run.csv"); // said so, in a box naming it
    boxes.answerOk();
    plot.mnuSaveCsv->trigger();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].title == "Save as CSV" && boxes.shown()[0].text.contains(path));

    plot.mnuClear->trigger();
    EXPECT_TRUE(plot.series()->count() == 0 && plot.samples().empty());
    click("cmdCalTk");
    EXPECT_EQ(plot.series()->at(0).x(), 0); // time counts from the first point after Clear
}

} // namespace
} // namespace zelcor::test
