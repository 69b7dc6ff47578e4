// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/WindowFixture.h"

#include "editor/frmRs232WRPara.h"
#include "serial/CommandProtocol.h"
#include "serial/ReceiveEngine.h"
#include "serial/WrenchLink.h"

#include <QLineEdit>

namespace zelcor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Exchanges of the main window against a port double whose replies the test times itself.
class Exchange : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        click("cmdPortOpen");
        ASSERT_TRUE(port.isOpen());
    }
    void replyAt(std::int64_t atMs, Bytes bytes) {
        clock.at(atMs, [this, bytes] { port.receive(bytes); });
    }
    struct Read {
        bool ok;
        std::uint8_t result;
        std::uint8_t data[3];
        std::int64_t endedAt;
    };
    Read read(std::uint8_t addr1, std::uint8_t addr0) {
        Read r{false, 0, {0xD0, 0xD1, 0xD2}, 0};
        r.ok = mainWindow->SendReadCmd_Chk(addr1, addr0, r.result, r.data[0], r.data[1], r.data[2]);
        r.endedAt = clock.nowMs();
        return r;
    }
    ReceiveEngine& engine() { return mainWindow->engine(); }
};

TEST_F(Exchange, ReadGoesOutByteByByteWithItsPacingAndChecksTheReply) {
    replyAt(100, {0x01, 0x20, 0xAA, 0x3C, 0x3C});
    const Read r = read(0x01, 0x20);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.data[0], 0x3C);
    EXPECT_EQ(r.data[1], 0x00);
    EXPECT_EQ(r.data[2], 0xD2); // left as it was
    ASSERT_EQ(port.written().size(), 3u);
    EXPECT_EQ(port.writtenBytes(), (Bytes{0xC8, 0x01, 0x20}));
    EXPECT_EQ(port.written()[0].atMs, 0);
    EXPECT_EQ(port.written()[1].atMs, 20);
    EXPECT_EQ(port.written()[2].atMs, 40);
    EXPECT_EQ(r.endedAt, 100); // done when the reply is, not at the time-out
    EXPECT_EQ(text("txtState"), "RECV_EXIT");
    EXPECT_FALSE(engine().timeOutRunning());
}

TEST_F(Exchange, EveryReplyCheckFailsWithSyntaxErrorAndLeavesTheData) {
    const std::vector<Bytes> bad{
        {0x02, 0x20, 0xAA, 0x3C, 0x3C}, // address echo, high byte
        {0x01, 0x21, 0xAA, 0x3C, 0x3C}, // address echo, low byte
        {0x01, 0x20, 0xAB, 0x3C, 0x3C}, // marker
        {0x01, 0x20, 0xAA, 0x3C, 0x3D}, // the two copies of the data byte
    };
    for (const Bytes& reply : bad) {
        replyAt(clock.nowMs() + 100, reply);
        const Read r = read(0x01, 0x20);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.result, 4);
        EXPECT_EQ(r.data[0], 0xD0);
        EXPECT_EQ(r.data[1], 0xD1);
    }
}

TEST_F(Exchange, CalibrationReadDeliversThreeCheckedDataBytes) {
    replyAt(90, {0x00, 0x02, 0xAA, 0x10, 0x10, 0xAA, 0x20, 0x20, 0xAA, 0x05, 0x05});
    Read r = read(0x00, 0x02);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.data[0], 0x10);
    EXPECT_EQ(r.data[1], 0x20);
    EXPECT_EQ(r.data[2], 0x05);

    // Each of the three groups is checked: marker and both copies.
    for (const std::size_t wrong : {5u, 7u, 8u, 10u}) {
        Bytes reply{0x00, 0x02, 0xAA, 0x10, 0x10, 0xAA, 0x20, 0x20, 0xAA, 0x05, 0x05};
        reply[wrong] ^= 0x01;
        replyAt(clock.nowMs() + 90, reply);
        r = read(0x00, 0x02);
        EXPECT_FALSE(r.ok) << wrong;
        EXPECT_EQ(r.result, 4) << wrong;
    }
}

