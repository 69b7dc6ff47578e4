// SPDX-License-Identifier: GPL-3.0-or-later
// Where records go (the --records text), the database's schema and migrations, and a record
// written and read back, on SQLite and on PostgreSQL.
#include "records/RecordsFixture.h"

#include "records/RecordWriter.h"
#include "records/Spool.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace zelcor::test {
namespace {

using records::InsertResult;
using records::ParseRecordsTarget;
using records::RecordsTarget;
using V = std::vector<std::string>;

// ---- the --records text ----------------------------------------------------------------------

TEST(RecordsTargetTest, TextsAreReadAndShownAsTheyReadBack) {
    // The user's data folder: test_main gives the suite one of its own.
    const std::string data =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() +
        "/Zelcor/";
    EXPECT_EQ(records::DefaultSpoolPath(), data + "records-spool.sqlite");
    const std::pair<std::string, std::string> accepted[] = {
        {"", "sqlite:" + data + "records.sqlite"},
        {"  ", "sqlite:" + data + "records.sqlite"},
        {" off\n", "off"},
        {"sqlite:/srv/bench/../records.sqlite", "sqlite:/srv/records.sqlite"},
        {"sqlite:bench/records.sqlite",
         "sqlite:" + QDir::currentPath().toStdString() + "/bench/records.sqlite"},
        {"postgresql://svc@db.bench.lan:5433/zelcor", "postgresql://svc@db.bench.lan:5433/zelcor"},
        {"postgres://svc@10.0.0.5/records", "postgresql://svc@10.0.0.5:5432/records"},
        {"postgresql://svc@[::1]:6000/records", "postgresql://svc@[::1]:6000/records"},
        {"postgresql://svc@db/r?connect_timeout=10&sslrootcert=/etc/ca%20b.pem&sslmode=verify-ca"
         "&application_name=bench%203",
         "postgresql://svc@db:5432/r?sslmode=verify-ca&sslrootcert=/etc/ca%20b.pem"
         "&connect_timeout=10&application_name=bench%203"},
    };
    for (const auto& [text, expected] : accepted) {
        std::string error;
        const auto t = ParseRecordsTarget(text, error);
        ASSERT_TRUE(t) << text << ": " << error;
        EXPECT_EQ(records::TargetText(*t), expected);
        EXPECT_EQ(ParseRecordsTarget(expected, error), t) << expected;
    }
}

TEST(RecordsTargetTest, TextsThatAreRefused) {
    const std::pair<std::string, std::string> refused[] = {
        // A password is refused, and shown as stars.
        {"postgresql://svc:s3cret@db/records", "\"postgresql://svc:***@db/records\""},
        {"postgresql://svc:s3cret@db:5432/records?x=1", "PGPASSWORD"},
        {"postgresql://svc:ab/s3cret@db/records", "\"postgresql://svc:***@db/records\""},
        {"postgresql://svc:a?s3cret@db", "\"postgresql://svc:***@db\""},
        {"postgres://svc@db/records?sslmode=require&password=s3cret",
         "\"postgres://svc@db/records?sslmode=require&password=***\": put it in ~/.pgpass or "
         "PGPASSWORD"},
        {"postgres://svc@db/records?pass%77ord=s3cret&x", "pass%77ord=***&x"},
        {"mysql://svc:s3cret@db/records", "\"mysql://svc:***@db/records\""},
        {"postgres://svc:@db/records", "PGPASSWORD"},
        {"postgresql://db/records", "no user"},
        {"postgresql://svc@/records", "no host"},
        {"postgresql://svc@db", "no database"},
        {"postgresql://svc@db/a/b", "no database"},
        {"postgresql://svc@db:99999/records", "records address"},
        // Parameters: only those an address may give, each once, with values that cannot
        // reach the connection's other settings.
        {"postgresql://svc@db/records?options=-c%20x", "unknown parameter \"options\""},
        {"postgresql://svc@db/records?sslmode=on", "sslmode \"on\" is none of"},
        {"postgresql://svc@db/records?sslmode=require&sslmode=disable", "\"sslmode\" twice"},
        {"postgresql://svc@db/records?connect_timeout=0", "1 to 3600"},
        {"postgresql://svc@db/records?connect_timeout=3;sslmode=disable", "1 to 3600"},
        {"postgresql://svc@db/records?application_name=a%3Bsslmode=disable", "63 printable"},
        {"postgresql://svc@db/records?sslrootcert=a%3Bb", "not the name of a file"},
        {"postgresql://svc@db/records#x", "takes no \"#\""},
        {"mysql://svc@db/records", "unknown records target"},
        {"OFF", "unknown records target"},
        {"sqlite:", "sqlite: needs the path"},
        // A long text is quoted in part.
        {std::string(300, 'x'), '"' + std::string(255, 'x') + "...\""},
    };
    for (const auto& [text, expected] : refused) {
        std::string error;
        EXPECT_FALSE(ParseRecordsTarget(text, error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << text << ": " << error;
        EXPECT_EQ(error.find("s3cret"), std::string::npos) << error;
    }
}

// ---- one record, written and read back ----------------------------------------------------

class RecordStoreTest : public ConnectedTest {};

TEST_P(RecordStoreTest, ARecordIsReadBackFieldByFieldAndKeptOnce) {
    ASSERT_EQ(c->insert(FullRecord("rec-1")), InsertResult::Written) << c->error();
    EXPECT_EQ(Describe(c->read("rec-1").value_or(ServiceRecord{})),
              "rec-1|2026-12-06T23:00:00.125Z|1875|bench-7|technician|zelcor 1.3.0|/dev/ttyUSB0"
              "|A1B2|1005|123456|Parameter Write|CW|2|0C=A1 0D=B2 2B=12"
              "|10:05>07 11:XX>FF 12:00>80|4711|request 4711 handed out|12 34 56|torque 12.5"
              "|cycles=12 first_ms=150 last_ms=4800 lowest=1.25 highest=10.5|failed|4"
              "|the wrench did not answer");
    // The columns as other programs read them.
    EXPECT_EQ(c->text("SELECT bytes_read || ' ' || run_summary || ' ' || outcome || ' ' || "
                      "failure_code FROM service_record"),
              "0C=A1 0D=B2 2B=12 cycles=12 first_ms=150 last_ms=4800 lowest=1.25 highest=10.5 "
              "failed 4");
    EXPECT_EQ(c->column("SELECT seq || ':' || address || ':' || coalesce(CAST(before AS TEXT), "
                        "'-') || ':' || after FROM written_byte ORDER BY seq"),
              (V{"0:16:5:7", "1:17:-:255", "2:18:0:128"}));

    // Written again (a record the spool still held): kept once, as it was first.
    ServiceRecord changed = FullRecord("rec-1");
    changed.job = "Get";
    EXPECT_EQ(c->insert(changed), InsertResult::AlreadyThere) << c->error();
    EXPECT_EQ(c->text("SELECT job FROM service_record"), "Parameter Write");
    EXPECT_EQ(c->counts(), "1 records, 3 bytes");
}

// A verification run comes back whole, every number to its last digit, the repeated reading
// with its reason; a reading the database refuses takes the whole record with it.
TEST_P(RecordStoreTest, AVerificationRunIsReadBackWholeOrNotKeptAtAll) {
    ServiceRecord r = FullRecord("run-1");
    r.verification = FullRun();
    ASSERT_EQ(c->insert(r), InsertResult::Written) << c->error();
    EXPECT_EQ(
        DescribeRun(
            c->read("run-1").value_or(ServiceRecord{}).verification.value_or(VerificationRun{})),
        "150.5 [20 60.12 100 ] 2 4.5 1 both as left 2 A. Tech|REF-7, \"Ω\"|2027-03-01"
        "|21.5 °C|6 45 ended failed -"
        " / CW 1 1 90.4806 60.12 60.01283745619283 '+060.01 N.m' kept"
        " / CW 1 2 90.4806 91.37 90.5 '' discarded: slipped"
        " / CCW 0 2 30.1 29.87 30.5 '30.5' kept");
    EXPECT_EQ(c->text("SELECT points || ' ' || verdict || ' ' || coalesce(due_date, '-') FROM "
                      "verification_run"),
              "20,60.12,100 failed -");
    // A record without a run has none.
    ASSERT_EQ(c->insert(FullRecord("plain")), InsertResult::Written) << c->error();
    EXPECT_FALSE(c->read("plain").value_or(r).verification);

    c->exec(sqlite() ? "CREATE TRIGGER refuse_reading BEFORE INSERT ON verification_reading WHEN "
                       "NEW.discarded = 1 BEGIN SELECT RAISE(ABORT, 'refused by the test'); END"
                     : "CREATE FUNCTION refuse_reading() RETURNS trigger AS $$ BEGIN IF "
                       "NEW.discarded = 1 THEN RAISE EXCEPTION 'refused by the test'; END IF; "
                       "RETURN NEW; END $$ LANGUAGE plpgsql");
    if (!sqlite()) {
        c->exec("CREATE TRIGGER refuse_reading BEFORE INSERT ON verification_reading FOR EACH "
                "ROW EXECUTE FUNCTION refuse_reading()");
    }
    r.id = "run-2";
    EXPECT_EQ(c->insert(r), InsertResult::Failed);
    EXPECT_EQ(c->text("SELECT count(*) FROM verification_run"), "1");
    EXPECT_EQ(c->text("SELECT count(*) FROM verification_reading"), "3");
    EXPECT_EQ(c->counts(), "2 records, 6 bytes");
    // Deleting the record takes its run and readings with it.
    c->exec("DELETE FROM service_record WHERE id = 'run-1'");
    EXPECT_EQ(c->text("SELECT count(*) FROM verification_reading"), "0");
}

TEST_P(RecordStoreTest, AWrenchOfUnknownIdentityIsKeptAsSuch) {
    ServiceRecord unknown = Listed("unknown-1", "2026-12-06T23:00:01.000Z", "", "Get");
    unknown.outcome = RecordOutcome::Refused;
    unknown.message = "Read the wrench first.";
    ASSERT_EQ(c->insert(unknown), InsertResult::Written) << c->error();
    // A job with no name still makes a row (job is NOT NULL).
    ASSERT_EQ(c->insert(Listed("nameless", "2026-12-06T23:00:02.000Z", "", "")),
              InsertResult::Written)
        << c->error();
    // What is unknown is NULL.
    EXPECT_EQ(c->column("SELECT id || ':' || job FROM service_record WHERE wrench_code IS NULL "
                        "AND factory_code IS NULL AND software_version IS NULL AND digits IS "
                        "NULL AND run_summary IS NULL AND failure_code IS NULL AND bytes_read IS "
                        "NULL ORDER BY id"),
              (V{"nameless:", "unknown-1:Get"}));
    EXPECT_EQ(Describe(c->read("unknown-1").value_or(ServiceRecord{})),
              "unknown-1|2026-12-06T23:00:01.000Z|0||||||||Get||-|||||||-|refused|0"
              "|Read the wrench first.");
    EXPECT_FALSE(c->read("no-such-record"));
}

// A written byte the database refuses (a trigger stands in for a full disk or a lost
// server between the two tables): no part of the record is kept.
TEST_P(RecordStoreTest, ARecordIsWrittenWholeOrNotAtAll) {
    if (sqlite()) {
        c->exec("CREATE TRIGGER refuse_byte BEFORE INSERT ON written_byte WHEN NEW.after = 255 "
                "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END");
    } else {
        c->exec("CREATE FUNCTION refuse_byte() RETURNS trigger AS $$ BEGIN IF NEW.after = 255 "
                "THEN RAISE EXCEPTION 'refused by the test'; END IF; RETURN NEW; END $$ "
                "LANGUAGE plpgsql");
        c->exec("CREATE TRIGGER refuse_byte BEFORE INSERT ON written_byte FOR EACH ROW "
                "EXECUTE FUNCTION refuse_byte()");
    }
    // The second of three written bytes is 0xFF.
    EXPECT_EQ(c->insert(FullRecord("half")), InsertResult::Failed);
    EXPECT_NE(c->error().find("refused by the test"), std::string::npos) << c->error();
    EXPECT_EQ(c->counts(), "0 records, 0 bytes");
    // The connection goes on: the next record is written.
    ServiceRecord next = FullRecord("next");
    next.bytesWritten[1].after = 0x01;
    EXPECT_EQ(c->insert(next), InsertResult::Written) << c->error();
    EXPECT_EQ(c->counts(), "1 records, 3 bytes");
}

// ---- migrations -----------------------------------------------------------------------------

// The indexes of service_record other than its key.
V Indexes(Connection& c, bool sqlite) {
    return c.column(sqlite ? "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name "
                             "= 'service_record' AND sql IS NOT NULL ORDER BY name"
                           : "SELECT indexname FROM pg_indexes WHERE tablename = "
                             "'service_record' AND indexname <> 'service_record_pkey' ORDER BY "
                             "indexname");
}

const V kVersion2Indexes = {"service_record_job_time", "service_record_time",
                            "service_record_wrench_time"};

// A database taken back to version 1: the later migrations' tables, indexes and rows gone.
void BackToVersion1(Connection& c) {
    for (const std::string& index : kVersion2Indexes) {
        c.exec(QString::fromStdString("DROP INDEX " + index));
    }
    c.exec("DROP TABLE verification_reading");
    c.exec("DROP TABLE verification_run");
    c.exec("DELETE FROM schema_version WHERE version > 1");
}

// The versions a new connection finds.
V Versions(const RecordsTarget& target) {
    Connection c(target);
    EXPECT_TRUE(c.open()) << c.error();
    return c.column("SELECT version FROM schema_version ORDER BY version");
}

// An empty database is brought to version 3; one at version 1 keeps its records and gets the
// indexes and the verification tables; a later version (a newer program's) is left as it is.
// Nothing is applied twice.
TEST_P(RecordStoreTest, MigrationsBringADatabaseToVersion3KeepingItsRecords) {
    EXPECT_EQ(Indexes(*c, sqlite()), kVersion2Indexes);
    if (sqlite()) {
        EXPECT_EQ(c->text("PRAGMA journal_mode"), "wal");
        EXPECT_EQ(c->text("PRAGMA foreign_keys"), "1");
        EXPECT_EQ(c->text("PRAGMA busy_timeout"), "5000");
        EXPECT_EQ(c->text("PRAGMA synchronous"), "1");
    }
    // Back to version 1, a record as version 1 wrote it.
    BackToVersion1(*c);
    c->exec("INSERT INTO service_record (id, time_utc, duration_ms, station, job, wrench_code, "
            "bytes_read, outcome) VALUES ('old-1', '2025-01-02T03:04:05.006Z', 250, 'bench-1', "
            "'Get', '654321', '2B=65 2C=43 2D=21', 'done')");
    c->exec("INSERT INTO written_byte (record_id, seq, address, before, after) VALUES "
            "('old-1', 0, 45, NULL, 33)");
    ASSERT_EQ(Indexes(*c, sqlite()), V{});
    c.reset();

    EXPECT_EQ(Versions(*target), (V{"1", "2", "3"}));
    Connection again(*target);
    ASSERT_TRUE(again.open()) << again.error();
    EXPECT_EQ(Indexes(again, sqlite()), kVersion2Indexes);
    EXPECT_EQ(Describe(again.read("old-1").value_or(ServiceRecord{})),
              "old-1|2025-01-02T03:04:05.006Z|250|bench-1||||||654321|Get||-|2B=65 2C=43 2D=21"
              "|2D:XX>21|||||-|done|0|");
    // And new records go in beside it, a run with one.
    ServiceRecord run = FullRecord("new-1");
    run.verification = FullRun();
    EXPECT_EQ(again.insert(run), InsertResult::Written) << again.error();
    EXPECT_EQ(again.counts(), "2 records, 4 bytes");
    EXPECT_EQ(again.text("SELECT count(*) FROM verification_reading"), "3");
    again.exec("INSERT INTO schema_version (version) VALUES (4)");
    EXPECT_EQ(Versions(*target), (V{"1", "2", "3", "4"}));
}

// Migration 2 at version 1, its second index's name taken by a table of someone's: the first
// index made is taken back with the version row, the opening says which migration failed,
// and once the name is free the next opening applies it whole.
TEST_P(RecordStoreTest, AMigrationThatFailsHalfWayLeavesTheDatabaseAsItWas) {
    ASSERT_EQ(c->insert(FullRecord("kept")), InsertResult::Written) << c->error();
    BackToVersion1(*c);
    c->exec("CREATE TABLE service_record_time (note TEXT)");

    Connection failed(*target);
    EXPECT_FALSE(failed.open());
    EXPECT_EQ(failed.error().rfind("migration 2: ", 0), 0u) << failed.error();
    EXPECT_NE(failed.error().find("service_record_time"), std::string::npos) << failed.error();
    EXPECT_EQ(c->column("SELECT version FROM schema_version ORDER BY version"), V{"1"});
    EXPECT_EQ(Indexes(*c, sqlite()), V{});
    EXPECT_EQ(c->text("SELECT count(*) FROM service_record_time"), "0");
    EXPECT_EQ(c->counts(), "1 records, 3 bytes");

    c->exec("DROP TABLE service_record_time");
    EXPECT_EQ(Versions(*target), (V{"1", "2", "3"}));
    EXPECT_EQ(Indexes(*c, sqlite()), kVersion2Indexes);
}

ZELCOR_ON_BOTH_DATABASES(RecordStoreTest);

// ---- opening ------------------------------------------------------------------------------

TEST(OpenRecordsDatabaseTest, FailuresLeaveNoConnection) {
    QTemporaryDir dir;
    std::string parseError;
    const std::pair<std::optional<RecordsTarget>, QString> failing[] = {
        {SqliteTarget(dir, QStringLiteral("no/such/folder/records.sqlite")), "does not exist"},
        {ParseRecordsTarget("off", parseError), "off"},
        // Nobody listens on port 1.
        {ParseRecordsTarget("postgresql://zelcor@127.0.0.1:1/records", parseError), "127.0.0.1"}};
    for (const auto& [target, expected] : failing) {
        ASSERT_TRUE(target) << parseError;
        QString error;
        EXPECT_FALSE(records::OpenRecordsDatabase(*target, QStringLiteral("failing"), error));
        EXPECT_TRUE(error.contains(expected)) << error.toStdString();
        EXPECT_FALSE(QSqlDatabase::contains(QStringLiteral("failing")));
    }
}

// The address's parameters reach libpq as given, and none can carry another: a quote in
// application_name stays in the name. sslmode=require on the suite's server, which has no
// TLS, does not connect, and says why.
TEST(OpenRecordsDatabaseTest, TheAddressesParametersReachTheServer) {
    const auto base = PostgresTarget();
    ASSERT_TRUE(base);
    const std::string address = records::TargetText(*base);
    std::string parseError;
    const auto named = ParseRecordsTarget(
        address + "?connect_timeout=5&application_name=x%27%20sslmode=require", parseError);
    ASSERT_TRUE(named) << parseError;
    Connection c(*named);
    ASSERT_TRUE(c.open()) << c.error();
    EXPECT_EQ(c.text("SELECT current_setting('application_name')"), "x' sslmode=require");

    const auto tls = ParseRecordsTarget(address + "?sslmode=require", parseError);
    ASSERT_TRUE(tls) << parseError;
    QString error;
    EXPECT_FALSE(records::OpenRecordsDatabase(*tls, QStringLiteral("tls"), error));
    EXPECT_TRUE(error.contains(QLatin1String("SSL"))) << error.toStdString();
}

// Someone else's SQLite file, in either journal mode, and a file that is no database are
// refused as records files and left byte for byte as they were, nothing made beside them; a
// writer to such a file keeps its record in the spool.
TEST(OpenRecordsDatabaseTest, AFileOfSomeoneElsesIsLeftAsItIs) {
    QTemporaryDir dir;
    for (const char* mode : {"DELETE", "WAL"}) {
        const QString name = QStringLiteral("contacts-%1.db").arg(QLatin1String(mode));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(dir.filePath(name));
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA journal_mode=%1").arg(mode)));
            ASSERT_TRUE(q.exec("CREATE TABLE contact (name TEXT)"));
            ASSERT_TRUE(q.exec("INSERT INTO contact VALUES ('Ada')"));
        }
        QSqlDatabase::removeDatabase(name);
    }
    QFile text(dir.filePath(QStringLiteral("notes.txt")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a database\n");
    text.close();
    const auto files = [&] { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); };
    const QStringList before = files();
    ASSERT_EQ(before, (QStringList{"contacts-DELETE.db", "contacts-WAL.db", "notes.txt"}));
    for (const QString& name : before) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();
        QString error;
        EXPECT_FALSE(records::OpenRecordsDatabase(SqliteTarget(dir, name),
                                                  QStringLiteral("foreign"), error));
        EXPECT_TRUE(error.contains(QLatin1String("is not a Zelcor records file")))
            << error.toStdString();
        EXPECT_TRUE(name.endsWith(".txt") || error.contains(QLatin1String("tables: contact")))
            << error.toStdString();
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytes) << name.toStdString();
        EXPECT_EQ(files(), before);
    }

    std::string failure;
    records::RecordWriter::Options options;
    options.spoolPath = dir.filePath(QStringLiteral("spool.sqlite")).toStdString();
    options.onFailure = [&failure](const std::string& message) { failure = message; };
    const RecordsTarget contacts = SqliteTarget(dir, QStringLiteral("contacts-WAL.db"));
    {
        records::RecordWriter writer(contacts, options);
        writer.submit(FullRecord("kept"));
        writer.flush(std::chrono::seconds(60));
    }
    EXPECT_NE(failure.find("is not a Zelcor records file"), std::string::npos) << failure;
    records::Spool spool(options.spoolPath, contacts, QStringLiteral("foreign-spool"));
    QString error;
    EXPECT_EQ(spool.count(error), std::optional<long long>(1)) << error.toStdString();
}

// At umask 000 too, the folders made are the user's alone (0700) and so are the database,
// its write-ahead log and shared memory, and the spool (0600).
TEST(OpenRecordsDatabaseTest, TheDefaultFileAndTheSpoolAreTheUsersAlone) {
    const QString path = QString::fromStdString(records::DefaultSqlitePath());
    const QString folder = QFileInfo(path).path();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QTemporaryDir dir;
    const QString spool = dir.filePath(QStringLiteral("a/b/spool.sqlite"));
    const mode_t umask = ::umask(0);
    {
        std::string error;
        Connection c(ParseRecordsTarget("", error).value());
        EXPECT_TRUE(c.open()) << c.error();
        records::Spool s(spool.toStdString(), SqliteTarget(dir), QStringLiteral("private"));
        QString spoolError;
        EXPECT_TRUE(s.add(FullRecord("private"), spoolError)) << spoolError.toStdString();
        std::vector<std::string> modes;
        for (const QString& name : {folder, path, path + "-wal", path + "-shm", dir.filePath("a"),
                                    dir.filePath("a/b"), spool, spool + "-wal", spool + "-shm"}) {
            struct stat st {};
            EXPECT_EQ(::stat(QFile::encodeName(name).constData(), &st), 0) << name.toStdString();
            modes.push_back(QString::number(st.st_mode & 07777, 8).toStdString());
        }
        EXPECT_EQ(modes, (V{"700", "600", "600", "600", "700", "700", "600", "600", "600"}));
    }
    ::umask(umask);
    QFile::remove(path);
}

} // namespace
} // namespace zelcor::test
