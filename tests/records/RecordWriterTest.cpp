// SPDX-License-Identifier: GPL-3.0-or-later
// The writer: records written on a thread of its own, kept in the spool while their database
// cannot be written, and written from there exactly once when it answers again.
#include "records/RecordsFixture.h"

#include "PostgresServer.h"
#include "records/RecordWriter.h"
#include "records/Spool.h"

#include <QDir>
#include <QFileInfo>

#include <condition_variable>
#include <mutex>

#include <unistd.h>

namespace zelcor::test {
namespace {

using records::RecordsTarget;
using records::RecordWriter;
using End = records::RecordWriter::End;
using V = std::vector<std::string>;

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
    std::vector<std::string> failuresSoFar() {
        const std::lock_guard lock(mutex);
        return failures;
    }
};

ServiceRecord Numbered(const std::string& prefix, int i) {
    ServiceRecord r = FullRecord(prefix + '-' + std::to_string(i));
    r.durationMs = i;
    return r;
}

class RecordWriterTest : public ::testing::Test {
protected:
    RecordWriter::Options options() { return reports.options(spoolPath); }
    // How many records wait in the spool for a target, read from a connection of the test's own.
    long long waiting(const RecordsTarget& target) {
        records::Spool spool(spoolPath, target, QStringLiteral("zelcor-test-spool"));
        QString error;
        const auto n = spool.exists() ? spool.count(error) : std::optional<long long>(0);
        EXPECT_TRUE(n) << error.toStdString();
        return n.value_or(-1);
    }

    QTemporaryDir dir;
    std::string spoolPath =
        dir.filePath(QStringLiteral("spool/records-spool.sqlite")).toStdString();
    Reports reports;
};

// Submitted just before the end: written all the same. (Written as submitted, with a flush,
// is ProcessTest's probes'.)
TEST_F(RecordWriterTest, RecordsSubmittedJustBeforeTheEndAreWritten) {
    const RecordsTarget target = SqliteTarget(dir);
    {
        RecordWriter writer(target, options());
        for (int i = 0; i < 30; ++i) {
            writer.submit(Numbered("w", i));
        }
    }
    EXPECT_EQ(Connection(target).counts(), "30 records, 90 bytes");
    EXPECT_EQ(reports.failuresSoFar(), V{});
    // Nothing had to wait, so there is no spool.
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(spoolPath)));
}

// The database's folder is missing (a share not mounted): the records wait in the spool, the
// failure told once, after the program has ended too. A writer to another database leaves
// them there; the next writer to theirs writes them at its start, once each, a record the
// database has already too (the program ended after the database took it and before the
// spool let it go).
TEST_F(RecordWriterTest, RecordsWaitInTheSpoolForTheirOwnDatabase) {
    const RecordsTarget share = SqliteTarget(dir, QStringLiteral("share/records.sqlite"));
    {
        RecordWriter writer(share, options());
        for (int i = 0; i < 3; ++i) {
            writer.submit(Numbered("late", i));
        }
        EXPECT_TRUE(writer.flush(kGuard));
        EXPECT_EQ(waiting(share), 3);
        // A verification run waits with its record, readings and all.
        ServiceRecord run = Numbered("late", 3);
        run.verification = FullRun();
        writer.submit(run);
    }
    EXPECT_EQ(waiting(share), 4);
    const V failures = reports.failuresSoFar();
    ASSERT_EQ(failures.size(), 1u) << "the failure is told once";
    EXPECT_NE(failures[0].find("share/records.sqlite"), std::string::npos) << failures[0];
    EXPECT_NE(failures[0].find("does not exist"), std::string::npos) << failures[0];

    const RecordsTarget other = SqliteTarget(dir);
    RecordWriter(other, options()).submit(Numbered("other", 0));
    EXPECT_EQ(Connection(other).column("SELECT id FROM service_record"), V{"other-0"});
    EXPECT_EQ(waiting(share), 4);

    // The share is back, with late-1 in it already.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("share")));
    Connection c(share);
    ASSERT_EQ(c.insert(Numbered("late", 1)), records::InsertResult::Written) << c.error();
    Reports later;
    RecordWriter next(share, later.options(spoolPath));
    EXPECT_TRUE(later.waitForWaiting(0));
    EXPECT_EQ(c.column("SELECT id FROM service_record ORDER BY id"),
              (V{"late-0", "late-1", "late-2", "late-3"}));
    EXPECT_EQ(
        DescribeRun(
            c.read("late-3").value_or(ServiceRecord{}).verification.value_or(VerificationRun{})),
        DescribeRun(FullRun()));
    EXPECT_EQ(later.failuresSoFar(), V{});
}

