// SPDX-License-Identifier: GPL-3.0-or-later
// What the records tests share: a record with every field filled, the databases to write
// to (a SQLite file in a temporary folder, a new database on the suite's PostgreSQL server),
// and queries on them from a connection of the test's own.
#pragma once

#include "records/RecordQuery.h"
#include "records/RecordStore.h"

#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zelcor::tools {
class PostgresServer;
}

namespace zelcor::test {

// A record as the session and the recorder fill it, every field set.
inline ServiceRecord FullRecord(const std::string& id) {
    ServiceRecord r;
    r.id = id;
    r.time = "2026-12-06T23:00:00.125Z";
    r.durationMs = 1875;
    r.station = "bench-7";
    r.operatorName = "technician";
    r.program = "zelcor 1.3.0";
    r.port = "/dev/ttyUSB0";
    r.factoryCode = "A1B2";
    r.softwareVersion = "1005";
    r.wrenchCode = "123456";
    r.job = "Parameter Write";
    r.direction = "CW";
    r.digits = 2;
    r.bytesRead = {{0x0C, 0xA1}, {0x0D, 0xB2}, {0x2B, 0x12}};
    r.bytesWritten = {{0x10, 0x05, 0x07}, {0x11, std::nullopt, 0xFF}, {0x12, 0x00, 0x80}};
    r.requestCode = "4711";
    r.requestMessage = "request 4711 handed out";
    r.newSet = "12 34 56";
    r.detail = "torque 12.5";
    r.run = RecordedRun{12, 150, 4800, 1.25, 10.5};
    r.outcome = RecordOutcome::Failed;
    r.failureCode = 4;
    r.message = "the wrench did not answer";
    return r;
}

// A verification run with every field set, its numbers ones a float keeps only with all its
// digits, and a reading the technician repeated.
inline VerificationRun FullRun() {
    VerificationRun v;
    v.settings.maximum = 150.5;
    v.settings.pointsPercent = {20, 60.12, 100};
    v.settings.readingsPerPoint = 2;
    v.settings.tolerancePercent = 4.5;
    v.settings.preloads = 1;
    v.settings.direction = VerifyDirection::Both;
    v.settings.asLeft = true;
    v.settings.digits = 2;
    v.settings.technician = "A. Tech";
    v.settings.tester = "REF-7, \"Ω\"";
    v.settings.testerDue = "2027-03-01";
    v.settings.remark = "21.5 °C";
    v.settings.intervalMonths = 6;
    v.settings.referenceTimeoutS = 45;
    v.readings = {{"CW", 1, 1, 90.4806, 60.12, 60.01283745619283, "+060.01 N.m", false, ""},
                  {"CW", 1, 2, 90.4806, 91.37, 90.5, "", true, "slipped"},
                  {"CCW", 0, 2, 30.1, 29.87, 30.5, "30.5", false, ""}};
    v.verdict = Verdict::Failed;
    return v;
}

// A number as the runs' descriptions show it: the shortest text that reads back as it.
inline std::string Num(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest).toStdString();
}

// Every field of a run on one line.
inline std::string DescribeRun(const VerificationRun& v) {
    const VerificationSettings& s = v.settings;
    std::string text = Num(s.maximum) + " [";
    for (const double p : s.pointsPercent) {
        text += Num(p) + ' ';
    }
    text += "] " + std::to_string(s.readingsPerPoint) + ' ' + Num(s.tolerancePercent) + ' ' +
            std::to_string(s.preloads) + ' ' + DirectionWord(s.direction) + ' ' +
            StateWord(s.asLeft) + ' ' + std::to_string(s.digits) + ' ' + s.technician + '|' +
            s.tester + '|' + s.testerDue + '|' + s.remark + '|' + std::to_string(s.intervalMonths) +
            ' ' + std::to_string(s.referenceTimeoutS) + ' ' + (v.stopped ? "stopped" : "ended") +
            ' ' + VerdictWord(v.verdict) + ' ' + (v.dueDate.empty() ? "-" : v.dueDate);
    for (const VerificationReading& r : v.readings) {
        text += " / " + r.direction + ' ' + std::to_string(r.point) + ' ' +
                std::to_string(r.index) + ' ' + Num(r.target) + ' ' + Num(r.wrench) + ' ' +
                Num(r.reference) + " '" + r.referenceText + "' " +
                (r.discarded ? "discarded: " + r.discardReason : "kept");
    }
    return text;
}

