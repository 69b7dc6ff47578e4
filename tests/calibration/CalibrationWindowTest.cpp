#include "support/WindowFixture.h"

#include "calibration/TorquePlot.h"
#include "calibration/frmRs232WRCal.h"
#include "platform/Clock.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QLineSeries>
#include <QPalette>
#include <QTemporaryDir>
#include <QValueAxis>

#include <array>
#include <functional>
#include <map>

namespace zelcor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The far end of the port double, a millisecond after each complete request: 00 00 and
// 00 01 echo their address, 00 02 answers the live value and status, other reads answer
// from memory, writes echo. An address can be told to leave requests unanswered.
class Wrench {
public:
    Wrench(VirtualClock& clock, RecordingPort& port) : m_port(port) {
        m_poll = clock.createTimer([this] { poll(); });
        m_poll->start(1, true);
    }
    std::array<std::uint8_t, 256> memory{};
    std::uint8_t liveL = 0, liveH = 0, liveStatus = 0;
    std::map<std::uint8_t, int> unanswered;
    std::map<std::uint8_t, int> requests;
    std::function<void(std::uint8_t addr0)> onRequest;

private:
    void poll() {
        const std::vector<WireByte>& wire = m_port.written();
        for (std::size_t len; m_next < wire.size() &&
                              (len = wire[m_next].value == 0xE8 ? 4 : 3) <= wire.size() - m_next;
             m_next += len) {
            const std::uint8_t a = wire[m_next + 2].value;
            ++requests[a];
            if (onRequest) {
                onRequest(a);
            }
            if (unanswered[a] > 0) {
                --unanswered[a];
            } else if (len == 4) {
                m_port.receive({0x00, a, wire[m_next + 3].value});
            } else if (a <= 0x01) {
                m_port.receive({0x00, a});
            } else if (a == 0x02) {
                m_port.receive({0x00, a, 0xAA, liveL, liveL, 0xAA, liveH, liveH, 0xAA, liveStatus,
                                liveStatus});
            } else {
                m_port.receive({0x00, a, 0xAA, memory[a], memory[a]});
            }
        }
    }
    RecordingPort& m_port;
    std::unique_ptr<Timer> m_poll;
    std::size_t m_next = 0;
};

Bytes reads(std::initializer_list<int> addresses) {
    Bytes bytes;
    for (const int a : addresses) {
        bytes.insert(bytes.end(), {0xC8, 0x00, static_cast<std::uint8_t>(a)});
    }
    return bytes;
}

const QString kCommError = "Communication Error";
const QString kHelp = "Help";
const QString kRed = "#FF0000";

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
    // A box of this window by its name.
    QString box(const char* name) { return text(QStringLiteral("frmRs232WRCal.") + name); }
    void setBox(const char* name, const QString& value) {
        setText(QStringLiteral("frmRs232WRCal.") + name, value);
    }
    QString torque() { return box("txtTk"); }
    QString mainTorque() { return text("frmRs232SetCmd.txtTk"); }
    // The colour of an indicator as "#RRGGBB".
    QString lamp(const char* name) { return text(name); }
    QString clearColour() {
        return control("frmRs232WRCal")->palette().color(QPalette::Base).name().toUpper();
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
    // Calibration constants and live value as the window would have read them.
    void setBoxes(const std::map<const char*, QString>& texts) {
        for (const auto& [name, value] : texts) {
            setBox(name, value);
        }
    }
    // Wire times of the reads of 00 02, in ms.
    std::vector<std::int64_t> liveReadTimes() {
        std::vector<std::int64_t> times;
        const auto& wire = port.written();
        for (std::size_t i = 0; i + 2 < wire.size(); ++i) {
            if (wire[i].value == 0xC8 && wire[i + 1].value == 0x00 && wire[i + 2].value == 0x02) {
                times.push_back(wire[i].atMs);
            }
        }
        return times;
    }
    // Starts the run; `during` is called at each listed time after the start, from inside
    // the run's waits. Returns when the run has ended.
    void run(std::map<std::int64_t, std::function<void()>> during) {
        for (auto& [at, action] : during) {
            clock.after(at, std::move(action));
        }
        click("cmdTestStart");
    }
    QString mainButtons() {
        return QString("%1%2").arg(enabled("cmdAutoOn") ? 1 : 0).arg(enabled("cmdAutoOff") ? 1 : 0);
    }

    std::unique_ptr<Wrench> wrench;
};

