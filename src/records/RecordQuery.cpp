// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/RecordQuery.h"

#include "records/RecordStore.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cstdio>
#include <variant>

namespace zelcor::records {
namespace {

// Records read and handed on at a time by ForEachRecord.
constexpr int kPage = 500;

const char* const kColumnNames[kRecordColumnCount] = {
    "id",          "time_utc",     "duration_ms",      "station",         "operator", "program",
    "port",        "factory_code", "software_version", "wrench_code",     "job",      "direction",
    "digits",      "bytes_read",   "request_code",     "request_message", "new_set",  "detail",
    "run_summary", "outcome",      "failure_code",     "message"};

QString QueryError(const QSqlQuery& q) {
    const QSqlError e = q.lastError();
    const QString text = (e.databaseText().isEmpty() ? e.driverText() : e.databaseText()).trimmed();
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

// The filter's conditions on service_record, each with its placeholders, and their values.
struct Where {
    QStringList conditions;
    QVariantList values;
};

Where FilterWhere(const RecordFilter& filter) {
    Where w;
    const QString code = QString::fromStdString(filter.wrenchCode).trimmed().toUpper();
    if (!code.isEmpty()) {
        w.conditions << QStringLiteral("wrench_code = ?");
        w.values << code;
    }
    if (!filter.job.empty()) {
        // With a wrench code as well, the wrench's index is the narrower one: the job is
        // compared as an expression, which no index serves, so the planner takes the wrench's.
        w.conditions << (code.isEmpty() ? QStringLiteral("job = ?")
                                        : QStringLiteral("job || '' = ?"));
        w.values << QString::fromStdString(filter.job);
    }
    // The times are UTC texts that sort as they read: a day begins with its date's text.
    if (filter.since) {
        w.conditions << QStringLiteral("time_utc >= ?");
        w.values << filter.since->toString(Qt::ISODate);
    }
    if (filter.until) {
        w.conditions << QStringLiteral("time_utc < ?");
        w.values << filter.until->addDays(1).toString(Qt::ISODate);
    }
    return w;
}

QString SelectList() {
    QStringList names;
    for (const char* name : kColumnNames) {
        names << QLatin1String(name);
    }
    return names.join(QStringLiteral(", "));
}

const QString kNewestFirst = QStringLiteral(" ORDER BY time_utc DESC, id DESC");

QString ListText(const Where& w) {
    QString text =
        QStringLiteral("SELECT ") + SelectList() + QStringLiteral(" FROM service_record");
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

std::string FromText(const QVariant& v) {
    return v.isNull() ? std::string() : v.toString().toStdString();
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
    if (!Run(q,
             QStringLiteral("SELECT record_id, address, before, after FROM written_byte WHERE "
                            "record_id IN (") +
                 marks.join(QLatin1Char(',')) + QStringLiteral(") ORDER BY record_id, seq"),
             ids, error)) {
        return false;
    }
    while (q.next()) {
        ServiceRecord* r = byId.value(q.value(0).toString());
        if (r == nullptr) {
            continue;
        }
        RecordedWrite w{};
        w.address = q.value(1).toInt();
        if (!q.value(2).isNull()) {
            w.before = std::uint8_t(q.value(2).toInt());
        }
        w.after = std::uint8_t(q.value(3).toInt());
        r->bytesWritten.push_back(w);
    }
    if (q.lastError().isValid()) {
        error = QueryError(q);
        return false;
    }
    return true;
}

std::string Hex(int value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, unsigned(value));
    return buffer;
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

bool RowToRecord(const RecordRow& row, ServiceRecord& r, QString& reason) {
    r.id = FromText(row[kColId]);
    r.time = FromText(row[kColTime]);
    r.durationMs = row[kColDuration].toLongLong();
    r.station = FromText(row[kColStation]);
    r.operatorName = FromText(row[kColOperator]);
    r.program = FromText(row[kColProgram]);
    r.port = FromText(row[kColPort]);
    r.factoryCode = FromText(row[kColFactoryCode]);
    r.softwareVersion = FromText(row[kColSoftwareVersion]);
    r.wrenchCode = FromText(row[kColWrenchCode]);
    r.job = FromText(row[kColJob]);
    r.direction = FromText(row[kColDirection]);
    if (!row[kColDigits].isNull()) {
        r.digits = row[kColDigits].toInt();
    }
    r.requestCode = FromText(row[kColRequestCode]);
    r.requestMessage = FromText(row[kColRequestMessage]);
    r.newSet = FromText(row[kColNewSet]);
    r.detail = FromText(row[kColDetail]);
    r.failureCode = row[kColFailureCode].isNull() ? 0 : row[kColFailureCode].toInt();
    r.message = FromText(row[kColMessage]);
    const auto bytesRead = ParseBytesRead(FromText(row[kColBytesRead]));
    const std::string run = FromText(row[kColRunSummary]);
    if (!run.empty()) {
        r.run = ParseRunSummary(run);
    }
    const auto outcome = ParseOutcome(FromText(row[kColOutcome]));
    const char* bad = !bytesRead               ? "bytes_read"
                      : !run.empty() && !r.run ? "run_summary"
                      : !outcome               ? "outcome"
                                               : nullptr;
    if (bad != nullptr) {
        reason = QStringLiteral("cannot read %1").arg(QLatin1String(bad));
        return false;
    }
    r.bytesRead = *bytesRead;
    r.outcome = *outcome;
    return true;
}

ListSql RecordPageSql(const RecordFilter& filter, const std::optional<PageStart>& after,
                      int limit) {
    Where w = FilterWhere(filter);
    if (after) {
        // Older than the last record shown: an earlier time, or the same time and a lower id.
        // Written so that the time's index bounds it, at SQLite as at PostgreSQL.
        w.conditions << QStringLiteral("time_utc <= ? AND (time_utc < ? OR id < ?)");
        w.values << after->time << after->time << after->id;
    }
    return {ListText(w) + kNewestFirst + QStringLiteral(" LIMIT %1").arg(limit), w.values};
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
    error.clear();
    // One step down the job index per job: the next job after the last one found.
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!Run(q,
             QStringLiteral("WITH RECURSIVE jobs(job) AS (SELECT min(job) FROM service_record "
                            "UNION ALL SELECT (SELECT min(job) FROM service_record WHERE job > "
                            "jobs.job) FROM jobs WHERE jobs.job IS NOT NULL) "
                            "SELECT job FROM jobs WHERE job IS NOT NULL"),
             {}, error)) {
        return std::nullopt;
    }
    QStringList jobs;
    while (q.next()) {
        const QString job = q.value(0).toString();
        if (!job.isEmpty()) {
            jobs << job;
        }
    }
    if (q.lastError().isValid()) {
        error = QueryError(q);
        return std::nullopt;
    }
    return jobs;
}

std::string WrittenBytesText(const std::vector<RecordedWrite>& bytes) {
    std::string text;
    for (const RecordedWrite& b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += Hex(b.address, b.address > 0xFF ? 4 : 2) + ':' +
                (b.before ? Hex(*b.before, 2) : std::string("XX")) + '>' + Hex(b.after, 2);
    }
    return text;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    return quoted + '"';
}

std::string CsvHeader() {
    return "time,wrench code,factory code,software version,job,direction,digits,outcome,"
           "failure code,message,station,operator,program,port,duration ms,request code,"
           "bytes written\r\n";
}

std::string CsvRow(const ServiceRecord& r) {
    const std::string fields[] = {r.time,
                                  r.wrenchCode,
                                  r.factoryCode,
                                  r.softwareVersion,
                                  r.job,
                                  r.direction,
                                  r.digits ? std::to_string(*r.digits) : std::string(),
                                  OutcomeText(r.outcome),
                                  r.failureCode != 0 ? std::to_string(r.failureCode)
                                                     : std::string(),
                                  r.message,
                                  r.station,
                                  r.operatorName,
                                  r.program,
                                  r.port,
                                  std::to_string(r.durationMs),
                                  r.requestCode,
                                  WrittenBytesText(r.bytesWritten)};
    std::string line;
    for (const std::string& field : fields) {
        if (&field != &fields[0]) {
            line += ',';
        }
        line += CsvField(field);
    }
    return line + "\r\n";
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