TEST_F(Exchange, CommandRepliesReportOnlyThroughTheResult) {
    replyAt(90, {0x00, 0x00});
    Read r = read(0x00, 0x00);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.data[0], 0xD0);

    replyAt(clock.nowMs() + 90, {0x00, 0x01});
    r = read(0x00, 0x00);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.result, 4);
}

TEST_F(Exchange, WriteIsPacedAtFiftyMillisecondsAndChecksItsEcho) {
    replyAt(250, {0x00, 0x10, 0x7F});
    std::uint8_t result = 0;
    EXPECT_TRUE(mainWindow->SendWriteCmd_Chk(0x00, 0x10, 0x7F, result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(port.writtenBytes(), (Bytes{0xE8, 0x00, 0x10, 0x7F}));
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(port.written()[i].atMs, static_cast<std::int64_t>(50 * i));
    }

    replyAt(clock.nowMs() + 250, {0x00, 0x10, 0x7E});
    EXPECT_FALSE(mainWindow->SendWriteCmd_Chk(0x00, 0x10, 0x7F, result));
    EXPECT_EQ(result, 4);
}

TEST_F(Exchange, TimeOutCountsFromTheStartOfTheCycleNotFromTheLastByte) {
    const std::int64_t start = clock.nowMs();
    std::uint8_t result = 0;
    EXPECT_FALSE(mainWindow->SendWriteCmd_Chk(0x00, 0x10, 0x7F, result));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(clock.nowMs() - start, 3000);
    EXPECT_TRUE(engine().RecvTimeOut);
    EXPECT_FALSE(engine().RecvComplete);

    // A reply one byte short waits for the time-out too.
    replyAt(clock.nowMs() + 100, {0x01, 0x20, 0xAA, 0x3C});
    const std::int64_t second = clock.nowMs();
    const Read r = read(0x01, 0x20);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.endedAt - second, 3000);
    EXPECT_FALSE(engine().RecvComplete);
}

TEST_F(Exchange, ReplySplitOverTwoEventsCompletesOnTheSecond) {
    replyAt(70, {0x00, 0x05});
    replyAt(85, {0xAA, 0x42, 0x42});
    const Read r = read(0x00, 0x05);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.data[0], 0x42);
    EXPECT_EQ(r.endedAt, 85);
    EXPECT_EQ(text("txtRemoteHex"), "&H00 &H05 \r\n&HAA &H42 &H42 \r\n");
}

TEST_F(Exchange, ExtraBytesAreEchoedButNotChecked) {
    replyAt(70, {0x00, 0x05, 0xAA, 0x42, 0x42, 0x99, 0x98});
    const Read r = read(0x00, 0x05);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.data[0], 0x42);
    EXPECT_EQ(text("txtRemoteHex"), "&H00 &H05 &HAA &H42 &H42 &H99 &H98 \r\n");
}

TEST_F(Exchange, TransmitEchoOfAReadAndAWrite) {
    replyAt(70, {0x00, 0x05, 0xAA, 0x00, 0x00});
    read(0x00, 0x05);
    replyAt(clock.nowMs() + 210, {0x00, 0x10, 0x7F});
    std::uint8_t result = 0;
    mainWindow->SendWriteCmd_Chk(0x00, 0x10, 0x7F, result);
    EXPECT_EQ(
        text("txtLocalHex"),
        "Read-------------\r\n&H10 &H00 &H05 \r\nWrite-----------\r\n&H01 &H00 &H10 &H7F\r\n");
}

TEST_F(Exchange, Reset232DuringTheWaitEndsItAsIncomplete) {
    replyAt(60, {0x00, 0x05}); // part of a reply has come
    clock.at(500, [this] { click("cmdRstSend"); });
    const Read r = read(0x00, 0x05);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.endedAt, 500);
    EXPECT_EQ(text("txtState"), "IDLE0");
    EXPECT_EQ(engine().RecvBuf.GetDepth(), 0);

    // The old time-out still fires later, into the idle engine, and changes nothing else.
    clock.advance(3000);
    EXPECT_EQ(text("txtState"), "IDLE0");
    EXPECT_TRUE(port.written().size() == 3u);

    // A reply that came whole during the last pause and was wiped by the reset before its
    // checks is incomplete too: checked against the emptied buffer, a write of 00 to 00 00
    // would pass whatever came back.
    const std::int64_t start = clock.nowMs();
    replyAt(start + 160, {0xFF, 0xFF, 0xFF});
    clock.at(start + 180, [this] { click("cmdRstSend"); });
    std::uint8_t result = 0;
    EXPECT_FALSE(mainWindow->SendWriteCmd_Chk(0x00, 0x00, 0x00, result));
    EXPECT_EQ(result, 2);
}

