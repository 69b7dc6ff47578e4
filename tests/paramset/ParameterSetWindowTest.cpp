// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window shows of Get, the parameter Write and the live reading: its messages,
// boxes, lamp and buttons. What the jobs send and decide is the session's, tested there.
#include "support/IssuedSet.h"
#include "support/WrenchFixture.h"

#include "session/WrenchSession.h"
#include "widgets/QtMessageBoxes.h"
#include "widgets/Shape.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

namespace zelcor::test {
namespace {

class ParameterSetWindow : public WrenchFixture {
protected:
    // At every step of a parameter job: the message beside the row and the row's five boxes.
    void watch(const char* label, const char* suffix) {
        QObject::connect(&mainWindow->session(), &WrenchSession::parameterStage, [=, this] {
            QString row;
            for (const char* box : {"txtSta", "txtVIH", "txtVIL", "txtVAH", "txtVAL"}) {
                row += text(QString(box) + suffix);
            }
            steps << (shown(label) ? text(label) : QString("-")) + " " + row;
        });
    }
    QColor lamp() { return control<Shape>("Shape1")->fillColor(); }
    QStringList steps;
};

// Beside "Reading.....", Get's bar counts its 16 reads; it is emptied as Get ends.
TEST_F(ParameterSetWindow, GetShowsReadingWithItsBarThenOKThenTheSetAndItsRequest) {
    watch("lblMsg", "");
    auto* bar = control<QProgressBar>("prgMsg");
    QStringList counted;
    QObject::connect(bar, &QProgressBar::valueChanged, [&] { counted << bar->text(); });
    EXPECT_FALSE(enabled("cmdCopyReq"));
    boxes.answer(BoxAnswer::Yes);
    click("cmdGetPara");
    EXPECT_EQ(steps, (QStringList{"Reading..... 0000000000", "OK 0000000000", "- 5052516665"}));
    EXPECT_EQ(counted,
              (QStringList{"0 of 16", "1 of 16", "2 of 16", "3 of 16", "4 of 16", "5 of 16",
                           "6 of 16", "7 of 16", "8 of 16", "9 of 16", "10 of 16", "11 of 16",
                           "12 of 16", "13 of 16", "14 of 16", "15 of 16", "16 of 16"}));
    EXPECT_EQ(bar->text(), "");
    EXPECT_EQ(control<QProgressBar>("prgMsg1")->value(), -1); // Write's, untouched
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].title, "Warning");
    EXPECT_EQ(boxes.shown()[0].text,
              "Make sure the dircetion(CW/CCW) and the digits after decimal pt.");
    // The wrench's bytes are 40H + their address; the checksum worked out by hand.
    const QString request = text("txtParaReq");
    EXPECT_TRUE(request.startsWith("0001")) << request.toStdString();
    EXPECT_EQ(request.mid(8), "/1/00/01/4F/4E/4C4D/6B6C6D/01/0010/50/52/51/66/65/2556");
    click("cmdCopyReq");
    EXPECT_EQ(QApplication::clipboard()->text(), request);

    // No in the warning sends nothing.
    const std::size_t frames = wrench.receivedFrames().size();
    boxes.answer(BoxAnswer::No);
    click("cmdGetPara");
    EXPECT_EQ(wrench.receivedFrames().size(), frames);
}

TEST_F(ParameterSetWindow, WriteShowsReadingThenWritingThenTheSetWrittenOrZerosWhenRefused) {
    watch("lblMsg1", "1");
    control<QPlainTextEdit>("txtNewPara")
        ->setPlainText(
            QString::fromStdString(IssuedFor(wrench, {false, 1, "A1", "b2", "C3", "D4", "82"})));
    boxes.answer(BoxAnswer::Yes);
    click("cmdWrPara");
    EXPECT_EQ(steps,
              (QStringList{"Reading..... 0000000000", "Writing..... 0000000000", "- 82A1b2C3D4"}));
    EXPECT_EQ(boxes.shown()[0].title, "Warning!!!");
    EXPECT_EQ(boxes.shown()[0].text, "Are you sure?\r\nNote:Make sure the dircetion(CW/CCW) and "
                                     "the digits after decimal point.");

    steps.clear();
    control<QPlainTextEdit>("txtNewPara")->setPlainText("0001");
    boxes.answer(BoxAnswer::Yes);
    boxes.answerOk();
    click("cmdWrPara");
    EXPECT_EQ(steps, (QStringList{"Reading..... 0000000000", "- 0000000000"}));
    EXPECT_EQ(boxes.shown().back().title, "Error!!!");
}

// A set issued for another wrench code (A1B2C3 on the wrench 6B6C6D) passes the system's
// checks; the Write asks before it writes, and No writes nothing (Yes is the session's test).
TEST_F(ParameterSetWindow, ASetForAnotherWrenchIsNotWrittenWhenItsQuestionIsAnsweredNo) {
    control<QPlainTextEdit>("txtNewPara")
        ->setPlainText(QString::fromStdString(
            IssuedFor(wrench, {false, 1, "A1", "b2", "C3", "D4", "82"}, "A1B2C3")));
    watch("lblMsg1", "1");
    boxes.answer(BoxAnswer::Yes);
    boxes.answer(BoxAnswer::No);
    click("cmdWrPara");
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].title + " " + toString(boxes.shown()[1].buttons),
              "Warning!!! yes/no (no by default)");
    EXPECT_EQ(steps, (QStringList{"Reading..... 0000000000", "- 0000000000"}));
    EXPECT_EQ(addresses(true), std::vector<int>{});
}

