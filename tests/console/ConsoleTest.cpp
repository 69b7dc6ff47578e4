// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/WindowFixture.h"

#include "widgets/EchoBox.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>

namespace zelcor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class Console : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        click("cmdPortOpen");
    }
    void replyAt(std::int64_t atMs, Bytes bytes) {
        clock.at(atMs, [this, bytes] { port.receive(bytes); });
    }
    QStringList txtReadDataSeenAtBox;
    void expectRejected(const char* button, const QString& label) {
        click(button);
        EXPECT_TRUE(shown("lblErrorMessage")) << button;
        EXPECT_EQ(text("lblErrorMessage"), label) << button;
        EXPECT_TRUE(port.written().empty()) << button << " sent bytes";
        EXPECT_EQ(text("txtLocalHex"), "") << button;
    }
};

TEST_F(Console, ReadRefusesBadAddressesWithTheirReasonAndSendsNothing) {
    setText("txtAddr1Read", "0G");
    expectRejected("cmdRead", "read addr1 errorEnter 0123456789ABCDEFabcdef");
    setText("txtAddr1Read", "123");
    expectRejected("cmdRead", "read addr1 errorlength>2,please Enter 00~FF,no space");
    setText("txtAddr1Read", "00");
    setText("txtAddr0Read", "5");
    expectRejected("cmdRead", "read addr0 errorEnter 0123456789ABCDEFabcdef");
    setText("txtAddr1Read", "");
    setText("txtAddr0Read", "");
    // The second failure's text replaces the first.
    expectRejected("cmdRead", "read addr0 errorlength=0,please Enter 00~FF,no space");
    EXPECT_EQ(text("txtReadData(0)"), "XX");
}

TEST_F(Console, WriteChecksAddressAndDataInOrder) {
    setText("txtAddr1Write", "0x");
    setText("txtWriteData", "100");
    expectRejected("cmdWrite", "write data errorlength>2,please Enter 00~FF,no space");
    setText("txtWriteData", "00");
    expectRejected("cmdWrite", "write addr1 errorEnter 0123456789ABCDEFabcdef");
    setText("txtAddr1Write", "00");
    setText("txtAddr0Write", "G0");
    expectRejected("cmdWrite", "write addr0 errorEnter 0123456789ABCDEFabcdef");
}

TEST_F(Console, LowerCaseDigitsAreAcceptedAndTheLabelHidesAgain) {
    setText("txtSendByte", "1G");
    expectRejected("cmdSendAByte", "Enter the hex-value 00~FF.   Enter 0123456789ABCDEFabcdef");
    setText("txtAddr1Write", "0a");
    setText("txtAddr0Write", "1f");
    setText("txtWriteData", "ff");
    replyAt(250, {0x0A, 0x1F, 0xFF});
    click("cmdWrite");
    EXPECT_FALSE(shown("lblErrorMessage"));
    EXPECT_EQ(port.writtenBytes(), (Bytes{0xE8, 0x0A, 0x1F, 0xFF}));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Console, ReadShowsTheByteOrTheThreeCalibrationBytes) {
    setText("txtAddr0Read", "23");
    replyAt(80, {0x00, 0x23, 0xAA, 0x5A, 0x5A});
    click("cmdRead");
    EXPECT_EQ(text("txtReadData(0)"), "5A");
    EXPECT_EQ(text("txtReadData(1)"), "00");
    EXPECT_EQ(text("txtReadData(2)"), "00");

    setText("txtAddr0Read", "02");
    replyAt(clock.nowMs() + 80, {0x00, 0x02, 0xAA, 0x34, 0x34, 0xAA, 0x12, 0x12, 0xAA, 0x01, 0x01});
    click("cmdRead");
    EXPECT_EQ(text("txtReadData(0)"), "34");
    EXPECT_EQ(text("txtReadData(1)"), "12");
    EXPECT_EQ(text("txtReadData(2)"), "01");
}

