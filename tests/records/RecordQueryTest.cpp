// SPDX-License-Identifier: GPL-3.0-or-later
// The history's filters and order on SQLite and on PostgreSQL, the walk over many records a
// page at a time, the jobs listed, the query plans at SQLite, and the CSV rows.
#include "records/RecordsFixture.h"

#include "records/RecordQuery.h"

namespace zelcor::test {
namespace {

using records::RecordFilter;

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

class RecordQueryTest : public ConnectedTest {};

using V = std::vector<std::string>;

TEST_P(RecordQueryTest, FiltersByWrenchJobAndDaysNewestFirst) {
    InsertFive(*c);
    QSqlDatabase db = c->db();
    const QDate march2(2026, 3, 2);
    const std::pair<RecordFilter, V> cases[] = {
        {{}, {"e", "c", "b", "d", "a"}},
        {{"123456", "", {}, {}}, {"e", "b", "a"}},
        {{" 65a321 ", "", {}, {}}, {"c"}}, // as typed: blanks and case aside
        {{"", "Get", {}, {}}, {"e", "c", "a"}},
        {{"123456", "Get", {}, {}}, {"e", "a"}},
        {{"", "Get' OR '1'='1", {}, {}}, {}}, // a job's text is a value, never part of the query
        // Days are UTC days, both ends included: b's last millisecond of 2 March is in, c's
        // first of 3 March is out.
        {{"", "", march2, std::nullopt}, {"e", "c", "b", "d"}},
        {{"", "", std::nullopt, march2}, {"b", "d", "a"}},
        {{"", "", march2, march2}, {"b", "d"}},
    };
    for (const auto& [filter, ids] : cases) {
        EXPECT_EQ(Ids(db, filter), ids) << filter.wrenchCode << '/' << filter.job;
    }
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
    V walked;
    ASSERT_TRUE(records::ForEachRecord(
        db, {},
        [&](const ServiceRecord& r) {
            walked.push_back(r.id + ' ' + records::WrittenBytesText(r.bytesWritten));
            return true;
        },
        error))
        << error.toStdString();
    // Newest first is the ids from p11202 down to p10000; p10000, p10100 ... with their byte.
    V expected;
    for (int i = 11202; i >= 10000; --i) {
        expected.push_back('p' + std::to_string(i) + (i % 100 == 0 ? " 10:XX>80" : " "));
    }
    EXPECT_EQ(walked, expected);

    int seen = 0;
    ASSERT_TRUE(records::ForEachRecord(
        db, {}, [&](const ServiceRecord&) { return ++seen < 3; }, error));
    EXPECT_EQ(seen, 3);
}

ZELCOR_ON_BOTH_DATABASES(RecordQueryTest);

// At a million records the list must come from an index, in its order: a full scan or a sort
// of every row would read them all before the first is shown.
TEST(RecordQueryPlanTest, EveryFilterReadsAnIndexInTimeOrder) {
    QTemporaryDir dir;
    Connection c(SqliteTarget(dir));
    ASSERT_TRUE(c.open()) << c.error();
    const std::pair<RecordFilter, const char*> cases[] = {
        {{}, "service_record_time"},
        {{"123456", "Get", {}, {}}, "service_record_wrench_time"},
        {{"", "Get", QDate(2026, 1, 1), QDate(2026, 2, 1)}, "service_record_job_time"},
        {{"", "", QDate(2026, 1, 1), std::nullopt}, "service_record_time"}};
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
