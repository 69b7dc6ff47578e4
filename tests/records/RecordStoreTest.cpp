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

TEST(RecordsTargetTest, EmptyOffAndSqliteFiles) {
    // test_main gives the suite a data folder of its own.
    const std::string data = qEnvironmentVariable("XDG_DATA_HOME").toStdString();
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(records::DefaultSqlitePath(), data + "/Zelcor/records.sqlite");
    EXPECT_EQ(records::DefaultSpoolPath(), data + "/Zelcor/records-spool.sqlite");
    const std::pair<std::string, std::string> accepted[] = {
        {"", "sqlite:" + data + "/Zelcor/records.sqlite"},
        {"  ", "sqlite:" + data + "/Zelcor/records.sqlite"},
        {" off\n", "off"},
        {"sqlite:/srv/bench/../records.sqlite", "sqlite:/srv/records.sqlite"},
        {"sqlite:bench/records.sqlite",
         "sqlite:" + QDir::currentPath().toStdString() + "/bench/records.sqlite"},
    };
    for (const auto& [text, expected] : accepted) {
        std::string error;
        const auto t = ParseRecordsTarget(text, error);
        ASSERT_TRUE(t) << text << ": " << error;
        EXPECT_EQ(records::TargetText(*t), expected);
        EXPECT_EQ(error, "");
    }
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
    const std::pair<std::string, std::string> accepted[] = {
        {"postgres://svc@10.0.0.5/records", "postgresql://svc@10.0.0.5:5432/records"},
        {"postgresql://svc@[::1]:6000/records", "postgresql://svc@[::1]:6000/records"},
    };
    for (const auto& [text, expected] : accepted) {
        const auto p = ParseRecordsTarget(text, error);
        ASSERT_TRUE(p) << text << ": " << error;
        EXPECT_EQ(records::TargetText(*p), expected);
        EXPECT_EQ(ParseRecordsTarget(expected, error), p) << "the text reads back as it";
    }
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
        {"postgresql://svc@db/a/b", "no database"},
        {"postgresql://svc@db:99999/records", "records address"},
        {"postgresql://svc@db/records?sslmode=require", "no options"},
        {"mysql://svc@db/records", "unknown records target"},
        {"OFF", "unknown records target"},
        {"sqlite:", "sqlite: needs the path"},
        // A long text is quoted in part.
        {std::string(200, 'x'), '"' + std::string(40, 'x') + "...\""},
    };
    for (const auto& [text, expected] : refused) {
        std::string error;
        EXPECT_FALSE(ParseRecordsTarget(text, error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << text << ": " << error;
    }
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
    EXPECT_EQ(Describe(*r), "rec-1|2026-12-06T23:00:00.125Z|1875|bench-7|technician|zelcor "
                            "1.3.0|/dev/ttyUSB0|A1B2|1005|123456|Parameter Write|CW|2"
                            "|read 0C=A1 0D=B2 2B=12|wrote 10:05>07 11:-->FF 12:00>80"
                            "|4711|request 4711 handed out|12 34 56|torque 12.5"
                            "|12/150/4800/1.25/10.5|1|4|the wrench did not answer");
    // The columns as the history reads them.
    EXPECT_EQ(c.column("SELECT bytes_read || ' ' || run_summary || ' ' || outcome || ' ' || "
                       "failure_code FROM service_record"),
              std::vector<std::string>{"0C=A1 0D=B2 2B=12 cycles=12 first_ms=150 last_ms=4800 "
                                       "lowest=1.25 highest=10.5 failed 4"});
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
    ServiceRecord nameless; // a job with no name still makes a row (job is NOT NULL)
    nameless.id = "nameless";
    nameless.time = "2026-12-06T23:00:02.000Z";
    QString error;
    ASSERT_EQ(records::InsertRecord(db, unknown, error), InsertResult::Written)
        << error.toStdString();
    ASSERT_EQ(records::InsertRecord(db, nameless, error), InsertResult::Written)
        << error.toStdString();

    // What is unknown is NULL.
    EXPECT_EQ(c.column("SELECT id FROM service_record WHERE wrench_code IS NULL AND "
                       "factory_code IS NULL AND software_version IS NULL AND digits IS NULL AND "
                       "run_summary IS NULL AND failure_code IS NULL AND bytes_read IS NULL "
                       "ORDER BY id"),
              (std::vector<std::string>{"nameless", "unknown-1"}));
    EXPECT_EQ(c.text("SELECT job FROM service_record WHERE id = 'nameless'"), "");
    const auto r = records::ReadRecord(db, "unknown-1", error);
    ASSERT_TRUE(r) << error.toStdString();
    EXPECT_EQ(Describe(*r), "unknown-1|2026-12-06T23:00:01.000Z|0||||||||Get||-|read|wrote"
                            "|||||-|2|0|Read the wrench first.");
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
    EXPECT_EQ(c.text("SELECT count(*) || ' ' || max(job) FROM service_record"),
              "1 Parameter Write");
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
    EXPECT_TRUE(error.contains(QStringLiteral("refused by the test"))) << error.toStdString();
    EXPECT_EQ(c.number("SELECT count(*) FROM service_record"), 0);
    EXPECT_EQ(c.number("SELECT count(*) FROM written_byte"), 0);

    // The connection goes on: the next record is written.
    ServiceRecord next = FullRecord("next");
    next.bytesWritten[1].after = 0x01;
    EXPECT_EQ(records::InsertRecord(db, next, error), InsertResult::Written) << error.toStdString();
    EXPECT_EQ(c.number("SELECT count(*) FROM written_byte"), 3);
}

// ---- migrations -----------------------------------------------------------------------------

// The indexes of service_record other than its key, each as its columns "a,b".
std::vector<std::string> Indexes(Connection& c, RecordsTarget::Kind kind) {
    std::vector<std::string> indexes =
        kind == RecordsTarget::Kind::Sqlite
            ? c.column("SELECT (SELECT group_concat(name, ',') FROM (SELECT name FROM "
                       "pragma_index_info(m.name) ORDER BY seqno)) FROM sqlite_master m WHERE "
                       "type = 'index' AND tbl_name = 'service_record' AND sql IS NOT NULL")
            : c.column("SELECT string_agg(a.attname, ',' ORDER BY k.n) FROM pg_index i "
                       "JOIN pg_class t ON t.oid = i.indrelid "
                       "CROSS JOIN LATERAL unnest(i.indkey) WITH ORDINALITY AS k(attnum, n) "
                       "JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum "
                       "WHERE t.relname = 'service_record' AND NOT i.indisprimary "
                       "GROUP BY i.indexrelid");
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

const std::vector<std::string> kVersion2Indexes = {"job,time_utc", "time_utc",
                                                   "wrench_code,time_utc"};
const std::vector<std::string> kVersions = {"1", "2"};

TEST_P(RecordStoreTest, AnEmptyDatabaseIsBroughtToVersion2) {
    const auto target = newDatabase();
    ASSERT_TRUE(target);
    {
        Connection c(*target);
        ASSERT_TRUE(c.open()) << c.error();
        EXPECT_EQ(c.column("SELECT version FROM schema_version ORDER BY version"), kVersions);
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
    EXPECT_EQ(again.column("SELECT version FROM schema_version ORDER BY version"), kVersions);
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
    EXPECT_EQ(c.column("SELECT version FROM schema_version ORDER BY version"), kVersions);
    EXPECT_EQ(Indexes(c, GetParam()), kVersion2Indexes);
    QSqlDatabase db = c.db();
    QString error;
    const auto old = records::ReadRecord(db, "old-1", error);
    ASSERT_TRUE(old) << error.toStdString();
    EXPECT_EQ(Describe(*old), "old-1|2025-01-02T03:04:05.006Z|250|bench-1||||||654321|Get||-"
                              "|read 2B=65 2C=43 2D=21|wrote 2D:-->21|||||-|0|0|");
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
    RecordsTarget missing = SqliteTarget(dir, QStringLiteral("no/such/folder/records.sqlite"));
    RecordsTarget off;
    off.kind = RecordsTarget::Kind::Off;
    RecordsTarget nobody; // nobody listens on port 1
    nobody.kind = RecordsTarget::Kind::Postgresql;
    nobody.user = "zelcor";
    nobody.host = "127.0.0.1";
    nobody.port = 1;
    nobody.database = "records";
    const std::pair<RecordsTarget, QString> failing[] = {
        {missing, "does not exist"}, {off, "off"}, {nobody, "127.0.0.1"}};
    for (const auto& [target, expected] : failing) {
        QString error;
        EXPECT_FALSE(records::OpenRecordsDatabase(target, QStringLiteral("failing"), error));
        EXPECT_TRUE(error.contains(expected)) << error.toStdString();
        EXPECT_FALSE(QSqlDatabase::contains(QStringLiteral("failing")));
    }
}

TEST(OpenRecordsDatabaseTest, TheDefaultFileIsMadeInItsFolder) {
    std::string parseError;
    const auto target = ParseRecordsTarget("", parseError);
    ASSERT_TRUE(target);
    {
        Connection c(*target);
        ASSERT_TRUE(c.open()) << c.error();
    }
    const QString path = QString::fromStdString(records::DefaultSqlitePath());
    EXPECT_TRUE(QFileInfo::exists(path));
    QFile::remove(path);
}

} // namespace
} // namespace zelcor::test
