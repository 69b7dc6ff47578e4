#pragma once

#include "platform/SerialPort.h"

#include <QSerialPort>

namespace zelcor {

// The product's serial line on QSerialPort.
class QtSerialPort final : public SerialPort {
public:
    QtSerialPort();
    ~QtSerialPort() override;

    bool open(const std::string& portName, const SerialSettings& settings,
              std::string& error) override;
    void close() override;
    bool isOpen() const override;
    bool writeByte(std::uint8_t byte) override;

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
};

} // namespace zelcor
