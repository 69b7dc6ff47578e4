// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/RecordQuery.h"

#include "records/RecordStore.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <map>
#include <variant>

namespace zelcor::records {
namespace {

// Records read and handed on at a time by ForEachRecord.
constexpr int kPage = 500;

// The filter's conditions on service_record, each with its placeholders, and their values.
struct Where {
    QStringList conditions;
    QVariantList values;
};

Where FilterWhere(const RecordFilter& filter) {
    Where w;
    const QString code = QString::fromStdString(filter.wrenchCode).trimmed().toUpper();
    if (!code.isEmpty()) {
        w.conditions << SqlName(kColWrenchCode) + QStringLiteral(" = ?");
        w.values << code;
    }
    if (!filter.job.empty()) {
        // With a wrench code as well, the wrench's index is the narrower one: the job is
        // compared as an expression, which no index serves, so the planner takes the wrench's.
        w.conditions << SqlName(kColJob) + (code.isEmpty() ? QStringLiteral(" = ?")
                                                           : QStringLiteral(" || '' = ?"));
        w.values << QString::fromStdString(filter.job);
    }
    // The times are UTC texts that sort as they read: a day begins with its date's text.
    if (filter.since) {
        w.conditions << SqlName(kColTime) + QStringLiteral(" >= ?");
        w.values << filter.since->toString(Qt::ISODate);
    }
    if (filter.until) {
        w.conditions << SqlName(kColTime) + QStringLiteral(" < ?");
        w.values << filter.until->addDays(1).toString(Qt::ISODate);
    }
    return w;
}

// Newest first: by time, then by id.
QString NewestFirst() {
    return QStringLiteral(" ORDER BY %1 DESC, %2 DESC").arg(SqlName(kColTime), SqlName(kColId));
}

QString ListText(const Where& w) {
    QString text = QStringLiteral("SELECT %1 FROM %2").arg(ColumnList(), kRecordTable);
    if (!w.conditions.isEmpty()) {
        text += QStringLiteral(" WHERE ") + w.conditions.join(QStringLiteral(" AND "));
    }
    return text;
}

bool Run(QSqlQuery& q, const QString& text, const QVariantList& values, QString& error) {
    if (!q.prepare(text)) {
        error = QueryError(q);
        return false;
    }
    for (const QVariant& v : values) {
        q.addBindValue(v);
    }
    if (!q.exec()) {
        error = QueryError(q);
        return false;
    }
    return true;
}

// The written bytes of the records, each record's in write order.
bool AddWrittenBytes(QSqlDatabase& db, std::vector<ServiceRecord>& page, QString& error) {
    if (page.empty()) {
        return true;
    }
    QHash<QString, ServiceRecord*> byId;
    QStringList marks;
    QVariantList ids;
    for (ServiceRecord& r : page) {
        const QString id = QString::fromStdString(r.id);
        byId.insert(id, &r);
        marks << QStringLiteral("?");
        ids << id;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!Run(q, WrittenByteSelectSql(marks.join(QLatin1Char(','))), ids, error)) {
        return false;
    }
    while (q.next()) {
        ServiceRecord* r = byId.value(q.value(0).toString());
        if (r == nullptr) {
            continue;
        }
        r->bytesWritten.push_back(WrittenByteFromRow(q.value(1), q.value(2), q.value(3)));
    }
    if (q.lastError().isValid()) {
        error = QueryError(q);
        return false;
    }
    return true;
}

} // namespace

std::optional<QDate> ParseDay(const std::string& text) {
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QString t = QString::fromStdString(text);
    if (!form.match(t).hasMatch()) {
        return std::nullopt;
    }
    const QDate day = QDate::fromString(t, Qt::ISODate);
    return day.isValid() ? std::optional<QDate>(day) : std::nullopt;
}

ListSql RecordPageSql(const RecordFilter& filter, const std::optional<PageStart>& after,
                      int limit) {
    Where w = FilterWhere(filter);
    if (after) {
        // Older than the last record shown: an earlier time, or the same time and a lower id.
        // Written so that the time's index bounds it, at SQLite as at PostgreSQL.
        w.conditions << QStringLiteral("%1 <= ? AND (%1 < ? OR %2 < ?)")
                            .arg(SqlName(kColTime), SqlName(kColId));
        w.values << after->time << after->time << after->id;
    }
    return {ListText(w) + NewestFirst() + QStringLiteral(" LIMIT %1").arg(limit), w.values};
}

bool ReadRecordPage(QSqlDatabase& db, const RecordFilter& filter,
                    const std::optional<PageStart>& after, int limit, std::vector<RecordRow>& rows,
                    QString& error) {
    const ListSql sql = RecordPageSql(filter, after, limit);
    // Forward only: PostgreSQL hands the rows over as they are read, and the query is read
    // to its end before the next begins (a connection holds one open result).
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!Run(q, sql.text, sql.values, error)) {
        return false;
    }
    while (q.next()) {
        RecordRow row;
        for (int c = 0; c < kRecordColumnCount; ++c) {
            row[std::size_t(c)] = q.value(c);
        }
        rows.push_back(std::move(row));
    }
    if (q.lastError().isValid()) {
        error = QueryError(q);
        return false;
    }
    return true;
}

