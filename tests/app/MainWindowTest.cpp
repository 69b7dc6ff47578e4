// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/WindowFixture.h"

#include "widgets/Shape.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace zelcor::test {
namespace {

using MainWindow = WindowFixture;

QStringList items(QComboBox* combo) {
    QStringList list;
    for (int i = 0; i < combo->count(); ++i) {
        list << combo->itemText(i);
    }
    return list;
}

TEST_F(MainWindow, CaptionsAndInitialTexts) {
    const std::vector<std::pair<const char*, const char*>> expected{
        {"frmRs232SetCmd", "Zelcor V1.3"},
        {"cmbComSelect", "1"},
        {"cmbBaudrate", "1200"},
        {"cmbDatabit", "8"},
        {"cmbParity", "N"},
        {"cmbStopbit", "2"},
        {"cmdPortOpen", "&Port Open"},
        {"cmdPortClose", "Port &Close"},
        {"cmdRstSend", "Reset 232"},
        {"cmdSendAByte", "Send Byte"},
        {"txtSendByte", "00"},
        {"cmdRead", "Read"},
        {"txtAddr1Read", "00"},
        {"txtAddr0Read", "05"},
        {"txtReadData(0)", "XX"},
        {"txtReadData(1)", "XX"},
        {"txtReadData(2)", "XX"},
        {"cmdWrite", "Write"},
        {"txtAddr1Write", "00"},
        {"txtAddr0Write", "05"},
        {"txtWriteData", "00"},
        {"txtReplyNo", "10"},
        {"txtState", "IDLE0"},
        {"txtLocalHex", ""},
        {"txtRemoteHex", ""},
        {"cmdClr", "Clr Hex"},
        {"lblErrorMessage", "Error message"},
        {"cmdGetPara", "Get"},
        {"cmdWrPara", "Write"},
        {"cmbDir", "CW"},
        {"frmRs232SetCmd.txta_Ad_Ajust_H", "00"},
        {"frmRs232SetCmd.txta_Ad_Ajust_L", "05"},
        {"frmRs232SetCmd.txtTk", "00"},
        {"cmdAutoOn", "Reading On"},
        {"cmdAutoOff", "Reading OFF"},
        {"cmbFraN", "1"},
        {"cmbFraN1", "1"},
        {"cmdRdMaxTk", "Read Max Torque"},
        {"txtMaxTk", "00"},
        {"cmdClrEr0", "Clear Er0/Max Torque"},
        {"cmdRs232WRCal", "cmdRs232WRCal"},
        {"cmdRs232WRPara", "cmdRs232WRPara"},
        {"Command1", "Command1"},
        {"cmdEnd", "End"},
        {"Text1", "Text1"},
        {"frmRs232WRPara", "扳手參數"},
        {"frmRs232WRCal", "扳手校正命令"},
    };
    for (const auto& [name, caption] : expected) {
        EXPECT_EQ(text(name), QString::fromUtf8(caption)) << name;
    }
}

TEST_F(MainWindow, ButtonsEnabledAndDisabledAtStart) {
    for (const char* name :
         {"cmdPortOpen", "cmdClr", "cmdRdMaxTk", "cmdClrEr0", "cmdRs232WRCal", "cmdRs232WRPara",
          "Command1", "cmdEnd", "cmbComSelect", "cmbBaudrate"}) {
        EXPECT_TRUE(enabled(name)) << name;
    }
    for (const char* name :
         {"cmdPortClose", "cmdRstSend", "cmdSendAByte", "cmdRead", "cmdWrite", "cmdGetPara",
          "cmdWrPara", "cmdAutoOn", "cmdAutoOff", "cmbParity", "cmbDatabit", "cmbStopbit",
          "txtReadData(0)", "txtReadData(1)", "txtReadData(2)"}) {
        EXPECT_FALSE(enabled(name)) << name;
    }
}

TEST_F(MainWindow, ListsAreFilledWithoutChangingTheShownTexts) {
    QStringList ports;
    for (int i = 1; i <= 16; ++i) {
        ports << QStringLiteral(" %1").arg(i);
    }
    EXPECT_EQ(items(control<QComboBox>("cmbComSelect")), ports);
    EXPECT_EQ(items(control<QComboBox>("cmbComSelect")).first(), " 1");
    const QStringList digits{" 0", " 1", " 2", " 3"};
    EXPECT_EQ(items(control<QComboBox>("cmbFraN")), digits);
    EXPECT_EQ(items(control<QComboBox>("cmbFraN1")), digits);
    EXPECT_EQ(items(control<QComboBox>("cmbDir")), (QStringList{"CW", "CCW"}));
    EXPECT_EQ(items(control<QComboBox>("cmbBaudrate")), (QStringList{"1200", "2400"}));
    EXPECT_EQ(items(control<QComboBox>("cmbParity")), QStringList{});
    // The typed text stays "1", not the first item " 1".
    EXPECT_EQ(text("cmbComSelect"), "1");
}

TEST_F(MainWindow, LoadedStateBehindTheControls) {
    EXPECT_FALSE(mainWindow->DirCCW);
    EXPECT_EQ(mainWindow->FraDigits, 1);
    EXPECT_EQ(mainWindow->MaxTkRaw, 0);
    EXPECT_EQ(control<Shape>("Shape1")->fillColor(), QColor(255, 192, 192));
    // Hidden until something has to be said.
    EXPECT_FALSE(shown("lblErrorMessage"));
    EXPECT_FALSE(shown("lblMsg"));
    EXPECT_FALSE(shown("lblMsg1"));
    // The unused box of this window is on it, as it always was.
    EXPECT_TRUE(shown("Text1"));
    // The echo boxes are multi-line with a vertical scroll bar.
    EXPECT_EQ(control<QPlainTextEdit>("txtLocalHex")->verticalScrollBarPolicy(),
              Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(control<QPlainTextEdit>("txtRemoteHex")->verticalScrollBarPolicy(),
              Qt::ScrollBarAlwaysOn);
    // Nothing goes to the instrument at start-up, and the port stays closed.
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.openCount(), 0);
    EXPECT_TRUE(port.written().empty());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(MainWindow, OtherWindowsAreLoadedHiddenAndShownWithTheirContents) {
    EXPECT_FALSE(shown("frmRs232WRPara"));
    EXPECT_FALSE(shown("frmRs232WRCal"));

    QWidget* editor = control("frmRs232WRPara");
    editor->setProperty("probe", 42); // stands for contents the user left there
    click("cmdRs232WRPara");
    EXPECT_TRUE(shown("frmRs232WRPara"));
    editor->hide();
    click("Command1");
    EXPECT_EQ(control("frmRs232WRPara"), editor);
    EXPECT_TRUE(shown("frmRs232WRPara"));
    EXPECT_EQ(editor->property("probe").toInt(), 42);
    click("cmdRs232WRPara");
    EXPECT_TRUE(shown("frmRs232WRPara"));

    click("cmdRs232WRCal");
    EXPECT_TRUE(shown("frmRs232WRCal"));
    EXPECT_TRUE(shown("frmRs232WRPara")); // modeless: both stay up
    EXPECT_TRUE(enabled("cmdEnd"));
    EXPECT_EQ(endRequests, 0);
}

TEST_F(MainWindow, EndReleasesThePortClosesEveryWindowAndAsksNothing) {
    std::string error;
    ASSERT_TRUE(port.open("/dev/ttyS0", SerialSettings{}, error));
    mainWindow->show();
    click("cmdRs232WRPara");
    click("cmdRs232WRCal");
    click("cmdEnd");
    EXPECT_EQ(endRequests, 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.written().empty());
    EXPECT_FALSE(shown("frmRs232SetCmd"));
    EXPECT_FALSE(shown("frmRs232WRPara"));
    EXPECT_FALSE(shown("frmRs232WRCal"));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(MainWindow, ClosingTheMainWindowEndsTheProgramOnce) {
    mainWindow->show();
    click("cmdRs232WRPara");
    mainWindow->close();
    EXPECT_EQ(endRequests, 1);
    EXPECT_FALSE(shown("frmRs232WRPara"));
    click("cmdEnd"); // a late click changes nothing
    EXPECT_EQ(endRequests, 1);
}

} // namespace
} // namespace zelcor::test
