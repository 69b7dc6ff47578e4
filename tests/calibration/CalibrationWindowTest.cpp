// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestWrench.h"
#include "support/WindowFixture.h"

#include "calibration/TorquePlot.h"
#include "calibration/frmRs232WRCal.h"
#include "common/TextConv.h"
#include "platform/Clock.h"
#include "sim/SimulatedPort.h"
#include "sim/SimulatedWrench.h"
#include "widgets/Shape.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QValueAxis>

#include <array>
#include <functional>
#include <map>

namespace zelcor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Texts = std::map<const char*, QString>;

using Wrench = TestWrench;

Bytes reads(std::initializer_list<int> addresses) {
    Bytes bytes;
    for (const int a : addresses) {
        bytes.insert(bytes.end(), {0xC8, 0x00, static_cast<std::uint8_t>(a)});
    }
    return bytes;
}

const QString kRed = "#FF0000";
const QStringList kCommFailure{"Communication Error", "Help"};
const std::array<const char*, 9> kConstants{"txtgStatusEp", "txtgk_cwi_l",  "txtgk_cwi_h",
                                            "txtgk_ccwi_l", "txtgk_ccwi_h", "txtgk_cwg_l",
                                            "txtgk_cwg_h",  "txtgk_ccwg_l", "txtgk_ccwg_h"};

class Calibration : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        click("cmdPortOpen");
        wrench = std::make_unique<Wrench>(clock, port);
        // A run that nothing stops fails the test instead of running for ever.
        clock.at(3'600'000, [this] {
            if (cal().testRunning()) {
                ADD_FAILURE() << "the test run was never stopped";
                cal().cmdTestStop_Click();
            }
        });
    }
    void TearDown() override {
        wrench.reset();
        WindowFixture::TearDown();
    }
    frmRs232WRCal& cal() { return mainWindow->calibration(); }
    QString box(const char* name) { return text(QStringLiteral("frmRs232WRCal.") + name); }
    void setBoxes(const Texts& texts) {
        for (const auto& [name, value] : texts) {
            setText(QStringLiteral("frmRs232WRCal.") + name, value);
        }
    }
    // Both windows' torque.
    QString torque() { return box("txtTk") + "|" + text("frmRs232SetCmd.txtTk"); }
    // The three indicators: R for red, - for the clear colour, ? for anything else.
    QString lamps() {
        const QString clear = cal().palette().color(QPalette::Base).name().toUpper();
        QString s;
        for (const char* name : {"shpInv", "shpCWMinus", "shpCCWMinus"}) {
            s += text(name) == kRed ? 'R' : text(name) == clear ? '-' : '?';
        }
        return s;
    }
    QStringList boxTitles() {
        QStringList titles;
        for (const ShownBox& b : boxes.shown()) {
            titles << b.title;
        }
        return titles;
    }
    void choosePt(int index) {
        auto* combo = control<QComboBox>("cmbPt");
        combo->setCurrentIndex(index);
        Q_EMIT combo->activated(index);
    }
    // Runs the test; each action runs that many ms after the start, inside the run's waits.
    void run(std::map<std::int64_t, std::function<void()>> during = {}) {
        for (auto& [at, action] : during) {
            clock.after(at, std::move(action));
        }
        click("cmdTestStart");
    }
    void stopAtRead(int n) {
        wrench->onRequest = [this, n](std::uint8_t) {
            if (wrench->requests[0x02] == n) {
                click("cmdTestStop");
            }
        };
    }
    // Reading On and Reading OFF enabled, as 1 and 0.
    QString mainButtons() {
        return QString("%1%2").arg(enabled("cmdAutoOn") ? 1 : 0).arg(enabled("cmdAutoOff") ? 1 : 0);
    }

    std::unique_ptr<Wrench> wrench;
};

