// SPDX-License-Identifier: GPL-3.0-or-later
#include "PostgresServer.h"

#include <QCollator>
#include <QFileInfo>

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zelcor::tools {
namespace {

// A port nobody listens on now: the kernel's pick for port 0.
int FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(s);
    return port;
}

// The newest installed server's programs folder, or empty.
QString ServerPrograms() {
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList names = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return numeric.compare(a, b) > 0; });
    for (const QString& name : names) {
        const QString bin = versions.filePath(name + QStringLiteral("/bin"));
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable() &&
            QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable()) {
            return bin;
        }
    }
    return {};
}

bool IsRoot() {
    return ::geteuid() == 0;
}

} // namespace

PostgresServer::PostgresServer(Options options) : m_options(options) {}

PostgresServer::~PostgresServer() {
    // The watchdog stops the server and removes the folder when its input closes.
    m_watchdog.closeWriteChannel();
    m_watchdog.waitForFinished(60'000);
}

bool PostgresServer::run(const QString& commandLine, std::string& error) {
    QStringList words = QProcess::splitCommand(commandLine);
    const QString program = words.takeFirst();
    words.prepend(m_bin + QLatin1Char('/') + program);
    if (IsRoot()) {
        words = QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--")} +
                words;
        words.prepend(QStringLiteral("runuser"));
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(words.takeFirst(), words);
    if (!p.waitForFinished(90'000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error = program.toStdString() + " failed: " + p.errorString().toStdString() + "\n" +
                QString::fromLocal8Bit(p.readAll()).toStdString();
        p.kill();
        p.waitForFinished();
        return false;
    }
    return true;
}

bool PostgresServer::create(std::string& error) {
    m_bin = ServerPrograms();
    if (m_bin.isEmpty()) {
        error = "PostgreSQL's server programs (initdb, pg_ctl) are not installed under "
                "/usr/lib/postgresql/*/bin: run scripts/setup";
        return false;
    }
    if (!m_root.isValid()) {
        error = "cannot make a temporary folder for PostgreSQL";
        return false;
    }
    if (IsRoot()) {
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr || ::chown(QFile::encodeName(m_root.path()).constData(),
                                         nobody->pw_uid, nobody->pw_gid) != 0) {
            error = "cannot hand the temporary folder to the user nobody";
            return false;
        }
    }
    // Should this process die before it stops the server, the watchdog's input closes and it
    // stops the server and removes the folder.
    const QString pgCtl = m_bin + QStringLiteral("/pg_ctl");
    m_data = m_root.filePath(QStringLiteral("data"));
    const QString asServer = IsRoot() ? QStringLiteral("runuser -u nobody -- ") : QString();
    m_watchdog.setProgram(QStringLiteral("/bin/sh"));
    m_watchdog.setArguments(
        {QStringLiteral("-c"),
         QStringLiteral("cat >/dev/null; %1'%2' stop -D '%3' -m immediate >/dev/null 2>&1; "
                        "rm -rf '%4'")
             .arg(asServer, pgCtl, m_data, m_root.path())});
    m_watchdog.setStandardOutputFile(QProcess::nullDevice());
    m_watchdog.setStandardErrorFile(QProcess::nullDevice());
    m_watchdog.start();
    if (!m_watchdog.waitForStarted()) {
        error = "cannot start the watchdog of the PostgreSQL server";
        return false;
    }
    if (!run(QStringLiteral("initdb -D \"%1\" -A trust -U zelcor -E UTF8 --no-locale --no-sync")
                 .arg(m_data),
             error)) {
        return false;
    }
    m_port = FreePort();
    if (m_port == 0) {
        error = "no free port for PostgreSQL";
        return false;
    }
    return start(error);
}

bool PostgresServer::start(std::string& error) {
    QString options = QStringLiteral("-c listen_addresses=127.0.0.1 -c port=%1 "
                                     "-c unix_socket_directories=%2 -c max_connections=50")
                          .arg(m_port)
                          .arg(m_root.path());
    if (!m_options.durable) {
        options += QStringLiteral(" -c fsync=off -c full_page_writes=off");
    }
    if (!run(QStringLiteral("pg_ctl start -D \"%1\" -w -t 60 -l \"%2\" -o \"%3\"")
                 .arg(m_data, m_root.filePath(QStringLiteral("server.log")), options),
             error)) {
        QFile log(m_root.filePath(QStringLiteral("server.log")));
        if (log.open(QIODevice::ReadOnly)) {
            error += "\nserver log:\n" + log.readAll().right(4000).toStdString();
        }
        return false;
    }
    m_running = true;
    return true;
}

bool PostgresServer::stop(std::string& error) {
    m_running = false;
    return run(QStringLiteral("pg_ctl stop -D \"%1\" -m fast -w -t 60").arg(m_data), error);
}

std::optional<records::RecordsTarget> PostgresServer::newDatabase(std::string& error) {
    records::RecordsTarget target;
    target.kind = records::RecordsTarget::Kind::Postgresql;
    target.user = "zelcor";
    target.host = "127.0.0.1";
    target.port = m_port;
    target.database = "records_" + std::to_string(++m_databases);
    if (!run(QStringLiteral("createdb -h 127.0.0.1 -p %1 -U zelcor %2")
                 .arg(m_port)
                 .arg(QString::fromStdString(target.database)),
             error)) {
        return std::nullopt;
    }
    return target;
}

} // namespace zelcor::tools
