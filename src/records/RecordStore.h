// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/RecordColumns.h"
#include "wrench/ServiceRecord.h"

#include <QString>

#include <chrono>
#include <cstdint>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QSqlDatabase;
class QSqlQuery;

namespace zelcor::records {

// Where the service records go: the --records option or ZELCOR_RECORDS.
//   empty            the SQLite file in the user's data folder (DefaultSqlitePath())
//   off              nothing is recorded
//   sqlite:PATH      that SQLite file (tests, and a file shared by a bench's programs); a
//                    relative PATH is taken from the current folder
//   postgresql://user@host[:port]/dbname[?PARAMETERS]   a PostgreSQL database; the password
//                    from ~/.pgpass or PGPASSWORD, which libpq reads itself, never in the
//                    address ("postgres://" is read the same). PARAMETERS, joined by "&":
//                    sslmode=disable|allow|prefer|require|verify-ca|verify-full,
//                    sslrootcert=FILE, connect_timeout=SECONDS (1 to 3600, 3 by default),
//                    application_name=NAME (printable ASCII, up to 63 characters)
struct RecordsTarget {
    enum class Kind { Off, Sqlite, Postgresql } kind = Kind::Sqlite;
    std::string sqlitePath; // absolute
    std::string user, host, database;
    int port = 5432;
    // The address's connection parameters; empty or 0 when it does not give them.
    std::string sslMode, sslRootCert, applicationName;
    int connectTimeout = 0;

