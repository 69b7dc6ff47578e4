// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/RecordStore.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <string>

namespace zelcor::test {

// A PostgreSQL cluster of the suite's own, thrown away at the end: made with initdb in a
// temporary folder, listening on 127.0.0.1 on a free port (its socket in that folder too),
// trust for the user "zelcor". Run as root (CI), the server programs run as "nobody", which
// owns the folder. Started at the first test that asks for it, once for the suite, and
// stopped and removed when the suite ends (a gtest Environment), or by a watchdog process
// when the suite dies before that.
//
// The server programs are looked for under /usr/lib/postgresql/*/bin; when they are missing
// the tests that need them fail and say to run scripts/setup.
class PostgresServer {
public:
    // The suite's server, started if it is not running; none with `error` set when it
    // cannot be started.
    static PostgresServer* Get(std::string& error);
    // Stops and removes the suite's server, if one was started.
    static void ShutDown();

    ~PostgresServer();

    // A new empty database on the server, as a records target.
    std::optional<records::RecordsTarget> newDatabase(std::string& error);
    // Stops the server (connections are cut) and starts it again on the same port.
    bool stop(std::string& error);
    bool start(std::string& error);

private:
    PostgresServer() = default;
    bool create(std::string& error);
    // Runs one of the server's programs, "initdb -D \"/path\" ..." (as "nobody" when we are
    // root); what it said in `error` when it fails.
    bool run(const QString& commandLine, std::string& error);

    QString m_bin;
    QTemporaryDir m_root{QDir::tempPath() + QStringLiteral("/zelcor-pg-XXXXXX")};
    QString m_data;
    int m_port = 0;
    bool m_running = false;
    int m_databases = 0;
    QProcess m_watchdog;
};

} // namespace zelcor::test
