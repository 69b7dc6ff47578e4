// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/RecordColumns.h"
#include "wrench/ServiceRecord.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QSqlDatabase;
class QSqlQuery;

namespace zelcor::records {

// Which service records to list: the History window's filters and zelcor-cli history's
// options. What is left empty does not filter.
struct RecordFilter {
    std::string wrenchCode;     // exactly this code (2BH 2CH 2DH, "123456"), case and blanks aside
    std::string job;            // exactly this job ("Get", "zelcor-cli dump")
    std::optional<QDate> since; // from this day on, UTC
    std::optional<QDate> until; // up to and including this day, UTC

    bool operator==(const RecordFilter&) const = default;
};

// A day as the filters take it: YYYY-MM-DD, a real date; none for anything else.
std::optional<QDate> ParseDay(const std::string& text);

// Where a page of the list begins: just after (older than) the record of this time and id.
struct PageStart {
    QString time;
    QString id;
};

// The query that lists a page of the records of a filter, newest first (by time, then by
// id): at most `limit` records, those after `after` when it is given. Each page comes from
// an index in its order whatever the page, so the thousandth page costs what the first
// does. Its text has a placeholder for every value, and the values in their order; a
// filter's texts are only ever bound, never written into the text.
struct ListSql {
    QString text;
    QVariantList values;
};
ListSql RecordPageSql(const RecordFilter& filter, const std::optional<PageStart>& after, int limit);

// Reads one page of the list from `db` into `rows` (appended); false with `error` set when
// it fails. The query is read to its end and closed before this returns.
bool ReadRecordPage(QSqlDatabase& db, const RecordFilter& filter,
                    const std::optional<PageStart>& after, int limit, std::vector<RecordRow>& rows,
                    QString& error);

// A listed row that is not a record: its id and why ("cannot read bytes_read").
using UnreadableRow = std::function<bool(const std::string& id, const QString& reason)>;

// Every record of the filter, newest first, its written bytes with it, handed to `visit`
// one at a time (never all at once); `visit` returning false ends the walk early. A row that
// is not a record goes to `unreadable` and the walk goes on (false from it ends the walk);
// without `unreadable` such a row ends the walk as a failure. False with `error` set when
// the database cannot be read or an unreadable row ends it.
bool ForEachRecord(QSqlDatabase& db, const RecordFilter& filter,
                   const std::function<bool(const ServiceRecord&)>& visit, QString& error,
                   const UnreadableRow& unreadable = {});

// The jobs the records hold, sorted; an index seek each, however many records there are.
std::optional<QStringList> RecordedJobs(QSqlDatabase& db, QString& error);
// The wrench codes the records hold, sorted, the same way.
std::optional<QStringList> RecordedWrenchCodes(QSqlDatabase& db, QString& error);
// The values of a column that leads an index of service_record, sorted, without NULL and
// empty texts.
std::optional<QStringList> DistinctValues(QSqlDatabase& db, RecordColumn column, QString& error);

// ---- CSV (the columns and their order: RecordColumns.h) ------------------------------------
// The header and every record of the filter, handed to `write` a line at a time; false from
// `write` ends it with `error` unchanged. `rows` receives how many records were written.
// A row that is not a record is left out and handed to `unreadable`, as ForEachRecord does.
bool WriteRecordsCsv(QSqlDatabase& db, const RecordFilter& filter,
                     const std::function<bool(const std::string& line)>& write, QString& error,
                     long long* rows = nullptr, const UnreadableRow& unreadable = {});

} // namespace zelcor::records
