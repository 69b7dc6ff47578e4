// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wrench/ServiceRecord.h"

#include <QJsonObject>
#include <QString>
#include <QVariant>

class QSqlQuery;

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace zelcor::records {

// ---- the columns of a record ------------------------------------------------------------------
// Every column of service_record, its name in SQL, in JSON and in CSV, and how a record's
// field is kept in it, is written once, in the table of RecordColumns.cpp. The insert, the
// read-back, the history list, the CSV export and zelcor-cli history --json all take their
// columns from there. (The migrations that make the table keep their own SQL text: they are
// the schema's history, and a later column comes as a migration of its own.)

// The columns in the order the table lists them, which is the order they are selected in.
enum RecordColumn : int {
    kColId,
    kColTime,
    kColDuration,
    kColStation,
    kColOperator,
    kColProgram,
    kColPort,
    kColFactoryCode,
    kColSoftwareVersion,
    kColWrenchCode,
    kColJob,
    kColDirection,
    kColDigits,
    kColBytesRead,
    kColRequestCode,
    kColRequestMessage,
    kColNewSet,
    kColDetail,
    kColRunSummary,
    kColOutcome,
    kColFailureCode,
    kColMessage,
    kRecordColumnCount
};

// One column: its names, and the pair of functions that turn the record's field into what the
// column stores and back.
struct ColumnDef {
    const char* sql;  // the column of service_record
    const char* json; // the key of zelcor-cli history --json
    const char* csv;  // the CSV header's name; nullptr when the CSV leaves the column out
    // The stored value: a text, a number, or NULL for an absent one.
    QVariant (*store)(const ServiceRecord&);
    // Sets the field from a stored value; false when the value is not one the column holds.
    bool (*load)(const QVariant&, ServiceRecord&);
    // The JSON value where it is more than the stored one (the bytes read as a list, the run
    // as an object); nullptr for the stored value as it is, NULL as null.
    QJsonValue (*toJson)(const ServiceRecord&);
};

const ColumnDef& Column(RecordColumn column);
// The column's SQL name.
QString SqlName(RecordColumn column);
// The table the records are kept in.
extern const QLatin1String kRecordTable;

// Every column's SQL name, in RecordColumn order, joined by ", " ("id, time_utc, ...").
QString ColumnList();
// Each column's value as it is stored, in RecordColumn order.
std::array<QVariant, kRecordColumnCount> StoredValues(const ServiceRecord& record);
// A column's value as text: "" for NULL, a number in decimal ("4500"), a text as it is.
std::string StoredText(const ServiceRecord& record, RecordColumn column);

// A listed row: the values of its columns, in RecordColumn order.
using RecordRow = std::array<QVariant, kRecordColumnCount>;
// The row as a record, without its written bytes; false with `reason` set ("cannot read
// bytes_read") when a column does not hold what a record holds.
bool RowToRecord(const RecordRow& row, ServiceRecord& record, QString& reason);

// The record as zelcor-cli history --json shows it: every column under its JSON name; the
// written bytes are not among them.
QJsonObject RecordJson(const ServiceRecord& record);

// ---- the written bytes -----------------------------------------------------------------------
// written_byte(record_id, seq, address, before, after): one row per byte written, in write
// order. The statement that inserts one (placeholders :record_id, :seq, :address, :before,
// :after), and the query that reads them back (record_id, address, before, after, in order)
// for the records whose ids take the place of `ids` ("?" or ":id" ...).
QString WrittenByteInsertSql();
QString WrittenByteSelectSql(const QString& ids);
// The values that insert byte `seq` of the record, in the insert's placeholder order.
QVariantList WrittenByteValues(const ServiceRecord& record, std::size_t seq);
// A written byte from the query's address, before and after.
RecordedWrite WrittenByteFromRow(const QVariant& address, const QVariant& before,
                                 const QVariant& after);

// ---- a verification run -----------------------------------------------------------------------
// verification_run: one row for a record that holds a run (record_id, then the run's settings
// and how it ended); verification_reading: one row per reading (record_id, seq in the order
// taken, then the reading). Their columns, with their JSON and CSV names, are written once,
// in the tables of RecordColumns.cpp, as those of service_record are.
extern const QLatin1String kRunTable;
extern const QLatin1String kReadingTable;
// The run's columns that the due list and the "as found" run are looked up by.
inline constexpr const char* kRunAsLeft = "as_left";
inline constexpr const char* kRunStopped = "stopped";
inline constexpr const char* kRunVerdict = "verdict";
inline constexpr const char* kRunDueDate = "due_date";
// The statements that insert a run and one of its readings ("?" placeholders), and the
// values that fill them, in their order: record_id first, then seq for a reading.
QString VerificationRunInsertSql();
QString VerificationReadingInsertSql();
QVariantList VerificationRunValues(const ServiceRecord& record);
QVariantList VerificationReadingValues(const ServiceRecord& record, std::size_t seq);
// The queries that read the runs and the readings of the records whose ids take the place of
// `ids`: record_id, then the columns in the order the tables list them (the readings in the
// order taken, without their seq).
QString VerificationRunSelectSql(const QString& ids);
QString VerificationReadingSelectSql(const QString& ids);
// The run, or one reading, from such a query's row (from its second column on); false with
// `reason` set ("cannot read verification_run.points") when a column does not hold what it
// should.
bool RowToVerificationRun(const QSqlQuery& row, VerificationRun& run, QString& reason);
bool RowToVerificationReading(const QSqlQuery& row, VerificationReading& reading, QString& reason);
// The run as zelcor-cli history --json shows it, under "verification": each column under its
// JSON name, the readings as a list.
QJsonObject VerificationJson(const VerificationRun& run);
// The points as the column keeps them: "20,60,100", numbers with a period whatever the
// locale, each read back exactly.
std::string PointsText(const std::vector<double>& points);
std::optional<std::vector<double>> ParsePoints(const std::string& text);

// ---- the texts the columns hold ---------------------------------------------------------------
std::string BytesReadText(const std::vector<RecordedRead>& bytes);
std::optional<std::vector<RecordedRead>> ParseBytesRead(const std::string& text);
std::string RunSummaryText(const RecordedRun& run);
std::optional<RecordedRun> ParseRunSummary(const std::string& text);
std::string OutcomeText(RecordOutcome outcome);
std::optional<RecordOutcome> ParseOutcome(const std::string& text);

// The written bytes in write order: "ADDR:BEFORE>AFTER" each, blank between them; ADDR is
// two upper-case hexadecimal digits for 00H to FFH and four above, BEFORE "XX" when unknown:
// "10:00>80 2B:XX>12".
std::string WrittenBytesText(const std::vector<RecordedWrite>& bytes);

// An address as the texts write it: two upper-case hexadecimal digits for 00H to FFH, four
// above ("2B", "0105").
std::string AddressText(int address);
// A value as upper-case hexadecimal, at least `digits` digits ("0C", "012C").
std::string Hex(int value, int digits);
// A stored text: "" for NULL.
std::string FromText(const QVariant& value);

// ---- CSV -------------------------------------------------------------------------------------
// The History window's export and zelcor-cli history --csv: RFC 4180 (CRLF after every
// line, a field quoted when it holds a comma, a quote, CR or LF, a quote doubled). The
// columns that have a CSV name, in the CSV's order (kCsvOrder in RecordColumns.cpp), then
// the bytes written:
//   time, wrench code, factory code, software version, job, direction, digits, outcome,
//   failure code, message, station, operator, program, port, duration ms, request code,
//   bytes written, verdict, due date
// An absent value (digits, a failure code of 0) is an empty field; the bytes written are
// WrittenBytesText. The verification run's columns that have a CSV name (its verdict and due
// date) come last, empty for a record without a run, so a reader of the earlier columns by
// their place reads them as before.

// One field as RFC 4180 writes it.
std::string CsvField(const std::string& text);
std::string CsvHeader();
std::string CsvRow(const ServiceRecord& record);

} // namespace zelcor::records