TEST_F(Calibration, FreshWindowAndItsDecimalDigits) {
    const std::vector<std::pair<const char*, const char*>> expected{
        {"frmRs232WRCal", "扳手校正命令"},
        {"frmRs232WRCal.Label1", "扳手小數位"},
        {"cmbPt", "1位"},
        {"Label21", "gK_CWA_H"},
        {"Label31", "gK_CCWA_L"},
        {"cmdRst232", "Reset 扳手RS232模式"},
        {"CmdCal", "讀取扳手值(進入校正模式)"},
        {"Label30", "Torque value(N-m)"},
        {"frmRs232WRCal.txtTk", "0"},
        {"txtDelayTime", "300"},
        {"txtgk_ccwg_l", ""},
    };
    for (const auto& [name, caption] : expected) {
        EXPECT_EQ(text(name), QString::fromUtf8(caption)) << name;
    }
    EXPECT_EQ(lamps(), "---");
    EXPECT_TRUE(enabled("cmdTestStart") && !enabled("cmdTestStop"));

    EXPECT_EQ(cal().PtDivisor, 10);
    choosePt(2);
    EXPECT_EQ(cal().PtDivisor, 1000);
    choosePt(1);
    EXPECT_EQ(cal().PtDivisor, 100);
    control<QComboBox>("cmbPt")->setEditText("4位");
    Q_EMIT control<QComboBox>("cmbPt")->activated(-1);
    EXPECT_EQ(cal().PtDivisor, 100);
}

TEST_F(Calibration, ReadingTheConstantsNineReadsInOrderStoppingAtAFailure) {
    const std::array<int, 9> addresses{0x10, 0x11, 0x12, 0x13, 0x14, 0x25, 0x26, 0x27, 0x28};
    const std::array<std::uint8_t, 9> values{0x18, 0x00, 0x7F, 0xFF, 0x0A, 0xAB, 0x80, 0x01, 0xC3};
    for (std::size_t i = 0; i < 9; ++i) {
        wrench->memory[addresses[i]] = values[i];
        setText(kConstants[i], "old");
    }
    wrench->unanswered[0x13] = 1;
    boxes.answerOk(2);
    click("cmdReakAllKandA");
    EXPECT_EQ(port.writtenBytes(), reads({0x10, 0x11, 0x12, 0x13}));
    EXPECT_EQ(boxTitles(), kCommFailure);
    QString shown;
    for (const char* name : kConstants) {
        shown += text(name) + ' ';
    }
    EXPECT_EQ(shown, "&H18 &H00 &H7F old old old old old old ");

    click("cmdReakAllKandA");
    const Bytes sent = port.writtenBytes();
    EXPECT_EQ(Bytes(sent.begin() + 12, sent.end()),
              reads({0x10, 0x11, 0x12, 0x13, 0x14, 0x25, 0x26, 0x27, 0x28}));
    shown.clear();
    for (const char* name : kConstants) {
        shown += text(name) + ' ';
    }
    EXPECT_EQ(shown, "&H18 &H00 &H7F &HFF &H0A &HAB &H80 &H01 &HC3 ");
    EXPECT_EQ(boxes.shown().size(), 2u);
}

TEST_F(Calibration, LiveValueAndModeCommandsOnTheWire) {
    wrench->live = {0x3C, 0x12, 0x04};
    click("CmdCal");
    EXPECT_EQ(text("frmRs232SetCmd.txta_Ad_Ajust_L") + text("frmRs232SetCmd.txta_Ad_Ajust_H"),
              "3C12");
    EXPECT_EQ(box("txta_Ad_Ajust_L") + box("txta_Ad_Ajust_H") + box("txtgStatus"), "&H3C&H12&H04");
    EXPECT_EQ(torque() + lamps(), "0|00---"); // reading is not computing

    // A failed read changes nothing; the next one starts afresh and succeeds.
    wrench->live = {0x01, 0x00, 0x00};
    wrench->unanswered[0x02] = 1;
    boxes.answerOk(2);
    click("CmdCal");
    EXPECT_EQ(boxTitles(), kCommFailure);
    EXPECT_EQ(box("txta_Ad_Ajust_L") + text("frmRs232SetCmd.txta_Ad_Ajust_L"), "&H3C3C");
    click("CmdCal");
    EXPECT_EQ(box("txta_Ad_Ajust_L") + text("frmRs232SetCmd.txta_Ad_Ajust_L"), "&H0101");

    // Answered, the mode commands show nothing; not answered, they report it.
    const std::vector<std::pair<const char*, Bytes>> commands{
        {"cmdRst232", reads({0x00})},
        {"cmdESC232", reads({0x01})},
        {"CmdESCCal", {0xE8, 0x00, 0x02, 0x00}},
    };
    for (const auto& [button, request] : commands) {
        SCOPED_TRACE(button);
        boxes.clear();
        const auto before = static_cast<std::ptrdiff_t>(port.written().size());
        click(button);
        EXPECT_TRUE(boxes.shown().empty());
        wrench->unanswered[request[2]] = 1;
        boxes.answerOk(2);
        click(button);
        EXPECT_EQ(boxTitles(), kCommFailure);
        Bytes twice = request;
        twice.insert(twice.end(), request.begin(), request.end());
        const Bytes sent = port.writtenBytes();
        EXPECT_EQ(Bytes(sent.begin() + before, sent.end()), twice);
    }
    EXPECT_EQ(box("txta_Ad_Ajust_L") + box("txtgStatus") + torque(), "&H01&H000|00");
}

