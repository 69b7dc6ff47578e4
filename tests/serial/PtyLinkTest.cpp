// SPDX-License-Identifier: GPL-3.0-or-later
// The link through the real QSerialPort, in real time, against the simulated wrench behind a
// pseudo-terminal.
#include "support/ScriptedMessageBoxes.h"

#include "platform/NetworkPort.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "serial/WrenchLink.h"
#include "sim/PtyBridge.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace zelcor::test {
namespace {

TEST(PtyLink, ExchangesAnUnplugEndingItsExchangeAtOnceAndAReturnWithNothingStale) {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("wrench")).toStdString();
    QtClock clock;
    QtSerialPort port;
    ScriptedMessageBoxes boxes;
    std::string remote;
    WrenchLink link(clock, port, boxes,
                    {[](const std::string&) {}, [&](const std::string& s) { remote += s; }, [] {},
                     [](const std::string&) {}});
    std::vector<std::string> lost;
    link.setPortLostHandler([&](const std::string& why) { lost.push_back(why); });
    auto bridge = std::make_unique<sim::PtyBridge>();
    std::string error;
    ASSERT_TRUE(bridge->start(path, error)) << error;
    bridge->wrench().poke(0x00, 0x12, 0x5A);
    // 1200,N,8,2: the wrench answers only a line set up so.
    ASSERT_TRUE(link.open(path, SerialSettings{}, error)) << error;

    EXPECT_EQ(link.read(0x00, 0x12).data[0], 0x5A);
    EXPECT_EQ(link.write(0x00, 0x10, 0x7F), CommResult::Success);
    EXPECT_EQ(bridge->wrench().peek(0x00, 0x10), 0x7F);

    // Pulled out in the middle of an exchange: the port is closed at its first error, told
    // once, and the exchange ends then, well before its time-out could have ended it.
    auto pull = clock.createTimer([&] { bridge.reset(); });
    pull->start(30);
    bool timeOutPassed = false;
    auto timeOut = clock.createTimer([&] { timeOutPassed = true; });
    timeOut->start(ReceiveEngine::ReplyTimeOutMs);
    EXPECT_EQ(link.read(0x00, 0x12).result, CommResult::TimeOut);
    EXPECT_FALSE(timeOutPassed);
    EXPECT_FALSE(link.isOpen()); // the exchanges after it: PortTest
    clock.delay(300);            // nothing goes on reporting afterwards
    EXPECT_EQ(lost.size(), 1u);

    // Back under the same name: it opens again, and only the new reply arrives.
    bridge = std::make_unique<sim::PtyBridge>();
    ASSERT_TRUE(bridge->start(path, error)) << error;
    bridge->wrench().poke(0x00, 0x12, 0x3C);
    ASSERT_TRUE(link.open(path, SerialSettings{}, error)) << error;
    remote.clear();
    EXPECT_EQ(link.read(0x00, 0x12).data[0], 0x3C);
    // However the bytes came in batches, they were these five and no more.
    EXPECT_EQ(QString::fromStdString(remote).remove(QStringLiteral("\r\n")),
              QStringLiteral("&H00 &H12 &HAA &H3C &H3C "));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST(PtyLink, WhatIsNoPortSaysWhy) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("notes.txt"));
    QFile(file).open(QIODevice::WriteOnly);
    const std::string notAPort = "is a file or folder, not a serial port";
    // A stable name of 70 characters whose adapter is gone: the message holds all of it.
    QString link = dir.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
    link = link.left(66) + QString(std::max<qsizetype>(4, 70 - link.size()), QLatin1Char('0'));
    link = link.left(70);
    ASSERT_EQ(link.size(), 70);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/ttyZELCOR-gone"), link));
    for (const auto& [path, why] : {std::pair{file, notAPort},
                                    {dir.path(), notAPort},
                                    {QStringLiteral("/dev/ttyZELCOR-none"), "No such device"},
                                    {link, "No such device: " + link.toStdString() + ". "}}) {
        QtSerialPort port;
        std::string error;
        EXPECT_FALSE(port.open(path.toStdString(), SerialSettings{}, error));
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}

// Each port is given the link in the by-id folder that leads to its device, and only that.
TEST(PtyLink, PortsAreGivenTheStableNameThatLeadsToThem) {
    QTemporaryDir dir;
    sim::PtyBridge bridge;
    std::string error;
    ASSERT_TRUE(bridge.start({}, error)) << error;
    const QString byId = dir.filePath(QStringLiteral("by-id"));
    QDir().mkpath(byId);
    const QString name = byId + QStringLiteral("/usb-Prolific_USB-Serial_A1B2-if00-port0");
    ASSERT_TRUE(QFile::link(QString::fromStdString(bridge.terminalPath()), name));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/ttyZELCOR-gone"), byId + QStringLiteral("/x")));
    std::vector<PortInfo> ports{{"/dev/ttyZELCOR-none", "", "", "", ""},
                                {bridge.terminalPath(), "", "", "", ""}};
    AddStableNames(ports, byId.toStdString());
    EXPECT_EQ(ports[0].stableName, "");
    EXPECT_EQ(ports[1].stableName, name.toStdString());
}

// A device server that takes the connection and then says nothing is given up at the limit;
// the event loop runs on meanwhile (a window goes on drawing, its timers fire).
TEST(PtyLink, ASilentDeviceServerFailsTheOpeningAtItsLimit) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    NetworkPort port(200);
    QtClock clock;
    bool ticked = false;
    auto tick = clock.createTimer([&] { ticked = true; });
    tick->start(10);
    std::string error;
    EXPECT_FALSE(port.open("rfc2217://127.0.0.1:" + std::to_string(silent.serverPort()),
                           SerialSettings{}, error));
    EXPECT_NE(error.find("did not confirm the line settings 1200,N,8,2 within 200 ms"),
              std::string::npos)
        << error;
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(ticked);
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
