// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/DeviceServer.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zelcor::sim {

namespace {

constexpr int kStartLimitMs = 5000;
constexpr int kLookEveryMs = 20;

// A port nobody listens on now: the system's pick for a socket bound to port 0.
std::uint16_t freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    std::uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

} // namespace

DeviceServer::~DeviceServer() {
    kill();
}

bool DeviceServer::start(const std::string& device, Mode mode, std::string& error) {
    kill();
    m_mode = mode;
    m_port = freeLoopbackPort();
    if (!m_dir.isValid() || m_port == 0) {
        error = "no temporary folder or no free port for the device server";
        return false;
    }
    // The line as the wrench wants it; over COM-PORT-CONTROL the client sets it all the same.
    const QString accepter = mode == Mode::Raw ? QStringLiteral("tcp,127.0.0.1,%1")
                                               : QStringLiteral("telnet(rfc2217),tcp,127.0.0.1,%1");
    QFile config(m_dir.filePath(QStringLiteral("ser2net.yaml")));
    if (!config.open(QIODevice::WriteOnly)) {
        error = "cannot write " + config.fileName().toStdString();
        return false;
    }
    config.write(QStringLiteral("connection: &wrench\n"
                                "  accepter: %1\n"
                                "  connector: serialdev,%2,1200n82,local\n"
                                "  options:\n"
                                "    kickolduser: true\n"
                                "    chardelay: false\n")
                     .arg(accepter.arg(m_port), QString::fromStdString(device))
                     .toUtf8());
    config.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // In the foreground, no lock files left behind when it is killed, its pid file ours.
    m_process.start(QStringLiteral("ser2net"),
                    {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"),
                     m_dir.filePath(QStringLiteral("ser2net.pid")), QStringLiteral("-c"),
                     config.fileName()});
    if (!m_process.waitForStarted(kStartLimitMs)) {
        error = "cannot start ser2net: " + m_process.errorString().toStdString();
        return false;
    }
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (listening() || m_process.state() != QProcess::Running) {
            loop.quit();
        }
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    look.start(kLookEveryMs);
    limit.start(kStartLimitMs);
    if (!listening()) {
        loop.exec();
    }
    if (!listening()) {
        error = "ser2net is not listening on port " + std::to_string(m_port) + ": " +
                m_process.readAll().trimmed().toStdString();
        kill();
        return false;
    }
    return true;
}

std::string DeviceServer::url() const {
    return (m_mode == Mode::Raw ? "tcp://127.0.0.1:" : "rfc2217://127.0.0.1:") +
           std::to_string(m_port);
}

void DeviceServer::kill() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(kStartLimitMs);
    }
}

bool DeviceServer::listening() const {
    // The system's own table of sockets: a listening one (state 0A) on 127.0.0.1 (0100007F)
    // and our port. Looking does not connect, so the device is not opened for nothing.
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray local =
        QStringLiteral("0100007F:%1").arg(m_port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
    for (const QByteArray& row : table.readAll().split('\n')) {
        const QList<QByteArray> fields = row.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A") {
            return true;
        }
    }
    return false;
}

} // namespace zelcor::sim
