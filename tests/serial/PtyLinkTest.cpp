// SPDX-License-Identifier: GPL-3.0-or-later
// The real QSerialPort, in real time, against the simulated wrench behind a pseudo-terminal.
#include "support/ScriptedMessageBoxes.h"

#include "app/frmRs232SetCmd.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "sim/PtyBridge.h"
#include "widgets/EchoBox.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>

#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace zelcor::test {
namespace {

TEST(PtyLink, ExchangesOverARealPortAndAnUnplugClosesItQuietly) {
    QtClock clock;
    QtSerialPort port;
    ScriptedMessageBoxes boxes;
    auto bridge = std::make_unique<sim::PtyBridge>();
    std::string error;
    ASSERT_TRUE(bridge->start({}, error)) << error;
    sim::SimulatedWrench& wrench = bridge->wrench();

    frmRs232SetCmd window(Platform{clock, port, boxes, [] {}});
    window.cmbComSelect->setEditText(QString::fromStdString(bridge->devicePath()));
    window.cmdPortOpen->click(); // 1200,N,8,2: the wrench answers only a line set up so
    ASSERT_TRUE(port.isOpen());
    EXPECT_FALSE(window.cmdPortOpen->isEnabled());

    window.txtAddr0Read->setText(QStringLiteral("12"));
    window.cmdRead->click();
    EXPECT_EQ(window.txtReadData[0]->text(),
              QStringLiteral("%1").arg(wrench.peek(0x00, 0x12), 2, 16, QLatin1Char('0')).toUpper());

    window.txtAddr0Write->setText(QStringLiteral("10"));
    window.txtWriteData->setText(QStringLiteral("7F"));
    window.cmdWrite->click();
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(wrench.peek(0x00, 0x10), 0x7F);
    ASSERT_EQ(wrench.receivedFrames().size(), 2u);
    EXPECT_FALSE(wrench.receivedFrames()[0].write);
    EXPECT_EQ(wrench.receivedFrames()[0].addr0, 0x12);
    EXPECT_TRUE(wrench.receivedFrames()[1].write);
    EXPECT_EQ(wrench.receivedFrames()[1].addr0, 0x10);
    EXPECT_EQ(wrench.receivedFrames()[1].data, 0x7F);

    // The far end goes away: the port is closed at its first error and reported once.
    boxes.answerOk();
    bridge.reset();
    bool gaveUp = false;
    auto guard = clock.createTimer([&] { gaveUp = true; });
    guard->start(10'000); // against hanging only
    clock.waitUntil([&] { return !port.isOpen() || gaveUp; });
    ASSERT_FALSE(gaveUp) << "the lost port was never noticed";
    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(window.cmdPortOpen->isEnabled());
    EXPECT_FALSE(window.cmdPortClose->isEnabled());

    // Nothing keeps reporting afterwards: the port is closed, not left open on a hung-up
    // terminal. (What a wait costs in CPU is the benchmark's figure.)
    clock.delay(300);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(boxes.shown().size(), 1u);
}

TEST(PtyLink, AReplyLeftOnTheLineWhenThePortClosedIsNotDeliveredAfterReopening) {
    QtClock clock;
    QtSerialPort port;
    sim::PtyBridge bridge;
    std::string error;
    ASSERT_TRUE(bridge.start({}, error)) << error;
    std::size_t received = 0;
    port.setReceiveHandler(
        [&](const std::vector<std::uint8_t>& bytes) { received += bytes.size(); });

    ASSERT_TRUE(port.open(bridge.devicePath(), SerialSettings{}, error)) << error;
    for (const std::uint8_t b : {0xC8, 0x00, 0x12}) {
        port.writeByte(b);
    }
    clock.delay(10);
    port.close(); // before the reply: it goes on arriving with nobody listening
    clock.delay(200);
    ASSERT_TRUE(port.open(bridge.devicePath(), SerialSettings{}, error)) << error;
    clock.delay(100);
    EXPECT_EQ(received, 0u);
}

// Waits in real time for `condition`, for at most ten seconds.
bool waitFor(QtClock& clock, const std::function<bool()>& condition) {
    bool gaveUp = false;
    auto guard = clock.createTimer([&] { gaveUp = true; });
    guard->start(10'000);
    clock.waitUntil([&] { return condition() || gaveUp; });
    return condition();
}

TEST(PtyLink, AWrenchThatGoesAwayAndComesBackReopensWithNothingStale) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string link = dir.filePath(QStringLiteral("wrench")).toStdString();
    QtClock clock;
    QtSerialPort port;
    ScriptedMessageBoxes boxes;
    auto bridge = std::make_unique<sim::PtyBridge>();
    std::string error;
    ASSERT_TRUE(bridge->start(link, error)) << error;
    frmRs232SetCmd window(Platform{clock, port, boxes, [] {}});
    window.cmbComSelect->setEditText(QString::fromStdString(link));
    window.cmdPortOpen->click();
    ASSERT_TRUE(port.isOpen());
    window.txtAddr0Read->setText(QStringLiteral("12"));
    window.cmdRead->click();
    ASSERT_TRUE(boxes.shown().empty());

    // Between two exchanges the adapter is pulled, a read goes out into nothing...
    boxes.answerOk();
    bridge.reset();
    ASSERT_TRUE(waitFor(clock, [&] { return !port.isOpen(); }));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].title, "Warning");