// The file is locked by another program longer than the flush may wait: submit() returned at
// once all the same, and what is still queued goes to the spool; every record ends up once.
TEST_F(RecordWriterTest, AFlushThatTimesOutLeavesTheRestInTheSpool) {
    const RecordsTarget target = SqliteTarget(dir);
    Connection locker(target);
    locker.exec("BEGIN IMMEDIATE");
    {
        RecordWriter writer(target, options());
        for (int i = 0; i < 5; ++i) {
            writer.submit(Numbered("locked", i));
        }
        // The writer waits for the lock: the flush cannot be done in 10 ms.
        EXPECT_FALSE(writer.flush(std::chrono::milliseconds(10)));
        locker.exec("ROLLBACK");
    }
    // What the writer took before the flush gave up is written (or spooled), the rest is in
    // the spool: the next run writes it.
    EXPECT_TRUE(RecordWriter(target, options()).flush(kGuard));
    EXPECT_EQ(waiting(target), 0);
    // Each of the 5 ids once (the id is the key).
    EXPECT_EQ(locker.counts(), "5 records, 15 bytes");
}

// The server is stopped in the middle of a session and started again: each record arrives
// once, those of the stopped time from the spool, at the next submit or at the retry.
TEST_F(RecordWriterTest, ThePostgresqlServerGoesAwayAndComesBack) {
    const auto target = PostgresTarget();
    ASSERT_TRUE(target);
    std::string error;
    tools::PostgresServer* server = SuitePostgres(error);
    ASSERT_NE(server, nullptr) << error;

    RecordWriter writer(*target, reports.options(spoolPath, std::chrono::milliseconds(100)));
    int submitted = 0;
    // Submits n more records and waits for the writer; then this many wait in the spool.
    const auto submit = [&](int n) {
        for (int i = 0; i < n; ++i) {
            writer.submit(Numbered("pg", submitted++));
        }
        EXPECT_TRUE(writer.flush(kGuard));
        return waiting(*target);
    };
    EXPECT_EQ(submit(5), 0);
    ASSERT_TRUE(server->stop(error)) << error;
    EXPECT_EQ(submit(5), 5);
    // Back: the next submit writes its record and those that waited.
    ASSERT_TRUE(server->start(error)) << error;
    EXPECT_EQ(submit(5), 0);
    // Away again, and back: the retry writes them without a submit.
    ASSERT_TRUE(server->stop(error)) << error;
    EXPECT_EQ(submit(3), 3);
    ASSERT_TRUE(server->start(error)) << error;
    EXPECT_TRUE(reports.waitForWaiting(0));

    const V failures = reports.failuresSoFar();
    ASSERT_EQ(failures.size(), 1u) << "the failure is told once";
    EXPECT_NE(failures[0].find(records::TargetText(*target)), std::string::npos) << failures[0];
    // Each of the 18 ids once (the id is the key).
    EXPECT_EQ(Connection(*target).counts(), "18 records, 54 bytes");
}

// Another session holds the table locked: the end waits no longer than it is given, nor once a
// signal has come, and puts the record into the spool itself. The writer's thread, which had
// it in hand, writes it when the lock is gone; each record is kept once.
TEST_F(RecordWriterTest, ALockedTableHoldsNeitherTheEndNorTheRecord) {
    const auto target = PostgresTarget();
    ASSERT_TRUE(target);
    Connection locker(*target);
    // The server cancels any statement of the records' connections after 5 s.
    EXPECT_EQ(Connection(*target).text("SHOW statement_timeout"), "5s");
    int signalled[2];
    ASSERT_EQ(::pipe(signalled), 0);
    ASSERT_EQ(::write(signalled[1], "x", 1), 1);
    for (const int interrupt : {-1, signalled[0]}) {
        locker.exec("BEGIN");
        locker.exec("LOCK TABLE service_record");
        RecordWriter writer(*target, options());
        writer.submit(Numbered("locked", interrupt));
        const auto wait = interrupt < 0 ? std::chrono::milliseconds(50) : kGuard;
        EXPECT_EQ(writer.finish(wait, interrupt), interrupt < 0 ? End::TimedOut : End::Interrupted);
        EXPECT_EQ(waiting(*target), interrupt < 0 ? 1 : 2);
        locker.exec("ROLLBACK");
    }
    ::close(signalled[0]);
    ::close(signalled[1]);
    const V failures = reports.failuresSoFar();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].find("(it did not answer within 0.05 s). They are kept in"),
              std::string::npos)
        << failures[0];
    EXPECT_NE(failures[1].find("(the program was stopped before it answered). They are kept in"),
              std::string::npos)
        << failures[1];
    EXPECT_TRUE(RecordWriter(*target, options()).flush(kGuard));
    EXPECT_EQ(waiting(*target), 0);
    EXPECT_EQ(locker.counts(), "2 records, 6 bytes");
}

} // namespace
} // namespace zelcor::test
