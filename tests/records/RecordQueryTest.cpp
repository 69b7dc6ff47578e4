// SPDX-License-Identifier: GPL-3.0-or-later
// The history's filters and order on SQLite and on PostgreSQL, the walk over many records a
// page at a time, the jobs listed, the query plans at SQLite, and the CSV rows.
#include "records/RecordsFixture.h"

#include "records/RecordQuery.h"

namespace zelcor::test {
namespace {

using records::RecordFilter;
using records::RecordsTarget;

ServiceRecord Listed(const std::string& id, const std::string& time, const std::string& wrench,
                     const std::string& job) {
    ServiceRecord r;
    r.id = id;
    r.time = time;
    r.wrenchCode = wrench;
    r.job = job;
    return r;
}

std::vector<std::string> Ids(QSqlDatabase db, const RecordFilter& filter) {
    std::vector<std::string> ids;
    QString error;
    EXPECT_TRUE(records::ForEachRecord(
        db, filter,
        [&](const ServiceRecord& r) {
            ids.push_back(r.id);
            return true;
        },
        error))
        << error.toStdString();
    // The window's query lists the same records in the same order.
    QSqlQuery q(db);
    EXPECT_TRUE(records::RunRecordList(q, filter, error)) << error.toStdString();
    std::vector<std::string> listed;
    while (q.next()) {
        listed.push_back(q.value(records::kColId).toString().toStdString());
    }
    EXPECT_EQ(listed, ids);
    return ids;
}

RecordFilter Days(std::optional<QDate> since, std::optional<QDate> until) {
    RecordFilter f;
    f.since = since;
    f.until = until;
    return f;
}

class RecordQueryTest : public ::testing::TestWithParam<RecordsTarget::Kind> {
protected:
    void SetUp() override {
        target = GetParam() == RecordsTarget::Kind::Sqlite ? SqliteTarget(dir) : PostgresTarget();
        ASSERT_TRUE(target);
        c = std::make_unique<Connection>(*target);
        ASSERT_TRUE(c->open()) << c->error();
    }
    void insert(const ServiceRecord& r) {
        QSqlDatabase db = c->db();
        QString error;
        ASSERT_EQ(records::InsertRecord(db, r, error), records::InsertResult::Written)
            << error.toStdString();
    }
    // Five records over three days; c and e begin in the same millisecond.
    void insertFive() {
        insert(Listed("a", "2026-03-01T08:00:00.000Z", "123456", "Get"));
        insert(Listed("b", "2026-03-02T23:59:59.999Z", "123456", "Parameter Write"));
        insert(Listed("c", "2026-03-03T00:00:00.000Z", "65A321", "Get"));
        insert(Listed("d", "2026-03-02T12:00:00.000Z", "", "Read"));
        insert(Listed("e", "2026-03-03T00:00:00.000Z", "123456", "Get"));
    }
    QTemporaryDir dir;
    std::optional<RecordsTarget> target;
    std::unique_ptr<Connection> c;
};

using V = std::vector<std::string>;

TEST_P(RecordQueryTest, FiltersByWrenchJobAndDaysNewestFirst) {
    insertFive();
    QSqlDatabase db = c->db();
    EXPECT_EQ(Ids(db, {}), (V{"e", "c", "b", "d", "a"}));

    RecordFilter wrench;
    wrench.wrenchCode = "123456";
    EXPECT_EQ(Ids(db, wrench), (V{"e", "b", "a"}));
    wrench.wrenchCode = " 65a321 "; // as typed: blanks and case aside
    EXPECT_EQ(Ids(db, wrench), (V{"c"}));

    RecordFilter job;
    job.job = "Get";
    EXPECT_EQ(Ids(db, job), (V{"e", "c", "a"}));
    job.wrenchCode = "123456";
    EXPECT_EQ(Ids(db, job), (V{"e", "a"}));
    // A job's text is a value, never part of the query.
    job = {};
    job.job = "Get' OR '1'='1";
    EXPECT_EQ(Ids(db, job), V{});

    // Days are UTC days, both ends included: b's last millisecond of 2 March is in, c's
    // first of 3 March is out.
    EXPECT_EQ(Ids(db, Days(QDate(2026, 3, 2), std::nullopt)), (V{"e", "c", "b", "d"}));
    EXPECT_EQ(Ids(db, Days(std::nullopt, QDate(2026, 3, 2))), (V{"b", "d", "a"}));
    EXPECT_EQ(Ids(db, Days(QDate(2026, 3, 2), QDate(2026, 3, 2))), (V{"b", "d"}));

    QString error;
    const auto jobs = records::RecordedJobs(db, error);
    ASSERT_TRUE(jobs) << error.toStdString();
    EXPECT_EQ(*jobs, (QStringList{"Get", "Parameter Write", "Read"}));
}

TEST_P(RecordQueryTest, AWalkOverManyRecordsMissesNoneAcrossPages) {
    // 1203 records, two in each millisecond (so pages end inside a millisecond), every 100th
    // with a byte written; made in one statement each, as the writer's speed is not the test.
    c->exec(QStringLiteral(
        "INSERT INTO service_record (id, time_utc, duration_ms, job, outcome) "
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 1202) "
        "SELECT 'p' || (10000 + i), '2026-01-01T00:00:00.' || (100 + i / 2) || 'Z', 0, 'Get', "
        "'done' FROM n"));
    c->exec(QStringLiteral("INSERT INTO written_byte (record_id, seq, address, before, after) "
                           "SELECT id, 0, 16, NULL, 128 FROM service_record "
                           "WHERE substr(id, 5, 2) = '00'"));
    QSqlDatabase db = c->db();
    QString error;
    std::vector<std::string> ids;
    int withBytes = 0;
    ASSERT_TRUE(records::ForEachRecord(
        db, {},
        [&](const ServiceRecord& r) {
            ids.push_back(r.id);
            if (!r.bytesWritten.empty()) {
                ++withBytes;
                EXPECT_EQ(r.id.substr(4, 2), "00") << r.id;
                EXPECT_EQ(records::WrittenBytesText(r.bytesWritten), "10:XX>80");
            }
            return true;
        },
        error))
        << error.toStdString();
    ASSERT_EQ(ids.size(), 1203u);
    // Newest first is the ids from p11202 down to p10000.
    for (std::size_t k = 0; k < ids.size(); ++k) {
        ASSERT_EQ(ids[k], "p" + std::to_string(11202 - k)) << "at " << k;
    }
    EXPECT_EQ(withBytes, 13); // p10000, p10100 ... p11200

