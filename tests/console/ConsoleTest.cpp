// SPDX-License-Identifier: GPL-3.0-or-later
// The register console: what it refuses before sending, where a reply shows, the echoes and
// the named parameters. The exchanges themselves are the link's.
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
};

// Every field is checked; the last one that fails names itself, and nothing is sent.
TEST_F(Console, BadFieldsAreRefusedWithTheirReasonAndNothingIsSent) {
    setText("txtAddr1Read", "123");
    setText("txtAddr0Read", "");
    click("cmdRead");
    EXPECT_EQ(text("lblErrorMessage"), "read addr0 errorlength=0,please Enter 00~FF,no space");
    setText("txtAddr0Write", "0x");
    setText("txtWriteData", "100");
    click("cmdWrite");
    EXPECT_EQ(text("lblErrorMessage"), "write data errorlength>2,please Enter 00~FF,no space");
    setText("txtSendByte", "1G");
    click("cmdSendAByte");
    EXPECT_EQ(text("lblErrorMessage"), "Enter the hex-value 00~FF.   Enter 0123456789ABCDEFabcdef");
    EXPECT_TRUE(shown("lblErrorMessage"));
    EXPECT_TRUE(port.written().empty());
    EXPECT_EQ(text("txtLocalHex") + text("txtReadData(0)"), "XX");

    // Lower-case digits are good ones, and a good click hides the label again.
    setText("txtAddr1Write", "0a");
    setText("txtAddr0Write", "1f");
    setText("txtWriteData", "ff");
    replyAt(250, {0x0A, 0x1F, 0xFF});
    click("cmdWrite");
    EXPECT_FALSE(shown("lblErrorMessage"));
    EXPECT_EQ(port.writtenBytes(), (Bytes{0xE8, 0x0A, 0x1F, 0xFF}));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Console, ReadShowsItsBytesOrAfterTheBoxesXX) {
    const auto data = [this] {
        return text("txtReadData(0)") + text("txtReadData(1)") + text("txtReadData(2)");
    };
    setText("txtAddr0Read", "23");
    replyAt(80, {0x00, 0x23, 0xAA, 0x5A, 0x5A});
    click("cmdRead");
    EXPECT_EQ(data(), "5A0000");
    setText("txtAddr0Read", "02");
    replyAt(clock.nowMs() + 80, {0x00, 0x02, 0xAA, 0x34, 0x34, 0xAA, 0x12, 0x12, 0xAA, 0x01, 0x01});
    click("cmdRead");
    EXPECT_EQ(data(), "341201");

    QStringList seenAtBoxes;
    boxes.setOnShow([&](const ShownBox& b) { seenAtBoxes << b.title + ": " + data(); });
    boxes.answerOk(2);
    click("cmdRead");
    EXPECT_EQ(seenAtBoxes,
              (QStringList{"Communication Error: 341201", "Help: 341201"})); // the boxes first
    EXPECT_EQ(data(), "XXXXXX");
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
    EXPECT_EQ(text("txtLocalHex") + text("txtRemoteHex"), "");
}

TEST_F(Console, NamedParameterFillsTheAddressBoxesAndSendsNothing) {
    auto* combo = control<QComboBox>("frmRs232SetCmd.Combo1");
    for (const auto& [name, addr0] :
         std::vector<std::pair<QString, QString>>{{"gStatusEp", "10"},
                                                  {"a_AdTorqABS_H", "1A"},
                                                  {"gK_CCWG_H", "28"},
                                                  {"gstatusep", "28"}}) {
        setText("txtAddr1Read", "01");
        setText("txtAddr1Write", "02");
        combo->setCurrentIndex(combo->findText(name));
        combo->setEditText(name);
        Q_EMIT combo->activated(combo->currentIndex());
        EXPECT_EQ(text("txtAddr1Read") + text("txtAddr0Read") + text("txtAddr1Write") +
                      text("txtAddr0Write"),
                  "00" + addr0 + "00" + addr0)
            << name.toStdString(); // an unknown name leaves Addr0 as it was
    }
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
