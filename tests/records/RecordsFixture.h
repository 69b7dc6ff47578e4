// SPDX-License-Identifier: GPL-3.0-or-later
// What the records tests share: a record with every field filled, the databases to write
// to (a SQLite file in a temporary folder, a new database on the suite's PostgreSQL server),
// and queries on them from a connection of the test's own.
#pragma once

#include "records/PostgresServer.h"

#include "records/RecordStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

namespace zelcor::test {

// A record as the session and the recorder fill it, every field set.
inline ServiceRecord FullRecord(const std::string& id) {
    ServiceRecord r;
    r.id = id;
    r.time = "2026-12-06T23:00:00.125Z";
    r.durationMs = 1875;
    r.station = "bench-7";
    r.operatorName = "technician";
    r.program = "zelcor 1.3.0";
    r.port = "/dev/ttyUSB0";
    r.factoryCode = "A1B2";
    r.softwareVersion = "1005";
    r.wrenchCode = "123456";
    r.job = "Parameter Write";
    r.direction = "CW";
    r.digits = 2;
    r.bytesRead = {{0x0C, 0xA1}, {0x0D, 0xB2}, {0x2B, 0x12}};
    r.bytesWritten = {{0x10, 0x05, 0x07}, {0x11, std::nullopt, 0xFF}, {0x12, 0x00, 0x80}};
    r.requestCode = "4711";
    r.requestMessage = "request 4711 handed out";
    r.newSet = "12 34 56";
    r.detail = "torque 12.5";
    r.run = RecordedRun{12, 150, 4800, 1.25, 10.5};
    r.outcome = RecordOutcome::Failed;
    r.failureCode = 4;
    r.message = "the wrench did not answer";
    return r;
}

// Every field of a record on one line, to be compared with a line written by hand.
inline std::string Describe(const ServiceRecord& r) {
    char byte[16];
    std::string read, written;
    for (const RecordedRead& b : r.bytesRead) {
        std::snprintf(byte, sizeof byte, " %02X=%02X", b.address, b.value);
        read += byte;
    }
    for (const RecordedWrite& w : r.bytesWritten) {
        std::snprintf(byte, sizeof byte, " %02X:", w.address);
        written += byte;
        if (w.before) {
            std::snprintf(byte, sizeof byte, "%02X", *w.before);
        }
        written += (w.before ? std::string(byte) : "--") + '>';
        std::snprintf(byte, sizeof byte, "%02X", w.after);
        written += byte;
    }
    std::string run = "-";
    if (r.run) {
        run = std::to_string(r.run->cycles) + '/' + std::to_string(r.run->firstMs) + '/' +
              std::to_string(r.run->lastMs) + '/' + QString::number(r.run->lowest).toStdString() +
              '/' + QString::number(r.run->highest).toStdString();
    }
    return r.id + '|' + r.time + '|' + std::to_string(r.durationMs) + '|' + r.station + '|' +
           r.operatorName + '|' + r.program + '|' + r.port + '|' + r.factoryCode + '|' +
           r.softwareVersion + '|' + r.wrenchCode + '|' + r.job + '|' + r.direction + '|' +
           (r.digits ? std::to_string(*r.digits) : "-") + "|read" + read + "|wrote" + written +
           '|' + r.requestCode + '|' + r.requestMessage + '|' + r.newSet + '|' + r.detail + '|' +
           run + '|' + std::to_string(int(r.outcome)) + '|' + std::to_string(r.failureCode) + '|' +
           r.message;
}

inline records::RecordsTarget SqliteTarget(const QTemporaryDir& dir,
                                           const QString& name = QStringLiteral("records.sqlite")) {
    records::RecordsTarget t;
    t.kind = records::RecordsTarget::Kind::Sqlite;
    t.sqlitePath = dir.filePath(name).toStdString();
    return t;
}

// A new database on the suite's server; a failure fails the test.
inline std::optional<records::RecordsTarget> PostgresTarget() {
    std::string error;
    PostgresServer* server = PostgresServer::Get(error);
    if (server == nullptr) {
        ADD_FAILURE() << error;
        return std::nullopt;
    }
    auto target = server->newDatabase(error);
    if (!target) {
        ADD_FAILURE() << error;
    }
    return target;
}

// A connection of the test's own to a target, opened through the library (migrated), or
// raw (as it is, for a database made by hand).
class Connection {
public:
    explicit Connection(const records::RecordsTarget& target, bool migrate = true)
        : m_name(QStringLiteral("zelcor-test-%1").arg(++Counter())) {
        if (migrate) {
            QString error;
            m_open = records::OpenRecordsDatabase(target, m_name, error);
            m_error = error.toStdString();
            return;
        }
        const bool sqlite = target.kind == records::RecordsTarget::Kind::Sqlite;
        QSqlDatabase db = QSqlDatabase::addDatabase(
            sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), m_name);
        if (sqlite) {
            db.setDatabaseName(QString::fromStdString(target.sqlitePath));
        } else {
            db.setHostName(QString::fromStdString(target.host));
            db.setPort(target.port);
            db.setUserName(QString::fromStdString(target.user));
            db.setDatabaseName(QString::fromStdString(target.database));
        }
        m_open = db.open();
        m_error = db.lastError().text().toStdString();
    }
    ~Connection() {
        if (QSqlDatabase::contains(m_name)) {
            records::CloseRecordsDatabase(m_name);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool open() const { return m_open; }
    const std::string& error() const { return m_error; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

    // Runs a statement; a failure fails the test.
    void exec(const QString& sql) {
        QSqlQuery q(db());
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    }
    // The first column of the first row, as a text ("" for NULL); "<error>" on failure.
    std::string text(const QString& sql) {
        QSqlQuery q(db());
        if (!q.exec(sql)) {
            ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
            return "<error>";
        }
        if (!q.next()) {
            return "<no row>";
        }
        return q.value(0).isNull() ? "<null>" : q.value(0).toString().toStdString();
    }
    long long number(const QString& sql) {
        const std::string t = text(sql);
        try {
            return std::stoll(t);
        } catch (...) {
            ADD_FAILURE() << sql.toStdString() << " gave " << t;
            return -1;
        }
    }
    // Every row of the first column, in the order the query gives.
    std::vector<std::string> column(const QString& sql) {
        std::vector<std::string> values;
        QSqlQuery q(db());
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        while (q.next()) {
            values.push_back(q.value(0).isNull() ? "<null>" : q.value(0).toString().toStdString());
        }
        return values;
    }

private:
    static int& Counter() {
        static int counter = 0;
        return counter;
    }
    QString m_name;
    bool m_open = false;
    std::string m_error;
};

} // namespace zelcor::test