// The window's exchange buttons wait while any exchange runs; computing does not.
TEST_F(Calibration, CommandsThatTalkToTheWrenchWaitWhileAnExchangeRuns) {
    auto states = [&] {
        QString s;
        for (const char* n : {"cmdReakAllKandA", "cmdRst232", "cmdESC232", "CmdCal", "CmdESCCal",
                              "cmdCalTk", "cmdTestStart"}) {
            s += enabled(n) ? '1' : '0';
        }
        return s;
    };
    QStringList seen;
    wrench->onRequest = [&](std::uint8_t) { seen << states(); };
    click("cmdReakAllKandA");
    click("cmdRead"); // the main window's console holds this window's buttons too
    EXPECT_EQ(seen, QStringList(10, "0000010"));
    EXPECT_EQ(states(), "1111111");
}

// AD &H12/&H34, CWI &H20/&H00, CWG &H01/&H00, CCWI &H10/&H00, CCWG &H02/&H00.
TEST_F(Calibration, TorqueAndIndicatorsFromTheBoxes) {
    const Texts example{
        {"txta_Ad_Ajust_L", "&H34"}, {"txta_Ad_Ajust_H", "&H12"}, {"txtgk_cwi_l", "&H00"},
        {"txtgk_cwi_h", "&H20"},     {"txtgk_cwg_l", "&H00"},     {"txtgk_cwg_h", "&H01"},
        {"txtgk_ccwi_l", "&H00"},    {"txtgk_ccwi_h", "&H10"},    {"txtgk_ccwg_l", "&H00"},
        {"txtgk_ccwg_h", "&H02"},    {"txtgStatus", "&H00"},      {"txtgStatusEp", "&H00"}};
    Texts empty = example;
    for (auto& [name, value] : empty) {
        value.clear();
    }
    struct Case {
        Texts changes;
        int digits; // cmbPt's item
        const char* shown;
        const char* lamps;
    };
    const std::vector<Case> cases{
        {{}, 0, " 58.4", "---"},
        {{}, 1, " 5.84", "---"},
        {{}, 2, " .584", "---"},
        {{{"txtgStatusEp", "&H08"}}, 0, " 58.1", "-R-"},
        // The counter-clockwise constants: X = 36, K = 4132; CW minus has no say.
        {{{"txtgStatus", "&H04"}, {"txtgStatusEp", "&H08"}}, 0, " 29.4", "RR-"},
        {{{"txtgStatus", "&H04"}, {"txtgStatusEp", "&H10"}}, 0, " 28.9", "R-R"},
        {{{"txta_Ad_Ajust_L", "4660"}, {"txta_Ad_Ajust_H", "0"}}, 0, " 58.4", "---"},
        // AD 128 and 384 with G 256: X = RoundEven(0.5) = 0 and RoundEven(1.5) = 2.
        {{{"txta_Ad_Ajust_L", "128"}, {"txta_Ad_Ajust_H", "0"}}, 0, " 1.6", "---"},
        {{{"txta_Ad_Ajust_L", "384"}, {"txta_Ad_Ajust_H", "0"}}, 0, " 4.8", "---"},
        {empty, 0, " 0", "---"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        setBoxes(example);
        setBoxes(c.changes);
        choosePt(c.digits);
        click("cmdCalTk");
        EXPECT_EQ(torque(), QString(c.shown) + "|" + c.shown);
        EXPECT_EQ(lamps(), c.lamps);
    }
    EXPECT_TRUE(port.written().empty());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Calibration, OverflowShowsInBothWindowsAndLeavesTheRestAsItWas) {
    setBoxes({{"txta_Ad_Ajust_L", "&H34"},
              {"txta_Ad_Ajust_H", "&H12"},
              {"txtgk_cwi_h", "&H20"},
              {"txtgStatus", "&H04"},
              {"txtgStatusEp", "&H18"}});
    click("cmdCalTk");
    ASSERT_EQ(lamps(), "RRR");
    const auto points = cal().plot().samples().size();

    // A high byte of 80H: nothing is read beyond the live value.
    setBoxes({{"txta_Ad_Ajust_H", "&H80"}, {"txtgStatus", "&H00"}, {"txtgStatusEp", "&H00"}});
    click("cmdCalTk");
    EXPECT_EQ(torque() + lamps(), "Overflow|OverflowRRR");
    // A stored status beyond 16 bits: INV, read before it, goes out.
    setBoxes({{"txta_Ad_Ajust_H", "&H7F"}, {"txtgStatusEp", "&H10000"}});
    click("cmdCalTk");
    EXPECT_EQ(torque() + lamps(), "Overflow|Overflow-RR");
    EXPECT_EQ(cal().plot().samples().size(), points);
    EXPECT_TRUE(boxes.shown().empty());
}

// --- the test run ------------------------------------------------------------------------

TEST_F(Calibration, StopEndsTheRunAfterItsCycleAndOnlyThenSetsTheMainWindowBack) {
    wrench->live = {0x34, 0x12, 0x00};
    setBoxes({{"txtgk_cwi_h", "&H20"}});
    ASSERT_EQ(mainButtons(), "10");
    cal().show();
    QStringList seen;
    int readsAtStop = 0;
    run({{1000,
          [&] {
              seen << mainButtons() + (enabled("cmdTestStart") ? "1" : "0") +
                          (enabled("cmdTestStop") ? "1" : "0");
              click("frmRs232WRCal.cmdReturn"); // hidden, it goes on
          }},
         {2500, [&] {
              readsAtStop = wrench->requests[0x02];
              click("cmdTestStop");
              seen << mainButtons() + (cal().testRunning() ? "r" : "-");
          }}});
    EXPECT_EQ(seen, (QStringList{"0101", "01r"}));
    // Stop came in a pause: that cycle still computed, and no read came after it.
    EXPECT_EQ(wrench->requests[0x02], readsAtStop);
    EXPECT_EQ(cal().plot().samples().size(), static_cast<std::size_t>(readsAtStop));
    EXPECT_EQ(mainButtons() + (cal().testRunning() ? "r" : "-"), "10-");
    EXPECT_TRUE(enabled("cmdTestStart") && !enabled("cmdTestStop"));
    EXPECT_FALSE(shown("frmRs232WRCal"));
    EXPECT_EQ(torque(), " 58.2| 58.2");
    EXPECT_EQ(text("frmRs232SetCmd.txta_Ad_Ajust_H"), "12");
    EXPECT_EQ(text("txtLocalHex"), "Read-------------\r\n&H10 &H00 &H02 \r\n");

    // Stop during a read: that cycle computes as well.
    stopAtRead(readsAtStop + 2);
    run();
    EXPECT_EQ(cal().plot().samples().size(), static_cast<std::size_t>(readsAtStop + 2));
}

TEST_F(Calibration, AFailedReadIsReportedInItsCycleAndTheRunGoesOn) {
    wrench->live = {0x10, 0x00, 0x00};
    wrench->unanswered[0x02] = 2;
    boxes.answerOk(4);
    QStringList seen;
    boxes.setOnShow(
        [&](const ShownBox& b) { seen << b.title + QString::number(wrench->requests[0x02]); });
    stopAtRead(4);
    run();
    EXPECT_EQ(seen,
              (QStringList{"Communication Error1", "Help1", "Communication Error2", "Help2"}));
    EXPECT_EQ(cal().plot().samples().size(), 4u); // every cycle computes
    EXPECT_EQ(box("txta_Ad_Ajust_L"), "&H10");
}

TEST_F(Calibration, ThePauseIsReadOnceAtTheStartRoundedDown) {
    std::map<QString, std::int64_t> period;
    for (const QString pause : {"300", "300.9", "1", "32767"}) {
        setBoxes({{"txtDelayTime", pause}});
        std::vector<std::int64_t> at;
        wrench->onRequest = [&](std::uint8_t) {
            at.push_back(clock.nowMs());
            setBoxes({{"txtDelayTime", "5000"}}); // too late for this run
            if (at.size() == 2) {
                click("cmdTestStop");
            }
        };
        run();
        ASSERT_EQ(at.size(), 2u);
        period[pause] = at[1] - at[0];
    }
    EXPECT_EQ(period["300.9"], period["300"]);
    EXPECT_EQ(period["300"] - period["1"], 299);
    EXPECT_EQ(period["32767"] - period["1"], 32766);
}

TEST_F(Calibration, APauseThatCannotBeOneIsRefusedAndNothingStarts) {
    for (const QString pause : {"", "abc", "0", "0.5", "-5", "32768", "&H8000"}) {
        SCOPED_TRACE(pause.toStdString());
        boxes.clear();
        boxes.answerOk();
        setBoxes({{"txtDelayTime", pause}});
        click("cmdTestStart");
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].icon, BoxIcon::Exclamation);
        EXPECT_TRUE(boxes.shown()[0].text.contains("from 1 to 32767"));
        EXPECT_TRUE(boxes.shown()[0].text.contains('"' + pause + '"'));
        EXPECT_EQ(mainButtons() + (cal().testRunning() ? "r" : "-"), "10-");
    }
    EXPECT_TRUE(port.written().empty());
}

