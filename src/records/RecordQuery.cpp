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

// A row of the list query as a record, without its written bytes.
bool RowToRecord(const QSqlQuery& q, ServiceRecord& r, QString& error) {
    r.id = FromText(q.value(kColId));
    r.time = FromText(q.value(kColTime));
    r.durationMs = q.value(kColDuration).toLongLong();
    r.station = FromText(q.value(kColStation));
    r.operatorName = FromText(q.value(kColOperator));
    r.program = FromText(q.value(kColProgram));
    r.port = FromText(q.value(kColPort));
    r.factoryCode = FromText(q.value(kColFactoryCode));
    r.softwareVersion = FromText(q.value(kColSoftwareVersion));
    r.wrenchCode = FromText(q.value(kColWrenchCode));
    r.job = FromText(q.value(kColJob));
    r.direction = FromText(q.value(kColDirection));
    if (!q.value(kColDigits).isNull()) {
        r.digits = q.value(kColDigits).toInt();
    }
    r.requestCode = FromText(q.value(kColRequestCode));
    r.requestMessage = FromText(q.value(kColRequestMessage));
    r.newSet = FromText(q.value(kColNewSet));
    r.detail = FromText(q.value(kColDetail));
    r.failureCode = q.value(kColFailureCode).isNull() ? 0 : q.value(kColFailureCode).toInt();
    r.message = FromText(q.value(kColMessage));
    const auto bytesRead = ParseBytesRead(FromText(q.value(kColBytesRead)));
    const std::string run = FromText(q.value(kColRunSummary));
    if (!run.empty()) {
        r.run = ParseRunSummary(run);
    }
    const auto outcome = ParseOutcome(FromText(q.value(kColOutcome)));
    const char* bad = !bytesRead               ? "bytes_read"
                      : !run.empty() && !r.run ? "run_summary"
                      : !outcome               ? "outcome"
                                               : nullptr;
    if (bad != nullptr) {
        error = QStringLiteral("record %1: cannot read %2")
                    .arg(QString::fromStdString(r.id), QLatin1String(bad));
        return false;
    }
    r.bytesRead = *bytesRead;
    r.outcome = *outcome;
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

ListSql RecordListSql(const RecordFilter& filter) {
    const Where w = FilterWhere(filter);
    return {ListText(w) + kNewestFirst, w.values};
}

bool RunRecordList(QSqlQuery& query, const RecordFilter& filter, QString& error) {
    const ListSql sql = RecordListSql(filter);
    return Run(query, sql.text, sql.values, error);
}

bool ForEachRecord(QSqlDatabase& db, const RecordFilter& filter,
                   const std::function<bool(const ServiceRecord&)>& visit, QString& error) {
    error.clear();
    // A page at a time, each query read to its end before the next begins (a PostgreSQL
    // connection holds one open result): the next page begins after the last record of this
    // one, by time and id.
    std::optional<std::pair<QString, QString>> last;
    for (;;) {
        Where w = FilterWhere(filter);
        if (last) {
            w.conditions << QStringLiteral("time_utc <= ? AND (time_utc < ? OR id < ?)");
            w.values << last->first << last->first << last->second;
        }
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!Run(q, ListText(w) + kNewestFirst + QStringLiteral(" LIMIT %1").arg(kPage), w.values,
                 error)) {
            return false;
        }
        std::vector<ServiceRecord> page;
        page.reserve(std::size_t(kPage));
        while (q.next()) {
            ServiceRecord r;
            if (!RowToRecord(q, r, error)) {
                return false;
            }
            page.push_back(std::move(r));
        }
        if (q.lastError().isValid()) {
            error = QueryError(q);
            return false;
        }
        q.finish();
        if (!AddWrittenBytes(db, page, error)) {
            return false;
        }
        for (const ServiceRecord& r : page) {
            if (!visit(r)) {
                return true;
            }
        }
        if (page.size() < std::size_t(kPage)) {
            return true;
        }
        last.emplace(QString::fromStdString(page.back().time),
                     QString::fromStdString(page.back().id));
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
                     long long* rows) {
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
        error);
    if (rows != nullptr) {
        *rows = count;
    }
    return read && written;
}

} // namespace zelcor::records