// Every field of a record on one line, to be compared with a line written by hand.
inline std::string Describe(const ServiceRecord& r) {
    return r.id + '|' + r.time + '|' + std::to_string(r.durationMs) + '|' + r.station + '|' +
           r.operatorName + '|' + r.program + '|' + r.port + '|' + r.factoryCode + '|' +
           r.softwareVersion + '|' + r.wrenchCode + '|' + r.job + '|' + r.direction + '|' +
           (r.digits ? std::to_string(*r.digits) : "-") + '|' +
           records::BytesReadText(r.bytesRead) + '|' + records::WrittenBytesText(r.bytesWritten) +
           '|' + r.requestCode + '|' + r.requestMessage + '|' + r.newSet + '|' + r.detail + '|' +
           (r.run ? records::RunSummaryText(*r.run) : "-") + '|' + records::OutcomeText(r.outcome) +
           '|' + std::to_string(r.failureCode) + '|' + r.message +
           (r.verification ? " || " + DescribeRun(*r.verification) : "");
}

// A record as the history lists it: an id, a time, a wrench and a job.
inline ServiceRecord Listed(const std::string& id, const std::string& time,
                            const std::string& wrench, const std::string& job) {
    ServiceRecord r;
    r.id = id;
    r.time = time;
    r.wrenchCode = wrench;
    r.job = job;
    return r;
}

// A verification record of `wrench` at `time`: the run's verdict (stopped for a run stopped),
// and its due date as the recorder gives it.
inline ServiceRecord RunRecord(const std::string& id, const std::string& time,
                               const std::string& wrench, const std::string& verdict,
                               bool asLeft = false) {
    ServiceRecord r = Listed(id, time, wrench, "Verification");
    VerificationRun v;
    v.settings.maximum = 100;
    v.settings.technician = "A. Tech";
    v.settings.asLeft = asLeft;
    v.stopped = verdict == "stopped";
    v.verdict = ParseVerdict(verdict).value_or(Verdict::None);
    v.dueDate = NextDueDate(time.substr(0, 10), v.verdict, v.settings.intervalMonths);
    r.bytesWritten = {{0x23, std::nullopt, 0x00}, {0x24, std::nullopt, 0x00}};
    r.verification = v;
    return r;
}

inline records::RecordsTarget SqliteTarget(const QTemporaryDir& dir,
                                           const QString& name = QStringLiteral("records.sqlite")) {
    records::RecordsTarget t;
    t.kind = records::RecordsTarget::Kind::Sqlite;
    t.sqlitePath = dir.filePath(name).toStdString();
    return t;
}

// The suite's PostgreSQL server, started at the first test that asks for it, once for the
// suite, and stopped and removed when the suite ends; none, with `error` set, when it cannot
// be started (records/SuitePostgres.cpp, in the records tests only).
tools::PostgresServer* SuitePostgres(std::string& error);
// A new database on the suite's server; a failure fails the test.
std::optional<records::RecordsTarget> PostgresTarget();

