// SPDX-License-Identifier: GPL-3.0-or-later
// Where records go (the --records text), the database's schema and migrations, and a record
// written and read back, on SQLite and on PostgreSQL.
#include "records/RecordsFixture.h"

#include <QDir>
#include <QFileInfo>

namespace zelcor::test {
namespace {

using records::InsertResult;
using records::ParseRecordsTarget;
using records::RecordsTarget;

// ---- the --records text ----------------------------------------------------------------------

TEST(RecordsTargetTest, EmptyIsTheSharedFileInTheUsersDataFolder) {
    // test_main gives the suite a data folder of its own.
    const std::string data = qEnvironmentVariable("XDG_DATA_HOME").toStdString();
    ASSERT_FALSE(data.empty());
    std::string error;
    for (const std::string text : {"", "   "}) {
        const auto t = ParseRecordsTarget(text, error);
        ASSERT_TRUE(t) << error;
        EXPECT_EQ(t->kind, RecordsTarget::Kind::Sqlite);
        EXPECT_EQ(t->sqlitePath, data + "/Zelcor/records.sqlite");
    }
    EXPECT_EQ(records::DefaultSqlitePath(), data + "/Zelcor/records.sqlite");
    EXPECT_EQ(records::DefaultSpoolPath(), data + "/Zelcor/records-spool.sqlite");
}

TEST(RecordsTargetTest, OffAndSqliteFiles) {
    std::string error;
    const auto off = ParseRecordsTarget(" off\n", error);
    ASSERT_TRUE(off) << error;
    EXPECT_EQ(off->kind, RecordsTarget::Kind::Off);

    const auto file = ParseRecordsTarget("sqlite:/srv/bench/../records.sqlite", error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->kind, RecordsTarget::Kind::Sqlite);
    EXPECT_EQ(file->sqlitePath, "/srv/records.sqlite");

    const auto relative = ParseRecordsTarget("sqlite:bench/records.sqlite", error);
    ASSERT_TRUE(relative) << error;
    EXPECT_EQ(relative->sqlitePath, QDir::currentPath().toStdString() + "/bench/records.sqlite");

    EXPECT_FALSE(ParseRecordsTarget("sqlite:", error));
    EXPECT_NE(error.find("sqlite:"), std::string::npos) << error;
}

TEST(RecordsTargetTest, PostgresqlAddresses) {
    std::string error;
    const auto t = ParseRecordsTarget("postgresql://svc@db.bench.lan:5433/zelcor", error);
    ASSERT_TRUE(t) << error;
    EXPECT_EQ(t->kind, RecordsTarget::Kind::Postgresql);
    EXPECT_EQ(t->user, "svc");
    EXPECT_EQ(t->host, "db.bench.lan");
    EXPECT_EQ(t->port, 5433);
    EXPECT_EQ(t->database, "zelcor");
    EXPECT_EQ(error, "");

    const auto defaultPort = ParseRecordsTarget("postgres://svc@10.0.0.5/records", error);
    ASSERT_TRUE(defaultPort) << error;
    EXPECT_EQ(defaultPort->host, "10.0.0.5");
    EXPECT_EQ(defaultPort->port, 5432);
    EXPECT_EQ(defaultPort->database, "records");

    const auto v6 = ParseRecordsTarget("postgresql://svc@[::1]:6000/records", error);
    ASSERT_TRUE(v6) << error;
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->port, 6000);
    EXPECT_EQ(records::TargetText(*v6), "postgresql://svc@[::1]:6000/records");
}

TEST(RecordsTargetTest, APasswordIsRefusedAndNotRepeated) {
    for (const std::string text :
         {"postgresql://svc:s3cret@db/records", "postgresql://svc:s3cret@db:5432/records?x=1",
          "postgres://svc:@db/records"}) {
        std::string error;
        EXPECT_FALSE(ParseRecordsTarget(text, error)) << text;
        EXPECT_NE(error.find("password"), std::string::npos) << error;
        EXPECT_NE(error.find("PGPASSWORD"), std::string::npos) << error;
        EXPECT_EQ(error.find("s3cret"), std::string::npos) << error;
    }
}

TEST(RecordsTargetTest, TextsThatAreRefused) {
    const std::pair<std::string, std::string> refused[] = {
        {"postgresql://db/records", "no user"},
        {"postgresql://svc@/records", "no host"},
        {"postgresql://svc@db", "no database"},
        {"postgresql://svc@db/", "no database"},
        {"postgresql://svc@db/a/b", "no database"},
        {"postgresql://svc@db:99999/records", "records address"},
        {"postgresql://svc@db/records?sslmode=require", "no options"},
        {"mysql://svc@db/records", "unknown records target"},
        {"sqlite", "unknown records target"},
        {"OFF", "unknown records target"},
    };
    for (const auto& [text, expected] : refused) {
        std::string error;
        EXPECT_FALSE(ParseRecordsTarget(text, error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << text << ": " << error;
    }
    // A long text is quoted in part.
    std::string error;
    EXPECT_FALSE(ParseRecordsTarget(std::string(200, 'x'), error));
    EXPECT_NE(error.find('"' + std::string(40, 'x') + "...\""), std::string::npos) << error;
    EXPECT_EQ(error.find(std::string(41, 'x')), std::string::npos) << error;
}

TEST(RecordsTargetTest, TheTextOfATargetReadsBackAsIt) {
    for (const std::string text :
         {"off", "sqlite:/var/lib/zelcor/records.sqlite", "postgresql://svc@db:5433/records"}) {
        std::string error;
        const auto t = ParseRecordsTarget(text, error);
        ASSERT_TRUE(t) << error;
        EXPECT_EQ(records::TargetText(*t), text);
        EXPECT_EQ(ParseRecordsTarget(records::TargetText(*t), error), t);
    }
}

// ---- column texts ---------------------------------------------------------------------------

TEST(RecordColumnsTest, BytesReadAndRunSummary) {
    EXPECT_EQ(records::BytesReadText({{0x0C, 0xA1}, {0x0D, 0x0B}, {0x2D, 0x00}}),
              "0C=A1 0D=0B 2D=00");
    EXPECT_EQ(records::BytesReadText({}), "");
    const auto read = records::ParseBytesRead("0C=A1 2d=ff");
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ((*read)[1].address, 0x2D);
    EXPECT_EQ((*read)[1].value, 0xFF);
    EXPECT_FALSE(records::ParseBytesRead("0C=100"));
    EXPECT_FALSE(records::ParseBytesRead("0C"));
    EXPECT_FALSE(records::ParseBytesRead("0C=A1x"));

    EXPECT_EQ(records::RunSummaryText({12, 150, 4800, 1.25, 10.5}),
              "cycles=12 first_ms=150 last_ms=4800 lowest=1.25 highest=10.5");
    EXPECT_EQ(records::RunSummaryText({1, 0, 0, -0.1, 0.30000000000000004}),
              "cycles=1 first_ms=0 last_ms=0 lowest=-0.1 highest=0.30000000000000004");
    const auto run =
        records::ParseRunSummary("cycles=3 first_ms=7 last_ms=9 lowest=-2 highest=1e3");
    ASSERT_TRUE(run);
    EXPECT_EQ(run->cycles, 3);
    EXPECT_EQ(run->firstMs, 7);
    EXPECT_EQ(run->lastMs, 9);
    EXPECT_EQ(run->lowest, -2.0);
    EXPECT_EQ(run->highest, 1000.0);
    EXPECT_FALSE(records::ParseRunSummary("cycles=3 first_ms=7 last_ms=9 lowest=-2"));
    EXPECT_FALSE(records::ParseRunSummary("cycles=x first_ms=7 last_ms=9 lowest=-2 highest=1"));
}

// ---- one record, written and read back ----------------------------------------------------

// The same tests on both kinds of database.
class RecordStoreTest : public ::testing::TestWithParam<RecordsTarget::Kind> {
protected:
    std::optional<RecordsTarget> newDatabase() {
        if (GetParam() == RecordsTarget::Kind::Sqlite) {
            return SqliteTarget(dir, QStringLiteral("db%1.sqlite").arg(++files));
        }
        return PostgresTarget();
    }
    QTemporaryDir dir;
    int files = 0;
};

TEST_P(RecordStoreTest, ARecordIsReadBackFieldByField) {
    const auto target = newDatabase();
    ASSERT_TRUE(target);
    Connection c(*target);
    ASSERT_TRUE(c.open()) << c.error();
    QSqlDatabase db = c.db();
    QString error;
    ASSERT_EQ(records::InsertRecord(db, FullRecord("rec-1"), error), InsertResult::Written)
        << error.toStdString();

    const auto r = records::ReadRecord(db, "rec-1", error);
    ASSERT_TRUE(r) << error.toStdString();
    EXPECT_EQ(r->id, "rec-1");
    EXPECT_EQ(r->time, "2026-12-06T23:00:00.125Z");
    EXPECT_EQ(r->durationMs, 1875);
    EXPECT_EQ(r->station, "bench-7");
    EXPECT_EQ(r->operatorName, "technician");
    EXPECT_EQ(r->program, "zelcor 1.3.0");
    EXPECT_EQ(r->port, "/dev/ttyUSB0");
    EXPECT_EQ(r->factoryCode, "A1B2");
    EXPECT_EQ(r->softwareVersion, "1005");
    EXPECT_EQ(r->wrenchCode, "123456");
    EXPECT_EQ(r->job, "Parameter Write");
    EXPECT_EQ(r->direction, "CW");
    EXPECT_EQ(r->digits, 2);
    ASSERT_EQ(r->bytesRead.size(), 3u);
    EXPECT_EQ(r->bytesRead[0].address, 0x0C);
    EXPECT_EQ(r->bytesRead[0].value, 0xA1);
    EXPECT_EQ(r->bytesRead[2].address, 0x2B);
    EXPECT_EQ(r->bytesRead[2].value, 0x12);
    ASSERT_EQ(r->bytesWritten.size(), 3u);
    EXPECT_EQ(r->bytesWritten[0].address, 0x10);
    EXPECT_EQ(r->bytesWritten[0].before, 0x05);
    EXPECT_EQ(r->bytesWritten[0].after, 0x07);
    EXPECT_EQ(r->bytesWritten[1].address, 0x11);
    EXPECT_EQ(r->bytesWritten[1].before, std::nullopt);
    EXPECT_EQ(r->bytesWritten[1].after, 0xFF);
    EXPECT_EQ(r->bytesWritten[2].before, 0x00);
    EXPECT_EQ(r->bytesWritten[2].after, 0x80);
    EXPECT_EQ(r->requestCode, "4711");
    EXPECT_EQ(r->requestMessage, "request 4711 handed out");
    EXPECT_EQ(r->newSet, "12 34 56");
    EXPECT_EQ(r->detail, "torque 12.5");
    ASSERT_TRUE(r->run);
    EXPECT_EQ(r->run->cycles, 12);
    EXPECT_EQ(r->run->firstMs, 150);
    EXPECT_EQ(r->run->lastMs, 4800);
    EXPECT_EQ(r->run->lowest, 1.25);
    EXPECT_EQ(r->run->highest, 10.5);
    EXPECT_EQ(r->outcome, RecordOutcome::Failed);
    EXPECT_EQ(r->failureCode, 4);
    EXPECT_EQ(r->message, "the wrench did not answer");

    // The columns as the history reads them.
    EXPECT_EQ(c.text("SELECT bytes_read FROM service_record"), "0C=A1 0D=B2 2B=12");
    EXPECT_EQ(c.text("SELECT run_summary FROM service_record"),
              "cycles=12 first_ms=150 last_ms=4800 lowest=1.25 highest=10.5");
    EXPECT_EQ(c.text("SELECT outcome FROM service_record"), "failed");
    EXPECT_EQ(c.text("SELECT operator FROM service_record"), "technician");
    EXPECT_EQ(c.column("SELECT seq || ':' || address || ':' || coalesce(CAST(before AS TEXT), "
                       "'-') || ':' || after FROM written_byte ORDER BY seq"),
              (std::vector<std::string>{"0:16:5:7", "1:17:-:255", "2:18:0:128"}));
}

TEST_P(RecordStoreTest, AWrenchOfUnknownIdentityIsKeptAsSuch) {
    const auto target = newDatabase();
    ASSERT_TRUE(target);
    Connection c(*target);
    ASSERT_TRUE(c.open()) << c.error();
    QSqlDatabase db = c.db();
    ServiceRecord unknown;
    unknown.id = "unknown-1";
    unknown.time = "2026-12-06T23:00:01.000Z";
    unknown.job = "Get";
    unknown.outcome = RecordOutcome::Refused;
    unknown.message = "Read the wrench first.";
    QString error;
    ASSERT_EQ(records::InsertRecord(db, unknown, error), InsertResult::Written)
        << error.toStdString();

    EXPECT_EQ(c.text("SELECT wrench_code FROM service_record"), "<null>");
    EXPECT_EQ(c.text("SELECT factory_code FROM service_record"), "<null>");
    EXPECT_EQ(c.text("SELECT software_version FROM service_record"), "<null>");
    EXPECT_EQ(c.text("SELECT digits FROM service_record"), "<null>");
    EXPECT_EQ(c.text("SELECT run_summary FROM service_record"), "<null>");
    EXPECT_EQ(c.text("SELECT failure_code FROM service_record"), "<null>");
    EXPECT_EQ(c.number("SELECT count(*) FROM written_byte"), 0);
    const auto r = records::ReadRecord(db, "unknown-1", error);
    ASSERT_TRUE(r) << error.toStdString();
    EXPECT_EQ(r->wrenchCode, "");
    EXPECT_EQ(r->factoryCode, "");
    EXPECT_EQ(r->softwareVersion, "");
    EXPECT_EQ(r->digits, std::nullopt);
    EXPECT_TRUE(r->bytesRead.empty());
    EXPECT_TRUE(r->bytesWritten.empty());
    EXPECT_FALSE(r->run);
    EXPECT_EQ(r->outcome, RecordOutcome::Refused);
    EXPECT_EQ(r->failureCode, 0);
    EXPECT_EQ(r->message, "Read the wrench first.");

    // A job with no name still makes a row (job is NOT NULL).
    ServiceRecord nameless;
    nameless.id = "nameless";
    nameless.time = "2026-12-06T23:00:02.000Z";
    ASSERT_EQ(records::InsertRecord(db, nameless, error), InsertResult::Written)
        << error.toStdString();
    EXPECT_EQ(c.text("SELECT job FROM service_record WHERE id = 'nameless'"), "");
    EXPECT_FALSE(records::ReadRecord(db, "no-such-record", error));
    EXPECT_EQ(error, "");
}

TEST_P(RecordStoreTest, ARecordWrittenTwiceIsKeptOnce) {
    const auto target = newDatabase();
    ASSERT_TRUE(target);
    Connection c(*target);
    ASSERT_TRUE(c.open()) << c.error();
    QSqlDatabase db = c.db();
    QString error;
    ASSERT_EQ(records::InsertRecord(db, FullRecord("twice"), error), InsertResult::Written);
    ServiceRecord changed = FullRecord("twice");
    changed.job = "Get";
    EXPECT_EQ(records::InsertRecord(db, changed, error), InsertResult::AlreadyThere)
        << error.toStdString();
    EXPECT_EQ(c.number("SELECT count(*) FROM service_record"), 1);
    EXPECT_EQ(c.text("SELECT job FROM service_record"), "Parameter Write");
    EXPECT_EQ(c.number("SELECT count(*) FROM written_byte"), 3);
}

// A written byte the database refuses (a trigger stands in for a full disk or a lost
// server between the two tables): no part of the record is kept.
TEST_P(RecordStoreTest, ARecordIsWrittenWholeOrNotAtAll) {
    const auto target = newDatabase();
    ASSERT_TRUE(target);
    Connection c(*target);
    ASSERT_TRUE(c.open()) << c.error();
    if (GetParam() == RecordsTarget::Kind::Sqlite) {
        c.exec("CREATE TRIGGER refuse_byte BEFORE INSERT ON written_byte WHEN NEW.after = 255 "
               "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END");
    } else {
        c.exec("CREATE FUNCTION refuse_byte() RETURNS trigger AS $$ BEGIN IF NEW.after = 255 "
               "THEN RAISE EXCEPTION 'refused by the test'; END IF; RETURN NEW; END $$ "
               "LANGUAGE plpgsql");
        c.exec("CREATE TRIGGER refuse_byte BEFORE INSERT ON written_byte FOR EACH ROW "
               "EXECUTE FUNCTION refuse_byte()");
    }
    QSqlDatabase db = c.db();
    QString error;
    // The second of three written bytes is 0xFF.
    EXPECT_EQ(records::InsertRecord(db, FullRecord("half"), error), InsertResult::Failed);
    EXPECT_NE(error.toStdString().find("refused by the test"), std::string::npos)
        << error.toStdString();
    EXPECT_EQ(c.number("SELECT count(*) FROM service_record"), 0);
    EXPECT_EQ(c.number("SELECT count(*) FROM written_byte"), 0);

    // The connection goes on: the next record is written.
    ServiceRecord next = FullRecord("next");
    next.bytesWritten.pop_back();
    next.bytesWritten[1].after = 0x01;
    EXPECT_EQ(records::InsertRecord(db, next, error), InsertResult::Written) << error.toStdString();
    EXPECT_EQ(c.number("SELECT count(*) FROM written_byte"), 2);
}

// ---- migrations -----------------------------------------------------------------------------

// The indexes of service_record other than its key, each as its columns "a,b".
std::vector<std::string> Indexes(Connection& c, RecordsTarget::Kind kind) {
    std::vector<std::string> indexes;
    if (kind == RecordsTarget::Kind::Sqlite) {
        for (const std::string& name :
             c.column("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                      "tbl_name = 'service_record' AND sql IS NOT NULL")) {
            std::string columns;
            for (const std::string& column :
                 c.column(QStringLiteral("SELECT name FROM pragma_index_info('%1') ORDER BY seqno")
                              .arg(QString::fromStdString(name)))) {
                columns += (columns.empty() ? "" : ",") + column;
            }
            indexes.push_back(columns);
        }
    } else {
        indexes = c.column(
            "SELECT string_agg(a.attname, ',' ORDER BY k.n) FROM pg_index i "
            "JOIN pg_class t ON t.oid = i.indrelid "
            "CROSS JOIN LATERAL unnest(i.indkey) WITH ORDINALITY AS k(attnum, n) "
            "JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum "
            "WHERE t.relname = 'service_record' AND NOT i.indisprimary GROUP BY i.indexrelid");
    }
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

const std::vector<std::string> kVersion2Indexes = {"job,time_utc", "time_utc",
                                                   "wrench_code,time_utc"};

TEST_P(RecordStoreTest, AnEmptyDatabaseIsBroughtToVersion2) {
    const auto target = newDatabase();
    ASSERT_TRUE(target);
    {
        Connection c(*target);
        ASSERT_TRUE(c.open()) << c.error();
        EXPECT_EQ(c.column("SELECT version FROM schema_version ORDER BY version"),
                  (std::vector<std::string>{"1", "2"}));
        EXPECT_EQ(Indexes(c, GetParam()), kVersion2Indexes);
        if (GetParam() == RecordsTarget::Kind::Sqlite) {
            EXPECT_EQ(c.text("PRAGMA journal_mode"), "wal");
            EXPECT_EQ(c.text("PRAGMA foreign_keys"), "1");
            EXPECT_EQ(c.text("PRAGMA busy_timeout"), "5000");
            EXPECT_EQ(c.text("PRAGMA synchronous"), "1");
        }
    }
    // Opened again, nothing is applied twice.
    Connection again(*target);
    ASSERT_TRUE(again.open()) << again.error();
    EXPECT_EQ(again.number("SELECT count(*) FROM schema_version"), 2);
}

TEST_P(RecordStoreTest, AVersion1DatabaseKeepsItsRecordsAndGetsTheIndexes) {
    const auto target = newDatabase();
    ASSERT_TRUE(target);
    {
        // The database as the first version of the records made it.
        Connection v1(*target, false);
        ASSERT_TRUE(v1.open()) << v1.error();
        const QString duration = GetParam() == RecordsTarget::Kind::Sqlite ? "INTEGER" : "BIGINT";
        v1.exec(QStringLiteral(
                    "CREATE TABLE service_record (id TEXT PRIMARY KEY, time_utc TEXT NOT NULL, "
                    "duration_ms %1 NOT NULL, station TEXT, operator TEXT, program TEXT, port "
                    "TEXT, factory_code TEXT, software_version TEXT, wrench_code TEXT, job TEXT "
                    "NOT NULL, direction TEXT, digits INTEGER NULL, bytes_read TEXT, "
                    "request_code TEXT, request_message TEXT, new_set TEXT, detail TEXT, "
                    "run_summary TEXT, outcome TEXT NOT NULL, failure_code INTEGER, message TEXT)")
                    .arg(duration));
        v1.exec("CREATE TABLE written_byte (record_id TEXT NOT NULL REFERENCES "
                "service_record(id) ON DELETE CASCADE, seq INTEGER NOT NULL, address INTEGER "
                "NOT NULL, before INTEGER NULL, after INTEGER NOT NULL, PRIMARY KEY (record_id, "
                "seq))");
        v1.exec("CREATE TABLE schema_version (version INTEGER NOT NULL)");
        v1.exec("INSERT INTO schema_version (version) VALUES (1)");
        v1.exec("INSERT INTO service_record (id, time_utc, duration_ms, station, job, "
                "wrench_code, bytes_read, outcome) VALUES ('old-1', '2025-01-02T03:04:05.006Z', "
                "250, 'bench-1', 'Get', '654321', '2B=65 2C=43 2D=21', 'done')");
        v1.exec("INSERT INTO written_byte (record_id, seq, address, before, after) VALUES "
                "('old-1', 0, 45, NULL, 33)");
        EXPECT_EQ(Indexes(v1, GetParam()), std::vector<std::string>{});
    }
    Connection c(*target);
    ASSERT_TRUE(c.open()) << c.error();
    EXPECT_EQ(c.column("SELECT version FROM schema_version ORDER BY version"),
              (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(Indexes(c, GetParam()), kVersion2Indexes);
    QSqlDatabase db = c.db();
    QString error;
    const auto old = records::ReadRecord(db, "old-1", error);
    ASSERT_TRUE(old) << error.toStdString();
    EXPECT_EQ(old->time, "2025-01-02T03:04:05.006Z");
    EXPECT_EQ(old->durationMs, 250);
    EXPECT_EQ(old->station, "bench-1");
    EXPECT_EQ(old->wrenchCode, "654321");
    ASSERT_EQ(old->bytesRead.size(), 3u);
    EXPECT_EQ(old->bytesRead[2].address, 0x2D);
    EXPECT_EQ(old->bytesRead[2].value, 0x21);
    ASSERT_EQ(old->bytesWritten.size(), 1u);
    EXPECT_EQ(old->bytesWritten[0].address, 45);
    EXPECT_EQ(old->bytesWritten[0].after, 33);
    EXPECT_EQ(old->outcome, RecordOutcome::Done);
    // And new records go in beside it.
    EXPECT_EQ(records::InsertRecord(db, FullRecord("new-1"), error), InsertResult::Written)
        << error.toStdString();
    EXPECT_EQ(c.number("SELECT count(*) FROM service_record"), 2);
}

TEST_P(RecordStoreTest, ADatabaseOfALaterVersionIsOpenedAsItIs) {
    const auto target = newDatabase();
    ASSERT_TRUE(target);
    {
        Connection c(*target);
        ASSERT_TRUE(c.open()) << c.error();
        c.exec("INSERT INTO schema_version (version) VALUES (3)");
    }
    Connection c(*target);
    ASSERT_TRUE(c.open()) << c.error();
    EXPECT_EQ(c.column("SELECT version FROM schema_version ORDER BY version"),
              (std::vector<std::string>{"1", "2", "3"}));
}

INSTANTIATE_TEST_SUITE_P(Databases, RecordStoreTest,
                         ::testing::Values(RecordsTarget::Kind::Sqlite,
                                           RecordsTarget::Kind::Postgresql),
                         [](const auto& info) {
                             return info.param == RecordsTarget::Kind::Sqlite ? "Sqlite"
                                                                              : "Postgresql";
                         });

// ---- opening ------------------------------------------------------------------------------

TEST(OpenRecordsDatabaseTest, FailuresLeaveNoConnection) {
    QTemporaryDir dir;
    QString error;
    RecordsTarget missing;
    missing.sqlitePath =
        dir.filePath(QStringLiteral("no/such/folder/records.sqlite")).toStdString();
    EXPECT_FALSE(records::OpenRecordsDatabase(missing, QStringLiteral("t1"), error));
    EXPECT_TRUE(error.contains(QStringLiteral("does not exist"))) << error.toStdString();
    EXPECT_FALSE(QSqlDatabase::contains(QStringLiteral("t1")));

    RecordsTarget off;
    off.kind = RecordsTarget::Kind::Off;
    EXPECT_FALSE(records::OpenRecordsDatabase(off, QStringLiteral("t2"), error));
    EXPECT_FALSE(QSqlDatabase::contains(QStringLiteral("t2")));

    // Nobody listens on port 1.
    RecordsTarget nobody;
    nobody.kind = RecordsTarget::Kind::Postgresql;
    nobody.user = "zelcor";
    nobody.host = "127.0.0.1";
    nobody.port = 1;
    nobody.database = "records";
    EXPECT_FALSE(records::OpenRecordsDatabase(nobody, QStringLiteral("t3"), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QSqlDatabase::contains(QStringLiteral("t3")));
}

TEST(OpenRecordsDatabaseTest, TheDefaultFileIsMadeInItsFolder) {
    const QString path = QString::fromStdString(records::DefaultSqlitePath());
    ASSERT_TRUE(path.startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
    std::string parseError;
    const auto target = ParseRecordsTarget("", parseError);
    ASSERT_TRUE(target);
    {
        Connection c(*target);
        ASSERT_TRUE(c.open()) << c.error();
    }
    EXPECT_TRUE(QFileInfo::exists(path));
    QFile::remove(path);
}

} // namespace
} // namespace zelcor::test
