// SPDX-License-Identifier: GPL-3.0-or-later
// Get and Write of the parameter set through the main window, against the simulated wrench
// on the virtual clock.
#include "support/IssuedSet.h"
#include "support/WrenchFixture.h"

#include "common/TextConv.h"
#include "editor/frmRs232WRPara.h"
#include "paramset/ParaRecord.h"
#include "sim/SimulatedPort.h"
#include "sim/SimulatedWrench.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <cstdio>
#include <map>

namespace zelcor::test {
namespace {

using sim::ReceivedFrame;

class ParameterSet : public WrenchFixture {
protected:
    // The message a factory would issue for this wrench with new constants.
    std::string issue(bool ccw, int digits, const char* vih, const char* vil, const char* vah,
                      const char* val, const char* status = "05") {
        return IssuedFor(wrench, NewConstants{ccw, digits, vih, vil, vah, val, status});
    }
    // Answers Yes to the warning and OK to `boxesAfter` boxes that follow it.
    void writePara(const std::string& text, int boxesAfter = 0) {
        control<QPlainTextEdit>("txtNewPara")->setPlainText(QString::fromStdString(text));
        boxes.answer(BoxAnswer::Yes);
        boxes.answerOk(boxesAfter);
        click("cmdWrPara");
    }
};

const std::vector<int> kGetReads{0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13,
                                 0x14, 0x25, 0x26, 0x27, 0x28, 0x2B, 0x2C, 0x2D};

TEST_F(ParameterSet, GetReadsSixteenCellsAndHandsOutARequestForEachDirection) {
    EXPECT_EQ(text("txtParaReq"), "");
    EXPECT_FALSE(enabled("cmdCopyReq"));
    std::vector<QString> codes;
    for (const bool ccw : {false, true}) {
        choose("cmbDir", ccw ? "CCW" : "CW");
        boxes.answer(BoxAnswer::Yes);
        click("cmdGetPara");
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].title, "Warning");
        EXPECT_EQ(boxes.shown()[0].buttons, BoxButtons::YesNo);
        boxes.clear();

        EXPECT_EQ(addresses(false), kGetReads);
        EXPECT_TRUE(addresses(true).empty());
        // The constants of the chosen direction; the status either way.
        EXPECT_EQ(text("txtVIH").toStdString(), hex(ccw ? 0x14 : 0x12));
        EXPECT_EQ(text("txtVIL").toStdString(), hex(ccw ? 0x13 : 0x11));
        EXPECT_EQ(text("txtVAH").toStdString(), hex(ccw ? 0x28 : 0x26));
        EXPECT_EQ(text("txtVAL").toStdString(), hex(ccw ? 0x27 : 0x25));
        EXPECT_EQ(text("txtSta").toStdString(), hex(0x10));
        EXPECT_FALSE(shown("lblMsg"));
        EXPECT_TRUE(enabled("cmdGetPara"));

        const QString request = text("txtParaReq");
        ASSERT_EQ(request.size(), 4 + 4 + 54);
        EXPECT_TRUE(request.startsWith("0001"));
        bool digits = false;
        request.mid(4, 4).toInt(&digits);
        EXPECT_TRUE(digits) << request.toStdString();
        codes.push_back(request.mid(4, 4));
        const std::string message = request.mid(8).toStdString();
        EXPECT_EQ(message.substr(0, 9), "/1/00/01/");
        EXPECT_EQ(message.substr(50), ChecksumText(message.substr(0, 49)));
        EXPECT_NE(message.find(ccw ? "/0011/" : "/0010/"), std::string::npos);
        // What the technician sends on is what Copy puts on the clipboard.
        click("cmdCopyReq");
        EXPECT_EQ(QApplication::clipboard()->text(), request);
        EXPECT_EQ(ParameterRequestText(gCurPara), request.toStdString());
        const_cast<std::vector<ReceivedFrame>&>(wrench.receivedFrames()).clear();
    }
    EXPECT_NE(codes[0], codes[1]) << "two Gets handed out the same request code";
}

