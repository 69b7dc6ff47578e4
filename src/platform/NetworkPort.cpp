// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NetworkPort.h"

#include "common/TextConv.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace zelcor {

namespace {

std::string limitText(int ms) {
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

} // namespace

NetworkPort::NetworkPort(int connectLimitMs) : m_connectLimitMs(connectLimitMs) {}

NetworkPort::~NetworkPort() {
    if (m_socket) {
        QObject::disconnect(m_socket.get(), nullptr, nullptr, nullptr);
        m_socket->abort();
    }
}

bool NetworkPort::open(const std::string& portName, const SerialSettings& settings,
                       std::string& error) {
    close();
    NetworkPortName target;
    if (!ParseNetworkPortName(portName, target, error)) {
        return false;
    }
    m_address = QuotedInput(target.address);
    m_socket = std::make_unique<QTcpSocket>();
    QTcpSocket* socket = m_socket.get();
    QObject::connect(socket, &QIODevice::readyRead, [this] { onReadyRead(); });
    QObject::connect(socket, &QAbstractSocket::disconnected, [this] { onGone(); });
    QObject::connect(socket, &QAbstractSocket::errorOccurred, [this] { onGone(); });

    QElapsedTimer elapsed;
    elapsed.start();
    socket->connectToHost(QString::fromStdString(target.host), target.port);
    const bool connected = waitFor(
        [socket] { return socket->state() == QAbstractSocket::ConnectedState; }, m_connectLimitMs);
    if (m_socket.get() != socket) {
        error = "The port was closed while it was being opened.";
        return false;
    }
    if (!connected) {
        error = "Cannot connect to the device server at " + m_address + ": " +
                (socket->state() == QAbstractSocket::UnconnectedState
                     ? socketFailure()
                     : "timed out after " + limitText(m_connectLimitMs)) +
                ".";
        close();
        return false;
    }
    // A request byte must leave at once, not wait to be merged with the next one.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    if (target.mode == NetworkPortName::Mode::ComPortControl) {
        m_control = std::make_unique<ComPortControl>(settings);
        const std::vector<std::uint8_t> greeting = m_control->greeting();
        socket->write(reinterpret_cast<const char*>(greeting.data()),
                      static_cast<qint64>(greeting.size()));
        socket->flush();
        ComPortControl* control = m_control.get();
        const bool answered =
            waitFor([control] { return control->state() != ComPortControl::State::Waiting; },
                    std::max<int>(1, m_connectLimitMs - static_cast<int>(elapsed.elapsed())));
        if (m_socket.get() != socket) {
            error = "The port was closed while it was being opened.";
            return false;
        }
        const std::string line = std::to_string(settings.baudRate) + "," + settings.parity + "," +
                                 std::to_string(settings.dataBits) + "," +
                                 std::to_string(settings.stopBits);
        if (control->state() == ComPortControl::State::Refused) {
            error = "The device server at " + m_address + " refuses the line settings " + line +
                    ": " + control->refusal() + ".";
        } else if (!answered) {
            error = "The device server at " + m_address + " did not confirm the line settings " +
                    line + " within " + limitText(m_connectLimitMs) +
                    (socket->state() == QAbstractSocket::UnconnectedState
                         ? " (it closed the connection)"
                         : "") +
                    ".";
        }
        if (!error.empty()) {
            close();
            return false;
        }
    }
    // Whatever arrived while connecting belongs to no exchange of ours.
    socket->readAll();
    m_open = true;
    return true;
}

bool NetworkPort::waitFor(const std::function<bool()>& done, int limitMs) {
    const QDeadlineTimer deadline(limitMs);
    while (!done()) {
        if (!m_socket || m_socket->state() == QAbstractSocket::UnconnectedState ||
            deadline.hasExpired()) {
            return false;
        }
        // The loop runs on while we wait, so a window repaints and its timers fire; the
        // user's clicks wait until the port is open or has failed.
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(m_socket.get(), &QAbstractSocket::stateChanged, &loop, &QEventLoop::quit);
        QObject::connect(m_socket.get(), &QIODevice::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(m_socket.get(), &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
        limit.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}

std::string NetworkPort::socketFailure() const {
    switch (m_socket->error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return "connection refused";
    case QAbstractSocket::HostNotFoundError:
        return "unknown host";
    case QAbstractSocket::SocketTimeoutError:
        return "timed out";
    case QAbstractSocket::RemoteHostClosedError:
        return "the server closed the connection";
    default:
        return m_socket->errorString().toStdString();
    }
}

void NetworkPort::close() {
    m_open = false;
    m_control.reset();
    if (m_socket) {
        // It may be closing from inside one of its own signals (the far end hung up and the
        // box about it is up): it goes once the event loop is back.
        QObject::disconnect(m_socket.get(), nullptr, nullptr, nullptr);
        m_socket->abort();
        m_socket.release()->deleteLater();
    }
}

bool NetworkPort::isOpen() const {
    return m_open;
}

bool NetworkPort::writeByte(std::uint8_t byte) {
    if (!m_open) {
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (m_control) {
        ComPortControl::appendData(byte, bytes);
    } else {
        bytes.push_back(byte);
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (m_socket->write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        return false;
    }
    // Handed to the system now, as a segment of its own: the pause after it starts on the
    // wire, not when the event loop next comes round.
    m_socket->flush();
    return m_open;
}

void NetworkPort::onReadyRead() {
    const QByteArray arrived = m_socket->readAll();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(arrived.constData());
    std::vector<std::uint8_t> data;
    if (m_control) {
        std::vector<std::uint8_t> reply;
        m_control->receive(bytes, static_cast<std::size_t>(arrived.size()), data, reply);
        if (!reply.empty()) {
            m_socket->write(reinterpret_cast<const char*>(reply.data()),
                            static_cast<qint64>(reply.size()));
            m_socket->flush();
        }
    } else {
        data.assign(bytes, bytes + arrived.size());
    }
    if (m_open) {
        deliver(data);
    }
}

void NetworkPort::onGone() {
    if (!m_open) {
        return; // still connecting: open() reads the failure itself
    }
    const std::string why = socketFailure();
    close();
    reportError("the connection to " + m_address + " was lost: " + why);
}

} // namespace zelcor
