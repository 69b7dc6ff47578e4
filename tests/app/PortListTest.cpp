// SPDX-License-Identifier: GPL-3.0-or-later
// "Com No" lists the port numbers, then the serial ports the system reports, afresh each time
// the list opens.
#include "support/WindowFixture.h"

#include "widgets/PortComboBox.h"

namespace zelcor::test {
namespace {

using PortList = WindowFixture;

QStringList items(const QComboBox* combo) {
    QStringList all;
    for (int i = 0; i < combo->count(); ++i) {
        all << combo->itemText(i);
    }
    return all;
}

QStringList numbers() {
    QStringList all;
    for (int n = 1; n <= 16; ++n) {
        all << QStringLiteral(" %1").arg(n);
    }
    return all;
}

void openList(PortComboBox* combo) {
    combo->showPopup();
    combo->hidePopup();
}

TEST_F(PortList, NumbersFirstThenTheSystemsPortsAsTheyAreWhenTheListOpens) {
    auto* combo = control<PortComboBox>("cmbComSelect");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(items(combo), numbers()); // the system had none when the window was made

    port.setAvailablePorts({{"/dev/ttyUSB0", "USB-Serial Controller", "Prolific", "A1B2"},
                            {"/dev/ttyACM0", "", "", ""}});
    openList(combo);
    EXPECT_EQ(items(combo), numbers() + QStringList({"/dev/ttyUSB0", "/dev/ttyACM0"}));
    EXPECT_EQ(combo->itemData(16, Qt::ToolTipRole).toString(),
              "USB-Serial Controller\nProlific\nSerial number A1B2");
    EXPECT_EQ(combo->itemData(17, Qt::ToolTipRole).toString(), "");
    EXPECT_EQ(combo->currentText(), "1");

    // An adapter unplugged, another plugged in: the next opening shows the system as it is.
    port.setAvailablePorts({{"/dev/ttyUSB1", "FT232R USB UART", "FTDI", ""}});
    setText("cmbComSelect", "/dev/pts/9");
    openList(combo);
    EXPECT_EQ(items(combo), numbers() + QStringList({"/dev/ttyUSB1"}));
    EXPECT_EQ(combo->itemData(16, Qt::ToolTipRole).toString(), "FT232R USB UART\nFTDI");
    EXPECT_EQ(combo->currentText(), "/dev/pts/9");
    EXPECT_TRUE(port.written().empty());

    // A typed path the system does not list still opens.
    click("cmdPortOpen");
    EXPECT_EQ(port.openedName(), "/dev/pts/9");
}

} // namespace
} // namespace zelcor::test
