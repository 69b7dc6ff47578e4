#include "platform/QtSerialPort.h"

namespace zelcor {

QtSerialPort::QtSerialPort() {
    QObject::connect(&m_port, &QSerialPort::readyRead, [this] { onReadyRead(); });
    QObject::connect(&m_port, &QSerialPort::errorOccurred,
                     [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtSerialPort::~QtSerialPort() {
    // Our handlers must not run while the port object is being torn down.
    QObject::disconnect(&m_port, nullptr, nullptr, nullptr);
    m_port.close();
}

bool QtSerialPort::open(const std::string& portName, const SerialSettings& settings,
                        std::string& error) {
    close();
    m_port.setPortName(QString::fromStdString(portName));
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (settings.parity) {
    case 'E':
        parity = QSerialPort::EvenParity;
        break;
    case 'O':
        parity = QSerialPort::OddParity;
        break;
    case 'M':
        parity = QSerialPort::MarkParity;
        break;
    case 'S':
        parity = QSerialPort::SpaceParity;
        break;
    default:
        break;
    }
    const bool configured =
        m_port.setBaudRate(settings.baudRate) &&
        m_port.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) &&
        m_port.setParity(parity) &&
        m_port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured || !m_port.open(QIODevice::ReadWrite)) {
        error = m_port.errorString().toStdString();
        m_port.close();
        return false;
    }
    // Whatever the driver kept from before this open (a reply that was on its way when the
    // port was last closed) belongs to no exchange of ours.
    m_port.clear();
    return true;
}

void QtSerialPort::close() {
    if (m_port.isOpen()) {
        m_port.close();
    }
}

bool QtSerialPort::isOpen() const {
    return m_port.isOpen();
}

bool QtSerialPort::writeByte(std::uint8_t byte) {
    if (!m_port.isOpen()) {
        return false;
    }
    const char data = static_cast<char>(byte);
    if (m_port.write(&data, 1) != 1) {
        return false;
    }
    // write() only fills Qt's buffer; the byte would reach the driver when the event loop
    // next serves the port, after the pause that follows it has already begun. Hand it over
    // now, so a pause timed from here is the pause on the line.
    m_port.flush();
    if (!m_port.isOpen()) {
        return false; // the flush failed and the error handler has closed the port
    }
    if (m_port.bytesToWrite() > 0) {
        // A driver that will not take one byte has no line behind it any more.
        const std::string message = "the driver did not accept the byte written";
        m_port.clear();
        m_port.close();
        reportError(message);
        return false;
    }
    return true;
}

void QtSerialPort::onReadyRead() {
    const QByteArray data = m_port.readAll();
    deliver(std::vector<std::uint8_t>(data.begin(), data.end()));
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError &&
        error != QSerialPort::WriteError) {
        return;
    }
    if (!m_port.isOpen()) {
        return;
    }
    // A port that went away (adapter unplugged, far end hung up) keeps reporting the same
    // error in a tight loop until it is closed: close it first, then tell the owner once.
    const std::string message = m_port.errorString().toStdString();
    m_port.close();
    reportError(message);
}

} // namespace zelcor
