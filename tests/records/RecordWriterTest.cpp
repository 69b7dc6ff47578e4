// SPDX-License-Identifier: GPL-3.0-or-later
// The writer: records written on a thread of its own, kept in the spool while their database
// cannot be written, and written from there exactly once when it answers again.
#include "records/RecordsFixture.h"

#include "records/RecordWriter.h"
#include "records/Spool.h"

#include <QDir>

#include <condition_variable>
#include <mutex>
#include <set>

namespace zelcor::test {
namespace {

using records::RecordsTarget;
using records::RecordWriter;
using records::Spool;

constexpr auto kGuard = std::chrono::seconds(60);

// What a writer reported, from its thread, and a wait for it.
struct Reports {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> failures;
    std::vector<std::size_t> waiting;

    RecordWriter::Options options(const std::string& spoolPath,
                                  std::chrono::milliseconds retry = std::chrono::seconds(10)) {
        RecordWriter::Options o;
        o.spoolPath = spoolPath;
        o.retryInterval = retry;
        o.onFailure = [this](const std::string& message) {
            const std::lock_guard lock(mutex);
            failures.push_back(message);
            changed.notify_all();
        };
        o.onSpoolChanged = [this](std::size_t n) {
            const std::lock_guard lock(mutex);
            waiting.push_back(n);
            changed.notify_all();
        };
        return o;
    }
    // Waits until the spool was last told to hold `n` records.
    bool waitForWaiting(std::size_t n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kGuard,
                                [&] { return !waiting.empty() && waiting.back() == n; });
    }
    std::size_t failureCount() {
        const std::lock_guard lock(mutex);
        return failures.size();
    }
};

RecordWriter::Options SpoolAt(const std::string& path) {
    RecordWriter::Options o;
    o.spoolPath = path;
    return o;
}

ServiceRecord Numbered(const std::string& prefix, int i) {
    ServiceRecord r = FullRecord(prefix + '-' + std::to_string(i));
    r.durationMs = i;
    return r;
}

// How many records wait in a spool for a target, read from a connection of the test's own.
long long Waiting(const std::string& spoolPath, const RecordsTarget& target) {
    Spool spool(spoolPath, target, QStringLiteral("zelcor-test-spool"));
    if (!spool.exists()) {
        return 0;
    }
    QString error;
    const auto n = spool.count(error);
    EXPECT_TRUE(n) << error.toStdString();
    return n.value_or(-1);
}

class RecordWriterTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string spoolPath =
        dir.filePath(QStringLiteral("spool/records-spool.sqlite")).toStdString();
};

TEST_F(RecordWriterTest, RecordsAreWrittenAsSubmitted) {
    const RecordsTarget target = SqliteTarget(dir);
    Reports reports;
    {
        RecordWriter writer(target, reports.options(spoolPath));
        for (int i = 0; i < 20; ++i) {
            writer.submit(Numbered("w", i));
        }
        EXPECT_TRUE(writer.flush(kGuard));
        Connection c(target);
        ASSERT_TRUE(c.open()) << c.error();
        EXPECT_EQ(c.number("SELECT count(*) FROM service_record"), 20);
        EXPECT_EQ(c.number("SELECT count(*) FROM written_byte"), 60);
        QSqlDatabase db = c.db();
        QString error;
        const auto r = records::ReadRecord(db, "w-7", error);
        ASSERT_TRUE(r) << error.toStdString();
        EXPECT_EQ(r->durationMs, 7);
        EXPECT_EQ(r->wrenchCode, "123456");
        EXPECT_EQ(r->bytesWritten.size(), 3u);
    }
    EXPECT_EQ(reports.failureCount(), 0u);
    // Nothing had to wait, so there is no spool.
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(spoolPath)));
}

TEST_F(RecordWriterTest, RecordsSubmittedJustBeforeTheEndAreWritten) {
    const RecordsTarget target = SqliteTarget(dir);
    {
        RecordWriter writer(target, SpoolAt(spoolPath));
        for (int i = 0; i < 10; ++i) {
            writer.submit(Numbered("end", i));
        }
    }
    Connection c(target);
    ASSERT_TRUE(c.open()) << c.error();
    EXPECT_EQ(c.number("SELECT count(*) FROM service_record"), 10);
}