TEST_F(Calibration, StopWithoutARunOnlySetsTheMainWindowsButtons) {
    click("cmdPortClose");
    ASSERT_EQ(mainButtons(), "00");
    cal().cmdTestStop_Click();
    EXPECT_EQ(mainButtons(), "00"); // "Reading On" wants an open port
    EXPECT_TRUE(port.written().empty() && boxes.shown().empty());
    // The stop asked for then does not hold up the next run.
    click("cmdPortOpen");
    stopAtRead(2);
    run();
    EXPECT_EQ(wrench->requests[0x02], 2);
}

TEST_F(Calibration, AStartDuringARunKeepsThatRunGoing) {
    int startsReturned = 0;
    run({{500,
          [&] {
              cal().cmdTestStop_Click();
              cal().cmdTestStart_Click(); // withdraws the stop and returns at once
              ++startsReturned;
          }},
         {2000, [&] { cal().cmdTestStop_Click(); }}});
    EXPECT_EQ(startsReturned, 1);
    EXPECT_EQ(wrench->requests[0x02], 6); // cycles of 360 ms up to 2000 ms
}

// "End" ends the program at once only from inside a wait; the run's look at pending events
// between two cycles is one too.
TEST_F(Calibration, EndBetweenTwoCyclesComesInsideAWait) {
    int depthAtEnd = -1;
    auto* tk = control<QLineEdit>("frmRs232WRCal.txtTk");
    QObject::connect(tk, &QLineEdit::textChanged, tk, [&] {
        QMetaObject::invokeMethod(
            tk,
            [&] {
                click("cmdEnd");
                depthAtEnd = clock.waitDepth();
                cal().cmdTestStop_Click(); // the fixture's program does not end
            },
            Qt::QueuedConnection);
    });
    run();
    EXPECT_EQ(endRequests, 1);
    EXPECT_GT(depthAtEnd, 0);
    EXPECT_EQ(wrench->requests[0x02], 1);
}