TEST_F(Exchange, BytesOutsideAnExchangeAreEchoedButNotStored) {
    port.receive({0x00, 0x05, 0xAA});
    EXPECT_EQ(text("txtRemoteHex"), "&H00 &H05 &HAA \r\n");
    EXPECT_EQ(engine().RecvBuf.GetDepth(), 0);

    replyAt(70, {0x00, 0x05, 0xAA, 0x01, 0x01});
    read(0x00, 0x05);
    click("cmdRstSend");
    port.receive({0x77});
    EXPECT_EQ(engine().RecvBuf.GetDepth(), 0);
    EXPECT_EQ(text("txtState"), "IDLE0");
}

TEST_F(Exchange, ClosedPortEndsInTimeOutWithNothingOnTheWire) {
    click("cmdPortClose");
    const Read r = read(0x00, 0x05);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.endedAt, 3000);
    EXPECT_TRUE(port.written().empty());
}

TEST_F(Exchange, CommResultBoxesThenHelp) {
    mainWindow->ShowCommResult(0);
    mainWindow->ShowCommResult(3);
    mainWindow->ShowCommResult(255);
    EXPECT_TRUE(boxes.shown().empty());

    const std::vector<std::pair<std::uint8_t, QString>> codes{
        {1, "Data Receving is time-out"},
        {2, "Data Receving is not enough"},
        {4, "Data Receving has an error(syntax err)"}};
    for (const auto& [code, message] : codes) {
        boxes.clear();
        boxes.answerOk(2);
        mainWindow->ShowCommResult(code);
        ASSERT_EQ(boxes.shown().size(), 2u);
        EXPECT_EQ(boxes.shown()[0].title, "Communication Error");
        EXPECT_EQ(boxes.shown()[0].text, message);
        EXPECT_EQ(boxes.shown()[0].icon, BoxIcon::Critical);
        EXPECT_EQ(boxes.shown()[1].title, "Help");
        EXPECT_EQ(boxes.shown()[1].text,
                  "Step1:Connect Rs232 cable firmly.\r\nStep2:Make sure the wrench is on "
                  "'send'state.\r\nStep3:Try again!");
        EXPECT_EQ(boxes.shown()[1].icon, BoxIcon::Information);
    }
}

TEST_F(Exchange, NestedDelaysOfTheWindowEachLastTheirOwnPeriod) {
    std::int64_t innerEnded = -1;
    clock.at(10, [&] {
        mainWindow->MyDelay(200);
        innerEnded = clock.nowMs();
    });
    mainWindow->MyDelay(50);
    EXPECT_EQ(innerEnded, 210);
    EXPECT_GE(clock.nowMs(), 50);
    mainWindow->MyDelay(0);
    mainWindow->MyDelay(-1);
    EXPECT_EQ(clock.nowMs(), 210);
}

TEST_F(Exchange, ReplyLengthBoxTakesTheIntegerPartAndSurvivesAnyText) {
    setText("txtReplyNo", "7.9");
    EXPECT_EQ(engine().RecvLen, 7);
    setText("txtReplyNo", "abc");
    EXPECT_EQ(engine().RecvLen, 0);
    setText("txtReplyNo", "99999999999");
    EXPECT_EQ(engine().RecvLen, 32767);
    setText("txtReplyNo", "-99999999999");
    EXPECT_EQ(engine().RecvLen, -32768);
    setText("txtReplyNo", "&H7FFFFFFFFFFFFFFFFFFF");
    EXPECT_EQ(engine().RecvLen, 32767);
}