TEST_F(RecordWriterTest, OffWritesNothing) {
    RecordsTarget off;
    off.kind = RecordsTarget::Kind::Off;
    RecordWriter writer(off, SpoolAt(spoolPath));
    writer.submit(Numbered("off", 0));
    EXPECT_TRUE(writer.flush(kGuard));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

// The database's folder is missing (a share not mounted): the records wait in the spool, and
// are written once the folder is there, at the next submit.
TEST_F(RecordWriterTest, ADatabaseThatCannotBeOpenedGetsItsRecordsLater) {
    const RecordsTarget target = SqliteTarget(dir, QStringLiteral("share/records.sqlite"));
    Reports reports;
    RecordWriter writer(target, reports.options(spoolPath));
    for (int i = 0; i < 3; ++i) {
        writer.submit(Numbered("late", i));
    }
    EXPECT_TRUE(writer.flush(kGuard));
    EXPECT_EQ(Waiting(spoolPath, target), 3);
    ASSERT_EQ(reports.failureCount(), 1u);
    EXPECT_NE(reports.failures[0].find("share/records.sqlite"), std::string::npos)
        << reports.failures[0];
    EXPECT_NE(reports.failures[0].find("does not exist"), std::string::npos) << reports.failures[0];

    writer.submit(Numbered("late", 3));
    EXPECT_TRUE(writer.flush(kGuard));
    EXPECT_EQ(Waiting(spoolPath, target), 4);
    EXPECT_EQ(reports.failureCount(), 1u) << "the failure is told once";

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("share")));
    writer.submit(Numbered("late", 4));
    EXPECT_TRUE(writer.flush(kGuard));
    EXPECT_EQ(Waiting(spoolPath, target), 0);
    Connection c(target);
    ASSERT_TRUE(c.open()) << c.error();
    EXPECT_EQ(c.column("SELECT id FROM service_record ORDER BY id"),
              (std::vector<std::string>{"late-0", "late-1", "late-2", "late-3", "late-4"}));
    EXPECT_EQ(c.number("SELECT count(*) FROM written_byte"), 15);
    EXPECT_EQ(reports.failureCount(), 1u);
}

// Records a run left in the spool are written by the next run, at its start.
TEST_F(RecordWriterTest, TheSpoolOutlivesTheProgram) {
    const RecordsTarget target = SqliteTarget(dir, QStringLiteral("share/records.sqlite"));
    {
        RecordWriter writer(target, SpoolAt(spoolPath));
        writer.submit(Numbered("kept", 0));
        writer.submit(Numbered("kept", 1));
    }
    EXPECT_EQ(Waiting(spoolPath, target), 2);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("share")));

    Reports reports;
    RecordWriter next(target, reports.options(spoolPath));
    EXPECT_TRUE(reports.waitForWaiting(0));
    Connection c(target);
    ASSERT_TRUE(c.open()) << c.error();
    EXPECT_EQ(c.column("SELECT id FROM service_record ORDER BY id"),
              (std::vector<std::string>{"kept-0", "kept-1"}));
    EXPECT_EQ(reports.failureCount(), 0u);
}

// The program ended after the database had a record and before the spool let it go: the
// record is written once.
TEST_F(RecordWriterTest, ARecordInTheDatabaseAndStillInTheSpoolIsKeptOnce) {
    const RecordsTarget target = SqliteTarget(dir);
    {
        Connection c(target);
        ASSERT_TRUE(c.open()) << c.error();
        QSqlDatabase db = c.db();
        QString error;
        ASSERT_EQ(records::InsertRecord(db, Numbered("both", 0), error),
                  records::InsertResult::Written);
        QDir().mkpath(QFileInfo(QString::fromStdString(spoolPath)).absolutePath());
        Spool spool(spoolPath, target, QStringLiteral("zelcor-test-spool-add"));
        ASSERT_TRUE(spool.add(Numbered("both", 0), error)) << error.toStdString();
        ASSERT_TRUE(spool.add(Numbered("both", 1), error)) << error.toStdString();
    }
    Reports reports;
    {
        RecordWriter writer(target, reports.options(spoolPath));
        EXPECT_TRUE(reports.waitForWaiting(0));
    }
    Connection c(target);
    ASSERT_TRUE(c.open()) << c.error();
    EXPECT_EQ(c.column("SELECT id FROM service_record ORDER BY id"),
              (std::vector<std::string>{"both-0", "both-1"}));
    EXPECT_EQ(c.number("SELECT count(*) FROM written_byte"), 6);
    EXPECT_EQ(reports.failureCount(), 0u);
}

