// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/NetworkPort.h"
#include "platform/SerialPort.h"

#include <QSerialPort>

namespace zelcor {

// Gives each port its name in `folder` (/dev/serial/by-id/ on the system): the link there
// that leads to its device.
void AddStableNames(std::vector<PortInfo>& ports, const std::string& folder);

// The product's serial line: a local device on QSerialPort, or a device server on the network
// (tcp://HOST:PORT, rfc2217://HOST:PORT) through NetworkPort.
class QtSerialPort final : public SerialPort {
public:
    QtSerialPort();
    ~QtSerialPort() override;

    bool open(const std::string& portName, const SerialSettings& settings,
              std::string& error) override;
    void close() override;
    bool isOpen() const override;
    bool writeByte(std::uint8_t byte) override;
    int pauseMarginMs() const override;
    std::vector<PortInfo> availablePorts() const override;

    // Lists a port the system does not (a pseudo-terminal this program made) after the
    // system's own.
    void alsoList(PortInfo port);

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    NetworkPort m_network;
    std::vector<PortInfo> m_alsoListed;
};

} // namespace zelcor
