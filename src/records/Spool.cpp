// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/Spool.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace zelcor::records {

Spool::Spool(std::string path, const RecordsTarget& target, QString connectionName)
    : m_path(std::move(path)), m_target(QString::fromStdString(TargetText(target))),
      m_connection(std::move(connectionName)) {}

Spool::~Spool() {
    if (m_open) {
        CloseRecordsDatabase(m_connection);
    }
}

bool Spool::exists() const {
    return QFileInfo::exists(QString::fromStdString(m_path));
}

bool Spool::open(QString& error) {
    if (m_open) {
        return true;
    }
    RecordsTarget file;
    file.kind = RecordsTarget::Kind::Sqlite;
    file.sqlitePath = m_path;
    // The records are the user's alone, and so is their folder.
    if (!MakePrivateFile(m_path, error) || !OpenRecordsDatabase(file, m_connection, error)) {
        error = QStringLiteral("the spool %1: %2").arg(QString::fromStdString(m_path), error);
        return false;
    }
    {
        QSqlQuery q(QSqlDatabase::database(m_connection));
        if (!q.exec(QStringLiteral(
                        "CREATE TABLE IF NOT EXISTS spooled (record_id TEXT PRIMARY KEY REFERENCES "
                        "%1(%2) ON DELETE CASCADE, target TEXT NOT NULL)")
                        .arg(kRecordTable, SqlName(kColId)))) {
            error = QStringLiteral("the spool %1: %2")
                        .arg(QString::fromStdString(m_path), QueryError(q));
        }
    }
    if (!error.isEmpty()) {
        CloseRecordsDatabase(m_connection);
        return false;
    }
    m_open = true;
    return true;
}

bool Spool::add(const ServiceRecord& record, QString& error) {
    if (!open(error)) {
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    const InsertResult result = InsertRecord(db, record, error, [&](QSqlDatabase& in, QString& e) {
        QSqlQuery q(in);
        q.prepare(QStringLiteral("INSERT INTO spooled (record_id, target) VALUES (?, ?)"));
        q.addBindValue(QString::fromStdString(record.id));
        q.addBindValue(m_target);
        if (!q.exec()) {
            e = QueryError(q);
            return false;
        }
        return true;
    });
    if (result == InsertResult::Failed) {
        error = QStringLiteral("the spool %1: %2").arg(QString::fromStdString(m_path), error);
        return false;
    }
    return true;
}

std::optional<std::vector<std::string>> Spool::ids(QString& error) {
    if (!open(error)) {
        return std::nullopt;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("SELECT s.%2 FROM %1 s JOIN spooled p ON p.record_id = s.%2 WHERE "
                             "p.target = ? ORDER BY s.%3, s.%2")
                  .arg(kRecordTable, SqlName(kColId), SqlName(kColTime)));
    q.addBindValue(m_target);
    if (!q.exec()) {
        error = QueryError(q);
        return std::nullopt;
    }
    std::vector<std::string> ids;
    while (q.next()) {
        ids.push_back(q.value(0).toString().toStdString());
    }
    return ids;
}

std::optional<ServiceRecord> Spool::read(const std::string& id, QString& error) {
    if (!open(error)) {
        return std::nullopt;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    return ReadRecord(db, id, error);
}

bool Spool::remove(const std::string& id, QString& error) {
    if (!open(error)) {
        return false;
    }
    // The written bytes and the place in the queue go with the record (ON DELETE CASCADE).
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(kRecordTable, SqlName(kColId)));
    q.addBindValue(QString::fromStdString(id));
    if (!q.exec()) {
        error = QueryError(q);
        return false;
    }
    return true;
}

std::optional<long long> Spool::count(QString& error) {
    if (!open(error)) {
        return std::nullopt;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("SELECT count(*) FROM spooled WHERE target = ?"));
    q.addBindValue(m_target);
    if (!q.exec() || !q.next()) {
        error = QueryError(q);
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

} // namespace zelcor::records