TEST_F(Calibration, FreshWindowShowsItsCaptionsAndInitialTexts) {
    const std::vector<std::pair<const char*, const char*>> expected{
        {"frmRs232WRCal", "扳手校正命令"},
        {"frmRs232WRCal.Label1", "扳手小數位"},
        {"cmbPt", "1位"},
        {"Label20", "gK_CWI_H"},
        {"Label21", "gK_CWA_H"},
        {"Label32", "gK_CCWA_H"},
        {"Label31", "gK_CCWA_L"},
        {"Label11", "CW minus"},
        {"Label35", "CCW minus"},
        {"cmdReakAllKandA", "讀取校正參數"},
        {"cmdRst232", "Reset 扳手RS232模式"},
        {"cmdESC232", "離開 扳手RS232模式"},
        {"CmdCal", "讀取扳手值(進入校正模式)"},
        {"CmdESCCal", "離開校正模式"},
        {"cmdCalTk", "計算扳手扭力值"},
        {"Label30", "Torque value(N-m)"},
        {"frmRs232WRCal.Label4", "INV"},
        {"frmRs232WRCal.txtTk", "0"},
        {"txtDelayTime", "300"},
        {"cmdTestStart", "Start"},
        {"cmdTestStop", "Stop"},
        {"frmRs232WRCal.cmdReturn", "返回"},
        {"txtgk_cwi_h", ""},
        {"txtgk_ccwg_l", ""},
        {"txtgStatusEp", ""},
        {"txtgStatus", ""},
    };
    for (const auto& [name, caption] : expected) {
        EXPECT_EQ(text(name), QString::fromUtf8(caption)) << name;
    }
    EXPECT_EQ(cal().PtDivisor, 10);
    for (const char* indicator : {"shpInv", "shpCWMinus", "shpCCWMinus"}) {
        EXPECT_EQ(lamp(indicator), clearColour()) << indicator;
    }
    EXPECT_NE(clearColour(), kRed);
    EXPECT_TRUE(enabled("cmdTestStart"));
    EXPECT_FALSE(enabled("cmdTestStop"));
}

TEST_F(Calibration, DecimalDigitsSetTheDivisorAndOtherTextsLeaveIt) {
    choosePt(2);
    EXPECT_EQ(cal().PtDivisor, 1000);
    choosePt(1);
    EXPECT_EQ(cal().PtDivisor, 100);
    auto* combo = control<QComboBox>("cmbPt");
    combo->setEditText("4位");
    Q_EMIT combo->activated(-1);
    EXPECT_EQ(cal().PtDivisor, 100);
    EXPECT_TRUE(port.written().empty());
}