// Each target's records wait for that target alone.
TEST_F(RecordWriterTest, TheSpoolKeepsEachTargetsRecordsApart) {
    const RecordsTarget a = SqliteTarget(dir, QStringLiteral("a/records.sqlite"));
    const RecordsTarget b = SqliteTarget(dir, QStringLiteral("b/records.sqlite"));
    {
        RecordWriter writer(a, SpoolAt(spoolPath));
        writer.submit(Numbered("for-a", 0));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("b")));
    {
        RecordWriter writer(b, SpoolAt(spoolPath));
        writer.submit(Numbered("for-b", 0));
        EXPECT_TRUE(writer.flush(kGuard));
    }
    EXPECT_EQ(Waiting(spoolPath, a), 1);
    EXPECT_EQ(Waiting(spoolPath, b), 0);
    Connection c(b);
    ASSERT_TRUE(c.open()) << c.error();
    EXPECT_EQ(c.column("SELECT id FROM service_record"), std::vector<std::string>{"for-b-0"});
}

// The file is locked by another program longer than the flush may wait: submit() returned at
// once all the same, and what is still queued goes to the spool; every record ends up once.
TEST_F(RecordWriterTest, AFlushThatTimesOutLeavesTheRestInTheSpool) {
    const RecordsTarget target = SqliteTarget(dir);
    {
        Connection c(target);
        ASSERT_TRUE(c.open()) << c.error();
    }
    Connection locker(target);
    ASSERT_TRUE(locker.open()) << locker.error();
    locker.exec("BEGIN IMMEDIATE");
    {
        RecordWriter writer(target, SpoolAt(spoolPath));
        for (int i = 0; i < 5; ++i) {
            writer.submit(Numbered("locked", i));
        }
        // The writer waits for the lock: the flush cannot be done in 10 ms.
        EXPECT_FALSE(writer.flush(std::chrono::milliseconds(10)));
        locker.exec("ROLLBACK");
    }
    // What the writer took before the flush gave up is written (or spooled), the rest is in
    // the spool: the next run writes it.
    {
        RecordWriter next(target, SpoolAt(spoolPath));
        EXPECT_TRUE(next.flush(kGuard));
    }
    EXPECT_EQ(Waiting(spoolPath, target), 0);
    Connection c(target);
    ASSERT_TRUE(c.open()) << c.error();
    EXPECT_EQ(
        c.column("SELECT id FROM service_record ORDER BY id"),
        (std::vector<std::string>{"locked-0", "locked-1", "locked-2", "locked-3", "locked-4"}));
    EXPECT_EQ(c.number("SELECT count(*) FROM written_byte"), 15);
}

// The server is stopped in the middle of a session and started again: each record arrives
// once, those of the stopped time from the spool, at the next submit or at the retry.
TEST_F(RecordWriterTest, ThePostgresqlServerGoesAwayAndComesBack) {
    const auto target = PostgresTarget();
    ASSERT_TRUE(target);
    std::string error;
    PostgresServer* server = PostgresServer::Get(error);
    ASSERT_NE(server, nullptr) << error;

    Reports reports;
    RecordWriter writer(*target, reports.options(spoolPath, std::chrono::milliseconds(100)));
    std::set<std::string> expected;
    int next = 0;
    const auto submit = [&](int n) {
        for (int i = 0; i < n; ++i, ++next) {
            writer.submit(Numbered("pg", next));
            expected.insert("pg-" + std::to_string(next));
        }
    };
    submit(5);
    ASSERT_TRUE(writer.flush(kGuard));
    EXPECT_EQ(Waiting(spoolPath, *target), 0);

    ASSERT_TRUE(server->stop(error)) << error;
    submit(5);
    ASSERT_TRUE(writer.flush(kGuard));
    EXPECT_EQ(Waiting(spoolPath, *target), 5);
    ASSERT_EQ(reports.failureCount(), 1u);
    EXPECT_NE(reports.failures[0].find(records::TargetText(*target)), std::string::npos)
        << reports.failures[0];

    // Back: the next submit writes its record and those that waited.
    ASSERT_TRUE(server->start(error)) << error;
    submit(5);
    ASSERT_TRUE(writer.flush(kGuard));
    EXPECT_EQ(Waiting(spoolPath, *target), 0);

    // Away again, and back: the retry writes them without a submit.
    ASSERT_TRUE(server->stop(error)) << error;
    submit(3);
    ASSERT_TRUE(writer.flush(kGuard));
    EXPECT_EQ(Waiting(spoolPath, *target), 3);
    ASSERT_TRUE(server->start(error)) << error;
    EXPECT_TRUE(reports.waitForWaiting(0));
    EXPECT_EQ(reports.failureCount(), 1u) << "the failure is told once";

    Connection c(*target);
    ASSERT_TRUE(c.open()) << c.error();
    const std::vector<std::string> ids = c.column("SELECT id FROM service_record");
    EXPECT_EQ(ids.size(), 18u);
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()), expected);
    EXPECT_EQ(c.number("SELECT count(*) FROM written_byte"), 18 * 3);
}

} // namespace
} // namespace zelcor::test
