// SPDX-License-Identifier: GPL-3.0-or-later
// history: the service records from their database, as lines, JSON or CSV.
#include "cli/CliFormat.h"
#include "cli/CliRunner.h"

#include "common/TextConv.h"
#include "records/RecordQuery.h"
#include "records/RecordStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>

#include <ostream>

namespace zelcor::cli {

namespace {

// The record's columns as RecordColumns names them, and the bytes written with each cell's
// legend.
QJsonObject RecordJson(const ServiceRecord& r) {
    QJsonArray written;
    for (const RecordedWrite& w : r.bytesWritten) {
        const bool cell = w.address >= 0 && w.address <= kLast;
        written.append(QJsonObject{
            {QStringLiteral("address"), qs(records::AddressText(w.address))},
            {QStringLiteral("legend"), cell ? QJsonValue(qs(std::string(CellLegend(w.address))))
                                            : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("before"), JsonByte(w.before)},
            {QStringLiteral("after"), qs(Hex(w.after))}});
    }
    QJsonObject object = records::RecordJson(r);
    object.insert(QStringLiteral("bytesWritten"), written);
    return object;
}

// A field of a record's line: "-" when empty, on one line, and nothing in it that a terminal
// would act on (tabs, line ends and other control characters escaped).
std::string LineField(const std::string& text) {
    return text.empty() ? "-" : EscapedText(text);
}

} // namespace

int CliRunner::history() {
    const records::RecordsTarget& target = m_options.recordsTarget;
    const QString connection = QStringLiteral("zelcor-cli-history");
    if (const int code = openRecords(connection, "there is no history to show");
        code != kExitDone) {
        return code;
    }
    QString error;
    long long count = 0;
    long long unreadable = 0;
    bool read = false;
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        std::ostream& out = m_context.out;
        // A row that is not a record is marked where it stands (in the lines) or told on
        // standard error (JSON and CSV stay what they are), and the others are listed.
        const auto markUnreadable = [&](const std::string& id, const QString& reason) {
            ++unreadable;
            (m_options.json || m_options.csv ? m_context.err << "zelcor-cli: " : out)
                << "record " << EscapedText(id) << ": " << reason.toStdString() << '\n';
            return bool(out);
        };
        if (m_options.csv) {
            read = records::WriteRecordsCsv(
                db, m_options.filter, [&out](const std::string& line) { return bool(out << line); },
                error, &count, markUnreadable);
        } else {
            // One record at a time, however many there are; the JSON document is still one.
            if (m_options.json) {
                out << "{\n    \"records\": [";
            }
            read = records::ForEachRecord(
                db, m_options.filter,
                [&](const ServiceRecord& r) {
                    if (m_options.json) {
                        out << (count == 0 ? "\n        " : ",\n        ")
                            << QJsonDocument(RecordJson(r))
                                   .toJson(QJsonDocument::Compact)
                                   .toStdString();
                    } else {
                        const auto field = [&r](records::RecordColumn column) {
                            return LineField(records::StoredText(r, column));
                        };
                        const std::string failure =
                            records::StoredText(r, records::kColFailureCode);
                        // A record that names no wrench says so, as the History window does.
                        out << field(records::kColTime) << '\t'
                            << (r.wrenchCode.empty() ? "unknown" : field(records::kColWrenchCode))
                            << '\t' << field(records::kColJob) << '\t'
                            << records::StoredText(r, records::kColOutcome)
                            << (failure.empty() ? "" : " " + failure) << '\t'
                            << field(records::kColOperator) << '\t' << field(records::kColStation)
                            << '\t' << LineField(records::WrittenBytesText(r.bytesWritten)) << '\t'
                            << field(records::kColMessage) << '\n';
                    }
                    ++count;
                    return bool(out);
                },
                error, markUnreadable);
            if (m_options.json) {
                out << (count == 0 ? "]\n}\n" : "\n    ]\n}\n");
            }
        }
        out << std::flush;
    }
    records::CloseRecordsDatabase(connection);
    if (!read && error.isEmpty()) {
        m_context.err << "zelcor-cli: standard output cannot be written" << std::endl;
        return kExitCommFailure;
    }
    if (!read) {
        m_context.err << "zelcor-cli: the records of " << records::TargetText(target)
                      << " cannot be read: " << error.toStdString() << std::endl;
        return kExitCommFailure;
    }
    if (unreadable > 0) {
        m_context.err << "zelcor-cli: " << unreadable << (unreadable == 1 ? " record" : " records")
                      << " of " << records::TargetText(target)
                      << " cannot be read; the others are listed" << std::endl;
        return kExitCommFailure;
    }
    if (count == 0 && !m_options.json && !m_options.csv) {
        m_context.err << "zelcor-cli: no service record matches" << std::endl;
    }
    return kExitDone;
}

} // namespace zelcor::cli
