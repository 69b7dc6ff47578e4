// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wrench/ServiceRecord.h"

#include <QDate>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class QSqlDatabase;

namespace zelcor::records {

// ---- the due list ---------------------------------------------------------------------------
// Every wrench the records know, with its last verification and when the next is due. A
// passed run makes the wrench due on the run's due date; a failed run after it makes it
// failed, with no due date, until a later run passes. A stopped run (no verdict) changes
// nothing.
enum class DueState { Failed, Overdue, NeverVerified, Due };
// "failed", "overdue", "never verified", "due".
std::string DueStateWord(DueState state);

struct DueEntry {
    std::string wrenchCode;
    // The last verification with a verdict; empty, and Verdict::None, when there is none.
    std::string recordId;
    std::string time;
    Verdict verdict = Verdict::None;
    std::string dueDate; // "YYYY-MM-DD"; empty when failed or never verified
    DueState state = DueState::NeverVerified;
};

// Every wrench code of the records (whatever the job), failed first, then overdue (its due
// date before `today`), then never verified, then by due date, each group by due date and
// code. Empty with `error` set when the database cannot be read.
std::vector<DueEntry> DueList(QSqlDatabase& db, const QDate& today, QString& error);
// The entries due within `days` days of `today` (their due date at most today + days), and
// every failed, overdue or never verified one.
std::vector<DueEntry> DueWithin(const std::vector<DueEntry>& entries, const QDate& today, int days);

// An entry as zelcor-cli due --json shows it, and as CSV: the columns
//   wrench code, state, due date, verdict, time, record id
// (the last verification's verdict, time and record id; empty when there is none).
QJsonObject DueJson(const DueEntry& entry);
std::string DueCsvHeader();
std::string DueCsvRow(const DueEntry& entry);

// ---- the "as found" run ---------------------------------------------------------------------
// What an "as left" run's certificate shows beside it: the wrench's last "as found" run
// (that was not stopped) earlier the same day (UTC, before the record's time), and the
// records of that wrench with written bytes between the two, in time order (the runs'
// own records, which only clear the maximum, left out).
struct AsFound {
    std::optional<ServiceRecord> run;
    std::vector<ServiceRecord> writes;
};
// None for a record that is no "as left" run or has no such "as found" run; none with
// `error` set when the database cannot be read.
std::optional<AsFound> AsFoundContext(QSqlDatabase& db, const ServiceRecord& record,
                                      QString& error);

} // namespace zelcor::records
