// SPDX-License-Identifier: GPL-3.0-or-later
// The real QSerialPort in real time among the system's ports: a second program asking for
// the port this one holds, and what "Com No" lists.
#include "support/ScriptedMessageBoxes.h"

#include "app/frmRs232SetCmd.h"
#include "app/subMain.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "script/ControlLookup.h"
#include "serial/ReceiveEngine.h"
#include "serial/WrenchLink.h"
#include "session/WrenchSession.h"
#include "sim/DeviceServer.h"
#include "sim/PtyBridge.h"
#include "wrench/RequestCode.h"

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zelcor::test {
namespace {

// A second Zelcor asks for the port this one holds: it is told the port is in use, learnt
// from the lock alone, and this one's exchanges go on as if nothing had happened.
TEST(SystemPort, AnotherZelcorIsToldThePortIsInUseAndTheHolderGoesOn) {
    QtClock clock;
    QtSerialPort port;
    ScriptedMessageBoxes boxes;
    const auto quiet = [](const std::string&) {};
    WrenchLink link(clock, port, boxes, {quiet, quiet, [] {}, quiet});
    sim::PtyBridge bridge;
    std::string error;
    ASSERT_TRUE(bridge.start({}, error)) << error;
    bridge.wrench().poke(0x00, 0x05, 0x3C);
    const QString device = QString::fromStdString(bridge.devicePath());
    ASSERT_TRUE(link.open(bridge.devicePath(), SerialSettings{}, error)) << error;

    // The other program keeps its settings and files in folders of its own.
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                             "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        env.insert(QString::fromLatin1(name), home.path());
    }
    QProcess other;
    other.setProcessEnvironment(env);
    other.start(QStringLiteral(ZELCOR_BINARY), {QStringLiteral("--script"), QStringLiteral("-")});
    other.write(QStringLiteral("set cmbComSelect %1\nanswer ok\nclick cmdPortOpen\n"
                               "expect-enabled cmdPortClose false\n")
                    .arg(device)
                    .toUtf8());
    other.closeWriteChannel();
    ASSERT_TRUE(other.waitForStarted());
    // Reads until the other program has given up (each read lets events run, the process's
    // end among them); the bound only guards against a process that never ends.
    for (int reads = 0; other.state() != QProcess::NotRunning && reads < 300; ++reads) {
        const ReadReply r = link.read(0x00, 0x05);
        ASSERT_EQ(r.result, CommResult::Success) << "read " << reads;
        ASSERT_EQ(r.data[0], 0x3C) << "read " << reads;
    }
    ASSERT_TRUE(other.state() == QProcess::NotRunning || other.waitForFinished(60'000));
    const QString out = QString::fromUtf8(other.readAllStandardOutput());
    EXPECT_EQ(other.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("box Warning | Com %1 does not exit or (1200,8,N,2) "
                                            "is not supported\\r\\n%1 is in use by another program")
                                 .arg(device)))
        << out.toStdString();
    EXPECT_EQ(link.read(0x00, 0x05).data[0], 0x3C);
    EXPECT_TRUE(boxes.shown().empty());
}

// The windows through ser2net in front of the wrench, its address typed into "Com No": Get
// reads the wrench as on a local port, and ser2net killed during Read All is the port lost,
// before the exchange under way could time out, with no cell tried after it.
TEST(SystemPort, TheWindowsThroughADeviceServer) {
    sim::PtyBridge bridge;
    sim::DeviceServer server;
    std::string error;
    ASSERT_TRUE(bridge.start({}, error)) << error;
    bridge.recordLine(true);
    ASSERT_TRUE(server.start(bridge.terminalPath(), sim::DeviceServer::Mode::ComPortControl, error))
        << error;
    QtClock clock;
    QtSerialPort port;
    ScriptedMessageBoxes boxes;
    boxes.acceptAll();
    WrenchSession session(clock, port, boxes, NextRequestCode);
    frmRs232SetCmd window(session, Platform{clock, port, boxes, [] {}});
    const auto click = [&](const char* name) {
        auto* button = qobject_cast<QPushButton*>(findControl(window.windows(), name).widget);
        ASSERT_NE(button, nullptr) << name;
        button->click();
    };
    const auto requests = [&] {
        // C8 starts a read request; no address or reply byte of these reads is C8.
        return std::count_if(bridge.lineLog().begin(), bridge.lineLog().end(),
                             [](const sim::LineByte& b) { return !b.toHost && b.value == 0xC8; });
    };
    const QString url = QString::fromStdString(server.url());
    window.choosePort(url);
    click("cmdPortOpen");
    ASSERT_TRUE(port.isOpen())
        << (boxes.shown().empty() ? QString() : boxes.shown()[0].text).toStdString();
    click("cmdGetPara"); // after its reminder of the direction and digits
    EXPECT_EQ(requests(), 16);
    const std::size_t before = boxes.shown().size();

    bridge.clearLineLog();
    auto& memory = window.session().memory();
    memory.clear();
    for (int cell = cells::kFirstTransfer; cell <= cells::kLast; ++cell) {
        memory.setSelected(cell, true);
    }
    bool timedOut = false;
    auto timeOut = clock.createTimer([&] { timedOut = true; });
    std::unique_ptr<Timer> watch;
    watch = clock.createTimer([&] {
        if (requests() < 5) {
            watch->start(2);
            return;
        }
        server.kill();
        timeOut->start(ReceiveEngine::ReplyTimeOutMs);
    });
    watch->start(2);
    click("cmdReadAll");
    EXPECT_FALSE(timedOut);
    EXPECT_FALSE(port.isOpen());
    ASSERT_GT(boxes.shown().size(), before);
    EXPECT_EQ(boxes.shown()[before].text.toStdString(),
              "Com " + url.toStdString() + " has gone away: the connection to " +
                  url.section('/', 2).toStdString() +
                  " was lost: the server closed the connection. The port has been closed; open "
                  "it again once the device server is back.");
    const auto tried = requests();
    EXPECT_LE(tried, 6);
    for (int cell = cells::kFirstTransfer + static_cast<int>(tried); cell <= cells::kLast; ++cell) {
        EXPECT_FALSE(memory.byte(cell).has_value()) << cell;
    }
}

} // namespace
} // namespace zelcor::test