// --- the plot ------------------------------------------------------------------------------

TEST_F(Calibration, EveryComputationIsAPointAndSaveWritesThemAll) {
    setBoxes({{"txtgk_cwi_h", "&H10"}}); // T = AD / 16
    const std::int64_t start = clock.nowMs();
    for (const auto& [at, ad] :
         std::vector<std::pair<int, QString>>{{0, "160"}, {250, "-48"}, {1250, "8"}}) {
        clock.advance(start + at - clock.nowMs());
        setBoxes({{"txta_Ad_Ajust_L", ad}});
        click("cmdCalTk");
    }
    TorquePlot& plot = cal().plot();
    ASSERT_EQ(plot.series()->count(), 3);
    EXPECT_EQ(plot.series()->at(1), QPointF(0.25, -0.3));
    EXPECT_LE(plot.torqueAxis()->min(), -0.3);
    EXPECT_GE(plot.torqueAxis()->max(), 1);

    // A right-click on the curve opens the menu; the test reads it and closes it.
    QStringList menu;
    QMetaObject::invokeMethod(
        &plot,
        [&menu] {
            if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (const QAction* action : popup->actions()) {
                    menu << action->text();
                }
                popup->close();
            }
        },
        Qt::QueuedConnection);
    plot.show();
    QWidget* viewport = plot.findChild<QAbstractScrollArea*>("chtTorqueView")->viewport();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, viewport->rect().center(),
                                 viewport->mapToGlobal(viewport->rect().center()));
    QApplication::sendEvent(viewport, &rightClick);
    EXPECT_EQ(menu, (QStringList{"Save as CSV…", "Clear"}));

    QTemporaryDir dir;
    const QString path = dir.filePath("run.csv");
    QWidget* askedWith = nullptr;
    plot.setSavePathAsker([&](QWidget* parent) {
        askedWith = parent;
        return path;
    });
    plot.mnuSaveCsv->trigger();
    EXPECT_EQ(askedWith, &plot);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              "time_ms,raw_ad,torque_nm\r\n0,160,1\r\n250,-48,-0.3\r\n1250,8,0\r\n");

    plot.mnuClear->trigger();
    EXPECT_TRUE(plot.series()->count() == 0 && plot.samples().empty());
    click("cmdCalTk");
    EXPECT_EQ(plot.series()->at(0).x(), 0); // time counts from the first point after Clear
}

