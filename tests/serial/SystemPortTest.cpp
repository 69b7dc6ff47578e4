// SPDX-License-Identifier: GPL-3.0-or-later
// The real QSerialPort in real time: why a port does not open, and what "Com No" lists.
#include "support/ScriptedMessageBoxes.h"

#include "app/frmRs232SetCmd.h"
#include "app/subMain.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "sim/PtyBridge.h"
#include "widgets/PortComboBox.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <gtest/gtest.h>

namespace zelcor::test {
namespace {

// A second Zelcor asks for the port this one holds: it is told the port is in use, learnt
// from the lock alone, and this one's exchanges go on as if nothing had happened.
TEST(SystemPort, AnotherZelcorIsToldThePortIsInUseAndTheHolderGoesOn) {
    QtClock clock;
    QtSerialPort port;
    ScriptedMessageBoxes boxes;
    sim::PtyBridge bridge;
    std::string error;
    ASSERT_TRUE(bridge.start({}, error)) << error;
    bridge.wrench().poke(0x00, 0x05, 0x3C);
    const QString device = QString::fromStdString(bridge.devicePath());

    frmRs232SetCmd holder(Platform{clock, port, boxes, [] {}});
    holder.cmbComSelect->setEditText(device);
    holder.cmdPortOpen->click();
    ASSERT_TRUE(port.isOpen());

    QProcess other;
    other.start(QStringLiteral(ZELCOR_BINARY), {QStringLiteral("--script"), QStringLiteral("-")});
    other.write(QStringLiteral("set cmbComSelect %1\n"
                               "answer ok\n"
                               "click cmdPortOpen\n"
                               "expect-enabled cmdPortClose false\n")
                    .arg(device)
                    .toUtf8());
    other.closeWriteChannel();
    ASSERT_TRUE(other.waitForStarted());
    int reads = 0;
    // Reads until the other program has given up (each read lets events run, the process's
    // end among them); the bound only guards against a process that never ends.
    while (other.state() != QProcess::NotRunning && reads < 300) {
        holder.txtReadData[0]->setText(QStringLiteral("XX"));
        holder.cmdRead->click();
        ASSERT_EQ(holder.txtReadData[0]->text(), "3C") << "read " << reads;
        ++reads;
    }
    ASSERT_TRUE(other.state() == QProcess::NotRunning || other.waitForFinished(60'000));
    ASSERT_EQ(other.exitStatus(), QProcess::NormalExit);
    const QString out = QString::fromUtf8(other.readAllStandardOutput());
    EXPECT_EQ(other.exitCode(), 0) << out.toStdString();
    const qsizetype box = out.indexOf(QStringLiteral("box Warning | Com %1 does not exit or "
                                                     "(1200,8,N,2) is not supported\\r\\n")
                                          .arg(device));
    ASSERT_GE(box, 0) << out.toStdString();
    const QString secondLine = out.mid(box).section(QLatin1String("\\r\\n"), 1).section('|', 0, 0);
    EXPECT_TRUE(secondLine.contains(QLatin1String("in use"))) << secondLine.toStdString();

    holder.txtAddr0Read->setText(QStringLiteral("05"));
    holder.cmdRead->click();
    EXPECT_EQ(holder.txtReadData[0]->text(), "3C");
    EXPECT_TRUE(boxes.shown().empty());
}

TEST(SystemPort, ADeviceThatIsNotThereIsNamed) {
    QtSerialPort port;
    std::string error;
    EXPECT_FALSE(port.open("/dev/ttyZELCOR-none", SerialSettings{}, error));
    EXPECT_NE(error.find("No such device: /dev/ttyZELCOR-none"), std::string::npos) << error;
}

// The system lists no pseudo-terminal, so the simulated wrench's device is added to the list.
TEST(SystemPort, TheSimulatedWrenchsDeviceIsListed) {
    Options options;
    options.simulator = true;
    Application application(options);
    const PortComboBox* combo = application.mainWindow().cmbComSelect;
    const QString device = combo->currentText();
    ASSERT_TRUE(device.startsWith(QLatin1String("/dev/"))) << device.toStdString();
    const int index = combo->findText(device);
    ASSERT_GE(index, 16);
    EXPECT_FALSE(combo->itemData(index, Qt::ToolTipRole).toString().isEmpty());
}

} // namespace
} // namespace zelcor::test