    bool operator==(const RecordsTarget&) const = default;
};
// The target of a --records text (blanks around it ignored); none with `error` set when it
// cannot be understood. A password in a PostgreSQL address, before the host or as a
// parameter, is refused; no message repeats it.
std::optional<RecordsTarget> ParseRecordsTarget(const std::string& text, std::string& error);
// A --records text as a message may show it: a password in an address replaced by "***"
// ("postgresql://u:***@h/d", "...?password=***"); any other text as it is.
std::string WithoutPassword(const std::string& text);
// The target as ParseRecordsTarget reads it back: "off", "sqlite:/abs/path" or
// "postgresql://user@host:port/dbname", with the parameters given after "?". Messages show
// it, and the spool files its records under it.
std::string TargetText(const RecordsTarget& target);

// The SQLite file both programs (zelcor and zelcor-cli) share on one computer:
// QStandardPaths' GenericDataLocation + "/Zelcor/records.sqlite", on Linux
// $XDG_DATA_HOME/Zelcor/records.sqlite, by default ~/.local/share/Zelcor/records.sqlite.
std::string DefaultSqlitePath();
// The spool beside the default SQLite file ("records-spool.sqlite"), where records wait that
// could not be written to their database.
std::string DefaultSpoolPath();

// Makes the file `path`, empty, when it is missing, and the folders above it that are missing:
// the folders for their owner alone (0700), the file readable and writable by its owner alone
// (0600), whatever the umask. SQLite gives a database's write-ahead log and shared memory
// the file's own permissions. False with `error` set when it cannot be made.
bool MakePrivateFile(const std::string& path, QString& error);

// A failure of a records file in plain words: SQLite's "disk I/O error" or "database or disk
// is full", or the system's "No space left on device", is "the disk is full" when the file
// system that holds `path` has less than kDiskFullBelow bytes left for the user. Any other
// text is returned as it is.
inline constexpr std::uint64_t kDiskFullBelow = 1024 * 1024;
QString PlainError(const QString& error, const std::string& path);

// ---- the database ---------------------------------------------------------------------------
// The records kept in one database, read and written through Qt SQL (drivers QSQLITE and
// QPSQL). Opening applies the numbered migrations the database does not have yet, each in a
// transaction of its own.
//
// Schema (version 2):
//   service_record(id TEXT PRIMARY KEY, time_utc TEXT NOT NULL, duration_ms INTEGER NOT NULL,
//       station TEXT, operator TEXT, program TEXT, port TEXT, factory_code TEXT,
//       software_version TEXT, wrench_code TEXT, job TEXT NOT NULL, direction TEXT,
//       digits INTEGER NULL, bytes_read TEXT (e.g. "0C=A1 0D=B2"), request_code TEXT,
//       request_message TEXT, new_set TEXT, detail TEXT, run_summary TEXT,
//       outcome TEXT NOT NULL ('done', 'failed', 'refused', 'stopped'), failure_code INTEGER,
//       message TEXT)
//   written_byte(record_id TEXT NOT NULL REFERENCES service_record(id) ON DELETE CASCADE,
//       seq INTEGER NOT NULL, address INTEGER NOT NULL, before INTEGER NULL,
//       after INTEGER NOT NULL, PRIMARY KEY(record_id, seq))
//   schema_version(version INTEGER NOT NULL)
//   indexes (version 2): service_record(wrench_code, time_utc), service_record(time_utc),
//       service_record(job, time_utc)
//   verification_run(record_id TEXT PRIMARY KEY REFERENCES service_record(id) ON DELETE
//       CASCADE, maximum DOUBLE PRECISION NOT NULL, points TEXT NOT NULL (e.g. "20,60,100"),
//       readings_per_point INTEGER NOT NULL, tolerance DOUBLE PRECISION NOT NULL,
//       preloads INTEGER NOT NULL, direction TEXT NOT NULL ('CW', 'CCW', 'both'),
//       as_left INTEGER NOT NULL (0, 1), digits INTEGER NOT NULL, technician TEXT,
//       tester TEXT, tester_due TEXT, remark TEXT, interval_months INTEGER NOT NULL,
//       reference_timeout_s INTEGER NOT NULL, stopped INTEGER NOT NULL (0, 1),
//       verdict TEXT NOT NULL ('passed', 'failed', 'none'), due_date TEXT)
//   verification_reading(record_id TEXT NOT NULL REFERENCES verification_run(record_id) ON
//       DELETE CASCADE, seq INTEGER NOT NULL, direction TEXT NOT NULL, point INTEGER NOT NULL,
//       idx INTEGER NOT NULL, target DOUBLE PRECISION NOT NULL, wrench DOUBLE PRECISION NOT
//       NULL, reference DOUBLE PRECISION NOT NULL, reference_text TEXT,
//       discarded INTEGER NOT NULL (0, 1), discard_reason TEXT, PRIMARY KEY(record_id, seq))
//   indexes (version 3): verification_run(verdict, record_id), verification_run(as_left,
//       record_id)
//
// Migration 1 makes the three tables, migration 2 the indexes the history filters on (by
// wrench code, job and date), migration 3 the tables of the verification runs and the
// indexes the due list and the "as found" run are found by; schema_version holds one row
// for each migration applied. On PostgreSQL duration_ms is a BIGINT, as wide as SQLite's
// INTEGER; a DOUBLE PRECISION is an 8-byte float on both, so a number reads back exactly.
//
// How the columns hold a record:
//   time_utc      "2026-12-06T23:00:00.125Z": UTC, milliseconds, sorts as text
//   a text field that is empty (an unknown wrench code, no port...) is NULL; job is '' then
//   digits        NULL when none apply
//   bytes_read    "0C=A1 0D=B2": address and value in upper-case hexadecimal, in read order
//   written_byte  one row per byte written, seq 0, 1, ... in write order; before NULL when
//                 what the wrench held was not known
//   run_summary   "cycles=12 first_ms=150 last_ms=4800 lowest=1.25 highest=10.5", NULL
//                 without a run (numbers with a period whatever the locale)
//   failure_code  NULL when 0
//   a run's texts that are empty (no remark, no due date) are NULL
inline constexpr int kSchemaVersion = 3;

// The time limits of a PostgreSQL connection: for connecting (to each address of the host),
// and for each statement, which the server cancels after that long.
inline constexpr std::chrono::seconds kConnectLimit{3};
inline constexpr std::chrono::seconds kStatementLimit{5};

// Opens the database of `target` as the Qt SQL connection `connectionName` of the calling
// thread (QSqlDatabase::database(connectionName)), and brings it to kSchemaVersion. SQLite:
// write-ahead log and a busy time-out of 5 s, so the programs of one bench share the file;
// synchronous=NORMAL (a commit survives the program killed, the last ones may not survive a
// power cut; a record is whole or absent either way); foreign keys on; the default file is made
// when missing as MakePrivateFile() makes it. PostgreSQL: the address's parameters;
// connecting gives up after kConnectLimit unless the address gives another time, each
// statement after kStatementLimit (history's queries too), and a connection that stops
// answering (a network cut) is dropped after about 10 s. A database of a later version is
// opened as it is. On failure `error` tells why, and no connection of that name is left.
bool OpenRecordsDatabase(const RecordsTarget& target, const QString& connectionName,
                         QString& error);
// Closes and removes the connection; every QSqlQuery on it must be gone.
void CloseRecordsDatabase(const QString& connectionName);

// A failed query's error as the database put it, or the driver when the database said
// nothing; "unknown error" when neither did.
QString QueryError(const QSqlQuery& q);

enum class InsertResult { Written, AlreadyThere, Failed };
// Writes one record, its service_record row, its written_byte rows and its verification run
// (its verification_run row and verification_reading rows), in one transaction:
// all of it or nothing. A record whose id is there already is left as it is (AlreadyThere),
// so a record written twice is kept once. `alongside`, when given, runs in the same
// transaction after the rows are written (the spool files the record under its target so);
// false from it, with its error set, writes nothing.
InsertResult InsertRecord(QSqlDatabase& db, const ServiceRecord& record, QString& error,
                          const std::function<bool(QSqlDatabase&, QString&)>& alongside = {});
// The record with that id, its written bytes and its verification run with it; none, with
// `error` empty, when there is no such record.
std::optional<ServiceRecord> ReadRecord(QSqlDatabase& db, const std::string& id, QString& error);
// Reads the verification runs of `records` (those that hold one) into them, with their
// readings. A run that cannot be read is left out and its record's id goes into
// `unreadable` with the reason. False with `error` set when the database cannot be read.
bool ReadVerifications(QSqlDatabase& db, const std::vector<ServiceRecord*>& records,
                       std::map<std::string, QString>& unreadable, QString& error);

} // namespace zelcor::records