TEST_F(Calibration, ReadingTheConstantsFillsNineBoxesInOrder) {
    const std::map<int, std::pair<const char*, std::uint8_t>> cells{
        {0x10, {"txtgStatusEp", 0x18}}, {0x11, {"txtgk_cwi_l", 0x00}},
        {0x12, {"txtgk_cwi_h", 0x7F}},  {0x13, {"txtgk_ccwi_l", 0xFF}},
        {0x14, {"txtgk_ccwi_h", 0x0A}}, {0x25, {"txtgk_cwg_l", 0xab}},
        {0x26, {"txtgk_cwg_h", 0x80}},  {0x27, {"txtgk_ccwg_l", 0x01}},
        {0x28, {"txtgk_ccwg_h", 0xC3}}};
    for (const auto& [a, cell] : cells) {
        wrench->memory[a] = cell.second;
    }
    click("cmdReakAllKandA");
    EXPECT_EQ(port.writtenBytes(), reads({0x10, 0x11, 0x12, 0x13, 0x14, 0x25, 0x26, 0x27, 0x28}));
    const std::map<const char*, const char*> shown{
        {"txtgStatusEp", "&H18"}, {"txtgk_cwi_l", "&H00"},  {"txtgk_cwi_h", "&H7F"},
        {"txtgk_ccwi_l", "&HFF"}, {"txtgk_ccwi_h", "&H0A"}, {"txtgk_cwg_l", "&HAB"},
        {"txtgk_cwg_h", "&H80"},  {"txtgk_ccwg_l", "&H01"}, {"txtgk_ccwg_h", "&HC3"}};
    for (const auto& [name, value] : shown) {
        EXPECT_EQ(text(name), value) << name;
    }
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Calibration, AFailedReadOfTheConstantsKeepsWhatCameBeforeAndReportsOnce) {
    for (const char* name :
         {"txtgStatusEp", "txtgk_cwi_l", "txtgk_cwi_h", "txtgk_ccwi_l", "txtgk_ccwi_h",
          "txtgk_cwg_l", "txtgk_cwg_h", "txtgk_ccwg_l", "txtgk_ccwg_h"}) {
        setText(name, "old");
    }
    wrench->memory[0x10] = 0x02;
    wrench->memory[0x11] = 0x53;
    wrench->memory[0x12] = 0x57;
    wrench->unanswered[0x13] = 1;
    boxes.answerOk(2);
    click("cmdReakAllKandA");
    EXPECT_EQ(port.writtenBytes(), reads({0x10, 0x11, 0x12, 0x13}));
    EXPECT_EQ(boxTitles(), (QStringList{kCommError, kHelp}));
    EXPECT_EQ(boxes.shown()[0].text, "Data Receving is time-out");
    EXPECT_EQ(text("txtgStatusEp") + text("txtgk_cwi_l") + text("txtgk_cwi_h"), "&H02&H53&H57");
    for (const char* name : {"txtgk_ccwi_l", "txtgk_ccwi_h", "txtgk_cwg_l", "txtgk_cwg_h",
                             "txtgk_ccwg_l", "txtgk_ccwg_h"}) {
        EXPECT_EQ(text(name), "old") << name;
    }
}

TEST_F(Calibration, EnteringCalibrationModeShowsTheLiveValueInBothWindows) {
    wrench->liveL = 0x3C;
    wrench->liveH = 0x12;
    wrench->liveStatus = 0x04;
    click("CmdCal");
    EXPECT_EQ(port.writtenBytes(), reads({0x02}));
    EXPECT_EQ(text("frmRs232SetCmd.txta_Ad_Ajust_L") + "|" + text("frmRs232SetCmd.txta_Ad_Ajust_H"),
              "3C|12");
    EXPECT_EQ(box("txta_Ad_Ajust_L") + box("txta_Ad_Ajust_H") + box("txtgStatus"), "&H3C&H12&H04");
    // Reading the value neither computes the torque nor lights an indicator.
    EXPECT_EQ(torque(), "0");
    EXPECT_EQ(lamp("shpInv"), clearColour());

    // A failed read changes nothing; the next one starts afresh and succeeds.
    wrench->liveL = 0x01;
    wrench->unanswered[0x02] = 1;
    boxes.answerOk(2);
    click("CmdCal");
    EXPECT_EQ(boxTitles(), (QStringList{kCommError, kHelp}));
    EXPECT_EQ(text("frmRs232SetCmd.txta_Ad_Ajust_L") + box("txta_Ad_Ajust_L"), "3C&H3C");
    click("CmdCal");
    EXPECT_EQ(text("frmRs232SetCmd.txta_Ad_Ajust_L") + box("txta_Ad_Ajust_L"), "01&H01");
    EXPECT_EQ(boxes.shown().size(), 2u);
}

TEST_F(Calibration, ModeCommandsSendTheirRequestAndReportOnlyFailures) {
    const std::vector<std::pair<const char*, Bytes>> commands{
        {"cmdRst232", reads({0x00})},
        {"cmdESC232", reads({0x01})},
        {"CmdESCCal", {0xE8, 0x00, 0x02, 0x00}},
    };
    for (const auto& [button, request] : commands) {
        SCOPED_TRACE(button);
        const auto before = static_cast<std::ptrdiff_t>(port.written().size());
        click(button);
        const Bytes sent = port.writtenBytes();
        EXPECT_EQ(Bytes(sent.begin() + before, sent.end()), request);
        EXPECT_TRUE(boxes.shown().empty());

        wrench->unanswered[request[2]] = 1;
        boxes.answerOk(2);
        click(button);
        EXPECT_EQ(boxTitles(), (QStringList{kCommError, kHelp}));
        boxes.clear();
    }
    EXPECT_EQ(torque() + box("txta_Ad_Ajust_L") + box("txtgStatusEp"), "0");
}

