// SPDX-License-Identifier: GPL-3.0-or-later
// "Com No" lists the port numbers, then the serial ports the system has, read afresh each time
// the list opens (the numbers alone at start: docs/windows.txt).
#include "support/WindowFixture.h"

#include "widgets/PortComboBox.h"

namespace zelcor::test {
namespace {

using PortList = WindowFixture;

// The items after the sixteen numbers, each with its tool tip.
QStringList systemPorts(PortComboBox* combo) {
    combo->showPopup();
    combo->hidePopup();
    QStringList ports;
    for (int i = 16; i < combo->count(); ++i) {
        ports << combo->itemText(i) + " [" + combo->itemData(i, Qt::ToolTipRole).toString() + "]";
    }
    return ports;
}

TEST_F(PortList, TheSystemsPortsAsTheyAreWhenTheListOpens) {
    auto* combo = control<PortComboBox>("cmbComSelect");
    port.setAvailablePorts({{"/dev/ttyUSB0", "USB-Serial Controller", "Prolific", "A1B2", ""},
                            {"/dev/ttyACM0", "", "", "", ""}});
    EXPECT_EQ(systemPorts(combo),
              (QStringList{"/dev/ttyUSB0 [USB-Serial Controller\nProlific\nSerial number A1B2]",
                           "/dev/ttyACM0 []"}));
    EXPECT_EQ(combo->itemText(15), " 16");
    EXPECT_EQ(combo->currentText(), "1");

    // An adapter unplugged, another plugged in: the next opening shows the system as it is,
    // and keeps what was typed.
    port.setAvailablePorts({{"/dev/ttyUSB1", "FT232R USB UART", "FTDI", "", ""}});
    setText("cmbComSelect", "/dev/pts/9");
    EXPECT_EQ(systemPorts(combo), QStringList{"/dev/ttyUSB1 [FT232R USB UART\nFTDI]"});
    EXPECT_EQ(combo->currentText(), "/dev/pts/9");
    EXPECT_TRUE(port.written().empty());

    click("cmdPortOpen"); // a typed path the system does not list still opens
    EXPECT_EQ(port.openedName(), "/dev/pts/9");
    click("cmdPortClose");

    // An adapter with a stable name shows it beside its device, and is opened by its device.
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    port.setAvailablePorts({{"/dev/ttyUSB1", "", "", "", byId}});
    EXPECT_EQ(systemPorts(combo),
              QStringList{"/dev/ttyUSB1  " + QString::fromStdString(byId) + " []"});
    combo->setCurrentIndex(16);
    EXPECT_EQ(combo->currentText(), "/dev/ttyUSB1");
    EXPECT_EQ(systemPorts(combo).size(), 1); // and stays chosen through the next opening
    EXPECT_EQ(combo->currentIndex(), 16);
    click("cmdPortOpen");
    EXPECT_EQ(port.openedName(), "/dev/ttyUSB1");
}

} // namespace
} // namespace zelcor::test