TEST_F(ParameterSet, GetFromAWrenchThatStopsAnsweringCarriesXX) {
    sim::Faults faults;
    faults.stopAfter = 5; // answers 0C to 10, then nothing
    wrench.setFaults(faults);
    boxes.answer(BoxAnswer::Yes);
    boxes.answerOk(2); // the editor's error box and its help
    click("cmdGetPara");
    EXPECT_EQ(text("txtSta").toStdString(), hex(0x10));
    for (const char* box : {"txtVIH", "txtVIL", "txtVAH", "txtVAL"}) {
        EXPECT_EQ(text(box), "XX") << box;
    }
    EXPECT_EQ(gCurPara.WrCode, "XXXXXX");
    const std::string message = text("txtParaReq").mid(8).toStdString();
    EXPECT_NE(message.find("/XXXXXX/"), std::string::npos) << message;
    EXPECT_EQ(message.substr(50), ChecksumText(message.substr(0, 49)));
}

TEST_F(ParameterSet, GetHoldsTheLinkAndTheEditorsStopEndsItsReadingAfterTheCell) {
    std::map<std::string, bool> during;
    clock.at(150, [&] {
        for (const char* name : {"cmdRead", "cmdWrite", "cmdGetPara", "cmdWrPara", "cmdRdMaxTk",
                                 "frmRs232WRPara.cmdReadAll", "frmRs232WRPara.cmdStop"}) {
            during[name] = enabled(name);
        }
        click("frmRs232WRPara.cmdStop");
    });
    boxes.answer(BoxAnswer::Yes);
    boxes.answerOk(); // the editor's "Communication exit"
    click("cmdGetPara");
    for (const auto& [name, usable] : during) {
        EXPECT_EQ(usable, name == "frmRs232WRPara.cmdStop") << name;
    }
    EXPECT_EQ(addresses(false), (std::vector<int>{0x0C, 0x0D}));
    EXPECT_EQ(boxes.shown().back().title, "Stop");
    EXPECT_EQ(text("txtSta"), "XX");
    EXPECT_TRUE(text("txtParaReq").contains("/XXXXXX/"));
    EXPECT_TRUE(enabled("cmdGetPara"));
}

TEST_F(ParameterSet, NoInEitherWarningSendsNothingAndChangesNothing) {
    boxes.answer(BoxAnswer::Yes);
    click("cmdGetPara");
    const ParaRecord before = gCurPara;
    const QString request = text("txtParaReq");
    const std::size_t frames = wrench.receivedFrames().size();
    boxes.clear();

    boxes.answer(BoxAnswer::No);
    click("cmdGetPara");
    control<QPlainTextEdit>("txtNewPara")
        ->setPlainText(QString::fromStdString(issue(false, 1, "11", "22", "33", "44")));
    boxes.answer(BoxAnswer::No);
    click("cmdWrPara");
    EXPECT_EQ(wrench.receivedFrames().size(), frames);
    EXPECT_EQ(text("txtParaReq"), request);
    EXPECT_EQ(gCurPara.Message, before.Message);
    EXPECT_EQ(text("txtSta1"), "");
    EXPECT_FALSE(shown("lblMsg"));
    EXPECT_FALSE(shown("lblMsg1"));
}

TEST_F(ParameterSet, WriteReadsTheIdentityThenWritesTwelveCellsForEitherDirection) {
    for (const bool ccw : {false, true}) {
        choose("cmbDir", ccw ? "CCW" : "CW");
        const std::array<std::uint8_t, 4> untouched =
            ccw ? std::array<std::uint8_t, 4>{0x11, 0x12, 0x25, 0x26}
                : std::array<std::uint8_t, 4>{0x13, 0x14, 0x27, 0x28};
        std::array<std::uint8_t, 4> before{};
        for (std::size_t i = 0; i < 4; ++i) {
            before[i] = wrench.peek(0x00, untouched[i]);
        }
        const_cast<std::vector<ReceivedFrame>&>(wrench.receivedFrames()).clear();
        // Pasted from mail: blank lines around it, constants in lower case.
        writePara("\r\n  " + issue(ccw, 1, "a1", "b2", "c3", "d4", "82") + " \r\n");
        ASSERT_EQ(boxes.shown().size(), 1u) << boxes.shown().back().text.toStdString();
        boxes.clear();

        EXPECT_EQ(addresses(false),
                  (std::vector<int>{0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x2B, 0x2C, 0x2D}));
        const std::vector<int> expected =
            ccw ? std::vector<int>{0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x13,
                                   0x14, 0x27, 0x28, 0x2B, 0x2C, 0x2D}
                : std::vector<int>{0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11,
                                   0x12, 0x25, 0x26, 0x2B, 0x2C, 0x2D};
        EXPECT_EQ(addresses(true), expected);
        const ConstantCells cells = ConstantCellsFor(ccw);
        EXPECT_EQ(wrench.peek(0x00, 0x10), 0x82);
        EXPECT_EQ(wrench.peek(0x00, static_cast<std::uint8_t>(cells.VIH)), 0xA1);
        EXPECT_EQ(wrench.peek(0x00, static_cast<std::uint8_t>(cells.VIL)), 0xB2);
        EXPECT_EQ(wrench.peek(0x00, static_cast<std::uint8_t>(cells.VAH)), 0xC3);
        EXPECT_EQ(wrench.peek(0x00, static_cast<std::uint8_t>(cells.VAL)), 0xD4);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(wrench.peek(0x00, untouched[i]), before[i]);
        }
        EXPECT_EQ(text("txtVIH1").toUpper(), "A1");
        EXPECT_EQ(text("txtVIL1").toUpper(), "B2");
        EXPECT_EQ(text("txtVAH1").toUpper(), "C3");
        EXPECT_EQ(text("txtVAL1").toUpper(), "D4");
        EXPECT_EQ(text("txtSta1"), "82");
        EXPECT_FALSE(shown("lblMsg1"));
        EXPECT_TRUE(enabled("cmdWrPara"));
    }
}