// The window's exchange buttons wait while any exchange runs; computing and Stop do not.
TEST_F(Calibration, CommandsThatTalkToTheWrenchWaitWhileAnExchangeRuns) {
    const QStringList names{"cmdReakAllKandA", "cmdRst232", "cmdESC232",   "CmdCal",
                            "CmdESCCal",       "cmdCalTk",  "cmdTestStart"};
    auto states = [&] {
        QString s;
        for (const QString& n : names) {
            s += enabled(n) ? '1' : '0';
        }
        return s;
    };
    QStringList seen;
    wrench->onRequest = [&](std::uint8_t) { seen << states(); };
    click("cmdReakAllKandA");
    click("cmdRead"); // the main window's console: this window's buttons wait for it too
    EXPECT_EQ(seen, QStringList(10, "0000010"));
    EXPECT_EQ(states(), "1111111");
}

// The computation's worked numbers, through the boxes of the window.
TEST_F(Calibration, TorqueFromTheBoxesWithItsIndicators) {
    struct Case {
        const char* what;
        std::map<const char*, QString> boxes;
        int digitsIndex; // in cmbPt: 1, 2 or 3 digits
        const char* shown;
        const char* lit; // indicators shown red: I(NV), W (CW minus), C (CCW minus)
    };
    const std::map<const char*, QString> example{
        {"txta_Ad_Ajust_L", "&H34"}, {"txta_Ad_Ajust_H", "&H12"}, {"txtgk_cwi_l", "&H00"},
        {"txtgk_cwi_h", "&H20"},     {"txtgk_cwg_l", "&H00"},     {"txtgk_cwg_h", "&H01"},
        {"txtgk_ccwi_l", "&H00"},    {"txtgk_ccwi_h", "&H10"},    {"txtgk_ccwg_l", "&H00"},
        {"txtgk_ccwg_h", "&H02"},    {"txtgStatus", "&H00"},      {"txtgStatusEp", "&H00"}};
    auto with = [&](std::map<const char*, QString> changes) {
        auto boxes = example;
        for (const auto& [k, v] : changes) {
            boxes[k] = v;
        }
        return boxes;
    };
    const std::vector<Case> cases{
        {"one digit", example, 0, " 58.4", ""},
        {"two digits", example, 1, " 5.84", ""},
        {"three digits", example, 2, " .584", ""},
        {"CW minus", with({{"txtgStatusEp", "&H08"}}), 0, " 58.1", "W"},
        // AD 4660, CCWI 4096, CCWG 512: X = 36, K = 4132, T = 294.
        {"INV takes the CCW constants", with({{"txtgStatus", "&H04"}}), 0, " 29.4", "I"},
        {"INV ignores CW minus", with({{"txtgStatus", "&H04"}, {"txtgStatusEp", "&H08"}}), 0,
         " 29.4", "IW"},
        {"INV with CCW minus", with({{"txtgStatus", "&H04"}, {"txtgStatusEp", "&H10"}}), 0, " 28.9",
         "IC"},
        {"decimal text", with({{"txta_Ad_Ajust_L", "4660"}, {"txta_Ad_Ajust_H", "0"}}), 0, " 58.4",
         ""},
        {"all boxes empty",
         with({{"txta_Ad_Ajust_L", ""},
               {"txta_Ad_Ajust_H", ""},
               {"txtgk_cwi_l", ""},
               {"txtgk_cwi_h", ""},
               {"txtgk_cwg_l", ""},
               {"txtgk_cwg_h", ""},
               {"txtgk_ccwi_l", ""},
               {"txtgk_ccwi_h", ""},
               {"txtgk_ccwg_l", ""},
               {"txtgk_ccwg_h", ""},
               {"txtgStatus", ""},
               {"txtgStatusEp", ""}}),
         0, " 0", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setBoxes(c.boxes);
        choosePt(c.digitsIndex);
        click("cmdCalTk");
        EXPECT_EQ(torque(), c.shown);
        EXPECT_EQ(mainTorque(), c.shown);
        const QString lit = QString::fromLatin1(c.lit);
        EXPECT_EQ(lamp("shpInv"), lit.contains('I') ? kRed : clearColour());
        EXPECT_EQ(lamp("shpCWMinus"), lit.contains('W') ? kRed : clearColour());
        EXPECT_EQ(lamp("shpCCWMinus"), lit.contains('C') ? kRed : clearColour());
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
    ASSERT_EQ(lamp("shpInv") + lamp("shpCWMinus") + lamp("shpCCWMinus"), kRed + kRed + kRed);
    const auto points = cal().plot().samples().size();

    // A high byte of 80H: nothing is read beyond the live value, every indicator stays lit.
    setBoxes({{"txta_Ad_Ajust_H", "&H80"}, {"txtgStatus", "&H00"}, {"txtgStatusEp", "&H00"}});
    click("cmdCalTk");
    EXPECT_EQ(torque() + "|" + mainTorque(), "Overflow|Overflow");
    EXPECT_EQ(lamp("shpInv") + lamp("shpCWMinus") + lamp("shpCCWMinus"), kRed + kRed + kRed);

    // A stored status beyond 16 bits: INV has been read by then and goes out, the minus
    // indicators keep their state.
    setBoxes({{"txta_Ad_Ajust_H", "&H7F"}, {"txtgStatusEp", "&H10000"}});
    click("cmdCalTk");
    EXPECT_EQ(torque(), "Overflow");
    EXPECT_EQ(lamp("shpInv") + lamp("shpCWMinus") + lamp("shpCCWMinus"),
              clearColour() + kRed + kRed);
    EXPECT_EQ(cal().plot().samples().size(), points);
    EXPECT_TRUE(boxes.shown().empty());
}

// --- the test run ------------------------------------------------------------------------

TEST_F(Calibration, StopEndsTheRunAfterItsCycleAndOnlyThenSetsTheMainWindowBack) {
    wrench->liveL = 0x34;
    wrench->liveH = 0x12;
    setBoxes({{"txtgk_cwi_h", "&H20"}, {"txtgk_cwi_l", "&H00"}});
    ASSERT_EQ(mainButtons(), "10");
    cal().show();
    QStringList during;
    int readsAtStop = 0;
    run({{1000,
          [&] {
              during << mainButtons() + (enabled("cmdTestStart") ? "1" : "0") +
                            (enabled("cmdTestStop") ? "1" : "0");
              click("frmRs232WRCal.cmdReturn"); // hidden, the run goes on
          }},
         {2500, [&] {
              readsAtStop = wrench->requests[0x02];
              click("cmdTestStop");
              during << mainButtons() + (cal().testRunning() ? "r" : "-");
          }}});
    // Each cycle: 60 ms of request, 300 ms pause. Stop came in the seventh cycle's pause.
    EXPECT_EQ(during, (QStringList{"0101", "01r"}));
    EXPECT_EQ(wrench->requests[0x02], readsAtStop);
    EXPECT_EQ(cal().plot().samples().size(), static_cast<std::size_t>(readsAtStop));
    EXPECT_FALSE(cal().testRunning());
    EXPECT_EQ(mainButtons(), "10");
    EXPECT_TRUE(enabled("cmdTestStart"));
    EXPECT_FALSE(enabled("cmdTestStop"));
    EXPECT_FALSE(shown("frmRs232WRCal"));
    EXPECT_TRUE(shown("frmRs232SetCmd"));
    EXPECT_EQ(torque(), " 58.2"); // no second-order constant here
    EXPECT_EQ(mainTorque(), " 58.2");
    EXPECT_EQ(text("frmRs232SetCmd.txta_Ad_Ajust_H"), "12");
    // Each cycle starts with clean echoes.
    EXPECT_EQ(text("txtLocalHex"), "Read-------------\r\n&H10 &H00 &H02 \r\n");
}

TEST_F(Calibration, StopDuringTheReadStillComputesOnceMore) {
    int stops = 0;
    wrench->onRequest = [&](std::uint8_t) {
        if (wrench->requests[0x02] == 3 && stops++ == 0) {
            click("cmdTestStop");
        }
    };
    run({});
    EXPECT_EQ(wrench->requests[0x02], 3);
    EXPECT_EQ(cal().plot().samples().size(), 3u);
}

TEST_F(Calibration, AFailedReadIsReportedInItsCycleAndTheRunGoesOn) {
    wrench->liveL = 0x10;
    wrench->unanswered[0x02] = 2;
    boxes.answerOk(4);
    QStringList seen;
    boxes.setOnShow(
        [&](const ShownBox& b) { seen << b.title + QString::number(wrench->requests[0x02]); });
    wrench->onRequest = [&](std::uint8_t) {
        if (wrench->requests[0x02] == 4) {
            click("cmdTestStop");
        }
    };
    run({});
    EXPECT_EQ(seen, (QStringList{kCommError + "1", kHelp + "1", kCommError + "2", kHelp + "2"}));
    EXPECT_EQ(wrench->requests[0x02], 4);
    // Every cycle computes, from the boxes as the last good read left them.
    EXPECT_EQ(cal().plot().samples().size(), 4u);
    EXPECT_EQ(box("txta_Ad_Ajust_L"), "&H10");
}

TEST_F(Calibration, ThePauseIsReadOnceAtTheStartRoundedDown) {
    std::map<QString, std::int64_t> period;
    for (const QString pause : {"300", "300.9", "1", "32767"}) {
        setBox("txtDelayTime", pause);
        const auto before = liveReadTimes().size();
        wrench->onRequest = [&](std::uint8_t) {
            setBox("txtDelayTime", "5000"); // too late: the run has its pause
            if (liveReadTimes().size() == before + 2) {
                click("cmdTestStop");
            }
        };
        run({});
        const auto times = liveReadTimes();
        ASSERT_EQ(times.size(), before + 2);
        period[pause] = times.back() - times[times.size() - 2];
    }
    EXPECT_EQ(period["300.9"], period["300"]);
    EXPECT_EQ(period["300"] - period["1"], 299);
    EXPECT_EQ(period["32767"] - period["1"], 32766);
}

TEST_F(Calibration, APauseThatCannotBeOneIsRefusedAndNothingStarts) {
    for (const QString pause : {"", "abc", "0", "0.5", "-5", "32768", "&H8000", "99999"}) {
        SCOPED_TRACE(pause.toStdString());
        boxes.clear();
        boxes.answerOk();
        setBox("txtDelayTime", pause);
        click("cmdTestStart");
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].icon, BoxIcon::Exclamation);
        EXPECT_TRUE(boxes.shown()[0].text.contains("from 1 to 32767"));
        EXPECT_TRUE(boxes.shown()[0].text.contains('"' + pause + '"'));
        EXPECT_FALSE(cal().testRunning());
        EXPECT_EQ(mainButtons(), "10");
    }
    EXPECT_TRUE(port.written().empty());
}

