// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"

#include <QComboBox>

#include <functional>
#include <vector>

namespace zelcor {

// "Com No": the items the window puts in, then the serial ports the system has, listed
// afresh each time the list opens (an adapter plugged in since is there), each device with its
// stable /dev/serial/by-id/ name beside it and what the system says about it as a tooltip.
// The text shown is never changed by a new list: a typed device path stays as typed.
class PortComboBox : public QComboBox {
    Q_OBJECT
public:
    PortComboBox(QWidget* parent, const QString& name, const QString& text, int widthChars);

    void setPortSource(std::function<std::vector<PortInfo>()> source);
    // Replaces the listed ports with the source's list of now; the window's own items stay.
    void refreshPorts();

    void showPopup() override;

private:
    std::function<std::vector<PortInfo>()> m_source;
};

} // namespace zelcor