// The real box: Enter and Escape answer its default, which is No where No is asked for.
TEST_F(ParameterSetWindow, AQuestionWhoseDefaultIsNoIsAnsweredNoByEnter) {
    const std::tuple<BoxButtons, Qt::Key, BoxAnswer> rows[] = {
        {BoxButtons::YesNo, Qt::Key_Return, BoxAnswer::Yes},
        {BoxButtons::YesNoDefaultNo, Qt::Key_Return, BoxAnswer::No},
        {BoxButtons::YesNoDefaultNo, Qt::Key_Escape, BoxAnswer::No}};
    QtMessageBoxes real;
    for (const auto& [buttons, key, answer] : rows) {
        SCOPED_TRACE(toString(buttons).toStdString() + " " + std::to_string(key));
        QTimer::singleShot(0, [key] {
            QMessageBox* box = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* b = qobject_cast<QMessageBox*>(w); b != nullptr && b->isVisible()) {
                    box = b;
                }
            }
            ASSERT_NE(box, nullptr);
            QTest::keyClick(box, key);
            if (box->isVisible()) {
                ADD_FAILURE() << "the key left the box up";
                box->close();
            }
        });
        EXPECT_EQ(real.show("?", "Warning!!!", BoxIcon::Exclamation, buttons), answer);
    }
}

// A megabyte on the clipboard is refused before the box lays any of it out; a set fits.
TEST_F(ParameterSetWindow, APasteLongerThanTheBoxTakesIsRefused) {
    auto* box = control<QPlainTextEdit>("txtNewPara");
    box->setPlainText("0001/");
    box->selectAll(); // replaced by the paste: 4096 characters in all are fine
    QApplication::clipboard()->setText(QString(4096, QLatin1Char('7')));
    box->paste();
    EXPECT_EQ(box->toPlainText().size(), 4096);
    QApplication::clipboard()->setText(QString(1 << 20, QLatin1Char('7')));
    boxes.answerOk();
    box->paste();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].title, "Paste");
    EXPECT_EQ(boxes.shown()[0].text, "The text to paste has 1048576 characters; this box takes at "
                                     "most 4096.\r\nNothing has been pasted.");
    EXPECT_EQ(box->toPlainText().size(), 4096);

    // A one-line box keeps no more than a few thousand characters of the same paste.
    auto* line = control<QLineEdit>("txtWriteData");
    line->paste();
    EXPECT_LE(line->text().size(), 4096);
}

// Either list of digits sets both and shows the maximum with them; typing sets nothing.
TEST_F(ParameterSetWindow, TheDigitListsActOnlyWhenAnItemIsChosen) {
    wrench.poke(0x00, 0x23, 0xFF);
    wrench.poke(0x00, 0x24, 0xFF);
    click("cmdRdMaxTk");
    EXPECT_EQ(text("txtMaxTk"), " 6553.5");
    choose("cmbFraN", " 3");
    EXPECT_EQ(text("cmbFraN1") + "|" + text("txtMaxTk"), " 3| 65.535");
    choose("cmbFraN1", " 0");
    EXPECT_EQ(text("cmbFraN") + "|" + text("txtMaxTk"), " 0| 65535");
    setText("cmbFraN", "2");
    setText("cmbDir", "CCW");
    EXPECT_EQ(mainWindow->session().setting().FraDigits, 0);
    EXPECT_FALSE(mainWindow->session().setting().DirCCW);
    choose("cmbDir", "CCW");
    EXPECT_TRUE(mainWindow->session().setting().DirCCW);
}

// Reading OFF puts the lamp out at once; the buttons wait for the cycle under way to end.
TEST_F(ParameterSetWindow, ReadingOnLightsTheLampAndHoldsTheButtonsUntilItsCycleHasEnded) {
    wrench.holdLive(0x1234, 0x00);
    QStringList seen;
    const auto look = [&] {
        QString states = lamp().name() + ' ';
        for (const char* name :
             {"cmdAutoOn", "cmdAutoOff", "cmdGetPara", "cmdWrPara", "cmdRdMaxTk", "cmdClrEr0"}) {
            states += enabled(name) ? '1' : '0';
        }
        seen << states;
    };
    look();
    clock.at(5000, [&] {
        look();
        EXPECT_EQ(text("frmRs232SetCmd.txta_Ad_Ajust_H") + text("frmRs232SetCmd.txta_Ad_Ajust_L"),
                  "1234");
        EXPECT_EQ(text("frmRs232SetCmd.txtTk"), text("frmRs232WRCal.txtTk"));
        click("cmdAutoOff");
        look();
    });
    boxes.answer(BoxAnswer::Yes); // Get's warning
    click("cmdAutoOn");
    look();
    EXPECT_EQ(seen, (QStringList{"#ffc0c0 101111", "#ff0000 010000", "#ffc0c0 000000",
                                 "#ffc0c0 101111"}));

    // A port lost ends the reading by the session's own stop: the lamp goes out with it, and
    // Reading On waits for a port.
    seen.clear();
    clock.at(clock.nowMs() + 5000, [&] {
        wrenchPort.unplug();
        look();
    });
    boxes.answer(BoxAnswer::Yes);
    boxes.answerOk(3); // the port-lost box, the cycle's failed read and its help
    click("cmdAutoOn");
    look();
    EXPECT_EQ(seen, (QStringList{"#ffc0c0 000000", "#ffc0c0 000011"}));
}

} // namespace
} // namespace zelcor::test