TEST_F(Calibration, SavingWhereNothingCanBeWrittenSaysSoAndCancellingWritesNothing) {
    click("cmdCalTk");
    TorquePlot& plot = cal().plot();
    QTemporaryDir dir;
    plot.setSavePathAsker([&](QWidget*) { return QString(); });
    plot.saveAsCsv();
    EXPECT_TRUE(QDir(dir.path()).isEmpty() && boxes.shown().empty());

    const QString unwritable = dir.filePath("no-such-folder/run.csv");
    plot.setSavePathAsker([&](QWidget*) { return unwritable; });
    boxes.answerOk();
    plot.saveAsCsv();
    ASSERT_EQ(boxTitles(), QStringList{"Save as CSV"});
    EXPECT_TRUE(boxes.shown()[0].text.contains(unwritable));
    EXPECT_FALSE(QFile::exists(unwritable));
}

// The curve keeps the minute it shows, so it does not grow with the run; the CSV keeps all.
TEST_F(Calibration, ThePlotShowsTheLastMinuteAndScalesToIt) {
    TorquePlot& plot = cal().plot();
    for (int i = 0; i < 10'000; ++i) {
        plot.addPoint(i * 100, 0, (i % 1000) / 10.0); // a ramp that falls back every 100 s
    }
    EXPECT_EQ(plot.samples().size(), 10'000u);
    EXPECT_LE(plot.series()->count(), 601);
    EXPECT_DOUBLE_EQ(plot.timeAxis()->max(), 999.9);
    EXPECT_DOUBLE_EQ(plot.timeAxis()->min(), 939.9);
    // Shown: 39.9 .. 99.9, inside the axis, which does not reach far beyond.
    EXPECT_TRUE(plot.torqueAxis()->min() <= 39.9 && plot.torqueAxis()->min() >= 0);
    EXPECT_TRUE(plot.torqueAxis()->max() >= 99.9 && plot.torqueAxis()->max() <= 150);
}

// The in-repo simulated wrench serves the window: the constants of its preset, a live value
// that swings from rest to full scale and back, and INV while it is pulled counter-clockwise.
TEST(CalibrationOnTheSimulatedWrench, ReadsItsConstantsAndFollowsItsPulls) {
    VirtualClock clock;
    ScriptedMessageBoxes boxes;
    sim::SimulatedWrench wrench(clock);
    sim::SimulatedPort port(wrench);
    frmRs232SetCmd main(Platform{clock, port, boxes, [] {}});
    main.cmdPortOpen->click();
    frmRs232WRCal& cal = main.calibration();
    cal.cmdReakAllKandA_Click();
    const std::array<std::uint8_t, 9> addresses{0x10, 0x11, 0x12, 0x13, 0x14,
                                                0x25, 0x26, 0x27, 0x28};
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(cal.findChild<QLineEdit*>(kConstants[i])->text().toStdString(),
                  "&H" + ByteToHexStr(wrench.peek(0, addresses[i])));
    }

    const auto* inv = cal.findChild<Shape*>("shpInv");
    std::vector<bool> invAt; // in the first pull and in the second
    clock.after(2000, [&] { invAt.push_back(inv->fillColor() == QColor(kRed)); });
    clock.after(11'000, [&] { invAt.push_back(inv->fillColor() == QColor(kRed)); });
    clock.after(15'000, [&] { cal.cmdTestStop_Click(); });
    cal.cmdTestStart_Click();
    EXPECT_EQ(invAt, (std::vector<bool>{false, true}));
    double low = 1e9;
    double high = -1e9;
    for (const TorqueSample& s : cal.plot().samples()) {
        low = std::min(low, s.torque);
        high = std::max(high, s.torque);
    }
    // Full scale 2000 with the preset's constant 5753H: 68.2 N·m at the top of a pull.
    EXPECT_TRUE(high > 60 && high <= 68.2) << high;
    EXPECT_LT(low, 1);
    EXPECT_TRUE(boxes.shown().empty());
}

} // namespace
} // namespace zelcor::test