TEST_F(Calibration, StopWithoutARunOnlySetsTheMainWindowsButtons) {
    click("cmdPortClose");
    ASSERT_EQ(mainButtons(), "00");
    cal().cmdTestStop_Click();
    EXPECT_EQ(mainButtons(), "10");
    EXPECT_TRUE(port.written().empty());
    EXPECT_TRUE(boxes.shown().empty());
    // The stop asked for then does not hold up the next run.
    click("cmdPortOpen");
    wrench->onRequest = [&](std::uint8_t) { click("cmdTestStop"); };
    run({});
    EXPECT_EQ(wrench->requests[0x02], 1);
}

TEST_F(Calibration, AStartDuringARunKeepsThatRunGoing) {
    int startsReturned = 0;
    run({{500,
          [&] {
              cal().cmdTestStop_Click();
              cal().cmdTestStart_Click(); // withdraws the stop, returns at once
              ++startsReturned;
          }},
         {2000, [&] { cal().cmdTestStop_Click(); }}});
    EXPECT_EQ(startsReturned, 1);
    // 2000 ms of cycles of 360 ms.
    EXPECT_EQ(wrench->requests[0x02], 6);
    EXPECT_EQ(mainButtons(), "10");
}

// "End" ends the program at once only from inside a wait; the run's step that lets pending
// events through between two cycles is one too.
TEST_F(Calibration, EndBetweenTwoCyclesComesInsideAWait) {
    int depthAtEnd = -1;
    auto* box = control("frmRs232WRCal.txtTk");
    const auto connection =
        QObject::connect(qobject_cast<QLineEdit*>(box), &QLineEdit::textChanged, [&] {
            // Pending when the computation ends: handled by the run's next look at events.
            QMetaObject::invokeMethod(
                box,
                [&] {
                    click("cmdEnd");
                    depthAtEnd = clock.waitDepth();
                    cal().cmdTestStop_Click(); // the fixture's program does not really end
                },
                Qt::QueuedConnection);
        });
    setBox("txta_Ad_Ajust_L", "1"); // the first computation changes the text
    run({});
    QObject::disconnect(connection);
    EXPECT_EQ(endRequests, 1);
    EXPECT_GT(depthAtEnd, 0);
    EXPECT_EQ(wrench->requests[0x02], 1);
}