TEST_F(Exchange, AnExchangeAskedForDuringAnotherSendsNothingAndSaysSo) {
    // Nothing on the screen can start an exchange now, but a timer or a modal box's event
    // loop still can: the link itself refuses it.
    Read inner{};
    bool innerWrite = true;
    std::uint8_t innerWriteResult = 0;
    bool rawByte = true;
    boxes.answerOk(3);
    clock.at(30, [&] {
        inner = read(0x00, 0x02);
        innerWrite = mainWindow->SendWriteCmd_Chk(0x00, 0x10, 0x55, innerWriteResult);
        rawByte = mainWindow->link().SendOneByte(0x1A);
    });
    replyAt(100, {0x00, 0x10, 0xAA, 0x42, 0x42});
    const Read outer = read(0x00, 0x10);

    EXPECT_EQ(port.writtenBytes(), (Bytes{0xC8, 0x00, 0x10}));
    EXPECT_TRUE(outer.ok);
    EXPECT_EQ(outer.data[0], 0x42);
    EXPECT_FALSE(inner.ok);
    EXPECT_EQ(inner.result, CommResult::Busy);
    EXPECT_EQ(inner.data[0], 0xD0); // untouched
    EXPECT_EQ(inner.endedAt, 30);   // refused at once, no waiting
    EXPECT_FALSE(innerWrite);
    EXPECT_EQ(innerWriteResult, CommResult::Busy);
    EXPECT_FALSE(rawByte);
    // Told apart from a wrench fault: its own box, and no communication error or help.
    ASSERT_EQ(boxes.shown().size(), 3u);
    for (const ShownBox& box : boxes.shown()) {
        EXPECT_EQ(box.title, "Link Busy");
        EXPECT_TRUE(box.text.contains("not sent")) << box.text.toStdString();
    }
    mainWindow->ShowCommResult(inner.result); // what a caller does with a failure
    EXPECT_EQ(boxes.shown().size(), 3u);

    // The link is free again afterwards.
    replyAt(clock.nowMs() + 200, {0x00, 0x02, 0xAA, 1, 1, 0xAA, 2, 2, 0xAA, 3, 3});
    EXPECT_TRUE(read(0x00, 0x02).ok);
}

TEST_F(Exchange, AnOperationAskedForDuringAnExchangeDoesNotStart) {
    // Get, Read All and the rest reset the receive engine before their first exchange: run
    // from a timer inside a read, they would break it.
    boxes.answerOk(3);
    clock.at(30, [&] {
        mainWindow->cmdRdMaxTk_Click();
        mainWindow->cmdGetPara_Click();
        mainWindow->editor().cmdReadAll_Click();
    });
    replyAt(100, {0x00, 0x10, 0xAA, 0x42, 0x42});
    const Read r = read(0x00, 0x10);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(port.writtenBytes(), (Bytes{0xC8, 0x00, 0x10}));
    ASSERT_EQ(boxes.shown().size(), 3u);
    for (const ShownBox& box : boxes.shown()) {
        EXPECT_EQ(box.title, "Link Busy");
    }
}

TEST_F(Exchange, TheReplyLengthBoxCannotChangeTheRunningExchange) {
    for (const char* typed : {"1", "12"}) {
        bool usable = true;
        clock.at(clock.nowMs() + 30, [&] {
            usable = enabled("txtReplyNo");
            // Even set behind the disabled box's back, the running exchange keeps its length.
            mainWindow->txtReplyNo->setText(QString::fromLatin1(typed));
        });
        replyAt(clock.nowMs() + 100, {0x00, 0x05, 0xAA, 0x12, 0x12});
        const std::int64_t start = clock.nowMs();
        const Read r = read(0x00, 0x05);
        EXPECT_FALSE(usable) << typed;
        EXPECT_TRUE(r.ok) << typed;
        EXPECT_EQ(r.result, 0) << typed;
        EXPECT_EQ(r.endedAt - start, 100) << typed;
        EXPECT_TRUE(enabled("txtReplyNo"));
    }
    EXPECT_TRUE(boxes.shown().empty());
}

} // namespace
} // namespace zelcor::test
