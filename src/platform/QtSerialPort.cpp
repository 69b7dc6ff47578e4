// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtSerialPort.h"

#include "platform/OpenFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPortInfo>

#include <cerrno>
#include <csignal>
#include <grp.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelcor {

namespace {

// The device QSerialPort opens for a port name: a path as it is, any other name under /dev.
QString systemLocation(const QString& name) {
    const bool path = name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1String("./")) ||
                      name.startsWith(QLatin1String("../"));
    return path ? name : QStringLiteral("/dev/") + name;
}

// The lock file QSerialPort takes for `device`, found where and as QSerialPort finds it: the
// first readable directory that holds the file or may get it. Empty when there is none.
QString lockFilePath(const QString& device) {
    static const QStringList directories{QStringLiteral("/var/lock"),
                                         QStringLiteral("/etc/locks"),
                                         QStringLiteral("/var/spool/locks"),
                                         QStringLiteral("/var/spool/uucp"),
                                         QStringLiteral("/tmp"),
                                         QStringLiteral("/var/tmp"),
                                         QStringLiteral("/var/lock/lockdev"),
                                         QStringLiteral("/run/lock")};
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString& directory : directories) {
        const QString path = directory + QStringLiteral("/LCK..") + name;
        const QFileInfo info(directory);
        if (info.isReadable() && (QFile::exists(path) || info.isWritable())) {
            return path;
        }
    }
    return {};
}

// Reads the lock of `device` without taking it: true when a running program holds it.
bool lockHeld(const QString& device, std::string& holder) {
    const QString path = lockFilePath(device);
    if (path.isEmpty() || !QFile::exists(path)) {
        return false;
    }
    qint64 pid = 0;
    QString host;
    QString application;
    if (!QLockFile(path).getLockInfo(&pid, &host, &application)) {
        // A lock file we cannot read belongs to somebody all the same.
        return true;
    }
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        return false; // left behind by a program that has gone; QSerialPort clears it
    }
    holder = (application.isEmpty() ? QStringLiteral("process %1").arg(pid)
                                    : QStringLiteral("%1, process %2").arg(application).arg(pid))
                 .toStdString();
    return true;
}

// What the system shows about a device that did not open, for the reason the user reads.
DeviceFacts examine(const QString& device, const QString& systemMessage) {
    DeviceFacts facts;
    facts.systemMessage = systemMessage.toStdString();
    const QByteArray path = QFile::encodeName(device);
    struct stat status {};
    if (::stat(path.constData(), &status) != 0) {
        facts.exists = false;
        return facts;
    }
    facts.isDevice = S_ISCHR(status.st_mode);
    facts.locked = lockHeld(device, facts.lockHolder);
    facts.mayReadWrite = ::access(path.constData(), R_OK | W_OK) == 0;
    const bool groupMayReadWrite = (status.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (const group* owner = ::getgrgid(status.st_gid); owner != nullptr && groupMayReadWrite) {
        facts.accessGroup = owner->gr_name;
    }
    return facts;
}

// A USB adapter's driver holds arrived bytes back for up to its latency timer (16 ms on the
// common ones) to fill a packet; a five-byte reply would then come in pieces, late. Low latency
// hands each byte on as it comes. A driver without the setting (a pseudo-terminal, a plain
// UART that has no such delay) refuses the request, and the port works as it is.
void askForLowLatency(int descriptor) {
    serial_struct serial{};
    if (descriptor < 0 || ::ioctl(descriptor, TIOCGSERIAL, &serial) != 0) {
        return;
    }
    if ((serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(descriptor, TIOCSSERIAL, &serial);
    }
}

} // namespace

QtSerialPort::QtSerialPort() {
    QObject::connect(&m_port, &QSerialPort::readyRead, [this] { onReadyRead(); });
    QObject::connect(&m_port, &QSerialPort::errorOccurred,
                     [this](QSerialPort::SerialPortError error) { onError(error); });
    m_network.setReceiveHandler([this](const std::vector<std::uint8_t>& bytes) { deliver(bytes); });
    m_network.setErrorHandler([this](const std::string& message) { reportError(message); });
}

QtSerialPort::~QtSerialPort() {
    // Our handlers must not run while the port object is being torn down.
    QObject::disconnect(&m_port, nullptr, nullptr, nullptr);
    m_port.close();
}

bool QtSerialPort::open(const std::string& portName, const SerialSettings& settings,
                        std::string& error) {
    close();
    if (IsNetworkPortName(portName)) {
        return m_network.open(portName, settings, error);
    }
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
        const QString systemMessage = m_port.errorString();
        m_port.close();
        const QString name = QString::fromStdString(portName);
        error = OpenFailureReason(portName, name.isEmpty()
                                                ? DeviceFacts{}
                                                : examine(systemLocation(name), systemMessage));
        return false;
    }
    // Whatever the driver kept from before this open (a reply that was on its way when the
    // port was last closed) belongs to no exchange of ours.
    m_port.clear();
    askForLowLatency(static_cast<int>(m_port.handle()));
    return true;
}

void QtSerialPort::close() {
    m_network.close();
    if (m_port.isOpen()) {
        m_port.close();
    }
}

bool QtSerialPort::isOpen() const {
    return m_port.isOpen() || m_network.isOpen();
}

int QtSerialPort::pauseMarginMs() const {
    return m_network.isOpen() ? m_network.pauseMarginMs() : 0;
}

bool QtSerialPort::writeByte(std::uint8_t byte) {
    if (m_network.isOpen()) {
        return m_network.writeByte(byte);
    }
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

void AddStableNames(std::vector<PortInfo>& ports, const std::string& folder) {
    const QDir links(QString::fromStdString(folder));
    for (const QFileInfo& link : links.entryInfoList(QDir::System | QDir::Files)) {
        const std::string device = link.canonicalFilePath().toStdString();
        for (PortInfo& port : ports) {
            const std::string listed =
                QFileInfo(QString::fromStdString(port.device)).canonicalFilePath().toStdString();
            if (!device.empty() && listed == device) {
                port.stableName = link.absoluteFilePath().toStdString();
            }
        }
    }
}

std::vector<PortInfo> QtSerialPort::availablePorts() const {
    std::vector<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        ports.push_back({info.systemLocation().toStdString(),
                         info.description().toStdString(),
                         info.manufacturer().toStdString(),
                         info.serialNumber().toStdString(),
                         {}});
    }
    AddStableNames(ports, "/dev/serial/by-id");
    ports.insert(ports.end(), m_alsoListed.begin(), m_alsoListed.end());
    return ports;
}

void QtSerialPort::alsoList(PortInfo port) {
    m_alsoListed.push_back(std::move(port));
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