// --- the plot ------------------------------------------------------------------------------

TEST_F(Calibration, EveryComputationAddsAPointAndSaveWritesThemAll) {
    // T = AD / 16.
    setBoxes({{"txtgk_cwi_h", "&H10"}, {"txtgk_cwi_l", "&H00"}});
    choosePt(0);
    const std::vector<std::pair<std::int64_t, QString>> steps{
        {0, "160"}, {250, "-48"}, {1250, "8"}};
    const std::int64_t start = clock.nowMs();
    for (const auto& [at, ad] : steps) {
        clock.advance(start + at - clock.nowMs());
        setBox("txta_Ad_Ajust_L", ad);
        setBox("txta_Ad_Ajust_H", "0");
        click("cmdCalTk");
    }
    TorquePlot& plot = cal().plot();
    ASSERT_EQ(plot.series()->count(), 3);
    EXPECT_DOUBLE_EQ(plot.series()->at(1).x(), 0.25);
    EXPECT_DOUBLE_EQ(plot.series()->at(1).y(), -0.3);
    EXPECT_LE(plot.torqueAxis()->min(), -0.3);
    EXPECT_GE(plot.torqueAxis()->max(), 1);

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
    EXPECT_EQ(file.readAll(), "time_ms,raw_ad,torque_nm\r\n0,160,1\r\n250,-48,-0.3\r\n"
                              "1250,8,0\r\n");

    // The context menu offers both, under the names the menu shows.
    QStringList menu;
    for (const QAction* action : plot.findChild<QWidget*>("chtTorqueView")->actions()) {
        menu << action->text();
    }
    EXPECT_EQ(menu, (QStringList{"Save as CSV…", "Clear"}));

    plot.mnuClear->trigger();
    EXPECT_EQ(plot.series()->count(), 0);
    EXPECT_TRUE(plot.samples().empty());
    click("cmdCalTk");
    EXPECT_EQ(plot.series()->at(0).x(), 0); // time counts from the first point after Clear
}

