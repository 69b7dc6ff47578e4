// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/DueList.h"

#include "records/RecordColumns.h"
#include "records/RecordQuery.h"
#include "records/RecordStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <map>
#include <tuple>

namespace zelcor::records {
namespace {

// The columns of the due list, in their order, with their JSON and CSV names.
struct DueColumn {
    const char* json;
    const char* csv;
    std::string (*text)(const DueEntry&); // empty: null in JSON
};
const DueColumn kDueColumns[] = {
    {"wrenchCode", "wrench code", [](const DueEntry& e) { return e.wrenchCode; }},
    {"state", "state", [](const DueEntry& e) { return DueStateWord(e.state); }},
    {"dueDate", "due date", [](const DueEntry& e) { return e.dueDate; }},
    {"verdict", "verdict",
     [](const DueEntry& e) {
         return e.verdict == Verdict::None ? std::string() : VerdictWord(e.verdict);
     }},
    {"time", "time", [](const DueEntry& e) { return e.time; }},
    {"recordId", "record id", [](const DueEntry& e) { return e.recordId; }},
};

int Rank(DueState state) {
    return int(state); // Failed, Overdue, NeverVerified, Due: the list's order
}

} // namespace

std::string DueStateWord(DueState state) {
    switch (state) {
    case DueState::Failed:
        return "failed";
    case DueState::Overdue:
        return "overdue";
    case DueState::NeverVerified:
        return "never verified";
    case DueState::Due:
        break;
    }
    return "due";
}

std::vector<DueEntry> DueList(QSqlDatabase& db, const QDate& today, QString& error) {
    error.clear();
    const auto codes = RecordedWrenchCodes(db, error);
    if (!codes) {
        return {};
    }
    std::map<std::string, DueEntry> byCode;
    for (const QString& code : *codes) {
        byCode[code.toStdString()].wrenchCode = code.toStdString();
    }
    // Every run with a verdict, oldest first: each wrench's last one is what counts.
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const bool prepared = q.prepare(
        QStringLiteral("SELECT s.%1, s.%2, s.%3, v.%4, v.%5 FROM %6 v JOIN %7 s ON s.%2 = "
                       "v.record_id WHERE v.%4 IN (?, ?) AND v.%8 = 0 AND s.%1 IS NOT NULL "
                       "ORDER BY s.%3, s.%2")
            .arg(SqlName(kColWrenchCode), SqlName(kColId), SqlName(kColTime),
                 QLatin1String(kRunVerdict), QLatin1String(kRunDueDate), kRunTable, kRecordTable,
                 QLatin1String(kRunStopped)));
    q.addBindValue(QString::fromStdString(VerdictWord(Verdict::Passed)));
    q.addBindValue(QString::fromStdString(VerdictWord(Verdict::Failed)));
    if (!prepared || !q.exec()) {
        error = QueryError(q);
        return {};
    }
    while (q.next()) {
        DueEntry& e = byCode[q.value(0).toString().toStdString()];
        e.wrenchCode = q.value(0).toString().toStdString();
        e.recordId = q.value(1).toString().toStdString();
        e.time = q.value(2).toString().toStdString();
        e.verdict = ParseVerdict(q.value(3).toString().toStdString()).value_or(Verdict::Failed);
        e.dueDate = e.verdict == Verdict::Passed ? FromText(q.value(4)) : std::string();
    }
    if (q.lastError().isValid()) {
        error = QueryError(q);
        return {};
    }
    const QString todayText = today.toString(Qt::ISODate);
    std::vector<DueEntry> list;
    for (auto& [code, e] : byCode) {
        if (e.verdict == Verdict::None) {
            e.state = DueState::NeverVerified;
        } else if (e.verdict == Verdict::Failed) {
            e.state = DueState::Failed;
        } else {
            // The dates are "YYYY-MM-DD": they sort as they read.
            e.state = e.dueDate < todayText.toStdString() ? DueState::Overdue : DueState::Due;
        }
        list.push_back(std::move(e));
    }
    std::stable_sort(list.begin(), list.end(), [](const DueEntry& a, const DueEntry& b) {
        return std::forward_as_tuple(Rank(a.state), a.dueDate, a.wrenchCode) <
               std::forward_as_tuple(Rank(b.state), b.dueDate, b.wrenchCode);
    });
    return list;
}

std::vector<DueEntry> DueWithin(const std::vector<DueEntry>& entries, const QDate& today,
                                int days) {
    const std::string last = today.addDays(days).toString(Qt::ISODate).toStdString();
    std::vector<DueEntry> kept;
    for (const DueEntry& e : entries) {
        if (e.state != DueState::Due || e.dueDate <= last) {
            kept.push_back(e);
        }
    }
    return kept;
}

QJsonObject DueJson(const DueEntry& entry) {
    QJsonObject object;
    for (const DueColumn& c : kDueColumns) {
        const std::string text = c.text(entry);
        object.insert(QLatin1String(c.json), text.empty()
                                                 ? QJsonValue(QJsonValue::Null)
                                                 : QJsonValue(QString::fromStdString(text)));
    }
    return object;
}

std::string DueCsvHeader() {
    std::string line;
    for (const DueColumn& c : kDueColumns) {
        line += (line.empty() ? "" : ",") + std::string(c.csv);
    }
    return line + "\r\n";
}

std::string DueCsvRow(const DueEntry& entry) {
    std::string line;
    bool first = true;
    for (const DueColumn& c : kDueColumns) {
        line += (first ? "" : ",") + CsvField(c.text(entry));
        first = false;
    }
    return line + "\r\n";
}

std::optional<AsFound> AsFoundContext(QSqlDatabase& db, const ServiceRecord& record,
                                      QString& error) {
    error.clear();
    const std::optional<QDate> day = ParseDay(record.time.substr(0, 10));
    if (!record.verification || !record.verification->settings.asLeft ||
        record.wrenchCode.empty() || !day) {
        return std::nullopt;
    }
    RecordFilter filter;
    filter.wrenchCode = record.wrenchCode;
    filter.since = day;
    filter.until = day;
    // Newest first: the writes come before (later than) the "as found" run.
    AsFound found;
    const bool read = ForEachRecord(
        db, filter,
        [&](const ServiceRecord& r) {
            if (r.id == record.id || r.time > record.time) {
                return true;
            }
            if (r.verification) {
                if (!r.verification->settings.asLeft && !r.verification->stopped) {
                    found.run = r;
                    return false;
                }
            } else if (!r.bytesWritten.empty()) {
                found.writes.push_back(r);
            }
            return true;
        },
        error);
    if (!read || !found.run) {
        return std::nullopt;
    }
    std::reverse(found.writes.begin(), found.writes.end());
    return found;
}

} // namespace zelcor::records