TEST_F(ParameterSet, ARefusedTextWritesNothingAndSaysWhy) {
    const std::string good = issue(false, 1, "11", "22", "33", "44");
    std::string badSum = good;
    const int sum = std::stoi(good.substr(good.size() - 4));
    const std::string oneLess = std::to_string(10000 + (sum + 9999) % 10000).substr(1);
    badSum.replace(badSum.size() - 4, 4, oneLess);
    const std::vector<std::pair<std::string, QString>> cases{
        {"", "Syntax error:New parameter error"},
        {"0002" + good.substr(4), "Message format error"},
        {good.substr(0, good.rfind('/')) + good.substr(good.size() - 4), "Syntax error"},
        {badSum, "CheckSum error"},
        {issue(true, 1, "11", "22", "33", "44"), "Syntax error:Check CW/CCW direction"},
        {issue(true, 2, "11", "22", "33", "44"),
         "Syntax error:The wrench is not the same one or decimal point Err"},
        {"0001" + std::string(120, '/'), "Syntax error:New parameter error"},
    };
    for (const auto& [textIn, message] : cases) {
        const std::size_t frames = wrench.receivedFrames().size();
        writePara(textIn, 1);
        ASSERT_EQ(boxes.shown().size(), 2u) << textIn;
        EXPECT_EQ(boxes.shown()[1].title, "Error!!!");
        EXPECT_EQ(boxes.shown()[1].text, message) << textIn;
        EXPECT_EQ(boxes.shown()[1].icon, BoxIcon::Exclamation);
        boxes.clear();
        // Only the eight reads of the identity went out.
        EXPECT_EQ(wrench.receivedFrames().size(), frames + 8) << textIn;
        EXPECT_TRUE(addresses(true).empty()) << textIn;
        EXPECT_FALSE(shown("lblMsg1"));
        EXPECT_TRUE(enabled("cmdWrPara"));
    }
}

TEST_F(ParameterSet, AnIdentityByteThatCouldNotBeReadStopsWriteBeforeAnyWrite) {
    const std::string good = issue(false, 1, "11", "22", "33", "44");
    sim::Faults faults;
    faults.stopAfter = 5; // 0C to 10 answer; 2B, 2C and 2D do not
    wrench.setFaults(faults);
    writePara(good, 3); // the editor's error and help, then Write's own box
    ASSERT_EQ(boxes.shown().size(), 4u);
    EXPECT_EQ(boxes.shown()[3].title, "Error!!!");
    EXPECT_TRUE(boxes.shown()[3].text.contains("2BH, 2CH, 2DH"))
        << boxes.shown()[3].text.toStdString();
    EXPECT_TRUE(addresses(true).empty());
}

TEST_F(ParameterSet, RequestFromGetIsAcceptedBackByWriteOnTheSameWrench) {
    boxes.answer(BoxAnswer::Yes);
    click("cmdGetPara");
    boxes.clear();
    // The factory edits the constants and signs the body anew.
    std::string request = text("txtParaReq").toStdString();
    ParaRecord issued;
    ASSERT_TRUE(ParseMessage(request.substr(8), issued));
    issued.VIH = "0A";
    issued.VAL = "F0";
    ComposeMessage(issued);
    issued.ReqCode = request.substr(4, 4);
    writePara(ParameterRequestText(issued));
    ASSERT_EQ(boxes.shown().size(), 1u) << boxes.shown().back().text.toStdString();
    EXPECT_EQ(wrench.peek(0x00, 0x12), 0x0A);
    EXPECT_EQ(wrench.peek(0x00, 0x25), 0xF0);
}