// A connection of the test's own to a target, opened through the library (migrated).
class Connection {
public:
    explicit Connection(const records::RecordsTarget& target)
        : m_name(QStringLiteral("zelcor-test-%1").arg(++s_connections)) {
        QString error;
        m_open = records::OpenRecordsDatabase(target, m_name, error);
        m_error = error.toStdString();
    }
    ~Connection() {
        if (QSqlDatabase::contains(m_name)) {
            records::CloseRecordsDatabase(m_name);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool open() const { return m_open; }
    // Why it did not open, or why the last insert() failed.
    const std::string& error() const { return m_error; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    const QString& name() const { return m_name; }

    records::InsertResult insert(const ServiceRecord& r) {
        QSqlDatabase d = db();
        QString error;
        const records::InsertResult result = records::InsertRecord(d, r, error);
        m_error = error.toStdString();
        return result;
    }
    std::optional<ServiceRecord> read(const std::string& id) {
        QSqlDatabase d = db();
        QString error;
        auto r = records::ReadRecord(d, id, error);
        EXPECT_EQ(error.toStdString(), "") << id;
        return r;
    }
    // Runs a statement; a failure fails the test.
    void exec(const QString& sql) {
        QSqlQuery q(db());
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    }
    // Every row of the first column, in the order the query gives ("<null>" for NULL).
    std::vector<std::string> column(const QString& sql) {
        std::vector<std::string> values;
        QSqlQuery q(db());
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        while (q.next()) {
            values.push_back(q.value(0).isNull() ? "<null>" : q.value(0).toString().toStdString());
        }
        return values;
    }
    // The first column of the first row.
    std::string text(const QString& sql) {
        const std::vector<std::string> values = column(sql);
        return values.empty() ? "<no row>" : values.front();
    }
    // "N records, M bytes": the rows of service_record and of written_byte.
    std::string counts() {
        return text("SELECT (SELECT count(*) FROM service_record) || ' records, ' || "
                    "(SELECT count(*) FROM written_byte) || ' bytes'");
    }

private:
    inline static int s_connections = 0;
    QString m_name;
    bool m_open = false;
    std::string m_error;
};

// Five records over three days, the first two with most fields set; c and e begin in the
// same millisecond.
inline void InsertFive(Connection& c) {
    ServiceRecord a = Listed("a", "2026-03-01T08:00:00.000Z", "123456", "Get");
    a.digits = 2;
    a.direction = "CW";
    a.bytesRead = {{0x2B, 0x12}};
    a.run = RecordedRun{3, 150, 900, 1.25, 10.5};
    ServiceRecord b = Listed("b", "2026-03-02T23:59:59.999Z", "123456", "Parameter Write");
    b.durationMs = 420;
    b.bytesWritten = {{0x10, 0x05, 0x07}, {0x11, std::nullopt, 0xFF}};
    b.outcome = RecordOutcome::Failed;
    b.failureCode = 1;
    b.message = "Stop, \"now\"\r\nagain";
    b.operatorName = "technician";
    for (const ServiceRecord& r : {a, b, Listed("c", "2026-03-03T00:00:00.000Z", "65A321", "Get"),
                                   Listed("d", "2026-03-02T12:00:00.000Z", "", "Read"),
                                   Listed("e", "2026-03-03T00:00:00.000Z", "123456", "Get")}) {
        ASSERT_EQ(c.insert(r), records::InsertResult::Written) << c.error();
    }
}

// The same tests on both kinds of database, each test on a new one (`target`), which
// ConnectedTest opens as `c`.
class DatabaseTest : public ::testing::TestWithParam<records::RecordsTarget::Kind> {
protected:
    void SetUp() override {
        target = sqlite() ? SqliteTarget(dir) : PostgresTarget();
        ASSERT_TRUE(target);
    }
    bool sqlite() const { return GetParam() == records::RecordsTarget::Kind::Sqlite; }
    QTemporaryDir dir;
    std::optional<records::RecordsTarget> target;
};
class ConnectedTest : public DatabaseTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(DatabaseTest::SetUp());
        c.emplace(*target);
        ASSERT_TRUE(c->open()) << c->error();
    }
    std::optional<Connection> c;
};
inline std::string DatabaseName(const ::testing::TestParamInfo<records::RecordsTarget::Kind>& i) {
    return i.param == records::RecordsTarget::Kind::Sqlite ? "Sqlite" : "Postgresql";
}
#define ZELCOR_ON_BOTH_DATABASES(suite)                                                            \
    INSTANTIATE_TEST_SUITE_P(Databases, suite,                                                     \
                             ::testing::Values(records::RecordsTarget::Kind::Sqlite,               \
                                               records::RecordsTarget::Kind::Postgresql),          \
                             DatabaseName)

} // namespace zelcor::test
