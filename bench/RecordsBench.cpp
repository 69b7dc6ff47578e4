// SPDX-License-Identifier: GPL-3.0-or-later
// Service records: one record written to SQLite and to PostgreSQL, what recording adds to a
// job, and the History window on a million records.
#include "Bench.h"

#include "PostgresServer.h"
#include "history/HistoryWindow.h"
#include "records/RecordQuery.h"
#include "records/RecordStore.h"
#include "records/RecordWriter.h"
#include "records/Recorder.h"
#include "session/WrenchSession.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QUuid>

namespace zelcor::bench {

// --- service records -----------------------------------------------------------------------

namespace {

using zelcor::records::RecordsTarget;

// The bench's own PostgreSQL server keeps fsync on, unlike the tests': a commit costs what it
// costs on a server.
constexpr zelcor::tools::PostgresServer::Options kDurable{.durable = true};

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string spreadText(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    char s[160];
    std::snprintf(s, sizeof s, "%s%smedian of %zu (%.2f-%.2f ms)", what, *what ? " " : "",
                  ms.size(), ms.front(), ms.back());
    return s;
}

// A record as a parameter Write leaves it: the identity read, twelve bytes written.
zelcor::ServiceRecord sampleRecord() {
    zelcor::ServiceRecord r;
    r.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    r.time = zelcor::records::RecordTimeText(QDateTime::currentDateTimeUtc());
    r.durationMs = 3213;
    r.station = "bench";
    r.operatorName = "technician";
    r.program = "zelcor_bench";
    r.port = "/dev/ttyUSB0";
    r.factoryCode = "2017";
    r.softwareVersion = "0105";
    r.wrenchCode = "123456";
    r.job = "Parameter Write";
    r.direction = "CW";
    r.digits = 1;
    for (const int a : {0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x2B, 0x2C, 0x2D}) {
        r.bytesRead.push_back({a, 0x12});
    }
    for (const int a : {0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x25, 0x26, 0x2B, 0x2C, 0x2D}) {
        r.bytesWritten.push_back({a, 0x12, 0x34});
    }
    r.newSet = "00010001/1/00/01/01/05/2017/123456/01/0010/02/60/50/00/00/2392";
    return r;
}

constexpr int kRecordWrites = 200;

// One record at a time, as the programs write them: submitted to the writer, and flush()
// waiting until its thread has committed it. Then the same through InsertRecord alone, on a
// connection of the bench's own: the database's share.
void recordWrites(Table& table, const char* figure, const RecordsTarget& target,
                  const QString& spool) {
    std::vector<double> writer;
    std::string failure;
    {
        zelcor::records::RecordWriter::Options options;
        options.spoolPath = spool.toStdString();
        options.onFailure = [&failure](const std::string& message) { failure = message; };
        zelcor::records::RecordWriter records(target, options);
        // The first opens the database and brings it to its version: not counted.
        records.submit(sampleRecord());
        records.flush(std::chrono::seconds(30));
        for (int i = 0; i < kRecordWrites; ++i) {
            zelcor::ServiceRecord r = sampleRecord();
            const std::int64_t start = nowUs();
            records.submit(std::move(r));
            records.flush(std::chrono::seconds(30));
            writer.push_back((nowUs() - start) / 1000.0);
        }
    }
    std::vector<double> insert;
    long long stored = -1;
    QString error;
    const QString connection = QStringLiteral("bench-records");
    if (zelcor::records::OpenRecordsDatabase(target, connection, error)) {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        for (int i = 0; i < kRecordWrites; ++i) {
            const zelcor::ServiceRecord r = sampleRecord();
            const std::int64_t start = nowUs();
            const auto result = zelcor::records::InsertRecord(db, r, error);
            insert.push_back((nowUs() - start) / 1000.0);
            if (result != zelcor::records::InsertResult::Written) {
                failure = error.toStdString();
            }
        }
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT count(*) FROM service_record")) && q.next()) {
            stored = q.value(0).toLongLong();
        }
        q = QSqlQuery();
        db = QSqlDatabase();
        zelcor::records::CloseRecordsDatabase(connection);
    } else {
        failure = error.toStdString();
    }
    const bool ok = failure.empty() && stored == 2 * kRecordWrites + 1 && !QFile::exists(spool);
    table.add({figure, format("%.2f ms", median(writer)), "", "",
               ok ? spreadText("submit to commit through the writer,", writer) + "; " +
                        spreadText("InsertRecord alone", insert)
                  : "FAILED: " + (failure.empty() ? "a record is missing" : failure)});
}

constexpr int kClearPairs = 6;

// Clear Er0 on the simulated wrench (3 reads, 3 writes), recorded and not in turn: the record
// is completed and queued on the windows' thread as the job ends, and written on the writer's
// thread while the next job runs.
void clearWithRecords(Table& table, const Line& line, const QTemporaryDir& folder) {
    ExchangeRig rig(line);
    std::string error;
    if (!rig.open(error)) {
        table.add({"Clear Er0 with records", "-", "-", "-", "not run: " + error});
        return;
    }
    RecordsTarget target;
    target.sqlitePath = folder.filePath(QStringLiteral("clear.sqlite")).toStdString();
    zelcor::records::RecordWriter::Options options;
    options.spoolPath = folder.filePath(QStringLiteral("clear-spool.sqlite")).toStdString();
    auto writer = std::make_unique<zelcor::records::RecordWriter>(target, options);
    zelcor::records::Recorder recorder(
        "zelcor", "bench", [&](zelcor::ServiceRecord r) { writer->submit(std::move(r)); });
    auto& session = rig.window().session();
    // The record's own time on the job's thread: from the session telling of it to its
    // being queued for the writer, timed by a slot before the recorder's and one after.
    std::int64_t toldUs = 0;
    Spread recordMs;
    const auto clear = [&](bool recorded) {
        std::vector<QMetaObject::Connection> c;
        if (recorded) {
            c.push_back(QObject::connect(&session, &zelcor::WrenchSession::jobRecorded,
                                         [&] { toldUs = nowUs(); }));
            c.push_back(QObject::connect(&session, &zelcor::WrenchSession::jobRecorded, &recorder,
                                         &zelcor::records::Recorder::record));
            c.push_back(QObject::connect(&session, &zelcor::WrenchSession::jobRecorded,
                                         [&] { recordMs.add((nowUs() - toldUs) / 1000.0); }));
        }
        const double ms = rig.timeOperation([&] { session.clearEr0(); });
        for (const auto& connection : c) {
            QObject::disconnect(connection);
        }
        return ms;
    };
    clear(true); // opens the database; not counted
    recordMs = Spread();
    Spread on, off, tailOn, tailOff;
    for (int i = 0; i < 2 * kClearPairs; ++i) {
        const bool recorded = (i % 4 == 0 || i % 4 == 3); // on, off, off, on, ...
        (recorded ? on : off).add(clear(recorded));
        (recorded ? tailOn : tailOff).add(rig.lastTailMs());
    }
    writer->flush(std::chrono::seconds(30));
    writer.reset();
    long long stored = -1;
    QString openError;
    if (zelcor::records::OpenRecordsDatabase(target, QStringLiteral("bench-clear"), openError)) {
        {
            QSqlQuery q(QSqlDatabase::database(QStringLiteral("bench-clear"), false));
            if (q.exec(QStringLiteral("SELECT count(*) FROM service_record WHERE job = 'Clear "
                                      "Er0' AND outcome = 'done'")) &&
                q.next()) {
                stored = q.value(0).toLongLong();
            }
        }
        zelcor::records::CloseRecordsDatabase(QStringLiteral("bench-clear"));
    }
    const bool ok = stored == kClearPairs + 1 && rig.boxesShown() == 0;
    char note[240];
    std::snprintf(note, sizeof note,
                  "mean of %d each, in turn; last reply byte in to the job's return: %.2f ms "
                  "with, %.2f ms without (max %.2f / %.2f); the record's own part of it %.3f ms "
                  "(max %.3f)",
                  kClearPairs, tailOn.mean, tailOff.mean, tailOn.max, tailOff.max, recordMs.mean,
                  recordMs.max);
    table.add(
        {"Clear Er0 with records on, SQLite", format("%.1f ms", on.mean),
         format("%.1f ms off", off.mean), format("%+.2f %%", 100 * (on.mean / off.mean - 1)),
         ok ? note : "FAILED: a record missing or a box shown: " + rig.lastBox().toStdString()});
}

constexpr int kHistoryRecords = 1'000'000;
constexpr int kHistoryWrenches = 2000;
constexpr int kHistoryRuns = 5;

QString historyWrench(int k) {
    return QString::number(100000 + 37 * k);
}

// A new SQLite file with the program's schema (made by opening it once) and `count` records:
// one transaction of one prepared statement, no journal and no syncing while it fills. A
// record every 90 s from 2023 on, over kHistoryWrenches wrenches and twelve jobs; ids are
// UUIDs as the recorder makes them. Written bytes are left out: the list never reads them.
bool fillRecords(const RecordsTarget& target, int count, std::string& error) {
    QString e;
    if (!zelcor::records::OpenRecordsDatabase(target, QStringLiteral("bench-fill"), e)) {
        error = e.toStdString();
        return false;
    }
    zelcor::records::CloseRecordsDatabase(QStringLiteral("bench-fill"));
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench-fill");
        db.setDatabaseName(QString::fromStdString(target.sqlitePath));
        QSqlQuery q(db);
        ok = db.open() && q.exec(QStringLiteral("PRAGMA journal_mode=OFF")) &&
             q.exec(QStringLiteral("PRAGMA synchronous=OFF")) &&
             q.exec(QStringLiteral("PRAGMA cache_size=-400000")) && db.transaction() &&
             q.prepare(QStringLiteral(
                 "INSERT INTO service_record (id, time_utc, duration_ms, station, operator, "
                 "program, port, factory_code, software_version, wrench_code, job, direction, "
                 "digits, bytes_read, outcome) VALUES (?, ?, ?, 'bench-7', 'technician', "
                 "'zelcor 1.3.0', '/dev/ttyUSB0', '2017', '0105', ?, ?, 'CW', 1, ?, ?)"));
        const char* const jobs[] = {"Get",          "Parameter Write", "Read",
                                    "Write",        "Read All",        "Read Max Torque",
                                    "Clear Er0",    "Test Run",        "Live Reading",
                                    "Write All FF", "zelcor-cli dump", "zelcor-cli backup"};
        const QString read = QStringLiteral("0C=20 0D=17 0E=05 0F=01 10=02 11=53 12=57 13=53");
        const QDateTime base(QDate(2023, 1, 1), QTime(0, 0), Qt::UTC);
        for (int i = 0; ok && i < count; ++i) {
            q.bindValue(0, QUuid::createUuid().toString(QUuid::WithoutBraces));
            q.bindValue(1, base.addMSecs(std::int64_t{i} * 90'000 + i % 1000)
                               .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'")));
            q.bindValue(2, 100 + i % 5000);
            q.bindValue(3, historyWrench(int((std::int64_t{i} * 7919) % kHistoryWrenches)));
            q.bindValue(4, QLatin1String(jobs[(i / 7) % 12]));
            q.bindValue(5, read);
            q.bindValue(6, i % 50 == 0 ? QStringLiteral("failed") : QStringLiteral("done"));
            ok = q.exec();
        }
        ok = ok && db.commit() && q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        if (!ok) {
            error = q.lastError().text().toStdString() + db.lastError().text().toStdString();
        }
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-fill"));
    return ok;
}

// The same records as fillRecords, made on the PostgreSQL server in one statement, then
// analysed so that the planner knows them.
bool fillPostgres(const RecordsTarget& target, int count, std::string& error) {
    QString e;
    if (!zelcor::records::OpenRecordsDatabase(target, QStringLiteral("bench-fill"), e)) {
        error = e.toStdString();
        return false;
    }
    bool ok = false;
    {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("bench-fill"), false));
        // The programs' statement limit is for one record; a million in one statement may
        // take longer.
        ok = q.exec(QStringLiteral("SET statement_timeout = 0")) &&
             q.exec(QStringLiteral(
                        "INSERT INTO service_record (id, time_utc, duration_ms, station, operator, "
                        "program, port, factory_code, software_version, wrench_code, job, "
                        "direction, digits, bytes_read, outcome) SELECT md5(i::text)::uuid::text, "
                        "to_char(timestamp '2023-01-01' + i * interval '90 s' + (i % 1000) * "
                        "interval '1 ms', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), 100 + i % 5000, "
                        "'bench-7', 'technician', 'zelcor 1.3.0', '/dev/ttyUSB0', '2017', '0105', "
                        "(100000 + 37 * ((i::bigint * 7919) % %1))::text, (ARRAY['Get', "
                        "'Parameter Write', 'Read', 'Write', 'Read All', 'Read Max Torque', "
                        "'Clear Er0', 'Test Run', 'Live Reading', 'Write All FF', "
                        "'zelcor-cli dump', 'zelcor-cli backup'])[(i / 7) % 12 + 1], 'CW', 1, "
                        "'0C=20 0D=17 0E=05 0F=01 10=02 11=53 12=57 13=53', CASE WHEN i % 50 = 0 "
                        "THEN 'failed' ELSE 'done' END FROM generate_series(0, %2) AS i")
                        .arg(kHistoryWrenches)
                        .arg(count - 1)) &&
             q.exec(QStringLiteral("ANALYZE service_record"));
        if (!ok) {
            error = q.lastError().text().toStdString();
        }
    }
    zelcor::records::CloseRecordsDatabase(QStringLiteral("bench-fill"));
    return ok;
}

// The History window at 10^6 records: opened (the database opened, the job list and the first
// rows read, painted), then filtered by one wrench, and by one wrench and one job; and the
// resident set with the first screen shown, above a window on an empty database.
void historyWindow(Table& table, const char* kind, const RecordsTarget& empty,
                   const RecordsTarget& target, const std::string& filled) {
    const QString wrench = historyWrench(1234);
    std::vector<double> open, byWrench, byJob;
    int openRows = 0, wrenchRows = 0, jobRows = 0;
    bool ok = true;
    double residentMb = 0;
    for (int run = 0; run < kHistoryRuns; ++run) {
        // The first run measures the resident set: an empty history shown beside it first.
        std::unique_ptr<zelcor::HistoryWindow> none;
        long emptyResident = 0;
        if (run == 0) {
            none = std::make_unique<zelcor::HistoryWindow>(empty, [] { return std::string(); });
            none->show();
            QApplication::processEvents();
            emptyResident = residentBytes();
        }
        zelcor::HistoryWindow window(target, [] { return std::string(); });
        auto* grid = window.findChild<QTableView*>(QStringLiteral("grdRecords"));
        auto* code = window.findChild<QLineEdit*>(QStringLiteral("txtWrenchCode"));
        auto* job = window.findChild<QComboBox*>(QStringLiteral("cmbJob"));
        // Until the list shows its first row, painted.
        const auto shown = [&](const std::function<void()>& change, int& rows) {
            const std::int64_t start = nowUs();
            change();
            QAbstractItemModel* model = grid->model();
            const QString first = model->data(model->index(0, zelcor::records::kColId)).toString();
            QApplication::processEvents();
            const double ms = (nowUs() - start) / 1000.0;
            rows = model->rowCount();
            ok &= !first.isEmpty();
            return ms;
        };
        open.push_back(shown([&] { window.show(); }, openRows));
        if (run == 0) {
            residentMb = (residentBytes() - emptyResident) / 1e6;
            none.reset();
        }
        byWrench.push_back(shown([&] { code->setText(wrench); }, wrenchRows));
        byJob.push_back(
            shown([&] { job->setCurrentIndex(job->findText("Parameter Write")); }, jobRows));
        ok &= grid->model()
                  ->data(grid->model()->index(0, zelcor::records::kColWrenchCode))
                  .toString() == wrench;
    }
    const auto row = [&](const std::string& figure, const std::vector<double>& ms, int rows,
                         const std::string& more) {
        const double m = median(ms);
        table.add({figure, format("%.1f ms", m), "< 100 ms",
                   m < 100 ? "met" : format("%.1f over", m - 100),
                   ok ? spreadText("", ms) + format("; %.0f rows read", rows) + more
                      : "FAILED: the list showed no record or another wrench's"});
    };
    row(std::string("History window, 10^6 records, ") + kind + ": open", open, openRows,
        "; " + filled);
    table.add({"  its resident set above an empty history", format("%.1f MB", residentMb),
               "< 100 MB", residentMb < 100 ? "met" : format("%.1f over", residentMb - 100),
               "first screen shown, measured in the first run"});
    row("  filter by one wrench (500 records)", byWrench, wrenchRows, "");
    row("  and by one job", byJob, jobRows, "");
}

} // namespace

