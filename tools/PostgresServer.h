// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/RecordStore.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <optional>
#include <string>

namespace zelcor::tools {

// A PostgreSQL cluster of our own, thrown away at the end, for the records tests and the
// benchmark: made with initdb in a temporary folder, listening on 127.0.0.1 on a free port
// (its socket in that folder too), trust for the user "zelcor". Run as root (CI), the server
// programs run as "nobody", which owns the folder. Stopped and removed when the object goes,
// or by a watchdog process when this process dies before that.
//
// The server programs are those of the newest version under /usr/lib/postgresql/*/bin; when
// they are missing, create() fails and says to run scripts/setup.
class PostgresServer {
public:
    struct Options {
        // Off, a commit returns before its data is on the disk: right for a server whose
        // contents are thrown away, wrong for timing what a commit costs on a real one.
        bool durable = false;
    };

    explicit PostgresServer(Options options);
    PostgresServer() : PostgresServer(Options{}) {}
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Makes the cluster and starts the server; what went wrong in `error`.
    bool create(std::string& error);
    // A new empty database on the server, as a records target.
    std::optional<records::RecordsTarget> newDatabase(std::string& error);
    // Stops the server (connections are cut) and starts it again on the same port.
    bool stop(std::string& error);
    bool start(std::string& error);
    bool running() const { return m_running; }

private:
    // Runs one of the server's programs, "initdb -D \"/path\" ..." (as "nobody" when we are
    // root); what it said in `error` when it fails.
    bool run(const QString& commandLine, std::string& error);

    Options m_options;
    QString m_bin;
    QTemporaryDir m_root{QDir::tempPath() + QStringLiteral("/zelcor-pg-XXXXXX")};
    QString m_data;
    int m_port = 0;
    bool m_running = false;
    int m_databases = 0;
    QProcess m_watchdog;
};

} // namespace zelcor::tools