TEST_F(ParameterSet, DigitListsActOnlyWhenAnItemIsChosen) {
    mainWindow->MaxTkRaw = 65535;
    choose("cmbFraN", " 3");
    EXPECT_EQ(mainWindow->FraDigits, 3);
    EXPECT_EQ(text("cmbFraN1"), " 3");
    EXPECT_EQ(text("txtMaxTk"), " 65.535");
    choose("cmbFraN1", " 0");
    EXPECT_EQ(text("cmbFraN"), " 0");
    EXPECT_EQ(text("txtMaxTk"), " 65535");
    // Typing changes no setting.
    setText("cmbFraN", "2");
    setText("cmbDir", "CCW");
    EXPECT_EQ(mainWindow->FraDigits, 0);
    EXPECT_FALSE(mainWindow->DirCCW);
    choose("cmbDir", "CCW");
    EXPECT_TRUE(mainWindow->DirCCW);
}

TEST_F(ParameterSet, ReadMaxTorqueShowsTheStoredValueWithTheChosenDigits) {
    wrench.poke(0x00, 0x23, 0xD2);
    wrench.poke(0x00, 0x24, 0x04);
    click("cmdRdMaxTk");
    EXPECT_EQ(addresses(false), (std::vector<int>{0x10, 0x23, 0x24}));
    EXPECT_EQ(mainWindow->MaxTkRaw, 0x04D2);
    EXPECT_EQ(text("txtMaxTk"), " 123.4");
    choose("cmbFraN", " 2");
    EXPECT_EQ(text("txtMaxTk"), " 12.34");

    wrench.poke(0x00, 0x23, 0xFF);
    wrench.poke(0x00, 0x24, 0xFF);
    choose("cmbFraN1", " 0");
    click("cmdRdMaxTk");
    EXPECT_EQ(text("txtMaxTk"), " 65535");
    EXPECT_FALSE(shown("lblMsg"));

    // The maximum could not be read: the editor says so, and nothing stale stays shown.
    sim::Faults faults;
    faults.stopAfter = 1;
    wrench.setFaults(faults);
    boxes.answerOk(2);
    click("cmdRdMaxTk");
    EXPECT_EQ(text("txtMaxTk"), " 0");
}

TEST_F(ParameterSet, ClearEr0ClearsOnlyBit7AndTheMaximumAndNeverWritesAnUnreadStatus) {
    for (const auto& [status, cleared] :
         std::vector<std::pair<int, int>>{{0x82, 0x02}, {0x80, 0x00}}) {
        wrench.poke(0x00, 0x10, static_cast<std::uint8_t>(status));
        wrench.poke(0x00, 0x23, 0x12);
        wrench.poke(0x00, 0x24, 0x34);
        const std::size_t before = wrench.receivedFrames().size();
        click("cmdClrEr0");
        std::vector<std::pair<int, int>> written;
        for (std::size_t i = before; i < wrench.receivedFrames().size(); ++i) {
            const ReceivedFrame& f = wrench.receivedFrames()[i];
            if (f.write) {
                written.emplace_back(f.addr0, f.data);
            }
        }
        EXPECT_EQ(written,
                  (std::vector<std::pair<int, int>>{{0x10, cleared}, {0x23, 0}, {0x24, 0}}));
        EXPECT_TRUE(boxes.shown().empty());
    }
    EXPECT_EQ(text("txtMaxTk"), "00"); // the clear neither reads nor shows the maximum

    wrench.poke(0x00, 0x10, 0x82);
    sim::Faults faults;
    faults.noReply = true;
    wrench.setFaults(faults);
    const std::size_t writesBefore = addresses(true).size();
    boxes.answerOk(3); // the editor's error and help, then what the clear did not do
    click("cmdClrEr0");
    EXPECT_EQ(addresses(true).size(), writesBefore) << "something was written";
    EXPECT_EQ(boxes.shown().back().title, "Error!!!");
    EXPECT_TRUE(boxes.shown().back().text.contains("10H"));
    EXPECT_EQ(wrench.peek(0x00, 0x10), 0x82);
    EXPECT_FALSE(shown("lblMsg"));
}

} // namespace
} // namespace zelcor::test