bool ForEachRecord(QSqlDatabase& db, const RecordFilter& filter,
                   const std::function<bool(const ServiceRecord&)>& visit, QString& error,
                   const UnreadableRow& unreadable) {
    error.clear();
    // A page at a time: the next page begins after the last row of this one, by time and id,
    // whether that row was a record or not.
    std::optional<PageStart> last;
    for (;;) {
        std::vector<RecordRow> rows;
        rows.reserve(std::size_t(kPage));
        if (!ReadRecordPage(db, filter, last, kPage, rows, error)) {
            return false;
        }
        std::vector<ServiceRecord> page;
        page.reserve(rows.size());
        // What each row is: an index into `page`, or the reason it is not a record.
        std::vector<std::variant<std::size_t, QString>> read;
        read.reserve(rows.size());
        for (const RecordRow& row : rows) {
            ServiceRecord r;
            QString reason;
            if (RowToRecord(row, r, reason)) {
                read.emplace_back(page.size());
                page.push_back(std::move(r));
            } else if (!unreadable) {
                error = QStringLiteral("record %1: %2").arg(row[kColId].toString(), reason);
                return false;
            } else {
                read.emplace_back(reason);
            }
        }
        if (!AddWrittenBytes(db, page, error)) {
            return false;
        }
        std::vector<ServiceRecord*> records;
        for (ServiceRecord& r : page) {
            records.push_back(&r);
        }
        std::map<std::string, QString> badRuns;
        if (!ReadVerifications(db, records, badRuns, error)) {
            return false;
        }
        for (auto& what : read) {
            if (what.index() != 0) {
                continue;
            }
            const ServiceRecord& r = page[std::get<0>(what)];
            const auto bad = badRuns.find(r.id);
            if (bad == badRuns.end()) {
                continue;
            }
            if (!unreadable) {
                error =
                    QStringLiteral("record %1: %2").arg(QString::fromStdString(r.id), bad->second);
                return false;
            }
            what = bad->second;
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const bool goOn = read[i].index() == 0
                                  ? visit(page[std::get<0>(read[i])])
                                  : unreadable(FromText(rows[i][kColId]), std::get<1>(read[i]));
            if (!goOn) {
                return true;
            }
        }
        if (rows.size() < std::size_t(kPage)) {
            return true;
        }
        last = PageStart{rows.back()[kColTime].toString(), rows.back()[kColId].toString()};
    }
}

std::optional<QStringList> RecordedJobs(QSqlDatabase& db, QString& error) {
    return DistinctValues(db, kColJob, error);
}

std::optional<QStringList> RecordedWrenchCodes(QSqlDatabase& db, QString& error) {
    return DistinctValues(db, kColWrenchCode, error);
}

std::optional<QStringList> DistinctValues(QSqlDatabase& db, RecordColumn column, QString& error) {
    error.clear();
    // One step down the column's index per value: the next value after the last one found.
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!Run(q,
             QStringLiteral("WITH RECURSIVE v(value) AS (SELECT min(%1) FROM %2 "
                            "UNION ALL SELECT (SELECT min(%1) FROM %2 WHERE %1 > "
                            "v.value) FROM v WHERE v.value IS NOT NULL) "
                            "SELECT value FROM v WHERE value IS NOT NULL")
                 .arg(SqlName(column), kRecordTable),
             {}, error)) {
        return std::nullopt;
    }
    QStringList values;
    while (q.next()) {
        const QString value = q.value(0).toString();
        if (!value.isEmpty()) {
            values << value;
        }
    }
    if (q.lastError().isValid()) {
        error = QueryError(q);
        return std::nullopt;
    }
    return values;
}

bool WriteRecordsCsv(QSqlDatabase& db, const RecordFilter& filter,
                     const std::function<bool(const std::string& line)>& write, QString& error,
                     long long* rows, const UnreadableRow& unreadable) {
    long long count = 0;
    if (rows != nullptr) {
        *rows = 0;
    }
    if (!write(CsvHeader())) {
        return false;
    }
    bool written = true;
    const bool read = ForEachRecord(
        db, filter,
        [&](const ServiceRecord& r) {
            written = write(CsvRow(r));
            count += written ? 1 : 0;
            return written;
        },
        error, unreadable);
    if (rows != nullptr) {
        *rows = count;
    }
    return read && written;
}

} // namespace zelcor::records