    int seen = 0;
    ASSERT_TRUE(records::ForEachRecord(
        db, {}, [&](const ServiceRecord&) { return ++seen < 3; }, error));
    EXPECT_EQ(seen, 3);
}

INSTANTIATE_TEST_SUITE_P(Databases, RecordQueryTest,
                         ::testing::Values(RecordsTarget::Kind::Sqlite,
                                           RecordsTarget::Kind::Postgresql),
                         [](const auto& info) {
                             return info.param == RecordsTarget::Kind::Sqlite ? "Sqlite"
                                                                              : "Postgresql";
                         });

// At a million records the list must come from an index, in its order: a full scan or a sort
// of every row would read them all before the first is shown.
TEST(RecordQueryPlanTest, EveryFilterReadsAnIndexInTimeOrder) {
    QTemporaryDir dir;
    Connection c(SqliteTarget(dir));
    ASSERT_TRUE(c.open()) << c.error();
    RecordFilter wrenchAndJob;
    wrenchAndJob.wrenchCode = "123456";
    wrenchAndJob.job = "Get";
    RecordFilter jobAndDays = Days(QDate(2026, 1, 1), QDate(2026, 2, 1));
    jobAndDays.job = "Get";
    const std::pair<RecordFilter, const char*> cases[] = {
        {{}, "service_record_time"},
        {wrenchAndJob, "service_record_wrench_time"},
        {jobAndDays, "service_record_job_time"},
        {Days(QDate(2026, 1, 1), std::nullopt), "service_record_time"}};
    for (const auto& [filter, index] : cases) {
        const records::ListSql sql = records::RecordListSql(filter);
        QSqlQuery q(c.db());
        ASSERT_TRUE(q.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + sql.text));
        for (const QVariant& v : sql.values) {
            q.addBindValue(v);
        }
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        QStringList plan;
        while (q.next()) {
            plan << q.value(3).toString();
        }
        const std::string text = plan.join(QStringLiteral(" | ")).toStdString();
        EXPECT_NE(text.find(std::string("USING INDEX ") + index), std::string::npos) << text;
        // Only the rows of one millisecond are ever sorted among themselves.
        EXPECT_EQ(text.find("USE TEMP B-TREE FOR ORDER BY"), std::string::npos) << text;
    }
}

// The History window's test reads a whole file back; here what it does not meet.
TEST(RecordCsvTest, ALineBreakIsQuotedAndAnAddressAboveFFHasFourDigits) {
    ServiceRecord r = FullRecord("x");
    r.message = "line one\r\nline two";
    r.bytesWritten.push_back({0x0105, 0x01, 0x02});
    EXPECT_EQ(records::CsvRow(r),
              "2026-12-06T23:00:00.125Z,123456,A1B2,1005,Parameter Write,CW,2,failed,4,"
              "\"line one\r\nline two\",bench-7,technician,zelcor 1.3.0,/dev/ttyUSB0,1875,4711,"
              "10:05>07 11:XX>FF 12:00>80 0105:01>02\r\n");
}

} // namespace
} // namespace zelcor::test