TEST_F(Console, TimedOutReadShowsTheBoxesThenXX) {
    txtReadDataSeenAtBox.clear();
    boxes.setOnShow([this](const ShownBox&) { txtReadDataSeenAtBox << text("txtReadData(0)"); });
    replyAt(80, {0x00, 0x05, 0xAA, 0x5A, 0x5A});
    click("cmdRead");
    boxes.answerOk(2);
    click("cmdRead");
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].text, "Data Receving is time-out");
    EXPECT_EQ(boxes.shown()[1].title, "Help");
    // The boxes come first; the data boxes turn to XX after them.
    EXPECT_EQ(txtReadDataSeenAtBox, (QStringList{"5A", "5A"}));
    for (const char* name : {"txtReadData(0)", "txtReadData(1)", "txtReadData(2)"}) {
        EXPECT_EQ(text(name), "XX");
    }
}

TEST_F(Console, SendByteSendsOneByteAndStartsNoReceiveCycle) {
    setText("txtSendByte", "1a");
    click("cmdSendAByte");
    EXPECT_EQ(port.writtenBytes(), Bytes{0x1A});
    EXPECT_EQ(text("txtLocalHex"), "1a ");
    EXPECT_EQ(text("txtState"), "IDLE0");
    EXPECT_EQ(clock.nowMs(), 0);
    port.receive({0x42});
    EXPECT_EQ(text("txtRemoteHex"), "&H42 \r\n");

    click("cmdClr");
    EXPECT_EQ(text("txtLocalHex"), "");
    EXPECT_EQ(text("txtRemoteHex"), "");
}

TEST_F(Console, NamedParameterFillsTheAddressBoxesAndSendsNothing) {
    auto* combo = control<QComboBox>("frmRs232SetCmd.Combo1");
    ASSERT_EQ(combo->count(), 25);
    EXPECT_EQ(combo->itemText(0), "gStatusEp");
    EXPECT_EQ(combo->itemText(24), "gK_CCWG_H");
    EXPECT_EQ(text("frmRs232SetCmd.Combo1"), "");

    const std::vector<std::pair<QString, QString>> picks{
        {"gStatusEp", "10"}, {"a_AdTorqABS_H", "1A"}, {"gK_CCWG_H", "28"}, {"gK_CWI_H", "12"}};
    for (const auto& [name, addr0] : picks) {
        setText("txtAddr1Read", "01");
        setText("txtAddr1Write", "02");
        setText("txtAddr0Write", "33");
        combo->setCurrentIndex(combo->findText(name));
        mainWindow->Combo1_Click();
        EXPECT_EQ(text("txtAddr1Read"), "00") << name.toStdString();
        EXPECT_EQ(text("txtAddr1Write"), "00");
        EXPECT_EQ(text("txtAddr0Read"), addr0) << name.toStdString();
        EXPECT_EQ(text("txtAddr0Write"), addr0);
    }

    setText("txtAddr1Read", "01");
    setText("frmRs232SetCmd.Combo1", "gstatusep");
    mainWindow->Combo1_Click();
    EXPECT_EQ(text("txtAddr1Read"), "00");
    EXPECT_EQ(text("txtAddr0Read"), "12"); // unchanged
    EXPECT_TRUE(port.written().empty());
}

TEST_F(Console, EchoBoxesShowTheirLastLinesWithoutTakingTheFocus) {
    mainWindow->show();
    QApplication::setActiveWindow(mainWindow.get());
    auto* addr0 = control<QLineEdit>("txtAddr0Read");
    addr0->setFocus();
    auto* echo = control<EchoBox>("txtRemoteHex");
    for (int i = 0; i < 200; ++i) {
        port.receive({static_cast<std::uint8_t>(i)});
    }
    QApplication::processEvents();
    EXPECT_GT(echo->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(echo->verticalScrollBar()->value(), echo->verticalScrollBar()->maximum());
    EXPECT_EQ(QApplication::focusWidget(), addr0);
    EXPECT_TRUE(echo->text().endsWith("&HC7 \r\n"));
    EXPECT_EQ(echo->document()->blockCount(), 201); // one line per event, no empty lines
}

} // namespace
} // namespace zelcor::test