TEST_F(Calibration, SavingWhereNothingCanBeWrittenSaysSoAndCancellingWritesNothing) {
    click("cmdCalTk");
    TorquePlot& plot = cal().plot();
    QTemporaryDir dir;
    plot.setSavePathAsker([&](QWidget*) { return QString(); });
    plot.saveAsCsv();
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(boxes.shown().empty());

    const QString unwritable = dir.filePath("no-such-folder/run.csv");
    plot.setSavePathAsker([&](QWidget*) { return unwritable; });
    boxes.answerOk();
    plot.saveAsCsv();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].title, "Save as CSV");
    EXPECT_EQ(boxes.shown()[0].icon, BoxIcon::Critical);
    EXPECT_TRUE(boxes.shown()[0].text.contains(unwritable));
    EXPECT_FALSE(QFile::exists(unwritable));
}

// The curve keeps the minute it shows; the CSV keeps everything.
TEST_F(Calibration, ThePlotShowsTheLastMinuteAndScalesToIt) {
    TorquePlot& plot = cal().plot();
    for (int i = 0; i < 10'000; ++i) {
        // A ramp that falls back every 100 s: the minute shown spans part of one ramp.
        plot.addPoint(i * 100, 0, (i % 1000) / 10.0);
    }
    EXPECT_EQ(plot.samples().size(), 10'000u);
    EXPECT_LE(plot.series()->count(), 601);
    EXPECT_GE(plot.series()->count(), 600);
    EXPECT_DOUBLE_EQ(plot.timeAxis()->max(), 999.9);
    EXPECT_DOUBLE_EQ(plot.timeAxis()->min(), 939.9);
    // Shown: the torques 39.9 .. 99.9, inside the axis, which does not reach far beyond.
    EXPECT_LE(plot.torqueAxis()->min(), 39.9);
    EXPECT_GE(plot.torqueAxis()->min(), 0);
    EXPECT_GE(plot.torqueAxis()->max(), 99.9);
    EXPECT_LE(plot.torqueAxis()->max(), 150);
}

} // namespace
} // namespace zelcor::test