    // ...and comes back under the same name: opening again works, and only the new reply
    // arrives.
    bridge = std::make_unique<sim::PtyBridge>();
    ASSERT_TRUE(bridge->start(link, error)) << error;
    bridge->wrench().poke(0x00, 0x12, 0x3C);
    window.cmdPortOpen->click();
    ASSERT_TRUE(port.isOpen()) << boxes.shown().back().text.toStdString();
    window.cmdClr->click();
    window.cmdRead->click();
    EXPECT_EQ(window.txtReadData[0]->text(), QStringLiteral("3C"));
    // However the bytes came in batches, they were these five and no more.
    EXPECT_EQ(window.txtRemoteHex->text().remove(QStringLiteral("\r\n")),
              QStringLiteral("&H00 &H12 &HAA &H3C &H3C "));
    EXPECT_EQ(boxes.shown().size(), 1u);
    window.cmdPortClose->click();
}

TEST(PtyLink, AFileOrFolderIsNoPortAndSaysSo) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("notes.txt"));
    QFile(file).open(QIODevice::WriteOnly);
    QtClock clock;
    QtSerialPort port;
    ScriptedMessageBoxes boxes;
    frmRs232SetCmd window(Platform{clock, port, boxes, [] {}});
    for (const QString& path : {file, dir.path()}) {
        boxes.clear();
        boxes.answerOk();
        window.cmbComSelect->setEditText(path);
        window.cmdPortOpen->click();
        EXPECT_FALSE(port.isOpen());
        ASSERT_EQ(boxes.shown().size(), 1u);
        const QStringList lines = boxes.shown()[0].text.split(QStringLiteral("\r\n"));
        ASSERT_EQ(lines.size(), 2) << boxes.shown()[0].text.toStdString();
        EXPECT_TRUE(
            lines[0].endsWith(QStringLiteral("does not exit or (1200,8,N,2) is not supported")));
        EXPECT_TRUE(lines[1].contains(QStringLiteral("not a serial port")))
            << lines[1].toStdString();
        EXPECT_TRUE(window.cmdPortOpen->isEnabled());
    }
}

TEST(PtyLink, AWrittenByteIsWithTheDriverWhenTheWriteReturns) {
    // The pause after a request byte is timed from the write call, so the byte must be on
    // its way by then, not waiting in a buffer for the event loop to come round.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);

    QtSerialPort port;
    std::string error;
    ASSERT_TRUE(port.open(name, SerialSettings{}, error)) << error;
    for (const std::uint8_t byte : {0xC8, 0x00, 0x12}) {
        ASSERT_TRUE(port.writeByte(byte));
        pollfd far{master, POLLIN, 0};
        ASSERT_EQ(poll(&far, 1, 0), 1) << "byte " << int(byte) << " is not on the line";
        std::uint8_t seen = 0;
        ASSERT_EQ(read(master, &seen, 1), 1);
        EXPECT_EQ(seen, byte);
    }
    port.close();
    close(slave);
    close(master);
}

} // namespace
} // namespace zelcor::test
