// SPDX-License-Identifier: GPL-3.0-or-later
// due: every wrench of the service records with its next verification, as lines, JSON or CSV.
#include "cli/CliFormat.h"
#include "cli/CliRunner.h"

#include "common/TextConv.h"
#include "records/DueList.h"
#include "records/RecordStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>

#include <ostream>

namespace zelcor::cli {

int CliRunner::due() {
    const records::RecordsTarget& target = m_options.recordsTarget;
    // Today by the program's clock, UTC, as the records' times are.
    const std::optional<QDate> today =
        m_context.utcNow ? records::ParseDay(m_context.utcNow().substr(0, 10)) : std::nullopt;
    if (!today) {
        m_context.err << "zelcor-cli: today's date cannot be told" << std::endl;
        return kExitCommFailure;
    }
    const QString connection = QStringLiteral("zelcor-cli-due");
    if (const int code = openRecords(connection, "there is no due list to show");
        code != kExitDone) {
        return code;
    }
    QString error;
    std::vector<records::DueEntry> entries;
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        entries = records::DueList(db, *today, error);
    }
    records::CloseRecordsDatabase(connection);
    if (!error.isEmpty()) {
        m_context.err << "zelcor-cli: the records of " << records::TargetText(target)
                      << " cannot be read: " << error.toStdString() << std::endl;
        return kExitCommFailure;
    }
    if (m_options.withinDays) {
        entries = records::DueWithin(entries, *today, *m_options.withinDays);
    }
    std::ostream& out = m_context.out;
    if (m_options.json) {
        QJsonArray wrenches;
        for (const records::DueEntry& e : entries) {
            wrenches.append(records::DueJson(e));
        }
        out << QJsonDocument(QJsonObject{{QStringLiteral("today"), today->toString(Qt::ISODate)},
                                         {QStringLiteral("wrenches"), wrenches}})
                   .toJson(QJsonDocument::Indented)
                   .toStdString();
    } else if (m_options.csv) {
        out << records::DueCsvHeader();
        for (const records::DueEntry& e : entries) {
            out << records::DueCsvRow(e);
        }
    } else {
        // The state in words, so that a failed or overdue wrench stands out without colour.
        for (const records::DueEntry& e : entries) {
            const auto field = [](const std::string& text) {
                return text.empty() ? std::string("-") : EscapedText(text);
            };
            out << field(e.wrenchCode) << '\t' << records::DueStateWord(e.state) << '\t'
                << field(e.dueDate) << '\t'
                << (e.verdict == Verdict::None ? "-" : VerdictWord(e.verdict)) << '\t'
                << field(e.time) << '\t' << field(e.recordId) << '\n';
        }
    }
    out << std::flush;
    if (!out) {
        m_context.err << "zelcor-cli: standard output cannot be written" << std::endl;
        return kExitCommFailure;
    }
    if (entries.empty() && !m_options.json && !m_options.csv) {
        m_context.err << "zelcor-cli: no wrench in the records"
                      << (m_options.withinDays ? " is due by then" : "") << std::endl;
    }
    return kExitDone;
}

} // namespace zelcor::cli