void historyWindows(Table& table) {
    const QTemporaryDir folder;
    RecordsTarget target;
    target.sqlitePath = folder.filePath(QStringLiteral("history.sqlite")).toStdString();
    RecordsTarget empty;
    empty.sqlitePath = folder.filePath(QStringLiteral("empty.sqlite")).toStdString();
    std::string error;
    std::int64_t fillStart = nowUs();
    if (fillRecords(target, kHistoryRecords, error)) {
        const double seconds = (nowUs() - fillStart) / 1e6;
        const double fileMb = QFileInfo(QString::fromStdString(target.sqlitePath)).size() / 1e6;
        historyWindow(table, "SQLite", empty, target,
                      format("filled in %.1f s, ", seconds) + format("%.0f MB", fileMb));
    } else {
        table.add({"History window, 10^6 records, SQLite", "-", "-", "-", "not filled: " + error});
    }

    zelcor::tools::PostgresServer server(kDurable);
    std::optional<RecordsTarget> pgEmpty, pgTarget;
    fillStart = nowUs();
    if (server.create(error) && (pgEmpty = server.newDatabase(error)) &&
        (pgTarget = server.newDatabase(error)) && fillPostgres(*pgTarget, kHistoryRecords, error)) {
        historyWindow(table, "PostgreSQL", *pgEmpty, *pgTarget,
                      format("filled in %.1f s on the server", (nowUs() - fillStart) / 1e6));
    } else {
        table.add(
            {"History window, 10^6 records, PostgreSQL", "-", "-", "-", "not measured: " + error});
    }
}

void serviceRecords(Table& table, const Line& line) {
    const QTemporaryDir folder;
    recordWrites(
        table, "Write one record, SQLite file",
        [&] {
            RecordsTarget t;
            t.sqlitePath = folder.filePath(QStringLiteral("one.sqlite")).toStdString();
            return t;
        }(),
        folder.filePath(QStringLiteral("one-spool.sqlite")));
    zelcor::tools::PostgresServer server(kDurable);
    std::string error;
    std::optional<RecordsTarget> target;
    if (server.create(error) && (target = server.newDatabase(error))) {
        recordWrites(table, "Write one record, PostgreSQL (local, fsync on)", *target,
                     folder.filePath(QStringLiteral("pg-spool.sqlite")));
    } else {
        std::printf("zelcor_bench: records on PostgreSQL not measured: %s\n", error.c_str());
        table.add({"Write one record, PostgreSQL", "-", "", "", "not measured: " + error});
    }
    clearWithRecords(table, line, folder);
}

} // namespace zelcor::bench
